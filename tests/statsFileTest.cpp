// WinsLossesStats.txt: exact bytes, rewrites, folders that are missing or not
// ASCII, readers that never see a part, and writes that fail.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "support/session.h"

#if defined(_WIN32)
#  include <windows.h>
#else
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

TEST(StatsFile, DataFolderWithNonAsciiNamesGetsItsFile)
{
    Session session;
    const auto folder = session.data.path() / std::filesystem::path(u8"Jos\u00e9 \u00fcber \U0001F3C6");
    std::filesystem::create_directories(folder);
    session.host.setDataFolder(support::utf8(folder));
    session.load();
    EXPECT_EQ(support::readFile(folder / "WinsLossesStats.txt"), statsText("0.000000", 0, 0, 0));
}

#if defined(_WIN32)

// A reader that holds the file without letting it be replaced still sees each update.
TEST(StatsFile, FileHeldOpenByAReaderStillGetsItsUpdate)
{
    Session session;
    session.load();
    HANDLE held = CreateFileW(session.statsPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    session.console("add_win");
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    CloseHandle(held);
    EXPECT_TRUE(session.host.logLines().empty());
}

#else

TEST(StatsFile, ReaderPollingDuringManyWritesSeesOnlyWholeFiles)
{
    Session session;
    session.load();
    const std::regex whole(
        "MMR : -?[0-9]+\\.[0-9]{6}\r\nStreak : -?[0-9]+\r\nWins : [0-9]+\r\nLosses : [0-9]+");
    std::atomic<bool> done{false};
    int reads = 0, torn = 0;
    std::thread reader([&] {
        for (; !done; ++reads)
            torn += std::regex_match(support::readFile(session.statsPath()), whole) ? 0 : 1;
    });
    for (int i = 0; i < 400; ++i)
        session.console(i % 3 == 0 ? "add_loss" : "add_win");
    done = true;
    reader.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_TRUE(session.host.logLines().empty());
}

TEST(StatsFile, FullDeviceKeepsTheOldContentAndSaysWhy)
{
    Session session;
    session.load();
    session.console("add_win");
    {
        support::FailingWrites failing(session.data.path());
        session.console("add_win");
        session.console("add_loss");
    }
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    const std::deque<std::string> said(2, "WinsLossesStats.txt: cannot write: No space left on device");
    EXPECT_EQ(session.host.logLines(), said);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(session.data.path()), {}),
              1); // no scratch left
    const int syncs = support::diskSyncs();
    session.console("add_win");
    EXPECT_EQ(support::diskSyncs(), syncs); // a display file is not flushed to the disk
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 3, 1));
}

// Where the file cannot be replaced, the update goes in place rather than nowhere.
TEST(StatsFile, RefusedMoveWritesInPlace)
{
    Session session;
    session.load();
    {
        support::FailingRenames failing;
        session.console("add_loss");
    }
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 1));
    EXPECT_TRUE(session.host.logLines().empty());
}

#endif
