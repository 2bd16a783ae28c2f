# Runs the layer check on a tree with faults planted in it and passes only when the check fails
# for exactly those faults: each line of the tree's expected-faults.txt (a regular expression)
# matches a report, and there are no other reports.
#   cmake -DCHECK=<CheckLayers.cmake> -DTREE=<folder holding src/ and expected-faults.txt> -P ...
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${TREE} -P ${CHECK}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(result EQUAL 0)
    message(FATAL_ERROR "The check passed a tree with planted faults")
endif()
file(STRINGS ${TREE}/expected-faults.txt expected)
foreach(pattern ${expected})
    if(NOT output MATCHES "${pattern}")
        message(FATAL_ERROR "The check did not report: ${pattern}")
    endif()
endforeach()
list(LENGTH expected count)
if(NOT output MATCHES "[\r\n ]${count} fault\\(s\\) in the layering")
    message(FATAL_ERROR "The check did not report exactly the ${count} planted faults")
endif()
