# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PM_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PM_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PM_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PM_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run through Wine; the 32-bit loader cannot run on this kernel, so call the 64-bit one directly.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
