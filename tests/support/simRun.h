// quillfort-sim run in the test's own process, as an author runs it, with its output.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace support {

struct SimRun {
    int status;
    std::string output;
};

// Runs quillfort-sim on the scenario file, with its path printed as `case.qsim`.
SimRun runPath(const std::filesystem::path& file, std::vector<std::string> options = {});
// Writes the scenario to a file of its own and runs it so.
SimRun runFile(const std::string& scenario, std::vector<std::string> options = {});
// Runs quillfort-sim with no scenario, the text as its standard input, a terminal or not.
SimRun runInput(const std::string& input, bool terminal, std::vector<std::string> options = {});

// A desktop statement this platform can play: the size asked for, or the machine's
// own where the plugin measures that.
std::string desktopHere(int width, int height);

} // namespace support
