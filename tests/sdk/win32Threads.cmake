# The project's mingw-w64 toolchain with the compilers of the win32 thread model,
# which the package refuses: the host shares its posix-model C++ runtime.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
