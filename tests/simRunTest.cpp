// A quillfort-sim run: its input, options, output, pictures and folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <signal.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

#include "cli.h"
#include "picture.h"
#include "runner.h"
#include "support/program.h"
#include "support/session.h"
#include "support/simRun.h"

using support::desktopHere;
using support::has;
using support::runFile;
using support::runInput;
using support::runPath;
using support::SimRun;

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
#endif

#if defined(_WIN32)
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
#endif

#if !defined(_WIN32)
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
#endif

// A picture that cannot be made stops the scenario at its line, in the system's
// words: a folder the system refuses, a background whose image data is damaged.
TEST(SimPictures, PictureThatCannotBeMadeStopsTheScenario)
{
    qsim::DataFolder given;
    if (!qsim::picturesAvailable()) {
        const SimRun run = runFile("load\nframe shots/x.png\n", {"--pictures", support::utf8(given.path())});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(has(run.output, "case.qsim:2: error: " + std::string(qsim::noPictures))) << run.output;
        return;
    }
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
