// Match tracking, driven as the game drives it: which matches count, the
// streak, leaving early, and the rating refresh after a match.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/session.h"
#include "words.h"

using simhost::Place;
using support::Session;
using support::statsText;

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

void win(Session& session) { session.playMatch({0, 0, 1}); }
void loss(Session& session) { session.playMatch({1}); }

// A public match in the playlist that ends with a win, and the host's rating for
// that playlist from `after` seconds past the end on.
void winThenRating(Session& session, float rating, double after, int playlist = 13)
{
    session.playMatch({0}, Place::OnlinePublic, playlist);
    session.host.setRating(playlist, rating, session.host.now() + after);
}

} // namespace

TEST(Streak, FollowsResultsAndNeverShowsOne)
{
    Session session;
    session.load();
    const std::pair<bool, int> results[] = {{true, 0},  {true, 2},   {true, 3},
                                            {false, 0}, {false, -2}, {true, 0}};
    for (std::size_t i = 0; i < std::size(results); ++i) {
        const auto& [won, streak] = results[i];
        SCOPED_TRACE("result " + std::to_string(i + 1));
        won ? win(session) : loss(session);
        EXPECT_EQ(session.plugin().streak, streak);
    }
    EXPECT_EQ(session.plugin().wins, 4);
    EXPECT_EQ(session.plugin().losses, 2);
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 4, 2));
}

TEST(Streak, CommandsExtendAndBreakRunsLikeMatches)
{
    Session session;
    session.load();
    win(session);
    session.console("add_win");
    EXPECT_EQ(session.plugin().streak, 2);
    session.console("add_loss");
    EXPECT_EQ(session.plugin().streak, 0);
    session.console("add_loss");
    EXPECT_EQ(session.plugin().streak, -2);
    loss(session);
    EXPECT_EQ(session.plugin().streak, -3);
    EXPECT_EQ(session.stats(), statsText("0.000000", -3, 2, 3));
}

TEST(Streak, ResetStartsOverAndAWinAfterItGivesZero)
{
    Session session;
    session.load();
    win(session);
    win(session);
    session.console("input_mmr 30");
    session.console("update_mmr");
    session.console("reset");
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
    EXPECT_TRUE(session.plugin().noResultYet);
    win(session);
    EXPECT_EQ(session.plugin().streak, 0);
    EXPECT_EQ(session.plugin().wins, 1);
}

TEST(Streak, MatchOpenAcrossResetCountsAsFirstResultOfTheNewSession)
{
    Session session;
    session.load();
    session.console("add_win");
    session.console("add_win");
    session.host.startMatch(Place::OnlinePublic);
    session.host.kickoff();
    session.console("reset");
    session.host.score(0);
    session.host.endMatch();
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
}

TEST(Eligibility, OnlyPublicOnlineMatchesCount)
{
    using simhost::GameFacts;
    const GameFacts publicMatch = simhost::factsOf(Place::OnlinePublic);
    // Each condition alone, the others as in a public match; then the places.
    std::vector<std::pair<std::string, GameFacts>> cases;
    for (const auto& [fact, value] : {std::pair{"online", false},
                                      {"public", false},
                                      {"replay", true},
                                      {"freeplay", true},
                                      {"training", true}}) {
        GameFacts facts = publicMatch;
        *qsim::factNamed(facts, fact) = value;
        cases.emplace_back(std::string(fact) + (value ? "=1" : "=0"), facts);
    }
    for (const auto& [name, place] :
         {std::pair{"private", Place::OnlinePrivate}, std::pair{"offline", Place::Offline},
          std::pair{"freeplay", Place::Freeplay}, std::pair{"training", Place::CustomTraining},
          std::pair{"replay", Place::Replay}})
        cases.emplace_back(std::string("match ") + name, simhost::factsOf(place));
    for (const auto& [name, facts] : cases) {
        SCOPED_TRACE(name);
        Session session;
        session.load();
        session.host.startMatch(facts);
        session.host.kickoff();
        session.host.score(0);
        session.host.endMatch();
        session.host.enterMenu();
        EXPECT_EQ(session.plugin().wins + session.plugin().losses, 0);
        EXPECT_FALSE(session.plugin().matchActive);
        EXPECT_EQ(session.host.pendingTimers(), 0u);
        // The session goes on as before: the next public match is its first result.
        win(session);
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    }
}

TEST(Eligibility, DisabledPluginCountsNothing)
{
    Session session;
    session.load();
    session.console("enable_plugin 0");
    session.playMatch({0});
    session.host.enterMenu();
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 0));
}

TEST(Eligibility, MatchEndIgnoredWhileDisabledCountsAtMenuByTheLead)
{
    Session session;
    session.load();
    session.host.startMatch(Place::OnlinePublic);
    session.host.kickoff();
    session.host.score(0);
    session.host.kickoff();
    session.console("enable_plugin 0");
    session.host.endMatch(1);
    EXPECT_TRUE(session.plugin().matchActive);
    EXPECT_EQ(session.plugin().wins + session.plugin().losses, 0);
    session.host.enterMenu();
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    EXPECT_EQ(session.host.pendingTimers(), 0u);
}

TEST(Eligibility, OnlyAKickoffOpensAMatch)
{
    Session session;
    session.load();
    session.host.startMatch(Place::OnlinePublic);
    session.host.score(0);
    session.host.endMatch();
    session.host.enterMenu();
    EXPECT_EQ(session.plugin().wins + session.plugin().losses, 0);
    EXPECT_EQ(session.host.pendingTimers(), 0u);
}

TEST(Eligibility, AnEndedMatchIsCountedOnce)
{
    Session session;
    session.load();
    loss(session);
    session.host.enterMenu();
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 0, 1));
}

TEST(Eligibility, TheWinnerDecidesNotTheScore)
{
    Session session;
    session.load();
    session.host.startMatch(Place::OnlinePublic, 13, 1);
    session.host.kickoff();
    session.host.score(0);
    session.host.endMatch(1); // a forfeit by the leading side
    EXPECT_EQ(session.plugin().wins, 1);
    EXPECT_EQ(session.plugin().winnerTeam, 1);
    EXPECT_EQ(session.plugin().localTeam, 1);
}

TEST(LeavingEarly, CountsByTheLeadAtTheLastGoalWithoutRefresh)
{
    struct Case {
        std::vector<int> goals;
        int team;
        bool won;
    };
    const Case cases[] = {
        {{0}, 0, true},       {{1}, 0, false},       {{0, 1}, 0, false},
        {{0, 0, 1}, 0, true}, {{0, 0, 1}, 1, false}, {{1}, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.goals) + ", local team " + std::to_string(c.team));
        Session session;
        session.load();
        session.host.startMatch(Place::OnlinePublic, 13, c.team);
        session.host.kickoff();
        for (int goal : c.goals) {
            session.host.score(goal);
            session.host.kickoff(); // the kickoff after a goal keeps its lead
        }
        session.host.enterMenu();
        EXPECT_EQ(session.plugin().wins, c.won ? 1 : 0);
        EXPECT_EQ(session.plugin().losses, c.won ? 0 : 1);
        EXPECT_EQ(session.host.pendingTimers(), 0u);
    }
}

TEST(LeavingEarly, BeforeAnyGoalIsALossWhateverTheLastMatchLeft)
{
    Session session;
    session.load();
    session.host.startMatch(Place::OnlinePublic);
    session.host.kickoff();
    session.host.score(0);
    session.host.enterMenu(); // left with the lead: a win
    session.host.startMatch(Place::OnlinePublic);
    session.host.kickoff();
    session.host.enterMenu(); // left before any goal
    EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 1));
}

TEST(RatingRefresh, LogsTheIdsAndPlaylistThenTheUniqueId)
{
    Session session;
    session.host.setPlayerId("P-42|76561|0");
    session.host.setRating(13, 1000.0f);
    session.load();
    winThenRating(session, 1009.0f, 0.5);
    session.host.advance(1.0);
    const std::deque<std::string> expected = {"P-42|76561|0", "P-42|76561|0", "13",
                                              "uniqueid : P-42|76561|0"};
    EXPECT_EQ(session.host.logLines(), expected);
    EXPECT_EQ(session.plugin().ratingChange, 9.0f);
    EXPECT_EQ(session.plugin().lastRating13, 1009.0f);
    EXPECT_EQ(session.host.pendingTimers(), 0u);
}

TEST(RatingRefresh, RetriesEveryThreeSecondsUntilTheChangeArrives)
{
    for (double arrives : {0.5, 2.0, 5.0, 9.0}) {
        SCOPED_TRACE("the change arrives after " + std::to_string(arrives) + " s");
        Session session;
        session.host.setRating(13, 1000.0f);
        session.load();
        winThenRating(session, 990.0f, arrives);
        session.host.advance(9.9);
        EXPECT_EQ(session.plugin().ratingChange, arrives < 9.0 ? -10.0f : 0.0f);
        session.host.advance(0.1);
        EXPECT_EQ(session.plugin().ratingChange, -10.0f);
        EXPECT_EQ(session.plugin().ratingRetries, 0);
        EXPECT_EQ(session.host.pendingTimers(), 0u);
    }
}

TEST(RatingRefresh, GivesUpAfterFourReadingsAndAddsTheLateChangeNextMatch)
{
    Session session;
    session.host.setRating(13, 1000.0f);
    session.load();
    winThenRating(session, 1010.0f, 11.0);
    session.host.advance(7.0);
    EXPECT_EQ(session.plugin().ratingRetries, 3);
    session.host.advance(3.0);
    EXPECT_EQ(session.plugin().ratingRetries, 0);
    EXPECT_EQ(session.host.pendingTimers(), 0u);
    EXPECT_EQ(session.plugin().ratingChange, 0.0f);
    EXPECT_EQ(session.host.logLines().size(), 16u);

    winThenRating(session, 1025.0f, 0.0);
    session.host.advance(1.0);
    EXPECT_EQ(session.plugin().ratingChange, 25.0f);
    EXPECT_EQ(session.stats(), statsText("0.000000", 2, 2, 0)); // the refresh writes no file
    session.console("add_loss");
    EXPECT_EQ(session.stats(), statsText("25.000000", 0, 2, 1));
}

TEST(RatingRefresh, SumsChangesAcrossPlaylists)
{
    Session session;
    session.host.setRating(13, 1000.0f);
    session.host.setRating(11, 700.0f);
    session.load();
    winThenRating(session, 1012.0f, 0.0, 13);
    session.host.advance(1.0);
    winThenRating(session, 693.0f, 0.0, 11);
    session.host.advance(1.0);
    EXPECT_EQ(session.plugin().ratingChange, 5.0f);
    EXPECT_EQ(session.plugin().lastRating11, 693.0f);
    EXPECT_EQ(session.plugin().lastRating13, 1012.0f);
}

TEST(RatingRefresh, PlaylistOutsideTheSevenAddsNothingAfterThreeRereads)
{
    Session session;
    session.host.setRating(6, 500.0f);
    session.load();
    winThenRating(session, 530.0f, 0.0, 6);
    session.host.advance(30.0);
    EXPECT_EQ(session.plugin().ratingChange, 0.0f);
    EXPECT_EQ(session.plugin().ratingRetries, 0);
    EXPECT_EQ(session.host.logLines().size(), 16u);
}

// A look that finds playlist 0 (the next match, in no playlist, has kicked off)
// stops the refresh after three lines and keeps the chain's count of retries, so
// the next chain reads the rating one time fewer: three readings, four lines each.
TEST(RatingRefresh, PlaylistZeroStopsAfterThreeLinesAndKeepsTheRetryCount)
{
    Session session;
    session.host.setRating(13, 1000.0f);
    session.load();
    win(session);
    session.host.advance(1.0); // the first reading: no change yet, a retry in 3 s
    ASSERT_EQ(session.host.logLines().size(), 4u);
    session.host.startMatch(simhost::factsOf(Place::OnlinePublic), 0, 0);
    session.host.kickoff();
    session.host.advance(3.0);
    const std::deque<std::string> stopped = {"player-0", "player-0", "0"};
    auto said = session.host.logLines();
    EXPECT_EQ(std::deque<std::string>(said.begin() + 4, said.end()), stopped);
    EXPECT_EQ(session.host.pendingTimers(), 0u);
    session.host.endMatch(0);
    session.host.advance(30.0);
    win(session);
    const std::size_t before = session.host.logLines().size();
    session.host.advance(30.0);
    EXPECT_EQ(session.host.logLines().size() - before, 12u);
}

TEST(RatingRefresh, DisabledPluginStopsTheRefresh)
{
    Session session;
    session.host.setRating(13, 1000.0f);
    session.load();
    winThenRating(session, 1010.0f, 0.0);
    session.console("enable_plugin 0");
    session.host.advance(30.0);
    EXPECT_EQ(session.host.logLines().size(), 3u);
    EXPECT_EQ(session.plugin().ratingChange, 0.0f);
}

TEST(RatingRefresh, IdentityAndBaselinesAreReadOnceAfterLoad)
{
    Session session;
    session.host.setRating(13, 1000.0f);
    session.host.setRating(30, 400.0f);
    session.load();
    session.host.startMatch(Place::OnlinePublic);
    session.host.kickoff();
    session.host.setRating(13, 1100.0f);
    session.host.setPlayerId("someone-else");
    session.host.kickoff();
    EXPECT_EQ(session.plugin().lastRating13, 1000.0f);
    EXPECT_EQ(session.plugin().lastRating30, 400.0f);
    EXPECT_EQ(session.plugin().playerIdString, "player-0");
    EXPECT_FALSE(session.plugin().identityPending);
}

TEST(RatingRefresh, EachTrackedPlaylistMeasuresFromItsOwnStoredRating)
{
    const int playlists[] = {13, 11, 10, 28, 29, 27, 30};
    float ratings[7];
    Session session;
    for (int i = 0; i < 7; ++i) {
        ratings[i] = 1000.0f + 100.0f * float(i);
        session.host.setRating(playlists[i], ratings[i]);
    }
    session.load();
    float total = 0.0f;
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE("playlist " + std::to_string(playlists[i]) + ", round " + std::to_string(round));
            const float change = float(round * 10 + i + 1);
            ratings[i] += change;
            winThenRating(session, ratings[i], 0.0, playlists[i]);
            session.host.advance(1.0);
            total += change;
            EXPECT_EQ(session.plugin().ratingChange, total);
        }
    }
}

// The host answers 0 for a rating it does not know yet; NaN and infinities are no
// rating either. A change after the first known reading counts in the same look
// after the match, or from the next match.
TEST(UnknownRatings, AnUnknownBaselineIsSetByTheFirstKnownReading)
{
    for (float unknown : {notANumber, 0.0f}) {
        for (const bool changesDuringTheLook : {false, true}) {
            SCOPED_TRACE(std::to_string(unknown) + (changesDuringTheLook ? ", changes during the look" : ""));
            Session session;
            session.host.setRating(13, unknown);
            session.load();
            winThenRating(session, 1000.0f, 0.0);
            if (changesDuringTheLook) // between the readings 1 and 4 seconds after the end
                session.host.setRating(13, 1010.0f, session.host.now() + 2.0);
            session.host.advance(30.0);
            const float counted = changesDuringTheLook ? 10.0f : 0.0f;
            EXPECT_EQ(session.plugin().ratingChange, counted);
            EXPECT_EQ(session.plugin().lastRating13, 1000.0f + counted);
            winThenRating(session, 1015.0f + counted, 0.0);
            session.host.advance(1.0);
            EXPECT_EQ(session.plugin().ratingChange, counted + 15.0f);
        }
    }
}

TEST(UnknownRatings, AreNeverAddedAndTheChainWaitsForAKnownReading)
{
    for (float bad : {notANumber, inf, -inf, 0.0f}) {
        SCOPED_TRACE(bad);
        Session session;
        session.host.setRating(13, 1000.0f);
        session.load();
        winThenRating(session, bad, 0.0);
        session.host.setRating(13, 1012.0f, session.host.now() + 5.0);
        session.host.advance(3.0);
        EXPECT_TRUE(std::isfinite(session.plugin().ratingChange));
        EXPECT_EQ(session.plugin().lastRating13, 1000.0f);
        session.host.advance(27.0);
        EXPECT_EQ(session.plugin().ratingChange, 12.0f);
        EXPECT_EQ(session.stats(), statsText("0.000000", 0, 1, 0));
    }
}

TEST(UnknownRatings, UpdateMmrIgnoresAValueThatIsNotANumber)
{
    Session session;
    session.load();
    session.console("input_mmr 8");
    session.console("update_mmr");
    session.console("input_mmr nan");
    session.console("update_mmr");
    EXPECT_EQ(session.plugin().ratingChange, 8.0f);
}
