// quillfort-sim as a player starts it: a process of its own, so that what ends the
// process (a signal, a module that calls exit or crashes) can be seen from outside.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace support {

struct ProgramRun {
    int status;         // the exit status, or 128 + the signal that ended it (POSIX)
    std::string output; // standard output, then standard error
};

// Runs the quillfort-sim beside the test program with the arguments, its temporary
// folders made under `temporary` and its standard input the null device, and waits
// for it to end.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& temporary);

} // namespace support
