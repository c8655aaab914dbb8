# Run by cpack on the staged files before it builds the Debian package. Debian keeps games in /usr/games;
# `cmake --install` keeps bin/, which a per-user prefix such as ~/.local has on PATH.
set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(RENAME "${usr}/bin" "${usr}/games")

# The menu entry names the program by its path: not every desktop session has /usr/games on PATH.
file(GLOB desktop "${usr}/share/applications/*.desktop")
file(READ "${desktop}" entry)
string(REPLACE "\nExec=qelo\n" "\nExec=/usr/games/qelo\n" entry "${entry}")
file(WRITE "${desktop}" "${entry}")

file(COPY ${CPACK_QELO_DOC_FILES} DESTINATION "${usr}/share/doc/qelo"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
