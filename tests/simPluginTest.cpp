// quillfort-sim and the module it plays: which one, and a plugin that is left loaded, ends the program or
// throws.
#include <gtest/gtest.h>

#include <sstream>

#if !defined(_WIN32)
#  include <signal.h>
#endif

#include "runner.h"
#include "support/program.h"
#include "support/session.h"
#include "support/simRun.h"

using support::has;
using support::runFile;
using support::SimRun;

// A plugin still loaded when the scenario ends is unloaded, and heard: here the
// stats file, which the device had no room for, is behind at unload. A wait that
// the plugin's retries would keep busy for days stops by itself, and says why (the
// thousandth retry comes at second 3988: after 0.5, 1 and 2 s, one every 4 s).
TEST(SimRunner, PluginLeftLoadedIsUnloadedAndHeard)
{
    support::Session session; // maps the copy of the module that hands out its file calls
    support::Injected full(session.fileCalls(), support::Fault::WriteFull);
    const SimRun run =
        runFile("load\nconsole add_win\n", {"--plugin", support::utf8(support::testablePath())});
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string behind = "log: WinsLossesStats.txt: behind at unload (cannot write: " + full.says() +
                               "); it would hold MMR : 0.000000, Streak : 0, Wins : 1, Losses : 0\n";
    EXPECT_TRUE(has(run.output, behind)) << run.output;

    qsim::Options options;
    options.plugin = support::testablePath();
    qsim::readModule(options);
    options.timersPerWait = 1000;
    qsim::Lines lines = qsim::Lines::ofText("load\nconsole add_win\nwait 9000000000\nexpect nolog x\n");
    std::ostringstream out;
    EXPECT_EQ(qsim::runScript(options, "case.qsim", lines, out), 2);
    EXPECT_TRUE(has(out.str(), "case.qsim:3: error: stopped after the plugin's timers ran 1000 times in this "
                               "wait, at second 3988 of game time: wait less, or look for a timer that keeps "
                               "setting itself again\n" +
                                   behind))
        << out.str();
}

// A module that ends the process, by exit(0) or by a crash, as it loads or in a
// hook, is no verdict: standard error says so, with what of the plugin ran and at
// which line; the status is not 0, every line the plugin logged before is out,
// and the temporary data folder goes.
TEST(SimRunner, ModuleThatEndsTheProcessIsNoVerdictAndLeavesNoFolder)
{
#if defined(_WIN32)
    const int crash = static_cast<int>(EXCEPTION_ACCESS_VIOLATION);
#else
    const int crash = 128 + SIGSEGV;
#endif
    const std::string ended = "quillfort-sim: error: the program was ended by exit before the run was over";
    const std::string crashed = "quillfort-sim: error: the program crashed";
    const struct {
        const char* module;
        const char* scenario;
        int status;
        std::string says;
    } rows[] = {
        {"exitingPlugin", "load\nconsole add_win\n", 2,
         ended + " in the plugin's create function, at case.qsim:1: no verdict"},
        {"crashingPlugin", "load\nconsole add_win\n", crash,
         crashed + " in the plugin's create function, at case.qsim:1: no verdict"},
        {"faultyPlugin", "load\nmatch public\nconsole fault hook crash\ngoal 0\n", crash,
         "log: faulty: loaded\nlog: faulty: about to crash in the goal hook\n" + crashed +
             " in the plugin's hook 'Function TAGame.GameEvent_Soccar_TA.EventPlayerScored', at case.qsim:4: "
             "no "
             "verdict"},
    };
    qsim::DataFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.module);
        qsim::DataFolder temporary;
        support::writeFile(folder.path() / "case.qsim", row.scenario);
        const support::ProgramRun run =
            support::runProgram({"--plugin", support::utf8(support::testModule(row.module)),
                                 support::utf8(folder.path() / "case.qsim")},
                                temporary.path());
        EXPECT_EQ(run.status, row.status) << run.output;
        std::string output = run.output;
        std::erase(output, '\r');
        const std::string path = support::utf8(folder.path() / "case.qsim");
        for (std::size_t at; (at = output.find(path)) != std::string::npos;)
            output.replace(at, path.size(), "case.qsim");
        EXPECT_TRUE(has(output, row.says)) << output;
        EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
    }
}

// An exception that escapes the plugin, from any of its calls, stops the scenario at
// the line that called it, with the same words on every platform; the plugin is
// then unloaded as the scenario's end unloads it.
TEST(SimRunner, ExceptionFromThePluginIsAnErrorAtItsLine)
{
    const std::string threw = "error: the plugin threw an exception from its ";
    const struct {
        const char* module;
        std::string scenario;
        std::string says;
    } rows[] = {
        {"faultyPlugin", "load\nconsole fault command\nwait 1\n",
         "case.qsim:2: " + threw + "command 'fault': 'command fails on purpose'"},
        {"faultyPlugin", "load\nconsole fault hook\nmatch public\ngoal 0\n",
         "case.qsim:4: " + threw +
             "hook 'Function TAGame.GameEvent_Soccar_TA.EventPlayerScored': 'goal hook fails on purpose'"},
        {"faultyPlugin", "load\nconsole fault drawable\nframe\n",
         "case.qsim:3: " + threw + "drawable: 'drawable fails on purpose'"},
        {"faultyPlugin", "load\nconsole fault timer\nwait 1\nwait 5\n",
         "case.qsim:3: " + threw + "timer: 'timer fails on purpose'"},
        {"faultyOnLoadPlugin", "load\nwait 1\n",
         "case.qsim:1: " + threw + "onLoad: 'onLoad fails on purpose'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        const SimRun run =
            runFile(row.scenario, {"--plugin", support::utf8(support::testModule(row.module))});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(has(run.output, "log: faulty: loaded\n")) << run.output;
        EXPECT_TRUE(has(run.output, row.says + "\nlog: faulty: unloaded\n")) << run.output;
        EXPECT_FALSE(has(run.output, "statements,")) << run.output;
    }
}

TEST(SimRunner, PluginGivenByFileNameIsTakenFromTheCurrentFolder)
{
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(support::pluginPath().parent_path());
    const SimRun run = runFile("load\n", {"--plugin", support::pluginPath().filename().string()});
    std::filesystem::current_path(saved);
    EXPECT_EQ(run.status, 0) << run.output;
}

// A run lays out only what belongs to the module it plays, and its first line names
// that module: another plugin's data folder gets nothing of this one, and `page`
// writes that plugin's own page, named for its type.
TEST(SimRunner, RunLaysOutOnlyWhatBelongsToThePlayedModule)
{
    const std::string faulty = support::utf8(support::testModule("faultyPlugin"));
    const std::string faultyLine = "plugin: faultyPlugin 0.1 (faulty plugin) from '" + faulty + "'";
    const struct {
        std::vector<std::string> options;
        std::string scenario;
        std::string firstLine;
        int status;
    } rows[] = {
        {{"--plugin", faulty}, "load\nunload\nexpect nofile plugins\n", faultyLine, 0},
        {{"--plugin", faulty}, "page x\nexpect file plugins/settings/faultyplugin.set x\n", faultyLine, 0},
        // The module beside quillfort-sim, said to be the default, gets its own page.
        {{},
         "expect nofile plugins/settings/tarnuplugin.set\n",
         "plugin: tarnuPlugin " TARNU_VERSION " (tarnu plugin) from '" +
             support::utf8(support::pluginPath()) +
             "', the one beside quillfort-sim: no --plugin names another",
         1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        const SimRun run = runFile(row.scenario, row.options);
        EXPECT_EQ(run.status, row.status) << run.output;
        EXPECT_EQ(run.output.substr(0, run.output.find('\n')), row.firstLine);
    }
}
