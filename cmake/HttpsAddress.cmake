# quorlan_require_https(NAME VALUE): stops the configuration unless VALUE is an https address
# that can stand inside a C string literal.
function(quorlan_require_https name value)
    if(NOT value MATCHES "^https://[^/\"\\\\ ]+")
        message(FATAL_ERROR "${name} must be an https address, not \"${value}\"")
    endif()
    if(value MATCHES "[\"\\\\ ]")
        message(FATAL_ERROR "${name} must not hold quotes, backslashes or spaces: \"${value}\"")
    endif()
endfunction()

# Run as a script (cmake -DNAME=... -DVALUE=... -P HttpsAddress.cmake) it checks one value.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    quorlan_require_https("${NAME}" "${VALUE}")
endif()
