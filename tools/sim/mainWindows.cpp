// quillfort-sim on Windows: the same program, with wide arguments, which keep every
// character of a path where the narrow ones keep only the code page's.
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "conversions.h"
#include "dataFolder.h"

int wmain(int argc, wchar_t** wide)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(files::utf8FromUnits(wide[i]));
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    qsim::removeFoldersWhenStopped();
    qsim::failWhenEndedEarly();
    qsim::Lines in(files::Stream::standardInput());
    // A person types only at a console; _isatty takes the NUL device for one too.
    DWORD mode = 0;
    const bool terminal = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
    const int status = qsim::runCli(argc, argv.data(), in, std::cout, terminal);
    qsim::runOver();
    return qsim::reported(std::cout, std::cerr, status);
}
