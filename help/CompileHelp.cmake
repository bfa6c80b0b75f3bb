# Compiles the help in a fresh copy of its sources. chmcmd can exit with an error and still
# leave a partial file, it only warns about a page that a link names but that is missing, and
# it says nothing of a missing page that only the contents or the index name: any of these
# fails the build, and no Menu.chm is left behind.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${SOURCES} DESTINATION ${STAGE})
file(REMOVE ${OUTPUT})

set(missing)
foreach(list Menu.hhc Menu.hhk)
    file(STRINGS ${STAGE}/${list} locals REGEX "name=\"Local\"")
    foreach(line IN LISTS locals)
        string(REGEX REPLACE ".*name=\"Local\" value=\"([^\"#]*).*" "\\1" page "${line}")
        if(NOT EXISTS ${STAGE}/${page})
            list(APPEND missing "${list} names ${page}, which does not exist")
        endif()
    endforeach()
endforeach()

execute_process(
    COMMAND ${CHMCMD} Menu.hhp
    WORKING_DIRECTORY ${STAGE}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)

string(REGEX MATCHALL "[^\n]*(does not exist|couldn't find)[^\n]*" warnings "${output}")
list(APPEND missing ${warnings})
if(NOT result EQUAL 0 OR missing OR NOT EXISTS ${STAGE}/Menu.chm)
    file(REMOVE ${STAGE}/Menu.chm)
    list(JOIN missing "\n" missing)
    message(FATAL_ERROR "Menu.chm not built (chmcmd exit ${result}):\n${missing}\n${output}")
endif()
file(COPY_FILE ${STAGE}/Menu.chm ${OUTPUT})
