#include "cli.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <system_error>

#include "checkedFiles.h"
#include "conversions.h"
#include "folders.h"
#include "pluginFiles.h"
#include "preflight.h"
#include "runner.h"
#include "wholeFile.h"
#include "words.h"

namespace qsim {
namespace {

// A terminal session: a prompt, every statement's effect (but with --quiet), and
// an error does not end it: the summary counts the errors, and any makes the status 2.
int interactive(const Options& options, Lines& in, std::ostream& out)
{
    Runner runner(options, "<stdin>", out);
    if (const std::string problem = runner.layOut(); !problem.empty()) {
        out << "<stdin>: error: " << problem << "\n";
        return 2;
    }
    Preflight preflight(options);
    bool anyStatement = false;
    std::string line;
    std::uint64_t number = 1;
    for (; out << "qsim> " << std::flush, in.next(line); ++number) {
        ParsedLine parsed = parseLine(line, number);
        anyStatement = anyStatement || parsed.statement || !parsed.error.empty();
        if (parsed.error.empty() && parsed.statement)
            parsed.error = parsed.statement->notHere.empty()
                               ? preflight.check(*parsed.statement)
                               : "it cannot run here: " + parsed.statement->notHere;
        if (!parsed.error.empty()) {
            out << "<stdin>:" << number << ": error: " << parsed.error << "\n";
            runner.countError();
        } else if (parsed.statement && runner.run(*parsed.statement) != Outcome::Error) {
            preflight.passed(*parsed.statement);
        }
    }
    out << "\n";
    if (in.lineTooLong()) {
        out << "<stdin>:" << number << ": error: " << in.error() << "\n";
        return 2;
    }
    if (!in.error().empty()) {
        out << "<stdin>: error: cannot read: " << in.error() << "\n";
        return 2;
    }
    if (!anyStatement) {
        out << "<stdin>: error: the session has no statement\n";
        return 2;
    }
    runner.finish();
    runner.printSummary();
    return runner.errors() > 0 ? 2 : runner.failures() == 0 ? 0 : 1;
}

int runScenarios(Options& options, const std::vector<std::string>& scenarios, Lines& in, std::ostream& out,
                 bool terminal)
{
    if (scenarios.empty()) {
        if (terminal) {
            options.interactive = !options.quiet;
            return interactive(options, in, out);
        }
        return runScript(options, "<stdin>", in, out);
    }
    int status = 0;
    bool ran = false;
    for (const std::string& file : scenarios) {
        const std::filesystem::path path = files::pathFromUtf8(file);
        if (files::entryAt(path, files::Links::Followed).kind == files::Entry::Kind::Folder) {
            out << file << ": error: this is a folder, not a scenario file\n";
            return 2;
        }
        Lines scenario = Lines::ofFile(path);
        if (!scenario.error().empty()) {
            out << file << ": error: cannot open the scenario file: " << scenario.error() << "\n";
            return 2;
        }
        const int result = runScript(options, file, scenario, out);
        if (result == 2)
            return 2;
        if (result != cannotRunHere) {
            ran = true;
            status = std::max(status, result);
        }
    }
    return ran ? status : cannotRunHere; // skipped only when none could run
}

} // namespace

int reported(std::ostream& out, std::ostream& err, int status)
{
    errno = 0;
    out.flush();
    if (out)
        return status;
    const int error = errno;
    err << "quillfort-sim: error: cannot write the report";
    if (error != 0)
        err << ": " << std::generic_category().message(error);
    err << "\n";
    return 2;
}

int runCli(int argc, const char* const* argv, Lines& in, std::ostream& out, bool terminal)
{
    CLI::App app{"Plays scripted sessions against a Quillfort plugin module in a simulated host.",
                 "quillfort-sim"};
    app.allow_windows_style_options(false); // a path like /data/x.qsim is not an option
    std::string plugin, data, pictures = ".";
    std::vector<std::string> scenarios;
    Options options;
    app.add_option("--plugin", plugin,
                   "The plugin module to load (default: " + pluginFile().string() + " beside the program)");
    app.add_option("--data", data, "The host data folder (default: a fresh temporary folder per scenario)");
    app.add_option("--pictures", pictures, "The folder for pictures given with relative paths")
        ->capture_default_str();
    app.add_flag("--trace", options.trace, "Print every canvas call of every frame");
    app.add_flag("--quiet", options.quiet,
                 "Print only failed expectations, errors, and the summary of a scenario that failed");
    app.set_version_flag("--version", std::string("quillfort-sim ") + QSIM_VERSION);
    app.add_option("SCENARIO", scenarios, "Scenario files, run in order (default: standard input)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::ostringstream err;
        const int code = app.exit(e, out, err);
        out << err.str();
        return code == 0 ? 0 : 2;
    }
    // An empty path names nothing: a script's variable that came out empty, say.
    for (const char* const option : {"--plugin", "--data", "--pictures"}) {
        if (app.count(option) > 0 && app.get_option(option)->as<std::string>().empty()) {
            out << "quillfort-sim: error: " << option << " is given an empty path\n";
            return 2;
        }
    }
    options.defaultPlugin = plugin.empty();
    options.plugin = plugin.empty() ? simhost::besideProgram(pluginFile()) : files::pathFromUtf8(plugin);
    if (options.defaultPlugin &&
        files::entryAt(options.plugin, files::Links::Followed).kind == files::Entry::Kind::Missing) {
        out << "quillfort-sim: error: no --plugin names the module to play, and none is beside "
               "quillfort-sim\n";
        return 2;
    }
    // Opening a pipe as the module would wait for a writer for ever.
    if (const auto kind = files::entryAt(options.plugin, files::Links::Followed).kind;
        kind != files::Entry::Kind::Missing && kind != files::Entry::Kind::File) {
        out << "quillfort-sim: error: the plugin module " << echoed(files::utf8FromPath(options.plugin))
            << " is " << files::notRegularFile << "\n";
        return 2;
    }
    readModule(options);
    options.pictures = files::pathFromUtf8(pictures);
    if (!data.empty())
        options.data = files::pathFromUtf8(data);
    // What the host cannot do with its folders (a --data path that is a file, a
    // full disk) ends the run with the system's own words, never a crash.
    try {
        return runScenarios(options, scenarios, in, out, terminal);
    } catch (const std::exception& failure) {
        out << "quillfort-sim: error: " << failure.what() << "\n";
        return 2;
    }
}

} // namespace qsim
