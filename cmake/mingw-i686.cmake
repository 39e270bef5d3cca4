# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 POSIX-threads compilers; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELTO_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${VELTO_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTO_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTO_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

get_filename_component(_velto_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_velto_root}/scripts/wine-run")
