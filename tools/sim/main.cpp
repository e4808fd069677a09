// quillfort-sim: plays scripted sessions against a plugin module in the simulated host.
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  include <windows.h>

// Wide arguments keep every character of a path; the narrow ones keep only the
// code page's. The program works on UTF-8.
int wmain(int argc, wchar_t** wide)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(std::max(size, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.pop_back(); // the terminator
        arguments.push_back(std::move(argument));
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    _setmode(0, _O_BINARY); // a scenario's bytes as they are, a Ctrl-Z included
    // A copy of standard input, so that when it is closed, the first file the
    // program opens cannot take its place; reading -1 says it is closed.
    qsim::Lines in(_dup(0));
    return qsim::runCli(argc, argv.data(), in, std::cout, _isatty(0) != 0);
}

#else
#  include <unistd.h>

int main(int argc, char** argv)
{
    // A copy of standard input, so that when it is closed, the first file the
    // program opens cannot take its place; reading -1 says it is closed.
    qsim::Lines in(dup(0));
    return qsim::runCli(argc, argv, in, std::cout, isatty(0) != 0);
}

#endif
