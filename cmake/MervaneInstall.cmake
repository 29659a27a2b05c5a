# Install helpers for files Debian wants gzip'd: man pages and the package's changelog.
include(GNUInstallDirs)
find_program(MERVANE_GZIP gzip REQUIRED)

# mervane_install_gzipped(<file> <destination>): installs <file> of the current source directory
# as <file>.gz, compressed at build time.
function(mervane_install_gzipped file destination)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${file})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        # -n keeps the name and time stamp out, so the same file always packs to the same bytes.
        COMMAND ${MERVANE_GZIP} -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${file}"
        VERBATIM)
    add_custom_target(gzip-${file} ALL DEPENDS ${copy}.gz)
    install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

# mervane_add_man_page(<page>): installs the roff page <page> (named <program>.<section>) and
# checks that groff reads it cleanly.
function(mervane_add_man_page page)
    if(NOT page MATCHES "^(.+)\\.([1-9])$")
        message(FATAL_ERROR "${page}: a man page is named <program>.<section>")
    endif()
    set(program ${CMAKE_MATCH_1})
    mervane_install_gzipped(${page} ${CMAKE_INSTALL_MANDIR}/man${CMAKE_MATCH_2})

    if(MERVANE_BUILD_TESTS)
        # Any output at all is a warning: a macro groff does not know, a bad escape, a line
        # that cannot be set.
        add_test(NAME man.${program} COMMAND groff -man -ww -z -Tutf8
            ${CMAKE_CURRENT_SOURCE_DIR}/${page})
        set_tests_properties(man.${program} PROPERTIES FAIL_REGULAR_EXPRESSION ".")
    endif()
endfunction()
