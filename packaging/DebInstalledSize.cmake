# Sets each package's Installed-Size the way dpkg counts it: every file or link in KiB, rounded
# up, and one KiB for every other entry. CPack's DEB generator counts a folder as 4 KiB and the
# file behind a symbolic link, so the links into the tool chain added the size of the compiler.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    set(root ${deb}.unpacked)
    file(REMOVE_RECURSE ${root})
    execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${root} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND find ${root} -mindepth 1 -path ${root}/DEBIAN -prune -o
                            -printf "%y %s\n"
                    OUTPUT_VARIABLE entries COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "[^\n]+" entries "${entries}")
    set(size 0)
    foreach(entry IN LISTS entries)
        string(REGEX MATCH "^([fl]) ([0-9]+)$" content "${entry}")
        if(content)
            math(EXPR size "${size} + (${CMAKE_MATCH_2} + 1023) / 1024")
        else()
            math(EXPR size "${size} + 1")
        endif()
    endforeach()
    file(READ ${root}/DEBIAN/control control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+" "\nInstalled-Size: ${size}" control
           "${control}")
    file(WRITE ${root}/DEBIAN/control "${control}")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${root} ${deb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${root})
endforeach()
