# Cross build for 64-bit Windows with MinGW-w64. The posix thread model: the
# default win32 model of GCC 12 has no std::thread or std::mutex. Programs
# are linked statically, so that they run without the compiler's DLLs, and
# run under wine64 when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VAXO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
find_program(VAXO_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(VAXO_WINE64 NAMES wine64)
if(VAXO_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VAXO_WINE64})
endif()
