# Fails when a translation does not match the sources: lupdate, run over a copy of each .ts file
# as `update-translations` would, finds texts that are new, or leaves entries unfinished,
# vanished or obsolete, or meets a tr() it cannot give a context (a text it would miss).
#   cmake -DLUPDATE=<lupdate> -DSOURCES=<src folder> -DTS_FILES=<a.ts,b.ts> -DWORK=<folder>
#         -P checktranslations.cmake
foreach(variable LUPDATE SOURCES TS_FILES WORK)
    if(NOT ${variable})
        message(FATAL_ERROR "checktranslations: ${variable} is not set")
    endif()
endforeach()
string(REPLACE "," ";" ts_files "${TS_FILES}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

set(problems "")
foreach(ts IN LISTS ts_files)
    get_filename_component(name "${ts}" NAME)
    set(copy "${WORK}/${name}")
    configure_file("${ts}" "${copy}" COPYONLY)
    execute_process(COMMAND "${LUPDATE}" -locations none "${SOURCES}" -ts "${copy}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    message("${output}${errors}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${LUPDATE} failed (${result})")
    endif()
    if(NOT "${output}${errors}" MATCHES "Found ([0-9]+) source text\\(s\\) \\(([0-9]+) new")
        message(FATAL_ERROR "lupdate's summary (\"Found N source text(s) (M new ...\") is missing")
    endif()
    set(found ${CMAKE_MATCH_1})
    set(new ${CMAKE_MATCH_2})
    if(found EQUAL 0)
        message(FATAL_ERROR "lupdate found no source text in ${SOURCES}")
    endif()
    if(NOT new EQUAL 0)
        string(APPEND problems "${name}: ${new} new source text(s)\n")
    endif()
    file(STRINGS "${copy}" unfinished REGEX "type=\"unfinished\"")
    list(LENGTH unfinished count)
    if(count GREATER 0)
        string(APPEND problems "${name}: ${count} unfinished entries\n")
    endif()
    file(STRINGS "${copy}" gone REGEX "type=\"(vanished|obsolete)\"")
    list(LENGTH gone count)
    if(count GREATER 0)
        string(APPEND problems "${name}: ${count} vanished or obsolete entries\n")
    endif()
    string(REGEX MATCHALL "[^\n]*tr\\(\\) cannot be called without context[^\n]*" lost
        "${output}${errors}")
    if(lost)
        list(JOIN lost "\n" lost)
        string(APPEND problems "texts lupdate cannot see:\n${lost}\n")
    endif()
endforeach()

if(problems)
    message(FATAL_ERROR "The translations do not match the sources:\n${problems}"
        "Run `cmake --build <build folder> --target update-translations`, translate what "
        "Linguist marks unfinished and commit the .ts files.")
endif()
