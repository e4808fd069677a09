// quillfort-sim's verdicts: expectations, exit statuses, and what stops a scenario.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#  include <sys/stat.h>
#endif

#include "picture.h"
#include "runner.h"
#include "support/session.h"
#include "support/simRun.h"

using support::desktopHere;
using support::has;
using support::runFile;
using support::SimRun;

TEST(SimRunner, PassingScenarioPrintsLogCommandsAndSummary)
{
    const SimRun run =
        runFile("rating 13 1000\nload\nmatch public\nkickoff\nend winner=0\nrating 13 1010\npause 0.01\n"
                "expect nolog 13\nwait 1\nexpect log \"uniqueid : player-0\"\n"
                "expect command cl_settings_refreshplugins\nunload\nload\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has(run.output, "command: cl_settings_refreshplugins\n"));
    // Quillfort's own command, recorded and not carried out, is said once.
    const std::string note = "note: 'cl_settings_refreshplugins' is no command of the plugin's own: the "
                             "simulated Quillfort records it and does not carry it out\n";
    EXPECT_TRUE(has(run.output, "command: cl_settings_refreshplugins\n" + note));
    EXPECT_EQ(run.output.find(note), run.output.rfind(note));
    EXPECT_TRUE(has(run.output, "log: 13\nlog: uniqueid : player-0\n"));
    EXPECT_TRUE(has(run.output, "case.qsim: 13 statements, 3 expectations, 0 failed\n")) << run.output;
}

TEST(SimRunner, FailedExpectationsGiveExitOneWithFileAndLine)
{
    const SimRun run = runFile("load\nexpect cvar posx 20\nexpect file WinsLossesStats.txt \"MMR\"\n"
                               "expect nofile WinsLossesStats.txt\nexpect log nothing\nexpect nolog nothing\n"
                               "expect command nothing\nexpect nocommand cl_settings_refreshplugins\nframe\n"
                               "expect draws 3\nexpect draw FillBox 91 125\nexpect draw FillBox 90 125\n"
                               "match public\nkickoff\nend winner=0\nwait 1\nexpect nolog 13\n"
                               "expect draw FillBox 90.0000001 125\nexpect draw FillBox 90.0 1.25e2\n");
    EXPECT_EQ(run.status, 1);
    const char* lines[] = {
        "case.qsim:2: expected posx = \"20\", got \"",
        "case.qsim:3: expected file WinsLossesStats.txt to hold \"MMR\", got \"MMR : 0.000000\\r\\nStreak",
        "case.qsim:4: expected no file WinsLossesStats.txt, got a file",
        "case.qsim:5: expected log line \"nothing\", got no such line",
        "case.qsim:7: expected command \"nothing\", got it was not sent",
        "case.qsim:8: expected no command \"cl_settings_refreshplugins\", got it was sent",
        "case.qsim:10: expected 3 canvas calls, got 23",
        "case.qsim:11: expected draw FillBox 91 125, got no such call in the last frame",
        "case.qsim:17: expected no log line \"13\", got that line",
        "case.qsim:18: expected draw FillBox 90.0000001 125, got no such call in the last frame",
        "case.qsim: 19 statements, 13 expectations, 10 failed",
    };
    for (const char* line : lines)
        EXPECT_TRUE(has(run.output, line)) << line << "\n---\n" << run.output;
    EXPECT_FALSE(has(run.output, "case.qsim:6:"));
    EXPECT_FALSE(has(run.output, "case.qsim:12:"));
    EXPECT_FALSE(has(run.output, "case.qsim:19:"));
}

TEST(SimRunner, ExpectLogSearchesForwardFromTheLastMatch)
{
    const SimRun run = runFile("load\nmatch public playlist=0\nkickoff\nend winner=0\nwait 1\n"
                               "expect log player-0\nexpect log player-0\nexpect log player-0\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has(run.output, "case.qsim:8: expected log line \"player-0\"")) << run.output;
}

// What the scenario's own text decides is refused before any of it runs: the one
// line printed is the error.
TEST(SimRunner, BadScenarioGivesExitTwoAndRunsNothing)
{
    qsim::DataFolder pictures;
    std::filesystem::create_directory(pictures.path() / "shots");
    support::writeFile(pictures.path() / "fake.png", "GIF89a");
    const auto picture = [](const std::string& problem) {
        return qsim::picturesAvailable() ? problem : "this quillfort-sim was built without pictures";
    };
    const std::string before = "load\nconsole add_win\nframe\n";
    // A PNG's header, which is all the check before the run reads: 23000 x 23000 pixels.
    support::writeFile(
        pictures.path() / "huge.png",
        std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x59\xd8\0\0\x59\xd8\x08\x06\0\0\0", 29));
    // Paths in a scenario with '/' only: a '\\' in a quoted word starts an escape.
    const std::u8string folderText = pictures.path().generic_u8string();
    const std::string folder(folderText.begin(), folderText.end()), fake = folder + "/fake.png";
    struct Case {
        std::string scenario;
        int line;
        std::string error;
    };
    std::vector<Case> cases = {
        {before + "fly away\n", 4, "unknown statement 'fly'"},
        {before + "load\n", 4, "the plugin is already loaded"},
        {"unload\n", 1, "no plugin is loaded"},
        {before + "unload\nunload\n", 5, "no plugin is loaded"},
        {before + "wait 9000000000\nwait 9000000\n", 5,
         "the game clock would pass its end, 9007199254 seconds"},
        {"desktop 40000 1080\n" + before + "frame a.png\n", 5,
         picture("a picture cannot be 40000 x 1080 pixels (at most 32767 a side and 268435456 in all): "
                 "set a smaller desktop")},
        {before + "frame \"\"\n", 4, picture("the picture path '' names no file")},
        {before + "frame shots\n", 4, picture("the picture path 'shots' names a folder")},
        {before + "background /nonexistent/screen.png\n", 4,
         picture("cannot read background picture '/nonexistent/screen.png': no such file")},
        {before + "background \"" + folder + "\"\n", 4,
         picture("cannot read background picture '" + folder + "': not a regular file")},
        {before + "background \"" + fake + "\"\n", 4,
         picture("cannot read background picture '" + fake + "': not a PNG picture")},
        {before + "background \"" + folder + "/huge.png\"\n", 4,
         picture("cannot read background picture '" + folder +
                 "/huge.png': 23000 x 23000 pixels, more than a picture may have (at most 32767 a side and "
                 "268435456 in all)")},
        // What the lines before decide: a picture path an earlier one makes a folder or a file.
        {before + "frame a.png/x.png\nframe a.png\n", qsim::picturesAvailable() ? 5 : 4,
         picture("the picture path 'a.png' names a folder that an earlier picture goes into")},
        {before + "frame a.png\nframe a.png/x.png\n", qsim::picturesAvailable() ? 5 : 4,
         picture("the picture path 'a.png/x.png' goes into an earlier picture, which is a file")},
        {before + "frame a.png\nframe a.png/../x.png\n", qsim::picturesAvailable() ? 5 : 4,
         picture("the picture path 'a.png/../x.png' goes into an earlier picture, which is a file")},
        {"load\nmatch public\nkickoff\ngoal 0\ngoal 1\nend\n", 6,
         "the score is level at 1-1 and a match never ends level: say who won (end winner=T)"},
        {"load\nmatch public\ngoal 0\nmenu\nmatch public\nend\n", 6,
         "the score is level at 0-0 and a match never ends level: say who won (end winner=T)"},
        {"console add_win\nload\n", 1,
         "no plugin has been loaded yet, so the console knows no name: load first"},
        {"load\nexpect draws 0\nframe\n", 2, "no frame has been drawn yet: a 'frame' line comes first"},
    };
#if !defined(_WIN32)
    // Opened for reading, a pipe with no writer would hold the run for ever.
    ASSERT_EQ(mkfifo((pictures.path() / "pipe.png").c_str(), 0600), 0);
    cases.push_back(
        {before + "background \"" + folder + "/pipe.png\"\n", 4,
         picture("cannot read background picture '" + folder + "/pipe.png': not a regular file")});
    // Written, a pipe with no reader would hold the run for ever.
    cases.push_back({before + "frame pipe.png\n", 4,
                     picture("the picture path 'pipe.png' names something that is not a regular file")});
    // So would a pipe as the module to load, or as the settings page of a given data folder.
    const auto pipe = support::utf8(pictures.path() / "pipe.png");
    const SimRun plugin = runFile("load\n", {"--plugin", pipe});
    EXPECT_EQ(plugin.status, 2);
    EXPECT_EQ(plugin.output,
              "quillfort-sim: error: the plugin module '" + pipe + "' is not a regular file\n");
    qsim::DataFolder data;
    const auto page = data.path() / "plugins" / "settings" / "tarnuplugin.set";
    std::filesystem::create_directories(page.parent_path());
    ASSERT_EQ(mkfifo(page.c_str(), 0600), 0);
    const SimRun written = runFile("load\npage x\n", {"--data", support::utf8(data.path())});
    EXPECT_EQ(written.status, 2);
    EXPECT_EQ(written.output,
              "case.qsim:2: error: the settings page '" + support::utf8(page) + "' is not a regular file\n");
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const SimRun run = runFile(c.scenario, {"--pictures", support::utf8(pictures.path())});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.output, "case.qsim:" + std::to_string(c.line) + ": error: " + c.error + "\n");
    }
}

// One verdict on every platform: a path that is no portable name is refused before
// the run, on every platform, and a name spelled otherwise is no file, also where
// the system ignores case.
TEST(SimRunner, PathsGiveOneVerdictOnEveryPlatform)
{
    const auto refused = [](const std::string& path, const std::string& why) {
        return "case.qsim:2: error: the path '" + path + "' is no portable name: " + why + "\n";
    };
    const struct {
        std::string check;
        int status;
        std::string says; // the whole output for a refusal; a line of it otherwise
    } rows[] = {
        {"expect nofile winslossesstats.txt", 0, "case.qsim: 2 statements, 1 expectations, 0 failed"},
        {"expect nofile PLUGINS/settings", 0, "case.qsim: 2 statements, 1 expectations, 0 failed"},
        {"expect file winslossesstats.txt x", 1,
         "case.qsim:2: expected file winslossesstats.txt to hold \"x\", got no such file (there is "
         "'WinsLossesStats.txt')\n"},
        {"expect file plugins/Settings/tarnuplugin.set x", 1, "got no such file (there is 'settings')\n"},
        {"expect nofile WinsLossesStats.txt.", 2,
         refused("WinsLossesStats.txt.", "Windows drops the dot at the end of 'WinsLossesStats.txt.'")},
        {"expect nofile \"WinsLossesStats.txt \"", 2,
         refused("WinsLossesStats.txt ", "Windows drops the space at the end of 'WinsLossesStats.txt '")},
        {"expect nofile \"plugins\\\\settings\"", 2,
         refused("plugins\\settings", "'\\' is a separator on Windows: write '/' between parts")},
        {"expect nofile NUL", 2, refused("NUL", "'NUL' names a device on Windows")},
        {"expect file con x", 2, refused("con", "'con' names a device on Windows")},
        {"expect nofile plugins/AUX.txt", 2,
         refused("plugins/AUX.txt", "'AUX.txt' names a device on Windows")},
        {"expect nofile C:/x", 2, refused("C:/x", "':' names a drive or a stream on Windows")},
        {"expect nofile a:b", 2, refused("a:b", "':' names a drive or a stream on Windows")},
        {"expect nofile Wins*", 2, refused("Wins*", "Windows allows no '*' in a name")},
        {"expect nofile a<b", 2, refused("a<b", "Windows allows no '<' in a name")},
        {"expect nofile \"a\tb\"", 2, refused("a\\x09b", "it holds a control character")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.check);
        const SimRun run = runFile("load\n" + row.check + "\n");
        EXPECT_EQ(run.status, row.status) << run.output;
        if (row.status == 2) {
            EXPECT_EQ(run.output, row.says);
        } else {
            EXPECT_TRUE(has(run.output, row.says)) << run.output;
        }
    }
}

// A scenario that cannot run on this platform is skipped whole, saying why, with
// the status test runners take for a skip: a desktop that Windows, where the
// plugin measures the machine's own, cannot give.
TEST(SimRunner, ScenarioThatCannotRunHereIsSkipped)
{
    const auto fixed = simhost::fixedDesktop();
    const SimRun other = runFile("desktop 1281 721\nload\nexpect cvar posx 1\n");
    if (fixed) {
        EXPECT_EQ(other.status, qsim::cannotRunHere);
        EXPECT_EQ(other.output,
                  "case.qsim:1: skipped: the scenario sets a desktop of 1281 x 721, and on this "
                  "system the plugin measures the machine's own, " +
                      std::to_string(fixed->width) + " x " + std::to_string(fixed->height) + "\n");
    } else {
        EXPECT_EQ(other.status, 1) << other.output;
    }
    const SimRun same = runFile(desktopHere(800, 600) + "load\n");
    EXPECT_EQ(same.status, 0) << same.output;
}

TEST(SimRunner, StatementThatCannotRunStopsTheScenario)
{
    const SimRun missing = runFile("load\n", {"--plugin", "/nonexistent/module.so"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(has(missing.output, "case.qsim:1: error: cannot open plugin module '/nonexistent/module.so'"))
        << missing.output;
    // What the system refuses a statement is said in its words.
    qsim::DataFolder given;
    {
        support::Injected refused(support::ownCalls(), support::Fault::RemoveRefused, 0, given.path());
        const SimRun removal = runFile("load\nnopage\n", {"--data", support::utf8(given.path())});
        EXPECT_EQ(removal.status, 2);
        EXPECT_TRUE(
            has(removal.output, "case.qsim:2: error: cannot remove the settings page: " + refused.says()))
            << removal.output;
    }
}

// Only play finds some mistakes (a level score at a match end, a console line the
// host refuses): the scenario stops there. A statement that logs more lines than
// the console keeps still has every one checked.
TEST(SimRunner, HostileInputIsNeverReportedAsSuccess)
{
    struct Case {
        std::string scenario;
        int status;
        std::string says;
    };
    // 300 rating looks in one wait log 4,800 lines; only the first look names player-0.
    std::string manyLooks = "rating 13 1000\nload\n";
    for (int i = 0; i < 300; ++i)
        manyLooks += "match public\nkickoff\nend winner=0\n";
    manyLooks += "player P-7\n";
    const Case cases[] = {
        {"load\nconsole add_wins\nframe\nexpect draws 99\n", 2,
         "case.qsim:2: error: the console refuses 'add_wins': unknown command or variable"},
        {"load\nconsole posx 40 # comment\nframe\nexpect draws 99\n", 2,
         "case.qsim:2: error: the console refuses 'posx 40 # comment': a variable takes one value"},
        {manyLooks + "wait 10\nexpect nolog player-0\n", 1,
         "expected no log line \"player-0\", got that line"},
        {"load\nexpect file plugins/settings \"\"\nexpect nofile plugins\n", 1,
         "case.qsim:2: expected file plugins/settings to hold \"\", got a folder\n"
         "case.qsim:3: expected no file plugins, got a folder\n"},
        {"load\nframe " + std::string(5000, 'x') + ".png\n", 2,
         qsim::picturesAvailable()
             ? "case.qsim:2: error: the picture '" + std::string(200, 'x') + "...': cannot write: "
             : "case.qsim:2: error: this quillfort-sim was built without pictures\n"},
        // A failed file check quotes at most 200 bytes of each text, from before where they differ.
        {"load\npage \"" + std::string(300, 'x') + "\"\nexpect file plugins/settings/tarnuplugin.set \"" +
             std::string(300, 'x') + "y\"\n",
         1,
         "case.qsim:3: expected file plugins/settings/tarnuplugin.set to hold ...\"" + std::string(50, 'x') +
             "y\", got ...\"" + std::string(50, 'x') + "\" (they first differ at byte 301)\n"},
        // A number of a drawn call matches as the trace writes it: 1.1 for the float nearest it.
        {"load\nconsole scale 1.1\nframe\nexpect draw DrawString \"MMR : +0\" 1.1 1.1\n", 0, ""},
        // The console bounds what the plugin reads: scale 5junk reads as 5, held at 3.
        {"load\nconsole scale 5junk\nconsole posy -5x\nframe\nexpect cvar posy 0\nexpect draw FillBox 270 "
         "375\n",
         0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario.substr(0, 200));
        const SimRun run = runFile(c.scenario, {"--quiet"});
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_TRUE(has(run.output, c.says)) << run.output;
        EXPECT_FALSE(has(run.output, "expected 99"));
    }
}

#if !defined(_WIN32)
// `expect file` reads only a regular file of bounded size and says why it cannot
// read another; `expect nofile` sees every entry, a link that leads nowhere too.
TEST(SimRunner, FileExpectationsSayWhatStandsThere)
{
    qsim::DataFolder data;
    ASSERT_EQ(mkfifo((data.path() / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", data.path() / "zero");
    std::filesystem::create_symlink("nowhere", data.path() / "dangling");
    support::writeFile(data.path() / "large", std::string((std::size_t{16} << 20) + 1, 'x'));
    support::writeFile(data.path() / "unreadable", "x");
    support::Injected failing(support::ownCalls(), support::Fault::ReadFails, 0, data.path() / "unreadable");
    const SimRun run = runFile("expect file pipe \"\"\nexpect file zero \"\"\nexpect file large \"\"\n"
                               "expect file unreadable x\nexpect nofile dangling\n",
                               {"--data", data.path().string()});
    EXPECT_EQ(run.status, 1);
    const char* lines[] = {
        "case.qsim:1: expected file pipe to hold \"\", got an entry that is not a regular file (a pipe, a "
        "device or a socket)\n",
        "case.qsim:2: expected file zero to hold \"\", got an entry that is not a regular file (a pipe, a "
        "device or a socket)\n",
        "case.qsim:3: expected file large to hold \"\", got a file larger than 16 MiB\n",
        "case.qsim:4: expected file unreadable to hold \"x\", got a file that cannot be read: Input/output "
        "error\n",
        "case.qsim:5: expected no file dangling, got a link\n",
        "case.qsim: 5 statements, 5 expectations, 5 failed\n",
    };
    for (const char* line : lines)
        EXPECT_TRUE(has(run.output, line)) << line << "\n---\n" << run.output;
}
#endif
