# Runs one fuzz target for SECONDS on a fresh copy of its seed corpus in WORK,
# so new inputs never land in the source tree; fails when the target finds a
# crash, a broken property, a leak or an input slower than ten seconds.
#   cmake -D FUZZER=<target> -D SEEDS=<seed dir> -D WORK=<scratch dir>
#         -D SECONDS=<n> [-D DICTIONARY=<file>] -P run_fuzzer.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK}/corpus)

set(options -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
            -artifact_prefix=${WORK}/artifacts/)
if(DICTIONARY)
  list(APPEND options -dict=${DICTIONARY})
endif()
execute_process(COMMAND ${FUZZER} ${options} ${WORK}/corpus RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${status}); its input is in ${WORK}/artifacts")
endif()
