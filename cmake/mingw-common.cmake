# Cross-compiling for Windows with MinGW-w64 (the -posix thread model, whose C++ library has
# std::thread and std::mutex), for the processor that the including toolchain file names in
# OMBRIX_MINGW_PROCESSOR and OMBRIX_MINGW_TRIPLET. Programs built here run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OMBRIX_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${OMBRIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OMBRIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OMBRIX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OMBRIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
