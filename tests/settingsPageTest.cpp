// The settings page: the copy with its two rewritten lines, line ends, and a
// page file that is never lost nor replaced by an incomplete copy.
#include <gtest/gtest.h>

#include "support/session.h"

#include <algorithm>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <sys/stat.h>

#  include "support/faults.h"
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

TEST(SettingsPage, WritesTheDesktopSizeMeasuredAtLoad)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the real desktop is measured on Windows";
#endif
    Session session(1366, 768);
    support::writeFile(session.pagePath(), "X Position\nY\n");
    session.load();
    EXPECT_EQ(support::readFile(session.pagePath()),
              "5|X Position|posx|0|1366\r\n5|Y Position|posy|0|768\r\n");
}

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
    qsim::DataFolder base;
    for (const auto& form : support::folderForms(base.path())) {
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

// Scratch copies that crashes left neither block a rewrite nor pile up; one younger
// than a minute may belong to a load under way elsewhere and stays. With every name
// held by such a one, the console says so.
TEST(SettingsPage, LeftoverScratchCopiesAreClearedAndNeverBlockARewrite)
{
    const std::string page = "X Position\nY\n";
    for (const auto& row : support::leftovers) {
        SCOPED_TRACE(row.name);
        Session session;
        support::writeFile(session.pagePath(), page);
        support::leaveScratches(session.pagePath(), row.count, row.age);
        session.load();
        EXPECT_EQ(support::readFile(session.pagePath()), row.replaced ? xLine + yLine : page);
        EXPECT_EQ(refreshSent(session), row.replaced);
        EXPECT_EQ(support::scratchesIn(session.pagePath().parent_path()).size(), row.kept);
        if (row.replaced)
            EXPECT_TRUE(session.host.logLines().empty());
        else
            EXPECT_EQ(
                session.host.logLines(),
                std::deque<std::string>{"tarnuplugin.set: cannot write: every scratch name is taken "
                                        "(.tarnuplugin.set.0.tmp to .63.tmp), none for more than a minute"});
    }
}

#if defined(_WIN32)

// Windows refuses to replace a file that another program holds open without
// sharing deletion; the page must survive that.
TEST(SettingsPage, PageHeldOpenElsewhereIsKeptWhole)
{
    Session session;
    const std::string original = "X Position\r\nY\r\n";
    support::writeFile(session.pagePath(), original);
    HANDLE held = CreateFileW(session.pagePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    session.load();
    CloseHandle(held);
    EXPECT_EQ(support::readFile(session.pagePath()), original);
    EXPECT_EQ(settingsFolder(session), std::vector<std::string>{"tarnuplugin.set"});
    EXPECT_TRUE(refreshSent(session));
    ASSERT_EQ(session.host.logLines().size(), 1u);
    EXPECT_TRUE(session.host.logLines()[0].starts_with("tarnuplugin.set: cannot write: "));
}

#else

class SettingsPageFaults : public ::testing::Test {
protected:
    void SetUp() override { support::writeFile(session.pagePath(), original); }
    // The page as it was, no scratch file left, and one log line that says why.
    void expectPageKept(const std::string& logged)
    {
        ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(session.pagePath())));
        EXPECT_EQ(support::readFile(session.pagePath()), original);
        EXPECT_EQ(settingsFolder(session), std::vector<std::string>{"tarnuplugin.set"});
        EXPECT_EQ(session.host.logLines(), std::deque<std::string>{logged});
    }

    const std::string original = "TarnuPlugin\r\n5|X Position|posx|0|800\r\n5|Y Position|posy|0|600\r\n";
    const std::string rewrittenPage = "TarnuPlugin\r\n" + xLine + yLine;
    Session session;
};

TEST_F(SettingsPageFaults, FullDeviceLeavesThePageAndSendsNothing)
{
    {
        support::FailingCalls failing(session.pagePath().parent_path(), support::FileCall::Write);
        session.load();
    }
    expectPageKept("tarnuplugin.set: cannot write: No space left on device");
    EXPECT_FALSE(refreshSent(session));
}

TEST_F(SettingsPageFaults, ReadErrorLeavesThePage)
{
    {
        support::FailingReads failing(session.pagePath());
        session.load();
    }
    expectPageKept("tarnuplugin.set: cannot read: Input/output error");
    EXPECT_FALSE(refreshSent(session));
}

TEST_F(SettingsPageFaults, FailedReplacementLeavesThePageAndStillAsksForRefresh)
{
    {
        support::FailingRenames failing;
        session.load();
    }
    expectPageKept("tarnuplugin.set: cannot write: Device or resource busy");
    EXPECT_TRUE(refreshSent(session));
}

TEST_F(SettingsPageFaults, NewPageReachesTheDiskAndKeepsThePermissions)
{
    using std::filesystem::perms;
    std::filesystem::permissions(session.pagePath(), perms::owner_read | perms::owner_write);
    const int before = support::diskSyncs();
    session.load();
    EXPECT_EQ(support::readFile(session.pagePath()), rewrittenPage);
    EXPECT_GE(support::diskSyncs() - before, 2); // the page, then its folder
    EXPECT_EQ(std::filesystem::status(session.pagePath()).permissions(),
              perms::owner_read | perms::owner_write);
}

// A link with the first scratch name beside the page is neither followed nor emptied.
TEST_F(SettingsPageFaults, LinkBesideThePageIsNeverFollowed)
{
    const auto outside = session.data.path() / "elsewhere.txt";
    support::writeFile(outside, "keep me");
    const auto link = session.pagePath().parent_path() / ".tarnuplugin.set.0.tmp";
    std::filesystem::create_symlink(outside, link);
    session.load();
    EXPECT_EQ(support::readFile(outside), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(support::readFile(session.pagePath()), rewrittenPage);
}

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

TEST_F(SettingsPageFaults, PageThatIsNoRegularFileOrTooLargeIsLeftAsItIs)
{
    const std::pair<std::string, std::string> pages[] = {
        {"pipe", "not a regular file"},         {"/dev/zero", "not a regular file"},
        {"/dev/urandom", "not a regular file"}, {"folder", "not a regular file"},
        {"large", "larger than 4 MiB"},
    };
    for (const auto& [kind, reason] : pages) {
        SCOPED_TRACE(kind);
        Session fresh;
        const auto page = fresh.pagePath();
        std::filesystem::create_directories(page.parent_path());
        if (kind == "pipe")
            ASSERT_EQ(mkfifo(page.c_str(), 0600), 0);
        else if (kind == "folder")
            std::filesystem::create_directory(page);
        else if (kind == "large")
            support::writeFile(page, std::string((std::size_t{4} << 20) + 1, 'x'));
        else
            std::filesystem::create_symlink(kind, page);
        fresh.load(); // returns: a pipe with no writer does not hold it
        EXPECT_EQ(fresh.host.logLines(),
                  std::deque<std::string>{"tarnuplugin.set: left as it is: " + reason});
        EXPECT_FALSE(refreshSent(fresh));
        EXPECT_EQ(settingsFolder(fresh), std::vector<std::string>{"tarnuplugin.set"});
    }
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
