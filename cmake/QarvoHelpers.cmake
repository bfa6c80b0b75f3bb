# Helpers shared by the deliverables and the tests.

# Puts a deliverable into the installed layout.
function(qarvo_deliverable target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${QARVO_BIN_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${QARVO_BIN_DIR}
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
        PREFIX "")
    # Shipped without debug information.
    target_link_options(${target} PRIVATE -s)
    set_property(GLOBAL APPEND PROPERTY QARVO_DELIVERABLES ${target})
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

# A GoogleTest program run under Wine; its tests are listed at test time, under Wine,
# so building never needs Wine.
function(qarvo_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE GTest::gtest_main ${ARG_LIBS})
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${QARVO_TEST_BIN_DIR}
        CROSSCOMPILING_EMULATOR ${QARVO_WINE_RUN})
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        WORKING_DIRECTORY ${QARVO_TEST_BIN_DIR}
        PROPERTIES ${ARG_PROPERTIES})
endfunction()
