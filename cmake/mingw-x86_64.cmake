# Cross build for Windows (x86_64).
set(TESSARYN_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
