# Cross-compiling kdb2mid for 64-bit Windows with Debian's MinGW-w64
# (package g++-mingw-w64-x86-64). The "-posix" compiler variant is the one
# whose C++ library has std::thread and std::mutex, which the batch uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KDB2MID_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KDB2MID_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KDB2MID_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KDB2MID_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KDB2MID_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
