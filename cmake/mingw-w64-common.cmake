# Shared by the two toolchain files: Debian's MinGW-w64 cross compilers (posix thread model) for PM_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PM_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PM_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PM_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
