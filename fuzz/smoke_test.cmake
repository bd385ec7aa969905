# One fuzz target's smoke run, as CTest runs it: cmake -DNAME=... -DFUZZER=... -DWORK=... -DCORPUS=...
# -DRUNS=... [-DDICT=...] -P smoke_test.cmake. The run starts from an empty work folder, so what an earlier run found
# cannot change this one: the same seed and the same number of runs give the same executions every time.
# It is bounded by the number of runs only; the CTest time limit is a safety net that fails the test.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus)
set(args -seed=1 -runs=${RUNS} -reload=0 -timeout=60 -rss_limit_mb=2048 -print_final_stats=1
         -artifact_prefix=${WORK}/)
if(DICT)
  list(APPEND args -dict=${DICT})
endif()
# The fuzzer learns from the values its target compares, pointers among them: with addresses that
# change from run to run, so would the inputs it tries. Address randomisation is turned off for the run.
set(launcher "")
find_program(SETARCH setarch)
if(SETARCH)
  execute_process(COMMAND ${SETARCH} ${CMAKE_HOST_SYSTEM_PROCESSOR} -R true RESULT_VARIABLE setarch_result
                  OUTPUT_QUIET ERROR_QUIET)
  if(setarch_result EQUAL 0)
    set(launcher ${SETARCH} ${CMAKE_HOST_SYSTEM_PROCESSOR} -R)
  endif()
endif()
if(NOT launcher)
  message(WARNING "setarch -R is not available: the executions are fixed, the inputs tried may vary")
endif()
execute_process(COMMAND ${launcher} ${FUZZER} ${args} ${WORK}/corpus ${CORPUS}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("${out}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input that failed is in ${WORK}")
endif()
string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" executed "${out}")
set(executed "${CMAKE_MATCH_1}")
if(NOT executed EQUAL RUNS)
  message(FATAL_ERROR "${FUZZER} ran ${executed} inputs, not ${RUNS}")
endif()
# The coverage reached, without the figures that depend on the machine's speed.
string(REGEX MATCH "#[0-9]+[ \t]+DONE +cov: [0-9]+ ft: [0-9]+ corp: [^ ]+" done "${out}")
message("fuzz smoke run: ${NAME}: ${executed} executions; ${done}")
