#include "support/simRun.h"

#include <sstream>
#include <utility>

#include "cli.h"
#include "dataFolder.h"
#include "host.h"
#include "lines.h"
#include "support/session.h"

namespace support {

SimRun runPath(const std::filesystem::path& file, std::vector<std::string> options)
{
    std::vector<std::string> args = {"quillfort-sim"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(file.string());
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    qsim::Lines in = qsim::Lines::ofText("");
    std::ostringstream out;
    const int status = qsim::runCli(int(argv.size()), argv.data(), in, out, false);
    std::string text = out.str();
    for (std::size_t at; (at = text.find(file.string())) != std::string::npos;)
        text.replace(at, file.string().size(), "case.qsim");
    return {status, text};
}

SimRun runFile(const std::string& scenario, std::vector<std::string> options)
{
    qsim::DataFolder folder;
    const auto file = folder.path() / "case.qsim";
    support::writeFile(file, scenario);
    return runPath(file, std::move(options));
}

SimRun runInput(const std::string& input, bool terminal, std::vector<std::string> options)
{
    std::vector<const char*> argv = {"quillfort-sim"};
    for (const std::string& option : options)
        argv.push_back(option.c_str());
    qsim::Lines in = qsim::Lines::ofText(input);
    std::ostringstream out;
    const int status = qsim::runCli(int(argv.size()), argv.data(), in, out, terminal);
    return {status, out.str()};
}

std::string desktopHere(int width, int height)
{
    const auto size = simhost::fixedDesktop().value_or(simhost::DesktopSize{width, height});
    return "desktop " + std::to_string(size.width) + " " + std::to_string(size.height) + "\n";
}

} // namespace support
