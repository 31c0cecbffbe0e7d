# The program as it ships: 32-bit Windows.
set(OMBRIX_MINGW_PROCESSOR i686)
set(OMBRIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
