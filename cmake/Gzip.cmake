# quorlan_gzip(TARGET FILE) compresses FILE, a file of the build tree, into FILE.gz beside it at
# build time, with the best compression and without the name and time stamp, so the same input
# gives the same bytes (as Debian wants its manual pages and changelogs). TARGET is a new target
# that the default build makes.
find_program(QUORLAN_GZIP gzip REQUIRED)

function(quorlan_gzip target file)
    add_custom_command(OUTPUT "${file}.gz"
        COMMAND "${QUORLAN_GZIP}" -9nkf "${file}"
        DEPENDS "${file}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${file}.gz")
endfunction()
