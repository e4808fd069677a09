# The plugin alone, against an SDK folder (TARNU_HOST_SDK): this project's staged
# one, or the real host's with the vendor's compiler. The simulated host, the tools
# and the tests need this project's own host, so none of them is built. A folder
# that is a CMake package (this project's) is taken as every plugin author takes
# it; one that is not (the real host's) by its layout.
if(NOT IS_DIRECTORY "${TARNU_HOST_SDK}")
  message(FATAL_ERROR "There is no SDK folder at '${TARNU_HOST_SDK}' (TARNU_HOST_SDK). Stage one from a build "
                      "of this project first: the sdk preset takes one from default-ci, sdk-windows from "
                      "windows-ci, as scripts/test does:\n"
                      "  cmake --workflow --preset default-ci\n"
                      "  cmake --install build/default-ci --component sdk --prefix build/sdk/linux\n"
                      "and for sdk-windows the same with windows-ci into build/sdk/windows (which also "
                      "wants build/sdk/linux).")
endif()
if(EXISTS ${TARNU_HOST_SDK}/lib/cmake/Quillfort/QuillfortConfig.cmake)
  find_package(Quillfort CONFIG REQUIRED PATHS ${TARNU_HOST_SDK} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  add_library(pluginsdk INTERFACE)
  target_link_libraries(pluginsdk INTERFACE Quillfort::headers)
else()
  find_library(PLUGINSDK_IMPORT_LIBRARY pluginsdk PATHS ${TARNU_HOST_SDK}/lib NO_DEFAULT_PATH
               NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  add_library(pluginsdk INTERFACE)
  target_include_directories(pluginsdk INTERFACE ${TARNU_HOST_SDK}/include)
  target_link_libraries(pluginsdk INTERFACE ${PLUGINSDK_IMPORT_LIBRARY})
endif()
add_subdirectory(files)
add_subdirectory(source)

# A folder this project made plays the plugin with its own quillfort-sim.
if(NOT TARNU_SIM AND EXISTS "${TARNU_HOST_SDK}/bin/quillfort-sim${CMAKE_EXECUTABLE_SUFFIX}")
  set(TARNU_SIM "${TARNU_HOST_SDK}/bin/quillfort-sim${CMAKE_EXECUTABLE_SUFFIX}")
endif()
if(TARNU_SIM)
  enable_testing()
  add_subdirectory(tests/sdk)
endif()
