// WinsLossesStats.txt: exact bytes, rewrites, folders that are missing or not
// ASCII, readers that never see a part, and writes that fail.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <regex>
#include <thread>

#include "support/session.h"

#if defined(_WIN32)
#  include <windows.h>

#  include <future>
#  include <sstream>

#  include "cli.h"
#else
#  include <sys/socket.h>
#  include <sys/stat.h>
#  include <sys/sysmacros.h>
#  include <sys/un.h>
#  include <unistd.h>

#  include "support/faults.h"
#endif

using support::Session;
using support::statsText;

TEST(StatsFile, AfterLoadHoldsTheInitialFigures)
{
    Session session;
    session.load();
    EXPECT_EQ(session.stats(), "MMR : 0.000000\r\nStreak : 0\r\nWins : 0\r\nLosses : 0");
}

TEST(StatsFile, WritesNegativeAndPositiveFiguresWithoutPlus)
{
    Session session;
    session.load();
    session.console("input_mmr -7.25");
    session.console("update_mmr");
    session.console("add_loss");
    session.console("add_loss");
    session.console("add_loss");
    EXPECT_EQ(session.stats(), statsText("-7.250000", -3, 0, 3));
    session.console("input_mmr 15");
    session.console("update_mmr");
    session.console("add_win");
    EXPECT_EQ(session.stats(), statsText("15.000000", 0, 1, 3));
}

TEST(StatsFile, RewriteWithShorterNumbersLeavesNoTrace)
{
    Session session;
    session.load();
    session.console("input_mmr -12345.5");
    session.console("update_mmr");
    for (int i = 0; i < 12; ++i)
        session.console("add_loss");
    ASSERT_EQ(session.stats(), statsText("-12345.500000", -12, 0, 12));
    session.console("reset");
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
}

TEST(StatsFile, UpdateMmrReachesTheFileOnlyWithTheNextWrite)
{
    Session session;
    session.load();
    session.console("input_mmr 25");
    session.console("update_mmr");
    EXPECT_EQ(session.plugin().ratingChange, 25.0f);
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
    session.console("add_win");
    EXPECT_EQ(session.stats(), statsText("25.000000", 0, 1, 0));
}

TEST(StatsFile, MissingFolderWritesNothingUntilItExists)
{
    Session session;
    const auto folder = session.data.path() / "later";
    session.host.setDataFolder(support::utf8(folder));
    session.load();
    EXPECT_FALSE(std::filesystem::exists(folder));
    std::filesystem::create_directories(folder);
    session.console("add_win");
    EXPECT_EQ(support::readFile(folder / "WinsLossesStats.txt"), statsText("0.000000", 0, 1, 0));
}

TEST(StatsFile, DataFolderInEveryFormGetsItsFile)
{
    qsim::DataFolder base;
    for (const auto& form : support::folderForms(base.path())) {
        SCOPED_TRACE(form.name);
        Session session;
        std::filesystem::create_directories(form.folder);
        session.host.setDataFolder(form.given);
        session.load();
        EXPECT_EQ(support::readFile(form.folder / "WinsLossesStats.txt"), statsText("0.000000", 0, 0, 0));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

// Scratch copies that crashes left neither block a replacement nor pile up; one
// younger than a minute may belong to a write under way elsewhere and stays.
TEST(StatsFile, LeftoverScratchCopiesAreClearedAndNeverBlockAReplacement)
{
    for (const auto& row : support::leftovers) { // with none left to make, written in place
        SCOPED_TRACE(row.name);
        Session session;
        support::writeFile(session.statsPath(), "old");
        const auto before = session.data.path() / "before";
        std::filesystem::create_hard_link(session.statsPath(), before);
        support::leaveScratches(session.statsPath(), row.count, row.age);
        session.load();
        session.console("add_win");
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
        EXPECT_EQ(support::readFile(before) == "old", row.replaced);
        EXPECT_EQ(support::scratchesIn(session.data.path()).size(), row.kept);
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

namespace {

// While alive, the stats file cannot be written: on Windows a reader holds it and
// shares nothing; elsewhere every write fails as on a full device.
class BlockedStatsFile {
public:
    explicit BlockedStatsFile(const Session& session)
#if defined(_WIN32)
        : held_(CreateFileW(session.statsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        EXPECT_NE(held_, INVALID_HANDLE_VALUE);
    }
    ~BlockedStatsFile() { CloseHandle(held_); }

private:
    HANDLE held_;
#else
        : failing_(session.data.path(), support::FileCall::Write)
    {
    }

private:
    support::FailingCalls failing_;
#endif
};

} // namespace

// No retry runs after unload: the update gets one last try there, and if that
// fails, the console keeps the figures the file would have held.
TEST(StatsFile, UnloadGivesAPendingUpdateOneLastTry)
{
    for (const bool stillBlocked : {false, true}) {
        SCOPED_TRACE(stillBlocked ? "still blocked at unload" : "free again at unload");
        Session session;
        session.load();
        std::optional<BlockedStatsFile> blocked(session);
        session.console("input_mmr -2.5");
        session.console("update_mmr");
        session.console("add_win");
        session.console("add_win");
        if (!stillBlocked)
            blocked.reset();
        session.unload();
        blocked.reset();
        const auto said = session.host.logLines();
        ASSERT_EQ(said.size(), 3u);
        const std::string cannot = "WinsLossesStats.txt: cannot write: ";
        ASSERT_TRUE(said[0].starts_with(cannot)) << said[0];
        const std::string reason = said[0].substr(cannot.size());
        if (stillBlocked) {
            EXPECT_EQ(said[2], "WinsLossesStats.txt: behind at unload (cannot write: " + reason +
                                   "); it would hold MMR : -2.500000, Streak : 2, Wins : 2, Losses : 0");
            EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
        } else {
            EXPECT_EQ(said[2], "WinsLossesStats.txt: up to date again");
            EXPECT_EQ(session.stats(), statsText("-2.500000", 2, 2, 0));
        }
    }
}

#if defined(_WIN32)

// Readers that hold the file, with each way of sharing it, for a moment or for
// about two seconds while matches are counted. Once they let go and a little game
// time passes, the file holds the final figures; the console has said one line per
// update that could not be written, and one when the file caught up.
TEST(StatsFile, ReadersHoldingTheFileGetTheFinalFiguresOnceTheyLetGo)
{
    const struct {
        const char* name;
        DWORD share;
        bool blocksWriting;
    } readers[] = {
        {"sharing nothing", 0, true},
        {"sharing reading", FILE_SHARE_READ, true},
        {"sharing reading and writing", FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {"sharing everything", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
    };
    const int matches = 5;
    std::string scenario = "load\n";
    for (int i = 0; i < matches; ++i)
        scenario += "match public\nkickoff\ngoal 0\nend\n";
    for (const auto& reader : readers) {
        for (const int holdMilliseconds : {50, 2000}) {
            SCOPED_TRACE(std::string(reader.name) + ", held " + std::to_string(holdMilliseconds) + " ms");
            qsim::DataFolder data;
            const auto stats = data.path() / "WinsLossesStats.txt";
            support::writeFile(stats, "");
            support::writeFile(data.path() / "case.qsim",
                               scenario + "pause " + std::to_string(holdMilliseconds / 1000.0 + 0.3) +
                                   "\nwait 1\nexpect file WinsLossesStats.txt \"" +
                                   "MMR : 0.000000\\r\\nStreak : 5\\r\\nWins : 5\\r\\nLosses : 0\"\n");
            std::promise<void> opened;
            std::thread holder([&] {
                HANDLE held = CreateFileW(stats.c_str(), GENERIC_READ, reader.share, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
                opened.set_value();
                Sleep(static_cast<DWORD>(holdMilliseconds));
                CloseHandle(held);
            });
            opened.get_future().wait();
            const std::string path = support::utf8(data.path() / "case.qsim");
            const std::string folder = support::utf8(data.path());
            const char* argv[] = {"quillfort-sim", "--data", folder.c_str(), path.c_str()};
            qsim::Lines in = qsim::Lines::ofText("");
            std::ostringstream out;
            const int status = qsim::runCli(4, argv, in, out, false);
            holder.join();
            EXPECT_EQ(status, 0) << out.str();
            const auto count = [&](const std::string& line) {
                const std::string text = out.str();
                int found = 0;
                for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
                    ++found;
                return found;
            };
            const int blocked = count("log: WinsLossesStats.txt: cannot write: ");
            if (!reader.blocksWriting)
                EXPECT_EQ(blocked, 0) << out.str();
            else if (holdMilliseconds > 1000)
                EXPECT_EQ(blocked, matches + 1) << out.str(); // the load's write too
            else
                EXPECT_LE(blocked, matches + 1) << out.str();
            EXPECT_EQ(count("log: WinsLossesStats.txt: up to date again"), blocked > 0 ? 1 : 0);
        }
    }
}

// A reader that shares writing keeps the file from being replaced, so every update
// goes in place; updates that never shrink the file are not cut, and a reader
// polling it never sees the zero byte that Wine shows at the end of a cut.
TEST(StatsFile, ReaderPollingInPlaceWritesThatNeverShrinkSeesNoZeroByte)
{
    Session session;
    session.load();
    const HANDLE held =
        CreateFileW(session.statsPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> done{false};
    int reads = 0, zeros = 0;
    std::thread reader([&] {
        const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        for (; !done; ++reads) {
            const HANDLE file = CreateFileW(session.statsPath().c_str(), GENERIC_READ, shareAll, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            char seen[256];
            DWORD length = 0;
            if (ReadFile(file, seen, sizeof seen, &length, nullptr) &&
                std::string_view(seen, length).find('\0') != std::string_view::npos)
                ++zeros;
            CloseHandle(file);
        }
    });
    const int updates = 3000;
    for (int i = 0; i < updates; ++i)
        session.console("add_win");
    done = true;
    reader.join();
    CloseHandle(held);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(zeros, 0) << "of " << reads << " reads";
    EXPECT_EQ(session.stats(), statsText("0.000000", updates, updates, 0));
    EXPECT_TRUE(session.host.logLines().empty());
}

// Programs that open new files as they appear (scanners, indexers) without letting
// them be deleted: no scratch copy of either file stays behind because one is held.
TEST(StatsFile, ProgramsHoldingScratchCopiesKeepNoneBehind)
{
    Session session;
    support::writeFile(session.pagePath(), std::string(std::size_t{3800} << 10, 'x') + "\nX Position\nY\n");
    std::vector<std::filesystem::path> scratches;
    for (const auto& file : {session.statsPath(), session.pagePath()}) {
        for (int number = 0; number < 4; ++number)
            scratches.push_back(file.parent_path() / ("." + support::utf8(file.filename()) + "." +
                                                      std::to_string(number) + ".tmp"));
    }
    std::atomic<bool> done{false};
    std::thread holder([&] {
        while (!done) {
            for (const auto& scratch : scratches) {
                const HANDLE held =
                    CreateFileW(scratch.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (held != INVALID_HANDLE_VALUE) {
                    Sleep(20);
                    CloseHandle(held);
                }
            }
        }
    });
    for (int load = 0; load < 5; ++load) {
        session.load();
        for (int i = 0; i < 20; ++i)
            session.console("add_win");
        session.unload();
    }
    done = true;
    holder.join();
    EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
    EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()), std::vector<std::string>{});
    EXPECT_EQ(session.stats(), statsText("0.000000", 20, 20, 0));
}

#else

// A reader polling while the file is rewritten: replaced, the file is only ever
// whole; written in place (the move refused), it is never empty.
TEST(StatsFile, ReaderPollingDuringManyWritesSeesNoEmptyOrTornFile)
{
    const std::regex whole(
        "MMR : -?[0-9]+\\.[0-9]{6}\r\nStreak : -?[0-9]+\r\nWins : [0-9]+\r\nLosses : [0-9]+");
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "replaced");
        Session session;
        session.load();
        std::optional<support::FailingRenames> refused;
        if (inPlace)
            refused.emplace();
        std::atomic<bool> done{false};
        int reads = 0, empty = 0, torn = 0;
        std::thread reader([&] {
            for (; !done; ++reads) {
                const std::string seen = support::readFile(session.statsPath());
                empty += seen.empty() ? 1 : 0;
                torn += std::regex_match(seen, whole) ? 0 : 1;
            }
        });
        for (int i = 0; i < 400; ++i)
            session.console(i % 3 == 0 ? "add_loss" : "add_win");
        done = true;
        reader.join();
        EXPECT_GT(reads, 0);
        EXPECT_EQ(empty, 0) << "of " << reads << " reads";
        EXPECT_EQ(inPlace ? 0 : torn, 0) << "of " << reads << " reads";
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 266, 134));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

// A write that fails keeps the old content and says why, once per update; once the
// fault passes, the latest figures land without another update.
TEST(StatsFile, FailedWritesKeepTheOldContentAndLandLater)
{
    const std::pair<support::FileCall, std::string> faults[] = {
        {support::FileCall::Write, "No space left on device"},
        {support::FileCall::Close, "Input/output error"}, // reported only at closing
    };
    const int syncs = support::diskSyncs();
    for (const auto& [call, reason] : faults) {
        SCOPED_TRACE(reason);
        Session session;
        session.load();
        session.console("add_win");
        {
            support::FailingCalls failing(session.data.path(), call);
            session.console("add_win");
            session.console("add_loss");
            session.host.advance(3.0); // retries that fail say nothing
        }
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
        const std::deque<std::string> said(2, "WinsLossesStats.txt: cannot write: " + reason);
        EXPECT_EQ(session.host.logLines(), said);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(session.data.path()), {}),
                  1); // no scratch left
        session.host.advance(0.5);
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 2, 1));
        EXPECT_EQ(session.host.logLines().size(), 3u);
        EXPECT_EQ(session.host.logLines().back(), "WinsLossesStats.txt: up to date again");
    }
    EXPECT_EQ(support::diskSyncs(), syncs); // a display file is not flushed to the disk
}

// Where the file cannot be replaced (the move refused, or no new file allowed beside
// it), the update goes in place rather than nowhere, cut to its new length.
TEST(StatsFile, FileThatCannotBeReplacedIsWrittenInPlace)
{
    for (const bool createRefused : {false, true}) {
        SCOPED_TRACE(createRefused ? "read-only folder" : "move refused");
        Session session;
        session.load();
        session.console("input_mmr -12345.5");
        session.console("update_mmr");
        session.console("add_loss");
        {
            std::optional<support::FailingRenames> renames;
            std::optional<support::FailingCalls> creates;
            if (createRefused)
                creates.emplace(session.data.path(), support::FileCall::Create);
            else
                renames.emplace();
            session.console("reset");
        }
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

#endif

namespace {

#if defined(_WIN32)
const std::string specialKinds[] = {"folder"};
#else
const std::string specialKinds[] = {"folder", "pipe", "link to a pipe", "socket", "device"};
#endif

// Makes a file of the kind at the path (for a link, at what it points to); false
// where the system does not let this process make one.
bool makeSpecial(const std::string& kind, const std::filesystem::path& path)
{
    if (kind == "folder")
        return std::filesystem::create_directory(path);
#if defined(_WIN32)
    return false;
#else
    if (kind == "socket") {
        const int bound = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        const bool made = bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(bound);
        return made;
    }
    if (kind == "device")
        return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; // the null device
    return mkfifo(path.c_str(), 0600) == 0;
#endif
}

} // namespace

// A folder, pipe, socket or device where the file should be, or behind a link
// there, is never replaced nor opened for writing, nor tried again: whether it is
// there at an update or comes while a retry is pending.
TEST(StatsFile, SpecialFileInItsPlaceIsLeftAsItIs)
{
    const std::string leftAlone = "WinsLossesStats.txt: left as it is: not a regular file";
    for (const std::string& kind : specialKinds) {
        for (const bool duringRetry : {false, true}) {
            SCOPED_TRACE(kind + (duringRetry ? ", while a retry is pending" : ""));
            Session session;
            const auto special =
                kind == "link to a pipe" ? session.data.path() / "pipe" : session.statsPath();
            if (duringRetry) {
                session.load();
                BlockedStatsFile blocked(session);
                session.console("add_win");
            }
            std::filesystem::remove(session.statsPath());
            if (kind == "link to a pipe")
                std::filesystem::create_symlink(special, session.statsPath());
            if (!makeSpecial(kind, special)) {
                ASSERT_EQ(kind, "device") << "only a device may be out of reach";
                continue;
            }
            const auto type = std::filesystem::symlink_status(special).type();
            if (!duringRetry) {
                session.load(); // returns: a pipe with no reader does not hold it
                session.console("add_win");
            }
            session.host.advance(3.0);
            EXPECT_EQ(std::filesystem::symlink_status(special).type(), type);
            const auto said = session.host.logLines();
            ASSERT_EQ(said.size(), 2u);
            EXPECT_EQ(said[0].starts_with("WinsLossesStats.txt: cannot write: "), duringRetry) << said[0];
            EXPECT_EQ(said[1], leftAlone);
        }
    }
}
