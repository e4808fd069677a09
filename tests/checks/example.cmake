# Builds the example plugin as an author outside this project would, against an SDK
# folder with find_package alone, and runs its scenarios as CTest tests with the
# SDK folder's own quillfort-sim: they pass; beside them, a scenario whose
# expectation is wrong fails.
# -DSOURCE= -DWORK= -DSDK= [-DTOOLCHAIN=] [-DRUN=<emulator>]
file(REMOVE_RECURSE ${WORK})
file(COPY ${SOURCE}/ DESTINATION ${WORK}/source)
set(configure ${CMAKE_COMMAND} -S ${WORK}/source -B ${WORK}/build -DCMAKE_PREFIX_PATH=${SDK}
              -DCMAKE_BUILD_TYPE=Release)
if(TOOLCHAIN)
  list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_CROSSCOMPILING_EMULATOR=${RUN})
endif()
function(check what expected)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if((expected STREQUAL "pass" AND NOT status EQUAL 0) OR (expected STREQUAL "fail" AND status EQUAL 0))
    message(FATAL_ERROR "the example: ${what} should ${expected}, status ${status}:\n${output}")
  endif()
endfunction()
check("configuring against ${SDK}" pass ${configure})
check("building" pass ${CMAKE_COMMAND} --build ${WORK}/build)
check("its scenarios as tests" pass ${CMAKE_CTEST_COMMAND} --test-dir ${WORK}/build --output-on-failure)

file(WRITE ${WORK}/source/wrong.qsim "load\nconsole gp_report\nexpect log \"gp: 1 goals\"\n")
check("configuring with a wrong scenario" pass ${configure})
check("the wrong scenario as a test" fail ${CMAKE_CTEST_COMMAND} --test-dir ${WORK}/build -R goalPlugin.wrong)
check("the good scenario beside it" pass ${CMAKE_CTEST_COMMAND} --test-dir ${WORK}/build -R goalPlugin.goals)
message(STATUS "the example built against ${SDK}; its scenario passed and a wrong one failed in ctest")
