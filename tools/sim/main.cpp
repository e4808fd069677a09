// quillfort-sim: plays scripted sessions against a plugin module in the simulated host.
#include <iostream>

#include "cli.h"

#if defined(_WIN32)
#  include <io.h>
#  define isatty _isatty
#else
#  include <unistd.h>
#endif

int main(int argc, char** argv) { return qsim::runCli(argc, argv, std::cin, std::cout, isatty(0) != 0); }
