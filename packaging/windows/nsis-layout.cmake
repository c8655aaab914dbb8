# Run by cpack on the staged files before it makes the setup. The install folder holds the program as the portable
# zip does: qelo.exe with its libraries, the licence and the README, with no bin\ or share\ below it.
set(dir "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB moved "${dir}/bin/*" "${dir}/share/doc/qelo/*")
foreach(path IN LISTS moved)
    get_filename_component(name "${path}" NAME)
    file(RENAME "${path}" "${dir}/${name}")
endforeach()
file(REMOVE_RECURSE "${dir}/bin" "${dir}/share")

# Without their debugging symbols the libraries take half the room.
file(GLOB_RECURSE programs "${dir}/*.exe" "${dir}/*.dll")
execute_process(COMMAND "${CPACK_QELO_STRIP}" --strip-unneeded ${programs} COMMAND_ERROR_IS_FATAL ANY)

# Signed after stripping, which would break the signature; the uninstaller and the setup are signed as NSIS
# writes them.
execute_process(COMMAND bash "${CPACK_QELO_SIGN}" "${dir}/qelo.exe" COMMAND_ERROR_IS_FATAL ANY)

# NSIS would pack the folder in the order the file system lists it; a sorted list packs it alike on any machine.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
list(SORT files)
set(install "")
set(current "-")
foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    if(NOT folder STREQUAL current)
        set(current "${folder}")
        string(REPLACE "/" "\\" folder "$INSTDIR/${folder}")
        string(REGEX REPLACE "\\\\$" "" folder "${folder}")
        string(APPEND install "SetOutPath \"${folder}\"\n")
    endif()
    string(APPEND install "File \"${dir}/${file}\"\n")
endforeach()
file(WRITE "${dir}.files.nsh" "${install}SetOutPath \"$INSTDIR\"\n")
