# cmake -DPROGRAM=<test program> -DFILTER=<gtest filter> -DEMPTY=<folder> -P SamplesAbsent.cmake
# Runs the sample tests with SMT_EDA_SAMPLES set to an empty folder: every
# one of them must be skipped with a message naming SMT_EDA_SAMPLES, none may
# run, and the program must pass.
file(REMOVE_RECURSE "${EMPTY}")
file(MAKE_DIRECTORY "${EMPTY}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "SMT_EDA_SAMPLES=${EMPTY}" QT_QPA_PLATFORM=offscreen
          "${PROGRAM}" "--gtest_filter=${FILTER}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 240)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the sample tests failed without the samples (exit ${rc})")
endif()
if(NOT out MATCHES "\\[  SKIPPED \\]")
  message(FATAL_ERROR "no sample test was skipped: the filter '${FILTER}' matched nothing")
endif()
if(out MATCHES "\\[       OK \\]")
  message(FATAL_ERROR "a sample test ran although the samples folder is empty")
endif()
if(NOT out MATCHES "SMT_EDA_SAMPLES")
  message(FATAL_ERROR "the skip message does not name SMT_EDA_SAMPLES")
endif()
