// WinsLossesStats.txt: exact bytes, rewrites, and folders that are missing or not ASCII.
#include <gtest/gtest.h>

#include "support/session.h"

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

TEST(StatsFile, DataFolderWithNonAsciiNamesGetsItsFile)
{
    Session session;
    const auto folder = session.data.path() / std::filesystem::path(u8"Jos\u00e9 \u00fcber \U0001F3C6");
    std::filesystem::create_directories(folder);
    session.host.setDataFolder(support::utf8(folder));
    session.load();
    EXPECT_EQ(support::readFile(folder / "WinsLossesStats.txt"), statsText("0.000000", 0, 0, 0));
}
