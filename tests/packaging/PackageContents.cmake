# Makes the Debian package and checks what it holds: the program folder, the commands with
# their manual pages and shell completion, the desktop entry with its MIME type, the icons,
# the AppStream metadata, the licence and changelog, and the libraries it depends on.
find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT DPKG_DEB OR NOT DPKG_SHLIBDEPS)
    message("SKIPPED: making the Debian package needs dpkg-deb and dpkg-shlibdeps (dpkg-dev)")
    return()
endif()

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CPACK} -G DEB --config ${CONFIG} -B ${WORK}
    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB package ${WORK}/tessary_${VERSION}_*.deb)
if(failed OR NOT package)
    message(FATAL_ERROR "No package tessary_${VERSION}_<arch>.deb was made:\n${output}")
endif()

execute_process(COMMAND ${DPKG_DEB} -c ${package} OUTPUT_VARIABLE contents)
foreach(path bin/tessary bin/tessary-pages ${PROGRAM_DIR}/tessary ${PROGRAM_DIR}/tessary-view
        ${PROGRAM_DIR}/blank.tif ${PROGRAM_DIR}/about.txt share/applications/tessary.desktop
        share/icons/hicolor/16x16/apps/tessary.png share/icons/hicolor/256x256/apps/tessary.png
        share/man/man1/tessary.1.gz share/man/man1/tessary-pages.1.gz
        share/bash-completion/completions/tessary-pages share/zsh/vendor-completions/_tessary-pages
        share/metainfo/org.tessary.Tessary.metainfo.xml
        share/doc/tessary/copyright share/doc/tessary/changelog.gz)
    if(NOT contents MATCHES " \\./usr/${path}( ->|\n)")
        message(SEND_ERROR "The package holds no /usr/${path}:\n${contents}")
    endif()
endforeach()
if(NOT contents MATCHES " \\./usr/bin/tessary -> \\.\\./${PROGRAM_DIR}/tessary\n")
    message(SEND_ERROR "/usr/bin/tessary is no link to the program:\n${contents}")
endif()

execute_process(COMMAND ${DPKG_DEB} -x ${package} ${WORK}/root)
file(READ ${WORK}/root/usr/share/applications/tessary.desktop entry)
foreach(line "Exec=/usr/${PROGRAM_DIR}/tessary %F" "MimeType=image/tiff;" "Icon=tessary")
    string(FIND "${entry}" "\n${line}\n" at)
    if(at EQUAL -1)
        message(SEND_ERROR "The desktop entry has no line ${line}:\n${entry}")
    endif()
endforeach()

execute_process(COMMAND ${DPKG_DEB} -f ${package} Depends OUTPUT_VARIABLE depends)
foreach(dependency qt6-qpa-plugins libqt6widgets6 libtiff6 libchm1)
    if(NOT depends MATCHES "(^|, )${dependency}( |,|\n|$)")
        message(SEND_ERROR "The package does not depend on ${dependency}: ${depends}")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
