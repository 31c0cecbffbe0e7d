# Windows tests, run under Wine. One prefix per build folder: a setup test starts it, a
# cleanup test ends every Wine process of it, so a test run leaves nothing behind; and the
# start removes what a run that was ended midway left in it.
if(OMBRIX_WINE_TESTS)
    add_test(NAME wine.prefix.start COMMAND ${CMAKE_CURRENT_LIST_DIR}/prefix-start ${OMBRIX_WINEPREFIX}
        ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot -i)
    set_tests_properties(wine.prefix.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    add_test(NAME wine.prefix.stop
        COMMAND env WINEPREFIX=${OMBRIX_WINEPREFIX} sh -c "wineserver -k; wineserver -w")
    set_tests_properties(wine.prefix.stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

file(GLOB win_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(ombrix_win_tests ${win_tests} ${CMAKE_SOURCE_DIR}/keyguard/win/PassListFile.cpp)
target_link_libraries(ombrix_win_tests PRIVATE ombrix_app ombrix_settings ombrix_scan ombrix_ui keyguard_core
    GTest::gtest_main psapi shlwapi)
string(REPLACE "/" "\\\\" program_dir_win "Z:${CMAKE_BINARY_DIR}/program")
string(REPLACE "/" "\\\\" source_dir_win "Z:${CMAKE_SOURCE_DIR}")
target_compile_definitions(ombrix_win_tests PRIVATE "OMBRIX_PROGRAM_DIR=\"${program_dir_win}\""
    "OMBRIX_SOURCE_DIR=\"${source_dir_win}\"")
add_dependencies(ombrix_win_tests ombrix ombrix_keylogger_database zarurarevidev)

# Recording stand-ins for the keyboard-encryption library, copied beside the program.
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/hooklib ${CMAKE_CURRENT_BINARY_DIR}/hooklib)
foreach(variant full no_start no_end)
    string(TOUPPER ${variant} upper)
    string(REPLACE "/" "\\\\" hook_dir_win "Z:${CMAKE_BINARY_DIR}/tests/hooklib/${variant}")
    set(hooklib_${variant} "OMBRIX_HOOKLIB_${upper}=\"${hook_dir_win}\\\\zarurarevidev.dll\"")
    target_compile_definitions(ombrix_win_tests PRIVATE ${hooklib_${variant}})
    add_dependencies(ombrix_win_tests ombrix_hook_${variant})
endforeach()

# The process the scan tests stop, copied under the names each test needs.
add_executable(ombrix_scan_target WIN32 ${CMAKE_CURRENT_LIST_DIR}/target/ScanTarget.cpp)
set_target_properties(ombrix_scan_target PROPERTIES OUTPUT_NAME scan_target
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
string(REPLACE "/" "\\\\" scan_target_win "Z:${CMAKE_BINARY_DIR}/tests/scan_target.exe")
target_compile_definitions(ombrix_win_tests PRIVATE "OMBRIX_SCAN_TARGET=\"${scan_target_win}\"")
add_dependencies(ombrix_win_tests ombrix_scan_target)
# The shell's handler in the window-command tests: it records what it was asked to open.
add_executable(ombrix_shell_recorder WIN32 ${CMAKE_CURRENT_LIST_DIR}/target/ShellRecorder.cpp)
set_target_properties(ombrix_shell_recorder PROPERTIES OUTPUT_NAME shell_recorder
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
string(REPLACE "/" "\\\\" shell_recorder_win "Z:${CMAKE_BINARY_DIR}/tests/shell_recorder.exe")
target_compile_definitions(ombrix_win_tests PRIVATE "OMBRIX_SHELL_RECORDER=\"${shell_recorder_win}\"")
add_dependencies(ombrix_win_tests ombrix_shell_recorder)
# The scan tests build their own keylogger tables with the tool.
target_compile_definitions(ombrix_win_tests PRIVATE "OMBRIX_DB_TOOL=\"$<TARGET_FILE:ombrix-db>\"")
add_dependencies(ombrix_win_tests ombrix-db)
# Tests that start ombrix.exe share the desktop and the single-instance rule, so they
# never run at the same time as each other.
# One test per suite: each Wine process costs seconds to start, and a suite's cases share
# what they start and wait for. The suites are read from the sources' TEST lines.
if(OMBRIX_WINE_TESTS)
    set(win_suites "")
    foreach(source ${win_tests})
        file(STRINGS ${source} lines REGEX "^TEST(_F|_P)?\\([A-Za-z0-9_]+,")
        foreach(line ${lines})
            string(REGEX REPLACE "^TEST(_F|_P)?\\(([A-Za-z0-9_]+),.*" "\\2" suite "${line}")
            list(APPEND win_suites ${suite})
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES win_suites)
    foreach(suite ${win_suites})
        add_test(NAME win.${suite} COMMAND ombrix_win_tests "--gtest_filter=${suite}.*:*/${suite}.*")
        set_tests_properties(win.${suite} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK desktop TIMEOUT 900
            FAIL_REGULAR_EXPRESSION "0 tests from 0 test suites ran")
    endforeach()
endif()

# The installer that the packaging test leaves in package-test/, run silently. Its tests
# install for the current user of the prefix (folders, Start menu, registry), so they run
# after that test and never beside another test that starts the program.
add_executable(ombrix_installer_tests
    ${CMAKE_CURRENT_LIST_DIR}/installer/InstallerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/installer/Installation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramUnderTest.cpp)
target_link_libraries(ombrix_installer_tests PRIVATE ombrix_settings_core GTest::gtest_main ole32 uuid shell32)
ombrix_target_defaults(ombrix_installer_tests)
string(REPLACE "/" "\\\\" installer_win
    "Z:${OMBRIX_PACKAGE_TEST_DIR}/signed/ombrix-setup-${PROJECT_VERSION}.exe")
target_compile_definitions(ombrix_installer_tests PRIVATE "OMBRIX_PROGRAM_DIR=\"${program_dir_win}\""
    "OMBRIX_INSTALLER=\"${installer_win}\"" ${hooklib_full})
add_dependencies(ombrix_installer_tests ombrix ombrix_keylogger_database ombrix_hook_full zarurarevidev)
if(OMBRIX_WINE_TESTS)
    add_test(NAME win.installer COMMAND ombrix_installer_tests)
    set_tests_properties(win.installer PROPERTIES FIXTURES_REQUIRED "wine;installer" RESOURCE_LOCK desktop
        TIMEOUT 900)
endif()
