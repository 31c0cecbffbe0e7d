# The same sources for 64-bit Windows: the build that the Windows tests run on when this
# machine's kernel cannot run 32-bit programs (wine64 needs no 32-bit support).
set(OMBRIX_MINGW_PROCESSOR x86_64)
set(OMBRIX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
