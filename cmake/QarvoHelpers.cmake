# Helpers shared by the deliverables and the tests.

# Puts a deliverable into the installed layout.
function(qarvo_deliverable target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${QARVO_BIN_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${QARVO_BIN_DIR}
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
        PREFIX "")
    # Shipped stripped; the debug information stays in the build tree (debug/NAME.debug, linked
    # by .gnu_debuglink), so that a crash dump from a user's Explorer can be symbolised.
    set(debug_dir ${CMAKE_BINARY_DIR}/debug)
    set(debug_file ${debug_dir}/$<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${debug_dir}
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${debug_file}
                $<TARGET_FILE:${target}>
        VERBATIM)
    set_property(GLOBAL APPEND PROPERTY QARVO_DELIVERABLES ${target})
endfunction()

# Builds target with mingw-w64's win32 thread model instead of the toolchain's posix one: its
# C++ runtime then keeps its thread-local data and locks on the system's own calls instead of
# carrying the static winpthread library. The libraries given are compiled into the target,
# by the same driver and with the target's options; the rest of the build keeps the posix
# model, which std::thread needs.
function(qarvo_win32_threads target)
    string(REGEX REPLACE "-posix$" "-win32" driver ${CMAKE_CXX_COMPILER})
    if(driver STREQUAL CMAKE_CXX_COMPILER OR NOT EXISTS ${driver})
        message(FATAL_ERROR "${target} needs the win32 thread model driver beside "
                            "${CMAKE_CXX_COMPILER} (scripts/setup.sh installs it)")
    endif()
    set(launcher sh ${PROJECT_SOURCE_DIR}/cmake/win32-threads.sh ${driver})
    set_target_properties(${target} PROPERTIES
        CXX_COMPILER_LAUNCHER "${launcher}"
        CXX_LINKER_LAUNCHER "${launcher}")
    foreach(lib ${ARGN})
        get_target_property(sources ${lib} SOURCES)
        get_target_property(dir ${lib} SOURCE_DIR)
        list(TRANSFORM sources PREPEND ${dir}/)
        get_target_property(includes ${lib} INTERFACE_INCLUDE_DIRECTORIES)
        get_target_property(uses ${lib} INTERFACE_LINK_LIBRARIES)
        target_sources(${target} PRIVATE ${sources})
        target_include_directories(${target} PRIVATE ${includes})
        if(uses)
            target_link_libraries(${target} PRIVATE ${uses})
        endif()
    endforeach()
endfunction()

# <dll>_delay: an import library for the named functions of a system DLL that loads the DLL at
# the first call of one of them, not at the program's start. A function not named keeps its
# ordinary import (and with it the load at start), so name every one the program calls.
# Usage: qarvo_delay_import(comdlg32 GetOpenFileNameW ...)
function(qarvo_delay_import dll)
    set(dir ${CMAKE_BINARY_DIR}/delayimp)
    set(def ${dir}/${dll}.def)
    list(JOIN ARGN "\n" exports)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    set(lib ${dir}/lib${dll}_delay.a)
    add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-delaylib ${lib}
        DEPENDS ${def}
        VERBATIM)
    add_custom_target(${dll}_delay_lib DEPENDS ${lib})
    add_library(${dll}_delay INTERFACE)
    target_link_libraries(${dll}_delay INTERFACE ${lib})
    add_dependencies(${dll}_delay ${dll}_delay_lib)
endfunction()

# Names a data file of the installed layout, by its path below QARVO_BIN_DIR; producer is the
# target that makes it, when one does.
function(qarvo_deliverable_file relative_path)
    cmake_parse_arguments(ARG "" "PRODUCER" "" ${ARGN})
    set_property(GLOBAL APPEND PROPERTY QARVO_DELIVERABLE_FILES ${relative_path})
    if(ARG_PRODUCER)
        set_property(GLOBAL APPEND PROPERTY QARVO_DELIVERABLE_PRODUCERS ${ARG_PRODUCER})
    endif()
endfunction()

# Wine: the tree's own prefix and a launcher that CTest uses as emulator.
find_program(QARVO_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
if(NOT QARVO_WINE)
    find_program(QARVO_WINE NAMES wine64 wine)
endif()
set(QARVO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE
    @ONLY)
set(QARVO_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)

# Sets RESOURCE_LOCK locks on the tests a discovery lists in list_var. A list survives the
# discovery's PROPERTIES only as its separate words, each taken for a property: the locks are set
# by an include of their own, read after the discovery's.
function(qarvo_lock_discovered list_var locks)
    set(locks_file ${CMAKE_CURRENT_BINARY_DIR}/${list_var}_locks.cmake)
    file(WRITE ${locks_file}
        "foreach(test IN LISTS ${list_var})\n"
        "    set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK \"${locks}\")\n"
        "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${locks_file})
endfunction()

# A GoogleTest program run under Wine; its tests are listed at test time, under Wine,
# so building never needs Wine. LOCKS names the resources its tests hold (RESOURCE_LOCK).
# DPI_TESTS, a GoogleTest filter, names tests that run once more at each of QARVO_TEST_DPIS
# (as dpi<N>.<test>): wine-run gives their process that DPI through LogPixels, a setting of the
# whole prefix, so they also hold the registry's lock, besides the display's of their suite.
set(QARVO_TEST_DPIS 144 192)
function(qarvo_gtest target)
    cmake_parse_arguments(ARG "" "DPI_TESTS" "SOURCES;LIBS;LOCKS;PROPERTIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE GTest::gtest_main ${ARG_LIBS})
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${QARVO_TEST_BIN_DIR}
        CROSSCOMPILING_EMULATOR ${QARVO_WINE_RUN})
    # Under Wine a stack overflow ends the process with status 0: a test passes only when
    # GoogleTest itself says so.
    set(passed PASS_REGULAR_EXPRESSION "PASSED  . 1 test.|SKIPPED . 1 test")
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${QARVO_TEST_BIN_DIR}
        PROPERTIES ${passed} ${ARG_PROPERTIES})
    if(ARG_LOCKS)
        qarvo_lock_discovered(${target}_TESTS "${ARG_LOCKS}")
    endif()
    if(ARG_DPI_TESTS)
        set(locks ${ARG_LOCKS} registry)
        list(REMOVE_DUPLICATES locks)
        foreach(dpi ${QARVO_TEST_DPIS})
            gtest_discover_tests(${target}
                DISCOVERY_MODE PRE_TEST
                DISCOVERY_TIMEOUT 60
                WORKING_DIRECTORY ${QARVO_TEST_BIN_DIR}
                TEST_PREFIX dpi${dpi}.
                TEST_FILTER ${ARG_DPI_TESTS}
                TEST_LIST ${target}_dpi${dpi}_TESTS
                PROPERTIES ${passed} ENVIRONMENT QARVO_TEST_DPI=${dpi} ${ARG_PROPERTIES})
            qarvo_lock_discovered(${target}_dpi${dpi}_TESTS "${locks}")
        endforeach()
    endif()
endfunction()

# QarvoIdentity.h from the identity variables of the top CMakeLists.txt, and the interface
# library that puts it (and the shared version resource) on a target's include path.
# A CLSID "8-4-4-4-12" as the parts of its initialiser: {0x..., 0x..., 0x..., {0x.., ... 8 bytes}}.
function(qarvo_clsid_init clsid out)
    string(REPLACE "-" "" hex ${clsid})
    string(SUBSTRING ${hex} 0 8 d1)
    string(SUBSTRING ${hex} 8 4 d2)
    string(SUBSTRING ${hex} 12 4 d3)
    set(bytes)
    foreach(i RANGE 16 30 2)
        string(SUBSTRING ${hex} ${i} 2 b)
        list(APPEND bytes "0x${b}")
    endforeach()
    list(JOIN bytes ", " bytes)
    set(${out} "0x${d1}, 0x${d2}, 0x${d3}, {${bytes}}" PARENT_SCOPE)
endfunction()

function(qarvo_generate_identity)
    string(REPLACE "." "," QARVO_HANDLER_VERSION_NUMBERS ${QARVO_HANDLER_VERSION})
    qarvo_clsid_init(${QARVO_HANDLER_CLSID} QARVO_HANDLER_CLSID_INIT)
    qarvo_clsid_init(${QARVO_COMMAND_CLSID} QARVO_COMMAND_CLSID_INIT)
    set(dir ${CMAKE_BINARY_DIR}/generated)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/QarvoIdentity.h.in ${dir}/QarvoIdentity.h @ONLY)
    add_library(qarvo_identity INTERFACE)
    target_include_directories(qarvo_identity INTERFACE ${dir} ${PROJECT_SOURCE_DIR}/cmake)
endfunction()
