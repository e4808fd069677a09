// quillfort-sim: plays scripted sessions against a plugin module in the simulated host.
#include <unistd.h>

#include <iostream>

#include "cli.h"

int main(int argc, char** argv)
{
    qsim::Lines in(files::Stream::standardInput());
    return qsim::runCli(argc, argv, in, std::cout, isatty(0) != 0);
}
