// The settings page: the copy with its two rewritten lines, line ends, and a
// page file that is never lost nor replaced by an incomplete copy.
#include <gtest/gtest.h>

#include "support/session.h"

#if defined(_WIN32)
#  include <windows.h>
#else
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

// The page after a load that found `page` in the file.
std::string rewritten(const std::string& page)
{
    Session session;
    support::writeFile(session.pagePath(), page);
    session.load();
    EXPECT_TRUE(refreshSent(session)) << page;
    EXPECT_FALSE(std::filesystem::exists(session.pagePath().parent_path() / "temp.set"));
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

TEST(SettingsPage, MissingPageLeavesAnEmptyScratchFileAndSendsNothing)
{
    Session session;
    const auto scratch = session.pagePath().parent_path() / "temp.set";
    support::writeFile(scratch, "stale content");
    session.load();
    EXPECT_FALSE(std::filesystem::exists(session.pagePath()));
    EXPECT_EQ(support::readFile(scratch), "");
    EXPECT_FALSE(refreshSent(session));
}

TEST(SettingsPage, DataFolderWithNonAsciiNamesGetsItsPageRewritten)
{
    Session session;
    const auto folder = session.data.path() / std::filesystem::path(u8"Jos\u00e9 \u00fcber \U0001F3C6");
    const auto page = folder / "plugins" / "settings" / "tarnuplugin.set";
    support::writeFile(page, "X Position\nY\n");
    session.host.setDataFolder(support::utf8(folder));
    session.load();
    EXPECT_EQ(support::readFile(page), xLine + yLine);
    EXPECT_TRUE(refreshSent(session));
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
    EXPECT_EQ(support::readFile(session.pagePath().parent_path() / "temp.set"), xLine + yLine);
}

#else

class SettingsPageFaults : public ::testing::Test {
protected:
    void SetUp() override { support::writeFile(session.pagePath(), original); }
    void expectPageKept()
    {
        ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(session.pagePath())));
        EXPECT_EQ(support::readFile(session.pagePath()), original);
    }
    std::filesystem::path scratch() const { return session.pagePath().parent_path() / "temp.set"; }

    const std::string original = "TarnuPlugin\r\n5|X Position|posx|0|800\r\n5|Y Position|posy|0|600\r\n";
    Session session;
};

TEST_F(SettingsPageFaults, UnwritableScratchFileLeavesThePageAndSendsNothing)
{
    std::filesystem::create_directory(scratch());
    session.load();
    expectPageKept();
    EXPECT_FALSE(refreshSent(session));
}

TEST_F(SettingsPageFaults, WriteFailureWhileCopyingLeavesThePage)
{
    std::filesystem::create_symlink("/dev/full", scratch());
    session.load();
    expectPageKept();
    EXPECT_FALSE(refreshSent(session));
}

TEST_F(SettingsPageFaults, ReadErrorLeavesThePage)
{
    {
        support::FailingReads failing(session.pagePath());
        session.load();
    }
    expectPageKept();
    EXPECT_FALSE(refreshSent(session));
}

TEST_F(SettingsPageFaults, FailedReplacementLeavesThePageAndStillAsksForRefresh)
{
    {
        support::FailingRenames failing;
        session.load();
    }
    expectPageKept();
    EXPECT_EQ(support::readFile(scratch()), "TarnuPlugin\r\n" + xLine + yLine);
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
