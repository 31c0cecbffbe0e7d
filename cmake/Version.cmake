# The version of everything the build makes comes from project(VERSION) alone. It reaches
# C++ and the resource compiler as generated/Version.h; scripts/package reads it there too.
if(PROJECT_VERSION_PATCH STREQUAL "")
    set(PROJECT_VERSION_PATCH 0)
endif()
if(PROJECT_VERSION_TWEAK STREQUAL "")
    set(OMBRIX_VERSION_TWEAK 0)
else()
    set(OMBRIX_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
endif()
set(OMBRIX_VERSION_RC
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${OMBRIX_VERSION_TWEAK}")
set(OMBRIX_VERSION_RC_TEXT
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${OMBRIX_VERSION_TWEAK}")
set(OMBRIX_VERSION_HEADER ${PROJECT_BINARY_DIR}/include/generated/Version.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${OMBRIX_VERSION_HEADER} @ONLY)
