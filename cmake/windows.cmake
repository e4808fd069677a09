# The mingw-w64 cross-build: programs run under Wine, beside the MinGW runtime DLLs.
# A throwaway prefix; a build that runs next to another can share that one's.
set(TARNU_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "The Wine prefix the Windows programs run in")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# One shared C++ runtime for the programs, the host library and the plugin, as
# they pass standard library objects to each other: beside the programs, in each
# configuration's folder where the generator makes one per configuration.
get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
set(program_folders ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
if(multi_config)
  list(TRANSFORM CMAKE_CONFIGURATION_TYPES PREPEND ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ OUTPUT_VARIABLE program_folders)
endif()
# The compiler is asked with the target and flags it builds with, as a compiler
# that targets more than one system (clang) knows the runtime only for its target;
# failing that, the runtime is looked for in the folders it links from.
set(runtime_query ${CMAKE_CXX_COMPILER})
if(CMAKE_CXX_COMPILER_TARGET)
  list(APPEND runtime_query --target=${CMAKE_CXX_COMPILER_TARGET})
endif()
separate_arguments(compile_flags NATIVE_COMMAND "${CMAKE_CXX_FLAGS}")
list(APPEND runtime_query ${compile_flags})
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${runtime_query} -print-file-name=${runtime}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${runtime_path}")
    find_file(runtime_path_${runtime} ${runtime} PATHS ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES} NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    set(runtime_path ${runtime_path_${runtime}})
  endif()
  if(NOT EXISTS "${runtime_path}")
    message(FATAL_ERROR "MinGW runtime ${runtime} not found: neither ${CMAKE_CXX_COMPILER} nor the folders it links "
                        "from (${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES}) have it")
  endif()
  foreach(folder ${program_folders})
    file(COPY ${runtime_path} DESTINATION ${folder})
  endforeach()
  # quillfort-sim in an SDK folder runs beside the same runtime.
  install(FILES ${runtime_path} DESTINATION bin COMPONENT sdk EXCLUDE_FROM_ALL)
endforeach()
