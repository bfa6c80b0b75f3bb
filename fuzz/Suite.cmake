# The fuzz targets as tests of the suite: built natively with clang beside the cross build, each
# replaying its seed corpus and then fuzzing for a bounded time. scripts/fuzz.sh runs longer.
include(ExternalProject)

# One target per seed corpus folder, <name>_fuzz in this folder's CMakeLists.txt.
file(GLOB QARVO_FUZZ_TARGETS RELATIVE ${CMAKE_CURRENT_LIST_DIR}/corpus
     LIST_DIRECTORIES true ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
set(QARVO_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in the test suite")
set(QARVO_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)

ExternalProject_Add(fuzz_targets
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${QARVO_FUZZ_DIR}/build
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DQARVO_WERROR=${QARVO_WERROR}
    INSTALL_COMMAND ""
    # Let the inner build decide what changed, including the sources it shares with ours.
    BUILD_ALWAYS ON)

foreach(name ${QARVO_FUZZ_TARGETS})
    add_test(NAME fuzz.${name}
        COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh ${QARVO_FUZZ_DIR}/build/${name}_fuzz
                ${CMAKE_CURRENT_LIST_DIR}/corpus/${name} ${QARVO_FUZZ_DIR} ${QARVO_FUZZ_SECONDS})
endforeach()
