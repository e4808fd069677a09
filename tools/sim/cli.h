// quillfort-sim's command line, apart from the process, so tests can run it.
#pragma once

#include <ostream>

#include "lines.h"

namespace qsim {

// Runs the program on UTF-8 arguments, with `in` as its standard input: 0 when
// every expectation held, 1 when one failed, 2 for a scenario it cannot run or
// read (or bad options).
int runCli(int argc, const char* const* argv, Lines& in, std::ostream& out, bool terminal);

} // namespace qsim
