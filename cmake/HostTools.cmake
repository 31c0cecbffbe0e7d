# The project's programs that the build itself runs on the build machine: ombrix-db (the
# shipped keylogger database) and ombrix-mask (the main window's stored shape). Natively
# they are this build's own targets. A Windows build builds both natively first, in
# host-tools/, with the build machine's own compilers, unless it is given them as
# OMBRIX_HOST_DB_TOOL and OMBRIX_HOST_MASK_TOOL.
# Sets OMBRIX_DB_TOOL_COMMAND and OMBRIX_MASK_TOOL_COMMAND (what to run), and
# OMBRIX_DB_TOOL_DEPENDS and OMBRIX_MASK_TOOL_DEPENDS (what a custom command running them
# depends on).
if(NOT CMAKE_CROSSCOMPILING)
    set(OMBRIX_DB_TOOL_COMMAND $<TARGET_FILE:ombrix-db>)
    set(OMBRIX_DB_TOOL_DEPENDS ombrix-db)
    set(OMBRIX_MASK_TOOL_COMMAND $<TARGET_FILE:ombrix-mask>)
    set(OMBRIX_MASK_TOOL_DEPENDS ombrix-mask)
elseif(OMBRIX_HOST_DB_TOOL AND OMBRIX_HOST_MASK_TOOL)
    set(OMBRIX_DB_TOOL_COMMAND ${OMBRIX_HOST_DB_TOOL})
    set(OMBRIX_DB_TOOL_DEPENDS ${OMBRIX_HOST_DB_TOOL})
    set(OMBRIX_MASK_TOOL_COMMAND ${OMBRIX_HOST_MASK_TOOL})
    set(OMBRIX_MASK_TOOL_DEPENDS ${OMBRIX_HOST_MASK_TOOL})
else()
    include(ExternalProject)
    set(host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
    set(OMBRIX_DB_TOOL_COMMAND ${host_tools_dir}/tools/ombrix-db)
    set(OMBRIX_MASK_TOOL_COMMAND ${host_tools_dir}/tools/ombrix-mask)
    ExternalProject_Add(ombrix_host_tools
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${host_tools_dir}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DOMBRIX_TESTS=OFF -Wno-dev
        BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools_dir} --target ombrix-db ombrix-mask
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${OMBRIX_DB_TOOL_COMMAND} ${OMBRIX_MASK_TOOL_COMMAND}
        # The outer build's cross compilers must not reach the native one.
        CMAKE_CACHE_ARGS -DCMAKE_TOOLCHAIN_FILE:FILEPATH=
        LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
    set(OMBRIX_DB_TOOL_DEPENDS ombrix_host_tools ${OMBRIX_DB_TOOL_COMMAND})
    set(OMBRIX_MASK_TOOL_DEPENDS ombrix_host_tools ${OMBRIX_MASK_TOOL_COMMAND})
    # A tool given alone is taken; the other comes from host-tools/.
    if(OMBRIX_HOST_DB_TOOL)
        set(OMBRIX_DB_TOOL_COMMAND ${OMBRIX_HOST_DB_TOOL})
        set(OMBRIX_DB_TOOL_DEPENDS ${OMBRIX_HOST_DB_TOOL})
    elseif(OMBRIX_HOST_MASK_TOOL)
        set(OMBRIX_MASK_TOOL_COMMAND ${OMBRIX_HOST_MASK_TOOL})
        set(OMBRIX_MASK_TOOL_DEPENDS ${OMBRIX_HOST_MASK_TOOL})
    endif()
endif()
