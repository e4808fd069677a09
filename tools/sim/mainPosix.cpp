// quillfort-sim: plays scripted sessions against a plugin module in the simulated host.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli.h"
#include "dataFolder.h"

int main(int argc, char** argv)
{
    // A reader gone (`| head -1`) makes a write fail, which ends the run as an error
    // with its folders removed, rather than kill it on the spot.
    std::signal(SIGPIPE, SIG_IGN);
    qsim::removeFoldersWhenStopped();
    qsim::failWhenEndedEarly();
    qsim::Lines in(files::Stream::standardInput());
    const int status = qsim::runCli(argc, argv, in, std::cout, isatty(0) != 0);
    qsim::runOver();
    return qsim::reported(std::cout, std::cerr, status);
}
