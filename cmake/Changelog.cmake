# quorlan_read_changelog(FILE VERSION) reads a Keep a Changelog file whose releases are headed
# "## [X.Y.Z] - YYYY-MM-DD", newest first, and stops the configuration unless VERSION is one of
# them. It sets, in the caller's scope:
#   QUORLAN_RELEASE_DATE      the date of VERSION, YYYY-MM-DD
#   QUORLAN_RELEASE_NOTES     the text under VERSION's heading, up to the next release
#   QUORLAN_APPSTREAM_RELEASES one <release version="..." date="..."/> line per release, in order
function(quorlan_read_changelog file version)
    file(READ "${file}" text)
    set(twoDigits "[0-9][0-9]")
    set(datePattern "${twoDigits}${twoDigits}-${twoDigits}-${twoDigits}")
    set(heading "\n## \\[([0-9]+\\.[0-9]+\\.[0-9]+)\\] - (${datePattern})")
    string(REGEX MATCHALL "${heading}" headings "\n${text}")
    set(releases "")
    set(date "")
    foreach(line IN LISTS headings)
        string(REGEX REPLACE "${heading}" "\\1" listed "${line}")
        string(REGEX REPLACE "${heading}" "\\2" listedDate "${line}")
        string(APPEND releases "    <release version=\"${listed}\" date=\"${listedDate}\"/>\n")
        if(listed STREQUAL version)
            set(date "${listedDate}")
        endif()
    endforeach()
    if(date STREQUAL "")
        message(FATAL_ERROR "${file} has no release heading \"## [${version}] - YYYY-MM-DD\"")
    endif()

    string(FIND "${text}" "## [${version}] - ${date}\n" start)
    string(LENGTH "## [${version}] - ${date}\n" headingLength)
    math(EXPR start "${start} + ${headingLength}")
    string(SUBSTRING "${text}" ${start} -1 notes)
    string(FIND "${notes}" "\n## [" end)
    string(SUBSTRING "${notes}" 0 ${end} notes)
    string(STRIP "${notes}" notes)

    set(QUORLAN_RELEASE_DATE "${date}" PARENT_SCOPE)
    set(QUORLAN_RELEASE_NOTES "${notes}" PARENT_SCOPE)
    set(QUORLAN_APPSTREAM_RELEASES "${releases}" PARENT_SCOPE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
endfunction()

# Run as a script (cmake -DCHANGELOG=... -DVERSION=... -P Changelog.cmake) it checks that the
# file lists that version.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    quorlan_read_changelog("${CHANGELOG}" "${VERSION}")
    message(STATUS "${VERSION}: ${QUORLAN_RELEASE_DATE}")
endif()
