// quillfort-sim's command line, apart from the process, so tests can run it.
#pragma once

#include <istream>
#include <ostream>

namespace qsim {

// Runs the program: 0 when every expectation held, 1 when one failed, 2 for a
// scenario it cannot run (or bad options).
int runCli(int argc, const char* const* argv, std::istream& in, std::ostream& out, bool terminal);

} // namespace qsim
