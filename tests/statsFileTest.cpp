// WinsLossesStats.txt: exact bytes, rewrites, folders that are missing or not
// ASCII, readers that never see a part, and writes that fail.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <set>
#include <string_view>

#include "support/pollingReader.h"
#include "support/session.h"
#include "systemFile.h"

#if defined(_WIN32)
#  include <windows.h>

#  include "heldFile.h"

#else
#  include <sys/socket.h>
#  include <sys/stat.h>
#  include <sys/sysmacros.h>
#  include <sys/un.h>
#  include <unistd.h>
#endif

using support::Session;
using support::statsText;

namespace {

// What the console says of an update that a program holding the file kept from
// being replaced, where that happens.
const std::string heldLine =
    "WinsLossesStats.txt: another program has the file open; the figures follow when "
    "it lets go, or in place two seconds on if it lets others write";

} // namespace

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

// Shorter figures leave no trace, whether the file is replaced in one step or,
// where it cannot be (a move refused for good elsewhere, or held on Windows for a
// couple of seconds), written in place and cut.
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
        session.host.advance(2.0);
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
        EXPECT_EQ(support::readFile(before), moveRefused ? session.stats() : longer);
        const bool waited = moveRefused && support::holdersRefuseMoves;
        EXPECT_EQ(session.host.logLines().size(), waited ? 2u : 0u);
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

namespace {

using measure::holders;
using measure::shareAll;

// What keeps the holder's file from being written in place, as the console says it.
std::string refusesInPlace(const measure::Holder& holder)
{
    if (holder.mapped)
        return "another program has the file mapped into memory, which keeps it from getting shorter";
    return holder.takesInPlaceWrites() ? ""
                                       : "another program has the file open and lets no one else write it";
}

} // namespace

// Programs holding the file while the figures get shorter: each update that they
// keep from being replaced says so, with one try. One that lets go in a moment gets
// the figures at the next retry; one that keeps holding the file and lets others
// write gets them in place once it has held it for two seconds. One that does not,
// or that has the file mapped into memory (which keeps it from getting shorter),
// keeps the old figures whole, is tried less and less often (0.5, 1, 2, 4, 8, 12 s,
// ...), and gets the figures at the first retry after it lets go.
TEST(StatsFile, ProgramsHoldingTheFileGetTheFiguresOnceTheyLetGoOrInPlace)
{
    for (const auto& holder : holders) {
        for (const bool forGood : {false, true}) {
            SCOPED_TRACE(std::string(holder.name) + (forGood ? ", for good" : ", for a moment"));
            Session session;
            session.load();
            for (int i = 0; i < 10; ++i)
                session.console("add_loss");
            const std::string before = statsText("0.000000", -10, 0, 10);
            const std::string figures = statsText("0.000000", 5, 5, 0);
            const auto readable = [&](const std::string& text) { return holder.readable() ? text : ""; };
            support::Injected tries(session.fileCalls(), support::Fault::MoveRefused, support::passAll);
            measure::HeldFile held(session.statsPath(), holder);
            ASSERT_TRUE(held.holds());
            session.console("reset");
            for (int i = 0; i < 5; ++i)
                session.console("add_win");
            EXPECT_EQ(tries.seen(), 6);
            EXPECT_EQ(session.stats(), readable(before));
            session.host.advance(forGood ? 1.5 : 0.0);
            EXPECT_EQ(session.stats(), readable(before)); // a polling reader may let go yet
            session.host.advance(forGood ? 0.5 : 0.0);
            const bool inPlace = forGood && holder.takesInPlaceWrites();
            EXPECT_EQ(session.stats(), readable(inPlace ? figures : before));
            if (forGood) {
                session.host.advance(58.0);
                // Retries at 0.5, 1 and 2 s; then, while still behind, every 4 s from 4 to 60.
                EXPECT_EQ(tries.seen(), 6 + 3 + (inPlace ? 0 : 15));
            }
            held.letGo();
            session.host.advance(forGood ? 4.0 : 0.5);
            EXPECT_EQ(session.stats(), figures);
            std::deque<std::string> said(6, heldLine);
            said.push_back("WinsLossesStats.txt: up to date again");
            EXPECT_EQ(session.host.logLines(), said);
        }
    }
}

// Quitting soon after a result while a program holds the file: the last try at
// unload writes in place where that program lets others write; otherwise the file
// keeps the old figures whole, and the console says what holds it and what it
// would hold.
TEST(StatsFile, UnloadSoonAfterAResultWritesInPlaceWhereTheHolderLetsOthersWrite)
{
    for (const auto& holder : holders) {
        for (const double after : {0.3, 1.0, 1.9}) {
            SCOPED_TRACE(std::string(holder.name) + ", " + std::to_string(after) + " s after");
            Session session;
            session.load();
            for (int i = 0; i < 10; ++i)
                session.console("add_loss");
            measure::HeldFile held(session.statsPath(), holder);
            ASSERT_TRUE(held.holds());
            session.console("add_win");
            session.host.advance(after);
            session.unload();
            held.letGo();
            const bool inPlace = holder.takesInPlaceWrites();
            EXPECT_EQ(session.stats(),
                      inPlace ? statsText("0.000000", 0, 1, 10) : statsText("0.000000", -10, 0, 10));
            const std::string last =
                inPlace ? "WinsLossesStats.txt: up to date again"
                        : "WinsLossesStats.txt: behind at unload (" + refusesInPlace(holder) +
                              "); it would hold MMR : 0.000000, Streak : 0, Wins : 1, Losses : 10";
            EXPECT_EQ(session.host.logLines(), (std::deque<std::string>{heldLine, last}));
        }
    }
}

namespace {

// A reader that waits for changes in the data folder, in one of the two ways a
// program is told of them, from the moment it is armed.
class ChangeWatch {
public:
    ~ChangeWatch()
    {
        if (notification_ != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(notification_);
        if (folder_ != INVALID_HANDLE_VALUE) {
            CancelIo(folder_);
            CloseHandle(folder_);
        }
        if (overlapped_.hEvent != nullptr)
            CloseHandle(overlapped_.hEvent);
    }

    void arm(const std::filesystem::path& folder, bool directoryChanges)
    {
        constexpr DWORD changes = FILE_NOTIFY_CHANGE_LAST_WRITE;
        if (!directoryChanges) {
            notification_ = FindFirstChangeNotificationW(folder.c_str(), FALSE, changes);
            return;
        }
        folder_ = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, shareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ReadDirectoryChangesW(folder_, buffer_, sizeof buffer_, FALSE, changes, nullptr, &overlapped_,
                              nullptr);
    }
    bool told() const
    {
        const HANDLE signal = folder_ != INVALID_HANDLE_VALUE ? overlapped_.hEvent : notification_;
        return signal != INVALID_HANDLE_VALUE && WaitForSingleObject(signal, 2000) == WAIT_OBJECT_0;
    }

private:
    HANDLE notification_ = INVALID_HANDLE_VALUE;
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    alignas(DWORD) char buffer_[4096];
};

HANDLE openToRead(const std::filesystem::path& file, DWORD share)
{
    return CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

} // namespace

// A reader woken by the move, which opens the file while the plugin's handle (it
// holds the right to delete the file) is still open and does not share deletion,
// is turned away; it is told of a later change, once that handle has closed, and
// then finds the new figures. Both ways of waiting for changes.
TEST(StatsFile, ReaderTurnedAwayRightAfterTheMoveIsToldOfALaterChange)
{
    for (const bool directoryChanges : {false, true}) {
        SCOPED_TRACE(directoryChanges ? "ReadDirectoryChangesW" : "FindFirstChangeNotificationW");
        Session session;
        session.load();
        ChangeWatch watch;
        bool turnedAway = false;
        support::Meanwhile reader(session.fileCalls(), support::Meanwhile::At::Moved, [&] {
            const HANDLE opened = openToRead(session.statsPath(), FILE_SHARE_READ | FILE_SHARE_WRITE);
            turnedAway = opened == INVALID_HANDLE_VALUE;
            CloseHandle(opened);
            watch.arm(session.data.path(), directoryChanges);
        });
        session.console("add_win");
        EXPECT_TRUE(turnedAway);
        EXPECT_TRUE(watch.told());
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    }
}

namespace {

// The scratch copies of the stats file and the settings page, at their first name.
std::vector<std::filesystem::path> firstScratches(const Session& session)
{
    std::vector<std::filesystem::path> scratches;
    for (const auto& file : {session.statsPath(), session.pagePath()})
        scratches.push_back(file.parent_path() / ("." + support::utf8(file.filename()) + ".0.tmp"));
    return scratches;
}

} // namespace

// A scratch copy, while it is written, keeps out the programs that open new files
// as they appear (scanners, indexers) without letting them be deleted, so none
// stays behind because one holds it; a reader that shares everything gets in, as
// it must once the copy bears the file's name. Both files, at every write.
TEST(StatsFile, ScratchCopiesKeepScannersOutAndLetReadersIn)
{
    Session session;
    support::writeFile(session.pagePath(), std::string(std::size_t{1} << 20, 'x') + "\nX Position\nY\n");
    std::vector<HANDLE> held;
    int met = 0, refusedReaders = 0;
    support::Meanwhile scanner(session.fileCalls(), support::Meanwhile::At::Write, [&] {
        for (const auto& scratch : firstScratches(session)) {
            if (!std::filesystem::exists(scratch))
                continue;
            ++met;
            if (const HANDLE opened = openToRead(scratch, FILE_SHARE_READ | FILE_SHARE_WRITE);
                opened != INVALID_HANDLE_VALUE)
                held.push_back(opened);
            const HANDLE reader = openToRead(scratch, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
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
    EXPECT_EQ(met, 9) << "the scanner met a scratch copy this often";
    EXPECT_EQ(held.size(), 0u);
    EXPECT_EQ(refusedReaders, 0);
    EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
    EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()), std::vector<std::string>{});
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
}

// A copy that cannot take the file's place is deleted through its own handle
// before that closes, so a scanner that looks the moment it closes finds nothing
// to hold, and none stays behind: both files.
TEST(StatsFile, DiscardedScratchCopiesGoBeforeAScannerCanHoldThem)
{
    Session session;
    support::writeFile(session.pagePath(), "X Position\nY\n");
    std::vector<HANDLE> held;
    support::Injected refused(session.fileCalls(), support::Fault::MoveRefused);
    support::Meanwhile scanner(session.fileCalls(), support::Meanwhile::At::Close, [&] {
        for (const auto& scratch : firstScratches(session)) {
            if (const HANDLE opened = openToRead(scratch, FILE_SHARE_READ | FILE_SHARE_WRITE);
                opened != INVALID_HANDLE_VALUE)
                held.push_back(opened);
        }
    });
    session.load();
    for (const HANDLE handle : held)
        CloseHandle(handle);
    EXPECT_GT(scanner.ran(), 0);
    EXPECT_EQ(session.host.logLines().size(), 2u) << "one refused move of each file";
    EXPECT_EQ(held.size(), 0u);
    EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
    EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()), std::vector<std::string>{});
}

#endif

// Readers polling the file while the figures go up and down (a loss streak broken
// by a win, a reset), whatever they share beyond reading and writing (fopen shares
// just these), only ever find the figures of some moment: never a mix of two, nor
// an empty file. One that shares deletion is never turned away; one that does not
// may be, only while a move is under way on Windows. An update that a reader's
// open refuses lands at the next retry.
TEST(StatsFile, ReadersPollingTheFileOnlyEverFindWholeFigures)
{
    const char* const round[] = {"add_loss", "add_loss", "add_loss", "add_loss", "add_loss", "add_loss",
                                 "add_loss", "add_loss", "add_loss", "add_loss", "add_win",  "reset"};
    // The text the file holds after each update of a round, which ends where it began.
    std::vector<std::string> texts;
    {
        Session plain;
        plain.load();
        for (const char* line : round) {
            texts.push_back(plain.stats());
            plain.console(line);
        }
        ASSERT_EQ(plain.stats(), texts.front());
    }
    const std::set<std::string, std::less<>> anyOf(texts.begin(), texts.end());
    using Shares = support::PollingReader::Shares;
    for (const Shares shares : {Shares::ReadWrite, Shares::ReadWriteDelete}) {
        SCOPED_TRACE(shares == Shares::ReadWrite ? "sharing reading and writing" : "sharing everything");
        Session session;
        session.load();
        support::PollingReader reader(session.statsPath(), shares,
                                      [&](std::string_view seen) { return anyOf.contains(seen); });
        reader.waitForReads(1);
        const int before = reader.reads();
        std::size_t updates = 0;
        for (; updates < 600 || !reader.hasRead(before, 600); ++updates)
            session.console(round[updates % std::size(round)]);
        reader.stop();
        const std::string of = " of " + std::to_string(reader.reads()) + " reads";
        EXPECT_EQ(reader.failed(), 0) << of;
        EXPECT_EQ(reader.torn, 0) << of;
        EXPECT_EQ(reader.empty + reader.zeros, 0) << of;
        if (shares == Shares::ReadWriteDelete || !support::holdersRefuseMoves) {
            EXPECT_EQ(reader.refused, 0) << of;
        } else {
            // Turned away only while a move is under way: under Wine 2 % to 8 % of its
            // opens in a tight loop, so a quarter leaves room for a loaded machine.
            EXPECT_LE(reader.refused * 4, reader.reads() + reader.refused)
                << reader.refused << " turned away" << of;
        }
        session.host.advance(0.5);
        EXPECT_EQ(session.stats(), texts[updates % texts.size()]);
        for (const std::string& line : session.host.logLines()) {
            EXPECT_TRUE(support::holdersRefuseMoves &&
                        (line == heldLine || line == "WinsLossesStats.txt: up to date again"))
                << line;
        }
    }
}

// A write that fails says why, once per update, and keeps the old content; once
// the fault passes, the latest figures land without another update. Where the
// system reports a lost write only at closing, that fails the write too.
TEST(StatsFile, FailedWritesSayWhyAndLandLater)
{
    const support::Fault faults[] = {
        support::Fault::WriteFull,
#if !defined(_WIN32) // Windows closes the copy only once it is in place
        support::Fault::CloseFails,
#endif
    };
    for (const auto fault : faults) {
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
            session.host.advance(3.0); // retries that fail say nothing: at 0.5, 1 and 2 s
        }
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
        const std::deque<std::string> said(2, "WinsLossesStats.txt: cannot write: " + reason);
        EXPECT_EQ(session.host.logLines(), said);
        EXPECT_EQ(support::scratchesIn(session.data.path()), std::vector<std::string>{});
        session.host.advance(1.0); // the next retry, at 4 s
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 2, 1));
        EXPECT_EQ(session.host.logLines().size(), 3u);
        EXPECT_EQ(session.host.logLines().back(), "WinsLossesStats.txt: up to date again");
        EXPECT_EQ(syncs.seen(), 0); // a display file is not flushed to the disk
    }
}

// A crash at any moment of an update (the game killed, the power gone) leaves the
// old figures or the new ones, whole: from the crash on, no call changes a file.
TEST(StatsFile, CrashAtAnyMomentOfAnUpdateLeavesTheOldOrTheNewFigures)
{
    const std::string before = statsText("0.000000", -12, 0, 12);
    const std::string after = statsText("0.000000", 0, 1, 12); // shorter by two bytes
    for (int survives = 0;; ++survives) {
        SCOPED_TRACE("crash after " + std::to_string(survives) + " calls");
        Session session;
        session.load();
        for (int i = 0; i < 12; ++i)
            session.console("add_loss");
        ASSERT_EQ(session.stats(), before);
        support::Injected crash(session.fileCalls(), support::Fault::Crash, survives);
        session.console("add_win");
        const std::string left = session.stats();
        EXPECT_TRUE(left == before || left == after) << left;
        if (crash.seen() <= survives) {
            EXPECT_EQ(left, after);
            break;
        }
    }
}

namespace {

#if defined(_WIN32)
const std::string specialKinds[] = {"folder"};
#else
const std::string specialKinds[] = {"folder", "pipe", "link to a pipe", "socket"};
#endif

// Makes a file of the kind at the path (for a link, at what it points to).
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

namespace {

// A file of the kind where the stats file should be is never replaced nor opened
// for writing, nor tried again: whether it is there at an update or comes while a
// retry is pending.
void checkLeftAlone(const std::string& kind)
{
    const std::string leftAlone = "WinsLossesStats.txt: left as it is: not a regular file";
    for (const bool duringRetry : {false, true}) {
        SCOPED_TRACE(kind + (duringRetry ? ", while a retry is pending" : ""));
        Session session;
        const auto special = kind == "link to a pipe" ? session.data.path() / "pipe" : session.statsPath();
        if (duringRetry) {
            session.load();
            BlockedStatsFile blocked(session);
            session.console("add_win");
        }
        std::filesystem::remove(session.statsPath());
        if (kind == "link to a pipe")
            std::filesystem::create_symlink(special, session.statsPath());
        ASSERT_TRUE(makeSpecial(kind, special));
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

#if !defined(_WIN32)
// Making a device takes root: the test is there only where it can run.
class DeviceInItsPlace : public testing::Test {
    void TestBody() override { checkLeftAlone("device"); }
};
[[maybe_unused]] const bool deviceTestRegistered =
    geteuid() == 0 &&
    testing::RegisterTest("StatsFile", "DeviceInItsPlaceIsLeftAsItIs", nullptr, nullptr, __FILE__, __LINE__,
                          []() -> testing::Test* { return new DeviceInItsPlace; }) != nullptr;
#endif

} // namespace

// A folder, pipe, socket, or one behind a link, where the file should be is left as it is.
TEST(StatsFile, SpecialFileInItsPlaceIsLeftAsItIs)
{
    for (const std::string& kind : specialKinds)
        checkLeftAlone(kind);
}
