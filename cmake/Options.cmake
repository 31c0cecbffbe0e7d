# Compiler flags shared by every target of the project.
function(ombrix_target_defaults target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
            -Wno-sign-conversion -Wno-missing-field-initializers)
    endif()
endfunction()

if(WIN32)
    # An ANSI program for Windows XP and later; everything linked statically so the
    # program folder holds ombrix.exe and its data files only.
    add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX
        WIN32_LEAN_AND_MEAN STRICT)
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(OMBRIX_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
