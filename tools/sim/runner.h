// Plays one scenario against the plugin module in the simulated host.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "dataFolder.h"
#include "folders.h"
#include "host.h"
#include "loader.h"
#include "logRecord.h"
#include "picture.h"
#include "scenario.h"

namespace qsim {

struct Options {
    std::filesystem::path plugin;              // the module to load
    bool defaultPlugin = false;                // no --plugin named it: the one beside the program
    std::optional<std::filesystem::path> data; // the data folder; a fresh one per scenario when empty
    std::filesystem::path pictures;            // where relative picture paths go
    // From the module's record (readModule): what the first line says of it, its
    // settings page under the data folder ("" when the record cannot be read, and
    // then why), and the page shipped beside it under its own name.
    std::string moduleLine, modulePage, moduleProblem;
    std::filesystem::path shippedPage;
    bool trace = false;
    bool quiet = false;
    bool interactive = false; // print the effect of every statement
    // A wait stops by itself once the plugin's timers have run this often in it:
    // half-second timers over more than a day of game time, which no session
    // needs, or a timer that keeps setting itself again at the same moment.
    std::uint64_t timersPerWait = 200000;
};

class Runner {
public:
    Runner(const Options& options, std::string name, std::ostream& out);
    ~Runner();
    // Readies the data folder before the first statement: what keeps it from being
    // used, or "".
    std::string layOut();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs one statement and prints what the plugin logged and sent meanwhile.
    Outcome run(const Statement& statement);
    // Unloads a plugin the scenario left loaded; false when it threw then.
    bool finish();
    void printSummary();
    int failures() const { return failures_; }
    // Errors: a terminal session goes on after them, and counts them.
    void countError() { ++errors_; }
    int errors() const { return errors_; }

    // One per statement, in the order of the statement table (actions.cpp, checks.cpp).
    Outcome desktop(const Statement& s);
    Outcome player(const Statement& s);
    Outcome page(const Statement& s);
    Outcome noPage(const Statement& s);
    Outcome load(const Statement& s);
    Outcome unload(const Statement& s);
    Outcome console(const Statement& s);
    Outcome rating(const Statement& s);
    Outcome match(const Statement& s);
    Outcome state(const Statement& s);
    Outcome kickoff(const Statement& s);
    Outcome goal(const Statement& s);
    Outcome end(const Statement& s);
    Outcome menu(const Statement& s);
    Outcome wait(const Statement& s);
    Outcome pause(const Statement& s);
    Outcome frame(const Statement& s);
    Outcome background(const Statement& s);
    Outcome expectFile(const Statement& s);
    Outcome expectNoFile(const Statement& s);
    Outcome expectLog(const Statement& s);
    Outcome expectNoLog(const Statement& s);
    Outcome expectCommand(const Statement& s);
    Outcome expectNoCommand(const Statement& s);
    Outcome expectCvar(const Statement& s);
    Outcome expectDraw(const Statement& s);
    Outcome expectDraws(const Statement& s);

private:
    Outcome error(const Statement& s, const std::string& message);
    Outcome expect(const Statement& s, bool held, const std::string& expected, const std::string& got);
    static std::string threw(const simhost::PluginThrew& thrown);
    std::string laidOut();
    void showChangedFiles();
    std::filesystem::path dataPath(const std::string& relative) const;
    std::filesystem::path pagePath() const;

    const Options& options_;
    std::string name_;
    std::ostream& out_;
    std::unique_ptr<simhost::Host> host_;
    std::unique_ptr<DataFolder> data_;
    std::unique_ptr<files::FolderClaim> claim_; // a given data folder's
    std::unique_ptr<simhost::PluginModule> module_;
    std::shared_ptr<const BackgroundImage> background_;
    simhost::DesktopSize desktop_ = simhost::startingDesktop();
    LogRecord log_;
    std::set<std::string> commandsSent_;            // every command the plugin ever sent
    std::map<std::string, std::string> filesShown_; // what a terminal session last showed of each file
    int statements_ = 0, expectations_ = 0, failures_ = 0, errors_ = 0;
};

// Reads the record of the module the options name, without creating its plugin,
// into the fields that describe it.
void readModule(Options& options);

// The status of a scenario that cannot run on this platform, skipped whole (77, as
// test runners take it).
inline constexpr int cannotRunHere = 77;

// Checks the whole scenario, then plays it; a fresh data folder for it unless the
// options give one, removed afterwards. Returns 0, 1 (an expectation failed), 2
// (an error: found before any of it ran, or at a line only play can find) or
// cannotRunHere.
int runScript(const Options& options, const std::string& name, Lines& scenario, std::ostream& out);

} // namespace qsim
