// quillfort-sim itself: the scenario language, expectations, exit statuses and input modes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <signal.h>
#  include <sys/stat.h>
#  include <sys/wait.h>
#  include <unistd.h>
#endif

#include "cli.h"
#include "picture.h"
#include "runner.h"
#include "scenario.h"
#include "support/program.h"
#include "support/session.h"

using support::has;

namespace {

struct SimRun {
    int status;
    std::string output;
};

// Runs quillfort-sim on the scenario file, with its path printed as `case.qsim`.
SimRun runPath(const std::filesystem::path& file, std::vector<std::string> options = {})
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

SimRun runFile(const std::string& scenario, std::vector<std::string> options = {})
{
    qsim::DataFolder folder;
    const auto file = folder.path() / "case.qsim";
    support::writeFile(file, scenario);
    return runPath(file, std::move(options));
}

// A desktop statement this platform can play: the size asked for, or the machine's
// own where the plugin measures that.
std::string desktopHere(int width, int height)
{
    const auto size = simhost::fixedDesktop().value_or(simhost::DesktopSize{width, height});
    return "desktop " + std::to_string(size.width) + " " + std::to_string(size.height) + "\n";
}

SimRun runInput(const std::string& input, bool terminal, std::vector<std::string> options = {})
{
    std::vector<const char*> argv = {"quillfort-sim"};
    for (const std::string& option : options)
        argv.push_back(option.c_str());
    qsim::Lines in = qsim::Lines::ofText(input);
    std::ostringstream out;
    const int status = qsim::runCli(int(argv.size()), argv.data(), in, out, terminal);
    return {status, out.str()};
}

// A scenario text read as the program reads a file: its statements, or its first error.
struct Script {
    std::vector<qsim::Statement> statements;
    std::uint64_t errorLine = 0;
    std::string error;
};

Script parseScript(const std::string& text)
{
    qsim::Lines lines = qsim::Lines::ofText(text);
    qsim::Scenario scenario(lines);
    Script script;
    scenario.play([&](const qsim::Statement& statement) {
        script.statements.push_back(statement);
        return true;
    });
    script.errorLine = scenario.errorLine();
    script.error = scenario.error();
    return script;
}

} // namespace

TEST(ScenarioWords, SplitsOnBlanksAndReadsQuotedTextWithEscapes)
{
    std::vector<std::string> words;
    EXPECT_FALSE(qsim::splitWords("  page \"a\\\\b \\\"c\\\"\\r\\n\\t\"  x ", words));
    const std::vector<std::string> expected = {"page", "a\\b \"c\"\r\n\t", "x"};
    EXPECT_EQ(words, expected);
    EXPECT_FALSE(qsim::splitWords("expect file a \"\"", words));
    EXPECT_EQ(words.back(), "");
}

TEST(ScenarioWords, RejectsBrokenQuotes)
{
    std::vector<std::string> words;
    EXPECT_EQ(qsim::splitWords("page \"open", words), "unterminated quote");
    EXPECT_EQ(qsim::splitWords("page \"ends in escape\\", words), "unterminated quote");
    EXPECT_EQ(qsim::splitWords("page \"\\q\"", words), "unknown escape '\\q'");
    EXPECT_EQ(qsim::splitWords("page \"a\"b", words), "a quoted word must be followed by a blank");
}

TEST(ScenarioParse, ReadsEveryStatementWithItsArguments)
{
    // A byte-order mark before the first line is read, as editors on Windows write one.
    const Script script =
        parseScript("\xEF\xBB\xBF# comment\n\n  desktop 800 600\nmatch private playlist=11 team=1\n"
                    "rating 13 -inf\nend winner=1\nwait 2.5\nexpect draws 23\n"
                    "rating 13 3.40282347e38\nwait 0.000001\nwait 1.5e2\n");
    ASSERT_TRUE(script.error.empty()) << script.error;
    ASSERT_EQ(script.statements.size(), 9u);
    EXPECT_EQ(script.statements[0].line, 3);
    EXPECT_EQ(script.statements[0].desktop.width, 800);
    EXPECT_EQ(script.statements[1].facts, simhost::factsOf(simhost::Place::OnlinePrivate));
    EXPECT_EQ(script.statements[1].playlist, 11);
    EXPECT_EQ(script.statements[1].team, 1);
    EXPECT_TRUE(std::isinf(script.statements[2].rating));
    EXPECT_EQ(script.statements[3].winner, 1);
    EXPECT_EQ(script.statements[4].seconds, 2.5);
    EXPECT_EQ(script.statements[5].calls, 23);
    EXPECT_EQ(static_cast<float>(script.statements[6].rating), std::numeric_limits<float>::max());
    EXPECT_EQ(script.statements[7].seconds, 1e-6);
    EXPECT_EQ(script.statements[8].seconds, 150);
}

TEST(ScenarioParse, SaysWhatIsWrongAndOnWhichLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"load\njump\n", "2: unknown statement 'jump'"},
        {"load\n\nexpect nothing\n", "3: unknown statement 'expect nothing'"},
        {"desktop 1920\n", "1: wrong number of arguments: 1 given, usage: desktop W H"},
        {"desktop 1920 tall\n", "1: desktop size must be two positive whole numbers"},
        {"rating 13 lots\n", "1: rating must be a number, nan, inf or -inf, not 'lots'"},
        {"wait -1\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not '-1'"},
        {"wait inf\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not 'inf'"},
        {"wait 1e308\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 1e10\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 1e999999\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 0.0000001\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '0.0000001'"},
        {"fly" + std::string(300, 'y') + "\n", "1: unknown statement 'fly" + std::string(197, 'y') + "...'"},
        // A cut keeps whole characters; a control character is shown.
        {"fly" + std::string(196, 'y') + "\xC3\xA9zz\n",
         "1: unknown statement 'fly" + std::string(196, 'y') + "...'"},
        {"\x04\n", "1: unknown statement '\\x04'"},
        {"load\n\xEF\xBB\xBFload\n",
         "2: a byte-order mark (U+FEFF) at column 1: only the first line of a scenario may start with one"},
        {"wait 0.0000010009\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '0.0000010009'"},
        {"wait 1.5e-6\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '1.5e-6'"},
        {"rating 13 3.40282357e38\n",
         "1: rating '3.40282357e38' does not fit the game's float (at most 3.4e+38)"},
        {"match ranked\n",
         "1: unknown match kind 'ranked' (public, private, offline, freeplay, training, replay)"},
        {"match public team=2\n", "1: team must be 0 or 1"},
        {"match public colour=1\n", "1: unknown option 'colour=1'"},
        {"goal 2\n", "1: team must be 0 or 1, not '2'"},
        {"state replay=1 lobby=1\n",
         "1: a game fact is online, public, replay, freeplay or training with =0 or =1, not 'lobby=1'"},
        {"state replay=yes\n",
         "1: a game fact is online, public, replay, freeplay or training with =0 or =1, not 'replay=yes'"},
        {"end winner=x\n", "1: 'winner=x' needs a whole number after '='"},
        {"load\npage \"open\n", "2: unterminated quote"},
        {"pause -1\n", "1: seconds of real time must be a number from 0 to 3600, not '-1'"},
        {"pause nan\n", "1: seconds of real time must be a number from 0 to 3600, not 'nan'"},
        {"wait nan\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not 'nan'"},
        {"rating 13 1e39\n", "1: rating '1e39' does not fit the game's float (at most 3.4e+38)"},
        {"rating 13 1e999999\n", "1: rating '1e999999' does not fit the game's float (at most 3.4e+38)"},
        {"rating 13 1e-50\n",
         "1: rating '1e-50' rounds to 0, which the game reports for an unknown rating: write 0 for that"},
        {"rating 13 1e-400\n",
         "1: rating '1e-400' rounds to 0, which the game reports for an unknown rating: write 0 for that"},
        {std::string("load\nlo\0ad\n", 9), "2: a NUL byte at column 3: a scenario is text"},
        {"load\n" + std::string(qsim::Lines::lineLimit + 1, '#') + "\nload\n",
         "2: the line is longer than 1 MiB"},
        {"expect file ../WinsLossesStats.txt \"\"\n",
         "1: the path '../WinsLossesStats.txt' goes through '..'"},
        {"expect nofile plugins/../../x\n", "1: the path 'plugins/../../x' goes through '..'"},
        // Paths that could name what a check would pass over: each is refused.
        {"expect nofile /etc/passwd\n", "1: the path '/etc/passwd' is not relative to the data folder"},
        {"expect nofile WinsLossesStats.txt/\n",
         "1: the path 'WinsLossesStats.txt/' names no file: it ends in a separator"},
        {"expect nofile plugins/settings/tarnuplugin.set/..\n",
         "1: the path 'plugins/settings/tarnuplugin.set/..' goes through '..'"},
        {"expect nofile nothere/../WinsLossesStats.txt\n",
         "1: the path 'nothere/../WinsLossesStats.txt' goes through '..'"},
        {"expect nofile WinsLossesStats.txt/.\n", "1: the path 'WinsLossesStats.txt/.' goes through '.'"},
        {"expect nofile ./WinsLossesStats.txt\n", "1: the path './WinsLossesStats.txt' goes through '.'"},
        {"expect file plugins//settings x\n",
         "1: the path 'plugins//settings' has an empty part: write one '/' between parts"},
        // Numbers of a canvas call are numbers: none reads as 0 by accident.
        {"expect draw SetColor \"\" \"\" \"\" 150\n", "1: a colour is a whole number from 0 to 255, not ''"},
        {"expect draw SetColor 0 0 0 256\n", "1: a colour is a whole number from 0 to 255, not '256'"},
        {"expect draw SetPosition \" 0\" 1\n", "1: a position or size is a number, not ' 0'"},
        {"expect draw FillBox 0x0 1\n", "1: a position or size is a number, not '0x0'"},
        {"expect draw FillBox 1\n", "1: wrong number of arguments: FillBox takes 2"},
        {"expect draw SetColour 1 2 3 4\n",
         "1: unknown canvas call 'SetColour' (SetPosition, SetColor, FillBox, DrawString)"},
        // A lone CR read as a blank would make the lines after a comment part of it.
        {"# t\rload\rexpect file WinsLossesStats.txt \"wrong\"\r",
         "1: a CR at column 4 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"load\r",
         "1: a CR at column 5 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"load\r\r\n",
         "1: a CR at column 5 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"", "0: the scenario has no statement"},
        {"# only a note\r\n\n", "0: the scenario has no statement"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        const Script script = parseScript(text);
        EXPECT_EQ(std::to_string(script.errorLine) + ": " + script.error, message);
        EXPECT_TRUE(script.statements.empty());
    }
}

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
    if (!qsim::picturesAvailable())
        GTEST_SKIP() << "the checks above ran; this build draws no pictures, so the picture checks cannot";
    {
        support::Injected refused(support::ownCalls(), support::Fault::CreateRefused, 0, given.path());
        const SimRun folder =
            runFile("load\nframe shots/x.png\n", {"--pictures", support::utf8(given.path())});
        EXPECT_EQ(folder.status, 2);
        EXPECT_TRUE(
            has(folder.output,
                "case.qsim:2: error: the picture 'shots/x.png': cannot make its folder: " + refused.says()))
            << folder.output;
    }
    // A background whose header is whole and whose image data is not is found as it is decoded.
    qsim::DataFolder pictures;
    ASSERT_EQ(runFile(desktopHere(64, 64) + "load\nframe shot.png\n",
                      {"--pictures", support::utf8(pictures.path())})
                  .status,
              0);
    std::string png = support::readFile(pictures.path() / "shot.png");
    const std::size_t data = png.find("IDAT");
    ASSERT_NE(data, std::string::npos);
    png.replace(data + 8, 16, std::string(16, '\x5a'));
    const std::u8string name = (pictures.path() / "damaged.png").generic_u8string();
    const std::string path(name.begin(), name.end());
    support::writeFile(pictures.path() / "damaged.png", png);
    const SimRun damaged = runFile("load\nbackground \"" + path + "\"\nframe\n");
    EXPECT_EQ(damaged.status, 2);
    EXPECT_TRUE(has(damaged.output, "case.qsim:2: error: cannot read background picture '" + path +
                                        "': its image data is damaged\n"))
        << damaged.output;
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

// What was printed goes out before a wait or a pause, and each line the plugin
// logs or command it sends at once, for a program reading along; a report that
// could not all be written is no verdict.
TEST(SimRunner, OutputGoesOutBeforeWaitsAndAReportNotWrittenIsAnError)
{
    struct Counted : std::stringbuf {
        int syncs = 0;
        int sync() override { return ++syncs, std::stringbuf::sync(); }
    } buffer;
    std::ostream out(&buffer);
    qsim::DataFolder folder;
    support::writeFile(folder.path() / "case.qsim", "load\npause 0\nwait 0\n");
    const std::string file = support::utf8(folder.path() / "case.qsim");
    const char* argv[] = {"quillfort-sim", file.c_str()};
    qsim::Lines in = qsim::Lines::ofText("");
    EXPECT_EQ(qsim::runCli(2, argv, in, out, false), 0);
    EXPECT_EQ(buffer.syncs, 3); // the command the load sent, the pause, the wait

    std::ostringstream lost, said;
    lost.setstate(std::ios::badbit);
    EXPECT_EQ(qsim::reported(lost, said, 0), 2);
    EXPECT_TRUE(has(said.str(), "quillfort-sim: error: cannot write the report")) << said.str();
    EXPECT_EQ(qsim::reported(said, lost, 1), 1);
#if !defined(_WIN32)
    // The program: a full device, and a reader that goes away long before the end.
    std::string frames = "load\n";
    for (int i = 0; i < 1000; ++i)
        frames += "frame\n";
    support::writeFile(folder.path() / "frames.qsim", frames);
    const std::string program = support::utf8(simhost::besideProgram("quillfort-sim"));
    for (const std::string sink : {"> /dev/full", "| head -c 1 > /dev/null"}) {
        SCOPED_TRACE(sink);
        const std::string command = "bash -c '\"" + program + "\" --trace \"" +
                                    support::utf8(folder.path() / "frames.qsim") + "\" " + sink +
                                    " 2>/dev/null; exit ${PIPESTATUS[0]}'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
    }
#endif
}

#if !defined(_WIN32)

// A run told to stop removes its temporary folders before it ends, waiting or busy
// rewriting the files in them; a run killed outright leaves them, and the next run
// removes those whose process is gone.
TEST(SimRunner, TemporaryFoldersGoWhenARunIsStoppedOrItsProcessIsGone)
{
    qsim::DataFolder folder;
    std::string busy = "load\n";
    for (int i = 0; i < 20000; ++i)
        busy += "console add_win\n";
    support::writeFile(folder.path() / "long.qsim", "load\npause 30\n");
    support::writeFile(folder.path() / "busy.qsim", busy);
    const std::string program = support::utf8(simhost::besideProgram("quillfort-sim"));
    const struct {
        const char* scenario;
        int stop;
        const char* after; // seconds from the folder's making to the signal
    } runs[] = {
        {"long.qsim", SIGTERM, "0"},
        {"busy.qsim", SIGINT, "0.2"},
        {"busy.qsim", SIGTERM, "0.2"},
        {"busy.qsim", SIGHUP, "0.2"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(std::string(run.scenario) + ", signal " + std::to_string(run.stop));
        qsim::DataFolder temporary;
        const std::string tmp = support::utf8(temporary.path());
        // 98: no folder was made to remove; 99: the folder stayed.
        const std::string stopped = "bash -c 'TMPDIR=\"" + tmp + "\" \"" + program + "\" \"" +
                                    support::utf8(folder.path() / run.scenario) +
                                    "\" >/dev/null & run=$!; made=0; for i in $(seq 200); do ls -d \"" + tmp +
                                    "\"/quillfort-$run-* >/dev/null 2>&1 && made=1 && break; sleep 0.05; "
                                    "done; [ $made = 1 ] || { kill "
                                    "-KILL $run; exit 98; }; sleep " +
                                    run.after + "; kill -" + std::to_string(run.stop) +
                                    " $run; wait $run; status=$?; ls -d \"" + tmp +
                                    "\"/quillfort-$run-* >/dev/null 2>&1 && exit 99; exit $status'";
        const int status = std::system(stopped.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + run.stop); // ended by the signal, its folder gone
    }

    pid_t gone = 4194303;
    while (kill(gone, 0) == 0 || errno == EPERM)
        --gone;
    const auto left = std::filesystem::temp_directory_path() / ("quillfort-" + std::to_string(gone) + "-1-0");
    support::writeFile(left / "WinsLossesStats.txt", "left by a killed run");
    std::filesystem::last_write_time(left,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    support::writeFile(folder.path() / "short.qsim", "load\n");
    ASSERT_EQ(
        std::system(("\"" + program + "\" \"" + support::utf8(folder.path() / "short.qsim") + "\" >/dev/null")
                        .c_str()),
        0);
    EXPECT_FALSE(std::filesystem::exists(left));
}

#endif

TEST(SimRunner, ScenarioIsReadOnceWhateverKindOfFileItIs)
{
    qsim::DataFolder folder;
    const SimRun directory = runPath(folder.path());
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.output, "case.qsim: error: this is a folder, not a scenario file\n");
#if !defined(_WIN32)
    // A pipe can be read only once: the failing expectation must still be seen.
    const auto pipe = folder.path() / "pipe.qsim";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { support::writeFile(pipe, "load\nexpect cvar scale 2\n"); });
    const SimRun piped = runPath(pipe);
    writer.join();
    EXPECT_EQ(piped.status, 1) << piped.output;
    EXPECT_TRUE(has(piped.output, "case.qsim: 2 statements, 1 expectations, 1 failed")) << piped.output;
    // An endless line ends the run once it passes the limit, not when memory does.
    const SimRun endless = runPath("/dev/zero");
    EXPECT_EQ(endless.status, 2);
    EXPECT_EQ(endless.output, "case.qsim:1: error: the line is longer than 1 MiB\n");
#endif
}

TEST(SimRunner, PluginGivenByFileNameIsTakenFromTheCurrentFolder)
{
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(support::pluginPath().parent_path());
    const SimRun run = runFile("load\n", {"--plugin", support::pluginPath().filename().string()});
    std::filesystem::current_path(saved);
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST(SimRunner, MissingScenarioFileIsAnError)
{
    const char* argv[] = {"quillfort-sim", "/nonexistent/case.qsim"};
    qsim::Lines in = qsim::Lines::ofText("");
    std::ostringstream out;
    EXPECT_EQ(qsim::runCli(2, argv, in, out, false), 2);
    // The system's own words for the reason, which differ between platforms.
#if defined(_WIN32)
    const std::string reason = std::system_category().message(ERROR_PATH_NOT_FOUND);
#else
    const std::string reason = std::generic_category().message(ENOENT);
#endif
    EXPECT_EQ(out.str(), "/nonexistent/case.qsim: error: cannot open the scenario file: " + reason + "\n");
}

TEST(SimRunner, TraceAndQuietChangeWhatIsPrinted)
{
    const std::string scenario = "load\nconsole posx 100\nconsole posy 500\nframe\n";
    const SimRun traced = runFile(scenario, {"--trace"});
    EXPECT_TRUE(
        has(traced.output, "draw: SetPosition 100 500\ndraw: SetColor 0 0 0 150\ndraw: FillBox 90 125\n"));
    EXPECT_TRUE(has(traced.output, "draw: DrawString \"     by tarnu\" 1 1\n"));
    const SimRun quiet = runFile(scenario, {"--quiet"});
    EXPECT_EQ(quiet.output, "");
}

TEST(SimRunner, DataFolderOptionKeepsTheFilesAndGetsTheShippedPage)
{
    qsim::DataFolder parent;
    const auto data = parent.path() / "data";
    const SimRun run = runFile("load\n", {"--data", data.string()});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(support::readFile(data / "WinsLossesStats.txt"), support::statsText("0.000000", 0, 0, 0));
    EXPECT_TRUE(
        has(support::readFile(data / "plugins" / "settings" / "tarnuplugin.set"), "5|X Position|posx|0|"));
}

TEST(SimInput, PipedInputRunsAsAScenario)
{
    const SimRun run =
        runInput("load\nconsole add_win\nexpect file WinsLossesStats.txt \"MMR : 0.000000\\r\\nStreak : "
                 "0\\r\\nWins : 1\\r\\nLosses : 0\"\n",
                 false);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has(run.output, "<stdin>: 3 statements, 1 expectations, 0 failed")) << run.output;
    EXPECT_FALSE(has(run.output, "qsim> "));
}

// A terminal session prompts and prints each statement's effect (not with --quiet);
// an error does not end it, the summary counts it, and the status is 2. A session
// with no statement is an error, as a scenario with none is.
TEST(SimInput, TerminalSessionPromptsPrintsEffectsAndSurvivesMistakes)
{
    const std::string session = "load\nconsole posx 50\nfly\nconsole add_win\nframe\nexpect draws 23\n";
    const std::string effects[] = {
        "console: posx = 50\n",
        "WinsLossesStats.txt: \"MMR : 0.000000\\r\\nStreak : 0\\r\\nWins : 1\\r\\nLosses : 0\"",
        "frame: 23 canvas calls\n", "ok\n"};
    const struct {
        std::string input;
        bool quiet;
        std::string says;
    } rows[] = {
        {session, false, "<stdin>:3: error: unknown statement 'fly'\n"},
        {session, true, "<stdin>:3: error: unknown statement 'fly'\n"},
        {"", false, "<stdin>: error: the session has no statement\n"},
        {"# a note, and nothing more\n\n", false, "<stdin>: error: the session has no statement\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.input + (row.quiet ? " --quiet" : ""));
        const SimRun run = runInput(
            row.input, true, row.quiet ? std::vector<std::string>{"--quiet"} : std::vector<std::string>{});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(has(run.output, "qsim> ")) << run.output;
        EXPECT_TRUE(has(run.output, row.says)) << run.output;
        if (row.input != session)
            continue;
        EXPECT_TRUE(has(run.output, "<stdin>: 5 statements, 1 expectations, 0 failed, 1 error\n"))
            << run.output;
        for (const std::string& effect : effects)
            EXPECT_EQ(has(run.output, effect), !row.quiet) << effect;
    }
}

// With no scenario and standard input that is no terminal (the null device, which
// some systems report as a character device), the input is the scenario: none is
// an error, never a pass.
TEST(SimInput, NoScenarioAndNothingToReadIsAnError)
{
    qsim::DataFolder temporary;
    const support::ProgramRun run = support::runProgram({}, temporary.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(has(run.output, "<stdin>: error: the scenario has no statement")) << run.output;
}

TEST(SimOptions, VersionAndBadOptions)
{
    const char* version[] = {"quillfort-sim", "--version"};
    qsim::Lines in = qsim::Lines::ofText("");
    std::ostringstream out;
    EXPECT_EQ(qsim::runCli(2, version, in, out, false), 0);
    EXPECT_EQ(out.str(), "quillfort-sim " TARNU_VERSION "\n");
    const char* bad[] = {"quillfort-sim", "--colour"};
    std::ostringstream err;
    EXPECT_EQ(qsim::runCli(2, bad, in, err, false), 2);
    EXPECT_TRUE(has(err.str(), "--colour")) << err.str();
    // A path that came out empty names nothing: never the module beside the program.
    for (const std::string option : {"--plugin", "--data", "--pictures"}) {
        const SimRun run = runFile("load\n", {option, ""});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.output, "quillfort-sim: error: " + option + " is given an empty path\n");
    }
}

TEST(SimPictures, FrameWritesAPngOrSaysPicturesAreMissing)
{
    qsim::DataFolder pictures;
    const SimRun run = runFile(desktopHere(320, 200) + "load\nframe shots/one.png\n",
                               {"--pictures", pictures.path().string()});
    const auto png = pictures.path() / "shots" / "one.png";
    if (!qsim::picturesAvailable()) {
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(has(run.output, "built without pictures")) << run.output;
        return;
    }
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string bytes = support::readFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // The desktop's size, as the PNG header gives it (big-endian).
    const auto asked = simhost::fixedDesktop().value_or(simhost::DesktopSize{320, 200});
    std::string header(8, '\0');
    for (int i = 0; i < 4; ++i) {
        header[static_cast<std::size_t>(3 - i)] = static_cast<char>(asked.width >> (8 * i) & 0xff);
        header[static_cast<std::size_t>(7 - i)] = static_cast<char>(asked.height >> (8 * i) & 0xff);
    }
    EXPECT_EQ(bytes.substr(16, 8), header);
}

// A data folder is readied before the first statement: a settings page that cannot
// be copied into it whole, a folder the host would hand the plugin altered, or one
// another run holds, stops the run with exit 2, and no part of a page is left.
TEST(SimRunner, DataFolderThatCannotBeLaidOutStopsTheRun)
{
    // The message, with {page}, {shipped} and {folder} standing for those paths.
    const struct {
        std::optional<support::Fault> fault;
        bool pageIsAFolder; // the page beside the module
        std::string folder;
        std::string says;
        const char* claimedBy = nullptr; // another run that holds the folder
    } rows[] =
    { {support::Fault::WriteFull, false, "data", "the settings page '{page}': cannot write: "},
      {std::nullopt, false, "data",
       "the data folder '{folder}' is in use by another run of quillfort-sim (process 1, playing "
       "other.qsim): a data folder belongs to one run at a time",
       "process 1, playing other.qsim"},
      {support::Fault::CreateRefused, false, "data",
       "cannot make the folder of the settings page '{page}': "},
      {std::nullopt, true, "data",
       "the settings page shipped with the module, '{shipped}', not a regular file"},
#if !defined(_WIN32)
      {std::nullopt, false, "da\xffta",
       "the data folder '{folder}' is not UTF-8 text, which the host hands to the plugin as UTF-16: it would "
       "reach it altered"},
#endif
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        qsim::DataFolder base;
        qsim::Options options;
        options.plugin = support::pluginPath();
        if (row.pageIsAFolder) { // a copy of the module, its page a folder
            options.plugin = base.path() / support::pluginPath().filename();
            std::filesystem::copy_file(support::pluginPath(), options.plugin);
            std::filesystem::create_directory(
                std::filesystem::path(options.plugin).replace_extension(".set"));
        }
        qsim::readModule(options);
        options.data = base.path() / row.folder;
        std::filesystem::create_directories(*options.data);
        const auto page = *options.data / "plugins" / "settings" / "tarnuplugin.set";
        std::string says = row.says;
        for (const auto& [name, path] :
             {std::pair{"{page}", page}, {"{shipped}", options.shippedPage}, {"{folder}", *options.data}}) {
            if (const auto at = says.find(name); at != std::string::npos)
                says.replace(at, std::string_view(name).size(), support::utf8(path));
        }
        std::optional<support::Injected> fault;
        if (row.fault)
            fault.emplace(support::ownCalls(), *row.fault);
        std::optional<files::FolderClaim> other;
        if (row.claimedBy)
            other.emplace(*options.data, std::filesystem::temp_directory_path(), "quillfort-sim-data-",
                          row.claimedBy);
        qsim::Lines lines = qsim::Lines::ofText("load\n");
        std::ostringstream out;
        EXPECT_EQ(qsim::runScript(options, "case.qsim", lines, out), 2);
        EXPECT_EQ(out.str(),
                  options.moduleLine + "\ncase.qsim: error: " + says + (fault ? fault->says() : "") + "\n");
        fault.reset();
        EXPECT_FALSE(std::filesystem::exists(page));
        if (std::filesystem::exists(page.parent_path())) {
            EXPECT_EQ(support::scratchesIn(page.parent_path()), std::vector<std::string>{});
        }
    }
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

TEST(SimOptions, DataFolderThatIsAFileIsAnErrorNotACrash)
{
    qsim::DataFolder parent;
    const auto file = parent.path() / "not-a-folder";
    support::writeFile(file, "x");
    const SimRun run = runFile("load\n", {"--data", file.string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(has(run.output, "quillfort-sim: error: ")) << run.output;
    EXPECT_TRUE(has(run.output, "not-a-folder")) << run.output;
}

#if defined(_WIN32)

// A data folder in the \\?\ form, which takes '/' literally: the names under it are
// joined with '\\', so the page is there and the checks see the files.
TEST(SimOptions, DataFolderInTheLongFormWorks)
{
    qsim::DataFolder parent;
    const auto folder = std::filesystem::absolute(parent.path()).make_preferred() / "long";
    const SimRun run =
        runFile("load\nexpect nofile plugins/settings/tarnuplugin.set\nexpect file "
                "WinsLossesStats.txt \"MMR : 0.000000\\r\\nStreak : 0\\r\\nWins : 0\\r\\nLosses : 0\"\n",
                {"--data", "\\\\?\\" + support::utf8(folder)});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "command: cl_settings_refreshplugins\n")) << run.output;
    EXPECT_TRUE(
        has(run.output, "case.qsim:2: expected no file plugins/settings/tarnuplugin.set, got a file\n"))
        << run.output;
    EXPECT_FALSE(has(run.output, "case.qsim:3:")) << run.output;
}

// The program itself, as a player starts it: wide arguments keep a folder's name.
TEST(SimOptions, ArgumentsKeepEveryCharacterOfAPath)
{
    qsim::DataFolder parent;
    const auto folder = parent.path() / std::filesystem::path(u8"donn\u00e9es-\u4e2d-\U0001F3C6");
    const auto scenario = folder / "case.qsim";
    support::writeFile(scenario, "load\nconsole add_win\n");
    qsim::DataFolder temporary;
    const support::ProgramRun run = support::runProgram(
        {"--quiet", "--data", support::utf8(folder / "data"), support::utf8(scenario)}, temporary.path());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(support::readFile(folder / "data" / "WinsLossesStats.txt"),
              support::statsText("0.000000", 0, 1, 0));
}

#else

// Standard input that cannot be read to its end is an error that says why, and
// nothing of it runs.
TEST(SimInput, UnreadableStandardInputIsAnErrorNamingIt)
{
    qsim::DataFolder folder;
    const auto file = folder.path() / "two-lines.qsim";
    support::writeFile(file, "load\nexpect draws 99\n");
    const int closed = -1; // what the program reads when its standard input is closed
    const struct {
        const char* what;
        int descriptor;
        const char* reason;
    } inputs[] = {
        {"a folder", open(folder.path().c_str(), O_RDONLY), "Is a directory"},
        {"closed", closed, "Bad file descriptor"},
        {"failing after two lines", open(file.c_str(), O_RDONLY), "Input/output error"},
    };
    support::Injected failing(support::ownCalls(), support::Fault::ReadFails, 1, file);
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.what);
        const char* argv[] = {"quillfort-sim"};
        qsim::Lines in{files::Stream(input.descriptor)};
        std::ostringstream out;
        EXPECT_EQ(qsim::runCli(1, argv, in, out, false), 2);
        EXPECT_EQ(out.str(), std::string("<stdin>: error: cannot read: ") + input.reason + "\n");
        if (input.descriptor != closed)
            close(input.descriptor);
    }
}

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
