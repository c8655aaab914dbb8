# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, in the POSIX thread model that Qt 6 needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(qelo_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${qelo_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${qelo_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${qelo_mingw_prefix}-windres)

# Packages are looked for only in the MinGW-w64 tree and the roots given with -DCMAKE_FIND_ROOT_PATH (a Qt for
# MinGW-w64), never among the host's.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${qelo_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
