# Cross build for 64-bit Windows: the build that is tested and shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PM_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Tests run through Wine's 64-bit loader, started as tools/wine-exec.sh says.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec.sh)
