# The end-to-end behaviours: every scenario of tests/scenarios/, and on Linux the
# example evening, as one CTest test each, named with `prefix`. `sim` is the
# quillfort-sim target or program that plays them; `plugin` the module it loads
# (empty: the one beside it). Scenarios are configured first, so that
# @PROJECT_VERSION@ in them is the build's version.
function(tarnu_add_scenarios prefix sim plugin)
  set(run ${sim})
  if(NOT TARGET ${sim} AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(run ${CMAKE_CROSSCOMPILING_EMULATOR} ${sim})
  endif()
  set(options --quiet)
  if(plugin)
    list(APPEND options --plugin ${plugin})
  endif()
  file(GLOB scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/scenarios/*.qsim)
  foreach(scenario ${scenarios})
    get_filename_component(name ${scenario} NAME_WE)
    file(STRINGS ${scenario} sets_desktop REGEX "^desktop ")
    if(WIN32 AND sets_desktop)
      # On Windows the plugin measures the real desktop, so a scenario that sets one
      # cannot hold there; loadTest and settingsPageTest check the real size instead.
      message(STATUS "${prefix}scenario.${name}: sets a simulated desktop, Linux only")
      continue()
    endif()
    configure_file(${scenario} ${CMAKE_BINARY_DIR}/scenarios/${name}.qsim @ONLY)
    add_test(NAME ${prefix}scenario.${name} COMMAND ${run} ${options} ${CMAKE_BINARY_DIR}/scenarios/${name}.qsim)
  endforeach()
  if(NOT WIN32) # it sets a desktop of its own, which Windows, measuring the machine's, cannot give
    add_test(NAME ${prefix}example.session COMMAND ${run} ${options} --pictures ${CMAKE_BINARY_DIR}/pictures
                                                   ${PROJECT_SOURCE_DIR}/examples/session.qsim)
    set_tests_properties(${prefix}example.session PROPERTIES FIXTURES_SETUP ${prefix}evening)
    add_test(NAME ${prefix}example.pictureInReadme
             COMMAND ${CMAKE_COMMAND} -DDRAWN=${CMAKE_BINARY_DIR}/pictures/03-evening.png
                     -DSHOWN=${PROJECT_SOURCE_DIR}/docs/overlay.png -P ${PROJECT_SOURCE_DIR}/tests/checks/overlayPicture.cmake)
    set_tests_properties(${prefix}example.pictureInReadme PROPERTIES FIXTURES_REQUIRED ${prefix}evening)
  endif()
endfunction()
