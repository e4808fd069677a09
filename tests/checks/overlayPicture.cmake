# The README's picture is what the example evening draws today.
# -DDRAWN=<the evening's last picture> -DSHOWN=<docs/overlay.png>
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${DRAWN} ${SHOWN} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "${SHOWN} is not what the example evening draws today (${DRAWN}): "
                      "scripts/run-example refreshes it")
endif()
