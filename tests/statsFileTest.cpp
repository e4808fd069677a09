// WinsLossesStats.txt: exact bytes, rewrites, folders that are missing or not
// ASCII, readers that never see a part, and writes that fail.
#include <gtest/gtest.h>

#include <optional>

#include "support/pollingReader.h"
#include "support/session.h"
#include "systemFile.h"

#if defined(_WIN32)
#  include <windows.h>

#  include <future>
#  include <sstream>
#  include <thread>

#  include "cli.h"
#else
#  include <sys/socket.h>
#  include <sys/stat.h>
#  include <sys/sysmacros.h>
#  include <sys/un.h>
#  include <unistd.h>
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

// Shorter figures leave no trace, whether the file is replaced in one step (where
// that turns no reader away) or written in place and cut (on Windows, or where it
// cannot be replaced), and neither says a word.
TEST(StatsFile, RewriteWithShorterNumbersLeavesNoTrace)
{
    for (const bool moveRefused : {false, true}) {
        SCOPED_TRACE(moveRefused ? "move refused" : "as it is");
        Session session;
        session.load();
        session.console("input_mmr -12345.5");
        session.console("update_mmr");
        for (int i = 0; i < 12; ++i)
            session.console("add_loss");
        const std::string longer = statsText("-12345.500000", -12, 0, 12);
        ASSERT_EQ(session.stats(), longer);
        const auto before = session.data.path() / "before";
        std::filesystem::create_hard_link(session.statsPath(), before);
        std::optional<support::Injected> refused;
        if (moveRefused)
            refused.emplace(session.fileCalls(), support::Fault::MoveRefused);
        session.console("reset");
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
        const bool inPlace = moveRefused || files::os::movesTurnReadersAway();
        EXPECT_EQ(support::readFile(before), inPlace ? session.stats() : longer);
        EXPECT_TRUE(session.host.logLines().empty());
    }
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
    const support::FolderForms forms;
    for (const auto& form : forms.all()) {
        SCOPED_TRACE(form.name);
        Session session;
        std::filesystem::create_directories(form.folder);
        session.host.setDataFolder(form.given);
        session.load();
        EXPECT_EQ(support::readFile(form.folder / "WinsLossesStats.txt"), statsText("0.000000", 0, 0, 0));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

// Scratch copies that crashes left at any name go at load, for both files, but
// for one younger than a minute, which may belong to a write under way elsewhere.
TEST(StatsFile, LoadClearsOldLeftoversOfBothFiles)
{
    Session session;
    support::writeFile(session.pagePath(), "X Position\nY\n");
    for (const auto& file : {session.statsPath(), session.pagePath()}) {
        support::leaveScratches(file, 8, std::chrono::hours(1), 1);
        support::leaveScratches(file, 1, std::chrono::seconds(0), 9);
    }
    session.load();
    const auto young = [](const std::filesystem::path& file) {
        return std::vector<std::string>{"." + support::utf8(file.filename()) + ".9.tmp"};
    };
    EXPECT_EQ(support::scratchesIn(session.data.path()), young(session.statsPath()));
    EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()), young(session.pagePath()));
    EXPECT_TRUE(session.host.logLines().empty());
}

namespace {

// While alive, the stats file cannot be written: the device is full.
class BlockedStatsFile {
public:
    explicit BlockedStatsFile(Session& session) : full_(session.fileCalls(), support::Fault::WriteFull) {}

private:
    support::Injected full_;
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
        std::optional<BlockedStatsFile> blocked(std::in_place, session);
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
// about two seconds while matches are counted; a program that holds it open for
// writing too (another instance, an editor) blocks nothing when it shares all.
// Once they let go and a little game time passes, the file holds the final
// figures; the console has said one line per update that could not be written,
// and one when the file caught up.
TEST(StatsFile, ReadersHoldingTheFileGetTheFinalFiguresOnceTheyLetGo)
{
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const struct {
        const char* name;
        DWORD access;
        DWORD share;
        bool blocksWriting;
    } readers[] = {
        {"sharing nothing", GENERIC_READ, 0, true},
        {"sharing reading", GENERIC_READ, FILE_SHARE_READ, true},
        {"sharing reading and writing", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {"sharing everything", GENERIC_READ, shareAll, false},
        {"writing too, sharing everything", GENERIC_READ | GENERIC_WRITE, shareAll, false},
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
                HANDLE held = CreateFileW(stats.c_str(), reader.access, reader.share, nullptr, OPEN_EXISTING,
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
            if (!reader.blocksWriting) {
                EXPECT_EQ(blocked, 0) << out.str();
            } else if (holdMilliseconds > 1000)
                EXPECT_EQ(blocked, matches + 1) << out.str(); // the load's write too
            else {
                EXPECT_LE(blocked, matches + 1) << out.str();
            }
            EXPECT_EQ(count("log: WinsLossesStats.txt: up to date again"), blocked > 0 ? 1 : 0);
        }
    }
}

// A scratch copy, while it is written, keeps out the programs that open new files
// as they appear (scanners, indexers) without letting them be deleted, so none
// stays behind because one holds it; a reader that shares everything gets in, as
// it must once the copy bears the file's name. Both files: the stats file's copy,
// made while the file is missing, and the settings page's, at every load.
TEST(StatsFile, ScratchCopiesKeepScannersOutAndLetReadersIn)
{
    Session session;
    support::writeFile(session.pagePath(), std::string(std::size_t{1} << 20, 'x') + "\nX Position\nY\n");
    std::vector<HANDLE> held;
    int met = 0, refusedReaders = 0;
    support::Meanwhile scanner(session.fileCalls(), support::Meanwhile::At::Write, [&] {
        for (const auto& file : {session.statsPath(), session.pagePath()}) {
            const auto scratch = file.parent_path() / ("." + support::utf8(file.filename()) + ".0.tmp");
            const auto open = [&](DWORD share) {
                return CreateFileW(scratch.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            };
            if (!std::filesystem::exists(scratch))
                continue;
            ++met;
            if (const HANDLE opened = open(FILE_SHARE_READ | FILE_SHARE_WRITE);
                opened != INVALID_HANDLE_VALUE)
                held.push_back(opened);
            const HANDLE reader = open(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            refusedReaders += reader == INVALID_HANDLE_VALUE ? 1 : 0;
            CloseHandle(reader);
        }
    });
    for (int load = 0; load < 3; ++load) {
        std::filesystem::remove(session.statsPath());
        session.load();
        session.console("add_win");
        session.unload();
    }
    for (const HANDLE handle : held)
        CloseHandle(handle);
    EXPECT_EQ(met, 6) << "the scanner met a scratch copy this often";
    EXPECT_EQ(held.size(), 0u);
    EXPECT_EQ(refusedReaders, 0);
    EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
    EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()), std::vector<std::string>{});
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
}

#endif

// Readers polling the file while matches are counted, whatever they share beyond
// reading and writing (fopen shares just these), are never turned away and never
// see it empty nor with a zero byte, which Wine shows at the end of a file cut to
// the same or a greater length. Replaced, it is only ever whole.
TEST(StatsFile, ReadersPollingTheFileAreNeverTurnedAway)
{
    using Shares = support::PollingReader::Shares;
    for (const Shares shares : {Shares::ReadWrite, Shares::ReadWriteDelete}) {
        SCOPED_TRACE(shares == Shares::ReadWrite ? "sharing reading and writing" : "sharing everything");
        Session session;
        session.load();
        support::PollingReader reader(session.statsPath(), shares, support::isStatsText);
        reader.waitForReads(1);
        const int before = reader.reads();
        int updates = 0;
        for (; updates < 1500 || reader.reads() < before + 1000; ++updates)
            session.console("add_win");
        reader.stop();
        EXPECT_EQ(reader.refused, 0) << "of " << reader.reads() << " reads";
        EXPECT_EQ(reader.empty + reader.zeros, 0) << "of " << reader.reads() << " reads";
        if (!files::os::movesTurnReadersAway()) {
            EXPECT_EQ(reader.torn, 0) << "of " << reader.reads() << " reads";
        }
        EXPECT_EQ(session.stats(), statsText("0.000000", updates, updates, 0));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

// A write that fails says why, once per update, and keeps the old content where the
// failure comes before the bytes are in place (a lost write reported only at closing
// may come after an in-place write); once the fault passes, the latest figures land
// without another update.
TEST(StatsFile, FailedWritesSayWhyAndLandLater)
{
    for (const auto fault : {support::Fault::WriteFull, support::Fault::CloseFails}) {
        SCOPED_TRACE(static_cast<int>(fault));
        Session session;
        session.load();
        session.console("add_win");
        support::Injected syncs(session.fileCalls(), support::Fault::SyncFull, support::passAll);
        std::string reason;
        {
            support::Injected failing(session.fileCalls(), fault);
            reason = failing.says();
            session.console("add_win");
            session.console("add_loss");
            session.host.advance(3.0); // retries that fail say nothing
        }
        if (fault == support::Fault::WriteFull || !files::os::movesTurnReadersAway()) {
            EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
        }
        const std::deque<std::string> said(2, "WinsLossesStats.txt: cannot write: " + reason);
        EXPECT_EQ(session.host.logLines(), said);
        EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
        session.host.advance(0.5);
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 2, 1));
        EXPECT_EQ(session.host.logLines().size(), 3u);
        EXPECT_EQ(session.host.logLines().back(), "WinsLossesStats.txt: up to date again");
        EXPECT_EQ(syncs.seen(), 0); // a display file is not flushed to the disk
    }
}

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
