// quillfort-sim on Windows: the same program, with wide arguments, which keep every
// character of a path where the narrow ones keep only the code page's.
#include <io.h>

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
    const int status = qsim::runCli(argc, argv.data(), in, std::cout, _isatty(0) != 0);
    qsim::runOver();
    return qsim::reported(std::cout, std::cerr, status);
}
