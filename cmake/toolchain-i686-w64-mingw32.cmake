# Cross build for 32-bit Windows. It must compile and link; it cannot run here.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PM_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
