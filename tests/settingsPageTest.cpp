// The settings page: the copy with its two rewritten lines, line ends, and a
// page file that is never lost nor replaced by an incomplete copy.
#include <gtest/gtest.h>

#include "support/session.h"

#include <algorithm>

#include <optional>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <sys/stat.h>
#endif

using support::Session;

namespace {

const RECT desktop = support::measuredDesktop();
const std::string xLine = "5|X Position|posx|0|" + std::to_string(desktop.right) + "\r\n";
const std::string yLine = "5|Y Position|posy|0|" + std::to_string(desktop.bottom) + "\r\n";

bool refreshSent(const Session& session)
{
    for (const auto& command : session.host.executedCommands()) {
        if (command.command == "cl_settings_refreshplugins" && command.log)
            return true;
    }
    return false;
}

// The names in the settings folder: a scratch file left behind shows here.
std::vector<std::string> settingsFolder(const Session& session)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(session.pagePath().parent_path()))
        names.push_back(support::utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// The page after a load that found `page` in the file.
std::string rewritten(const std::string& page)
{
    Session session;
    support::writeFile(session.pagePath(), page);
    session.load();
    EXPECT_TRUE(refreshSent(session)) << page;
    EXPECT_EQ(settingsFolder(session), std::vector<std::string>{"tarnuplugin.set"});
    EXPECT_TRUE(session.host.logLines().empty());
    return support::readFile(session.pagePath());
}

} // namespace

TEST(SettingsPage, CopiesAPageWithoutPositionLinesUnchanged)
{
    EXPECT_EQ(rewritten("TarnuPlugin\r\n1|Enable|enable_plugin\r\n"),
              "TarnuPlugin\r\n1|Enable|enable_plugin\r\n");
}

TEST(SettingsPage, EmptyPageStaysEmpty) { EXPECT_EQ(rewritten(""), ""); }

TEST(SettingsPage, EveryLineEndsWithCrLf)
{
    EXPECT_EQ(rewritten("a\nb"), "a\r\nb\r\n");
    EXPECT_EQ(rewritten("a\r\n\r\n\nb\r\n"), "a\r\n\r\n\r\nb\r\n");
    EXPECT_EQ(rewritten("a\n"), "a\r\n");
    // A CR without an LF after it is no line break: it stays, at the very end too.
    EXPECT_EQ(rewritten("a\rb\nc\r"), "a\rb\r\nc\r\r\n");
    EXPECT_EQ(rewritten("\r"), "\r\r\n");
}

TEST(SettingsPage, ReplacesTheXLineAndDropsTheLineAfterIt)
{
    EXPECT_EQ(rewritten("head\n5|X Position|posx|0|800\n5|Y Position|posy|0|600\ntail\n"),
              "head\r\n" + xLine + yLine + "tail\r\n");
}

TEST(SettingsPage, MatchesBySubstringAndCase)
{
    EXPECT_EQ(rewritten("5|Y Position|posy|0|600\nZ Position\n9|Old X Position slider\nold y\n"
                        "x position\nX POSITION\nXPosition\n"),
              "5|Y Position|posy|0|600\r\nZ Position\r\n" + xLine + yLine +
                  "x position\r\nX POSITION\r\nXPosition\r\n");
}

TEST(SettingsPage, DropsTheFollowingLineUnreadEvenWhenItMatches)
{
    EXPECT_EQ(rewritten("X Position 1\nX Position 2\nafter\n"), xLine + yLine + "after\r\n");
    EXPECT_EQ(rewritten("X Position\n\nafter\n"), xLine + yLine + "after\r\n");
}

TEST(SettingsPage, MatchOnTheLastLineStillWritesBothLines)
{
    EXPECT_EQ(rewritten("first\nX Position"), "first\r\n" + xLine + yLine);
}

TEST(SettingsPage, EachMatchWritesThePairAndDropsItsNextLine)
{
    EXPECT_EQ(rewritten("X Position\nY\nmiddle\nX Position\nY\nend"),
              xLine + yLine + "middle\r\n" + xLine + yLine + "end\r\n");
}

// On Windows the plugin measures the real desktop, which loadTest checks.
#if !defined(_WIN32)
TEST(SettingsPage, WritesTheDesktopSizeMeasuredAtLoad)
{
    Session session(1366, 768);
    support::writeFile(session.pagePath(), "X Position\nY\n");
    session.load();
    EXPECT_EQ(support::readFile(session.pagePath()),
              "5|X Position|posx|0|1366\r\n5|Y Position|posy|0|768\r\n");
}
#endif

TEST(SettingsPage, MissingPageIsNotCreatedAndOtherFilesAreLeftAlone)
{
    Session session;
    const auto other = session.pagePath().parent_path() / "temp.set";
    support::writeFile(other, "stale content");
    session.load();
    EXPECT_EQ(settingsFolder(session), std::vector<std::string>{"temp.set"});
    EXPECT_EQ(support::readFile(other), "stale content");
    EXPECT_FALSE(refreshSent(session));
    EXPECT_TRUE(session.host.logLines().empty());
}

TEST(SettingsPage, DataFolderInEveryFormGetsItsPageRewritten)
{
    const support::FolderForms forms;
    for (const auto& form : forms.all()) {
        SCOPED_TRACE(form.name);
        Session session;
        const auto page = form.folder / "plugins" / "settings" / "tarnuplugin.set";
        support::writeFile(page, "X Position\nY\n");
        session.host.setDataFolder(form.given);
        session.load();
        EXPECT_EQ(support::readFile(page), xLine + yLine);
        EXPECT_TRUE(refreshSent(session));
        EXPECT_TRUE(session.host.logLines().empty());
    }
}

// With every scratch name held by a copy younger than a minute, which may belong
// to a load under way elsewhere, the page is left as it is and the console says so.
TEST(SettingsPage, EveryScratchNameInUseLeavesThePageAndSaysSo)
{
    Session session;
    const std::string page = "X Position\nY\n";
    support::writeFile(session.pagePath(), page);
    support::leaveScratches(session.pagePath(), 64, std::chrono::seconds(0));
    session.load();
    EXPECT_EQ(support::readFile(session.pagePath()), page);
    EXPECT_FALSE(refreshSent(session));
    EXPECT_EQ(session.host.logLines(),
              std::deque<std::string>{"tarnuplugin.set: cannot write: every scratch name is taken "
                                      "(.tarnuplugin.set.0.tmp to .63.tmp), none for more than a minute"});
}

#if defined(_WIN32)

// Windows refuses to replace a file that another program holds open, whatever it
// shares; the page must survive that, and be read all the same, also while an
// editor holds it open for writing.
TEST(SettingsPage, PageHeldOpenElsewhereIsKeptWhole)
{
    const struct {
        const char* name;
        DWORD access;
        DWORD share;
    } holders[] = {
        {"a reader sharing reading and writing", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"an editor sharing everything", GENERIC_READ | GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const auto& holder : holders) {
        SCOPED_TRACE(holder.name);
        Session session;
        const std::string original = "X Position\r\nY\r\n";
        support::writeFile(session.pagePath(), original);
        HANDLE held = CreateFileW(session.pagePath().c_str(), holder.access, holder.share, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        session.load();
        CloseHandle(held);
        EXPECT_EQ(support::readFile(session.pagePath()), original);
        EXPECT_EQ(settingsFolder(session), std::vector<std::string>{"tarnuplugin.set"});
        EXPECT_TRUE(refreshSent(session));
        EXPECT_EQ(
            session.host.logLines(),
            std::deque<std::string>{"tarnuplugin.set: cannot write: another program has the file open"});
    }
}

#endif

namespace {

class SettingsPageFaults : public ::testing::Test {
protected:
    void SetUp() override { support::writeFile(session.pagePath(), original); }

    const std::string original = "TarnuPlugin\r\n5|X Position|posx|0|800\r\n5|Y Position|posy|0|600\r\n";
    const std::string rewrittenPage = "TarnuPlugin\r\n" + xLine + yLine;
    Session session;
};

} // namespace

// A fault on the way leaves the old page or the whole new one, no scratch file, and
// one line that says why; a whole copy asks for a reload, an incomplete one does not.
// A refused move is taken for a program holding the page where that refuses moves.
TEST_F(SettingsPageFaults, FaultOnTheWaySaysWhyAndKeepsThePageWhole)
{
    const std::string movedRefused =
        support::holdersRefuseMoves ? "cannot write: another program has the file open" : "cannot write: ";
    const struct {
        support::Fault fault;
        std::string said; // before the system's words
        bool refreshed;
        bool replaced;
    } rows[] = {
        {support::Fault::ReadFails, "cannot read: ", false, false},
        {support::Fault::WriteFull, "cannot write: ", false, false},
        {support::Fault::SyncFull, "cannot write: ", false, false},
        {support::Fault::MoveRefused, movedRefused, true, false},
        {support::Fault::FolderSyncFails, "replaced, but the move may not have reached the disk: ", true,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said + std::to_string(static_cast<int>(row.fault)));
        Session fresh;
        support::writeFile(fresh.pagePath(), original);
        {
            support::Injected failing(fresh.fileCalls(), row.fault, 0, fresh.pagePath().parent_path());
            fresh.load();
            const bool held = row.fault == support::Fault::MoveRefused && support::holdersRefuseMoves;
            const std::string words = held ? "" : failing.says();
            EXPECT_EQ(fresh.host.logLines(), std::deque<std::string>{"tarnuplugin.set: " + row.said + words});
        }
        EXPECT_EQ(support::readFile(fresh.pagePath()), row.replaced ? rewrittenPage : original);
        EXPECT_EQ(refreshSent(fresh), row.refreshed);
        EXPECT_EQ(settingsFolder(fresh), std::vector<std::string>{"tarnuplugin.set"});
        fresh.unload();
    }
}

// The new page reaches the disk, and so does its move; on POSIX it keeps the old
// page's permissions.
TEST_F(SettingsPageFaults, NewPageReachesTheDiskAndKeepsThePermissions)
{
    support::Injected pageSyncs(session.fileCalls(), support::Fault::SyncFull, support::passAll);
    support::Injected moveSyncs(session.fileCalls(), support::Fault::FolderSyncFails, support::passAll);
#if !defined(_WIN32)
    using std::filesystem::perms;
    std::filesystem::permissions(session.pagePath(), perms::owner_read | perms::owner_write);
#endif
    session.load();
    EXPECT_EQ(support::readFile(session.pagePath()), rewrittenPage);
    EXPECT_EQ(pageSyncs.seen(), 1);
    EXPECT_EQ(moveSyncs.seen(), 1);
#if !defined(_WIN32)
    EXPECT_EQ(std::filesystem::status(session.pagePath()).permissions(),
              perms::owner_read | perms::owner_write);
#endif
}

TEST_F(SettingsPageFaults, PageThatIsNoRegularFileOrTooLargeIsLeftAsItIs)
{
    const std::pair<std::string, std::string> pages[] = {
        {"folder", "not a regular file"},
        {"large", "larger than 4 MiB"},
        {"no disk file", "not a regular file"},
#if !defined(_WIN32)
        {"pipe", "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {"/dev/urandom", "not a regular file"},
#endif
    };
    for (const auto& [kind, reason] : pages) {
        SCOPED_TRACE(kind);
        Session fresh;
        const auto page = fresh.pagePath();
        std::filesystem::create_directories(page.parent_path());
        std::optional<support::Injected> noDiskFile;
        if (kind == "folder")
            std::filesystem::create_directory(page);
        else if (kind == "large")
            support::writeFile(page, std::string((std::size_t{4} << 20) + 1, 'x'));
        else if (kind == "no disk file") {
            support::writeFile(page, original);
            noDiskFile.emplace(fresh.fileCalls(), support::Fault::NotADiskFile, 0, page);
        }
#if !defined(_WIN32)
        else if (kind == "pipe")
            ASSERT_EQ(mkfifo(page.c_str(), 0600), 0);
        else
            std::filesystem::create_symlink(kind, page);
#endif
        fresh.load(); // returns: a pipe with no writer does not hold it
        noDiskFile.reset();
        EXPECT_EQ(fresh.host.logLines(),
                  std::deque<std::string>{"tarnuplugin.set: left as it is: " + reason});
        EXPECT_FALSE(refreshSent(fresh));
        EXPECT_EQ(settingsFolder(fresh), std::vector<std::string>{"tarnuplugin.set"});
        fresh.unload();
    }
}

#if !defined(_WIN32)

TEST_F(SettingsPageFaults, PageThatIsALinkStaysOneAndItsFileIsRewritten)
{
    const auto kept = session.data.path() / "versioned" / "tarnuplugin.set";
    support::writeFile(kept, original);
    std::filesystem::remove(session.pagePath());
    std::filesystem::create_symlink(std::filesystem::path("..") / ".." / "versioned" / "tarnuplugin.set",
                                    session.pagePath());
    session.load();
    EXPECT_TRUE(std::filesystem::is_symlink(session.pagePath()));
    EXPECT_EQ(support::readFile(kept), rewrittenPage);
    EXPECT_TRUE(refreshSent(session));
}

#endif

TEST(SettingsPage, ShippedPageGetsTheDesktopBoundsAndKeepsEverythingElse)
{
    const std::string shipped = support::readFile(std::filesystem::path(TARNU_SOURCE_DIR) / "examples" /
                                                  "data" / "plugins" / "settings" / "tarnuplugin.set");
    ASSERT_NE(shipped.find("5|X Position|posx|0|"), std::string::npos);
    const std::string page = rewritten(shipped);
    const auto x = page.find(xLine);
    ASSERT_NE(x, std::string::npos) << page;
    EXPECT_EQ(page.substr(x + xLine.size(), yLine.size()), yLine);
    EXPECT_EQ(page.substr(0, x), shipped.substr(0, x));
    const auto rest = shipped.find("\r\n", shipped.find("Y Position")) + 2;
    EXPECT_EQ(page.substr(x + xLine.size() + yLine.size()), shipped.substr(rest));
}
