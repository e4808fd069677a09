// The statistics box: the early return, the layout at each scale, the texts
// and colours of the seven lines, and no allocation per drawn frame.
#include <gtest/gtest.h>

#include <limits>

#include "allocations.h"
#include "support/session.h"
#include "words.h"

using support::Session;

namespace {

std::vector<std::string> frame(Session& session)
{
    session.host.drawFrame();
    std::vector<std::string> calls;
    for (const simhost::CanvasCall& call : session.host.lastFrame())
        calls.push_back(qsim::describe(call));
    return calls;
}

std::string firstLine(Session& session, float change)
{
    session.plugin().ratingChange = change;
    return frame(session).at(5);
}

void place(Session& session, const char* x, const char* y, const char* scale)
{
    session.host.findVariable("posx")->value = x;
    session.host.findVariable("posy")->value = y;
    session.host.findVariable("scale")->value = scale; // beyond the console's bounds on purpose
}

// The seven lines start at x 10 and at these y positions (the box sits at 0, 0).
void expectRows(const std::vector<std::string>& calls, const std::vector<const char*>& rows)
{
    for (std::size_t line = 0; line < rows.size(); ++line)
        EXPECT_EQ(calls.at(3 + 3 * line), std::string("SetPosition 10 ") + rows[line]) << "line " << line + 1;
}

} // namespace

TEST(Overlay, DrawsTheBoxAndSevenLinesAtScaleOne)
{
    Session session;
    session.load();
    session.console("posx 100");
    session.console("posy 500");
    const std::vector<std::string> expected = {
        "SetPosition 100 500",
        "SetColor 0 0 0 150",
        "FillBox 90 125",
        "SetPosition 110 510",
        "SetColor 255 255 0 255",
        "DrawString \"MMR : +0\" 1 1",
        "SetPosition 110 526",
        "SetColor 0 191 255 255",
        "DrawString \"Streak : 0\" 1 1",
        "SetPosition 110 542",
        "SetColor 0 255 0 255",
        "DrawString \"Wins : 0\" 1 1",
        "SetPosition 110 558",
        "SetColor 204 0 0 255",
        "DrawString \"Losses : 0\" 1 1",
        "SetPosition 110 574",
        "SetColor 180 180 180 150",
        "DrawString \"          v" TARNU_VERSION "\" 1 1",
        "SetPosition 110 590",
        "SetColor 255 255 255 255",
        "DrawString \"     Plugin\" 1 1",
        "SetPosition 110 606",
        "DrawString \"     by tarnu\" 1 1",
    };
    EXPECT_EQ(frame(session), expected);
    EXPECT_EQ(session.plugin().posX, 100.0f);
    EXPECT_EQ(session.plugin().posY, 500.0f);
    EXPECT_EQ(session.plugin().overlayScale, 1.0f);
}

TEST(Overlay, ScalesTheBoxTheLineStepAndTheTextButNotTheInset)
{
    Session session;
    session.load();
    place(session, "0", "0", "2");
    std::vector<std::string> calls = frame(session);
    EXPECT_EQ(calls[2], "FillBox 180 250");
    expectRows(calls, {"10", "42", "74", "106", "138", "170", "202"});
    EXPECT_EQ(calls[5], "DrawString \"MMR : +0\" 2 2");

    place(session, "0", "0", "0.5");
    calls = frame(session);
    EXPECT_EQ(calls[2], "FillBox 45 62.5");
    expectRows(calls, {"10", "18", "26", "34", "42", "50", "58"});
}

TEST(Overlay, FractionalPositionPlacesTheBoxAtTheIntegerTheHostReports)
{
    Session session;
    session.load();
    place(session, "100.7", "200.2", "1");
    EXPECT_EQ(frame(session)[0], "SetPosition 100 200");
}

TEST(Overlay, DisabledOrHiddenFramesMakeNoCallAndKeepTheLayout)
{
    for (const char* off : {"enable_plugin 0", "hide_plugin 1"}) {
        SCOPED_TRACE(off);
        Session session;
        session.load();
        place(session, "100", "500", "2");
        frame(session);
        session.console(off);
        place(session, "300", "50", "3");
        EXPECT_TRUE(frame(session).empty());
        EXPECT_EQ(session.plugin().posX, 100.0f);
        EXPECT_EQ(session.plugin().posY, 500.0f);
        EXPECT_EQ(session.plugin().overlayScale, 2.0f);
    }
}

TEST(Overlay, RoundsTheRatingChangeHalfAwayFromZero)
{
    Session session;
    session.load();
    const std::pair<float, const char*> cases[] = {
        {0.0f, "MMR : +0"}, {0.5f, "MMR : +1"},    {-0.4f, "MMR : +0"}, {-0.5f, "MMR : -1"},
        {2.5f, "MMR : +3"}, {14.49f, "MMR : +14"}, {-7.6f, "MMR : -8"}, {-0.0f, "MMR : +0"},
    };
    for (const auto& [change, text] : cases)
        EXPECT_EQ(firstLine(session, change), std::string("DrawString \"") + text + "\" 1 1") << change;
}

TEST(Overlay, ShowsChangesOutOfRangeAsTheNearestValueAndNotANumberAsZero)
{
    Session session;
    session.load();
    const std::pair<float, const char*> cases[] = {
        {3e9f, "MMR : +2147483647"},
        {-3e9f, "MMR : -2147483648"},
        {2147483520.0f, "MMR : +2147483520"},
        {std::numeric_limits<float>::infinity(), "MMR : +2147483647"},
        {-std::numeric_limits<float>::infinity(), "MMR : -2147483648"},
        {std::numeric_limits<float>::quiet_NaN(), "MMR : +0"},
    };
    for (const auto& [change, text] : cases)
        EXPECT_EQ(firstLine(session, change), std::string("DrawString \"") + text + "\" 1 1") << change;
}

TEST(Overlay, PrintsFiguresWholeInFixedColoursAndAnUnchangedBox)
{
    Session session;
    session.load();
    session.plugin().streak = -3;
    session.plugin().wins = 1234;
    session.plugin().losses = std::numeric_limits<std::int32_t>::min();
    session.plugin().ratingChange = -12.0f;
    const std::vector<std::string> calls = frame(session);
    EXPECT_EQ(calls[2], "FillBox 90 125");
    EXPECT_EQ(calls[4], "SetColor 255 255 0 255");
    EXPECT_EQ(calls[5], "DrawString \"MMR : -12\" 1 1");
    EXPECT_EQ(calls[7], "SetColor 0 191 255 255");
    EXPECT_EQ(calls[8], "DrawString \"Streak : -3\" 1 1");
    EXPECT_EQ(calls[11], "DrawString \"Wins : 1234\" 1 1");
    EXPECT_EQ(calls[14], "DrawString \"Losses : -2147483648\" 1 1");
}

TEST(Overlay, NewPositionAndScaleShowOnTheNextFrame)
{
    Session session;
    session.load();
    frame(session);
    session.console("posx 640");
    session.console("scale 3");
    const std::vector<std::string> calls = frame(session);
    EXPECT_EQ(calls[0].rfind("SetPosition 640 ", 0), 0u) << calls[0];
    EXPECT_EQ(calls[2], "FillBox 270 375");
}

// On Windows a program's operator new does not see what other modules allocate.
#if !defined(_WIN32)
TEST(Overlay, DrawnFramesAllocateNothingAfterTheFirst)
{
    Session session;
    session.load();
    {
        measure::AllocationCounter control;
        session.console("add_win"); // writing the stats file allocates
        ASSERT_GT(control.count(), 0);
    }

    const std::int32_t big = std::numeric_limits<std::int32_t>::min();
    for (bool large : {false, true}) {
        session.host.drawFrame();
        if (large) {
            session.plugin().wins = big;
            session.plugin().losses = big;
            session.plugin().streak = big;
            session.plugin().ratingChange = -3e9f;
        }
        measure::AllocationCounter counter;
        for (int i = 0; i < 100; ++i)
            session.host.drawFrame();
        EXPECT_EQ(counter.count(), 0) << (large ? "large figures" : "typical figures");
        EXPECT_EQ(session.host.lastFrame().size(), 23u);
    }
}
#endif
