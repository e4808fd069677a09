// quillfort-sim's command line, apart from the process, so tests can run it.
#pragma once

#include <ostream>

#include "lines.h"

namespace qsim {

// Runs the program on UTF-8 arguments, with `in` as its standard input: 0 when
// every expectation held, 1 when one failed, 2 for a scenario it cannot run or
// read (or bad options).
int runCli(int argc, const char* const* argv, Lines& in, std::ostream& out, bool terminal);

// The status to exit with once the report is out: 2, with a line on `err`, when it
// could not all be written (a full disk, a closed output, a reader gone), as a
// verdict nobody could read is none.
int reported(std::ostream& out, std::ostream& err, int status);

} // namespace qsim
