// The simulated host on its own: what it promises the plugin and the tools.
#include <gtest/gtest.h>

#include "host.h"
#include "loader.h"
#include "quillfort/events.h"
#include "support/session.h"
#include "words.h"

using simhost::Place;

// An exception that escapes a plugin's call is kept, not passed on; until it is
// taken, nothing more of the plugin runs but its unload.
TEST(SimHostCalls, AnExceptionIsKeptAndOnlyTheUnloadRunsUntilItIsTaken)
{
    simhost::Host host;
    auto module = simhost::PluginModule::load(host, support::testModule("faultyPlugin"));
    ASSERT_TRUE(module);
    EXPECT_TRUE(host.console({"fault", "command"}).ok);
    EXPECT_TRUE(host.console({"fault", "command"}).ok); // not run: the first is not taken yet
    module.reset();
    const std::deque<std::string> said = {"faulty: loaded", "faulty: about to throw in the command",
                                          "faulty: unloaded"};
    EXPECT_EQ(host.logLines(), said);
    const auto thrown = host.takeThrown();
    ASSERT_TRUE(thrown);
    EXPECT_EQ(thrown->call, "command 'fault'");
    EXPECT_EQ(thrown->what, "command fails on purpose");
    EXPECT_FALSE(host.takeThrown());
}

// A line a plugin hands to executeCommand runs as a console line when it names the
// plugin's own command or variable (held within its bounds); the host's own
// commands are recorded only. Every one is recorded.
TEST(SimHostCalls, ExecuteCommandRunsThePluginsOwnNames)
{
    simhost::Host host;
    auto module = simhost::PluginModule::load(host, support::testModule("faultyPlugin"));
    ASSERT_TRUE(module);
    for (const char* line : {"say hi", "faulty_level 5", "cl_settings_refreshplugins"})
        EXPECT_TRUE(host.console(support::words(std::string("relay ") + line)).ok) << line;
    EXPECT_EQ(host.logLines().back(), "faulty: said hi");
    EXPECT_EQ(host.findVariable("faulty_level")->value, "3");
    ASSERT_EQ(host.executedCommands().size(), 3u);
    EXPECT_TRUE(host.executedCommands()[0].carriedOut);
    EXPECT_TRUE(host.executedCommands()[1].carriedOut);
    EXPECT_EQ(host.executedCommands()[2].command, "cl_settings_refreshplugins");
    EXPECT_FALSE(host.executedCommands()[2].carriedOut);
}

TEST(SimHostGame, MissingObjectsAnswerPlainValues)
{
    simhost::Host host;
    GameWrapper game(&host);
    ServerWrapper server = game.GetOnlineGame();
    EXPECT_TRUE(server.IsNull());
    EXPECT_FALSE(server.IsPlayingPublic());
    EXPECT_EQ(server.GetMatchWinner().GetTeamNum2(), 0);
    EXPECT_EQ(server.GetWinningTeam().GetTeamNum2(), 0);
    EXPECT_EQ(server.GetLocalPrimaryPlayer().GetPRI().GetTeamNum(), 0);
    EXPECT_EQ(server.GetReplayDirector().GetReplay().GetTeam1Score(), 0);
    EXPECT_EQ(game.GetMMRWrapper().GetCurrentPlaylist(), 0);

    host.startMatch(Place::OnlinePublic, 11, 1);
    host.score(0);
    host.score(1);
    // Level: no winning team; not ended yet: no winner. Each reads as team 0, and is null.
    EXPECT_EQ(game.GetOnlineGame().GetWinningTeam().GetTeamNum2(), 0);
    EXPECT_TRUE(game.GetOnlineGame().GetWinningTeam().IsNull());
    EXPECT_EQ(game.GetOnlineGame().GetMatchWinner().GetTeamNum2(), 0);
    EXPECT_TRUE(game.GetOnlineGame().GetMatchWinner().IsNull());
    host.score(1);
    EXPECT_EQ(game.GetOnlineGame().GetWinningTeam().GetTeamNum2(), 1);
    EXPECT_FALSE(game.GetOnlineGame().GetWinningTeam().IsNull());
    EXPECT_EQ(game.GetOnlineGame().GetLocalPrimaryPlayer().GetPRI().GetTeamNum(), 1);
    EXPECT_EQ(game.GetMMRWrapper().GetCurrentPlaylist(), 11);
    host.endMatch(0);
    EXPECT_EQ(game.GetOnlineGame().GetMatchWinner().GetTeamNum2(), 0);
    EXPECT_FALSE(game.GetOnlineGame().GetMatchWinner().IsNull());
    // At the menu event the match, and its server, are gone.
    bool serverAtMenu = true;
    host.addHook(Quillfort::Events::enteredMenu,
                 [&](std::string) { serverAtMenu = !game.GetOnlineGame().IsNull(); });
    host.enterMenu();
    EXPECT_FALSE(serverAtMenu);
}

TEST(SimHostGame, EachKindOfMatchAnswersItsOwnQueries)
{
    struct Case {
        const char* name;
        Place place;
        bool online, isPublic, freeplay, training, replay;
    };
    const Case cases[] = {
        {"public", Place::OnlinePublic, true, true, false, false, false},
        {"private", Place::OnlinePrivate, true, false, false, false, false},
        {"offline", Place::Offline, false, false, false, false, false},
        {"freeplay", Place::Freeplay, false, false, true, false, false},
        {"training", Place::CustomTraining, false, false, false, true, false},
        {"replay", Place::Replay, false, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simhost::Host host;
        GameWrapper game(&host);
        host.startMatch(c.place);
        EXPECT_EQ(game.IsInOnlineGame(), c.online);
        EXPECT_EQ(game.GetOnlineGame().IsNull(), !c.online); // no server offline, as in the game
        EXPECT_EQ(game.GetOnlineGame().IsPlayingPublic(), c.isPublic);
        EXPECT_EQ(game.IsInFreeplay(), c.freeplay);
        EXPECT_EQ(game.IsInCustomTraining(), c.training);
        EXPECT_EQ(game.IsInReplay(), c.replay);
        host.enterMenu();
        EXPECT_FALSE(game.IsInOnlineGame());
        // In the menu there is no match, so no server, whatever the game reports.
        host.setFacts(simhost::factsOf(Place::OnlinePublic));
        EXPECT_TRUE(game.GetOnlineGame().IsNull());
    }
}

TEST(SimHostGame, EachFactAnswersOnlyItsOwnQuery)
{
    simhost::Host host;
    GameWrapper game(&host);
    host.startMatch(Place::Offline);
    const char* names[] = {"online", "public", "replay", "freeplay", "training"};
    for (unsigned bits = 0; bits < 32; ++bits) {
        std::string set;
        for (unsigned fact = 0; fact < 5; ++fact)
            set += (bits >> fact & 1) != 0 ? std::string(names[fact]) + " " : "";
        SCOPED_TRACE(set.empty() ? "no fact" : set);
        const simhost::GameFacts facts = {bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8),
                                          bool(bits & 16)};
        host.setFacts(facts);
        EXPECT_EQ(game.IsInOnlineGame(), facts.online);
        // Outside an online game there is no server to say it is public.
        EXPECT_EQ(game.GetOnlineGame().IsNull(), !facts.online);
        EXPECT_EQ(game.GetOnlineGame().IsPlayingPublic(), facts.online && facts.playingPublic);
        EXPECT_EQ(game.IsInReplay(), facts.replay);
        EXPECT_EQ(game.IsInFreeplay(), facts.freeplay);
        EXPECT_EQ(game.IsInCustomTraining(), facts.customTraining);
    }
}

TEST(SimHostGame, RatingsAreReportedFromTheirTimeForTheLocalPlayerOnly)
{
    simhost::Host host;
    MMRWrapper ratings(&host);
    const UniqueIDWrapper me("player-0");
    host.setRating(13, 1000.0f);
    host.setRating(13, 1010.0f, 5.0);
    EXPECT_EQ(ratings.GetPlayerMMR(me, 13), 1000.0f);
    host.advance(5.0);
    EXPECT_EQ(ratings.GetPlayerMMR(me, 13), 1010.0f);
    EXPECT_EQ(ratings.GetPlayerMMR(UniqueIDWrapper("someone"), 13), 0.0f);
    EXPECT_EQ(ratings.GetPlayerMMR(me, 11), 0.0f);
    host.setRating(13, 990.0f, 8.0);
    host.setRating(13, 995.0f, 7.0); // the newer report wins from its own start on
    host.advance(5.0);
    EXPECT_EQ(ratings.GetPlayerMMR(me, 13), 995.0f);
}

TEST(SimHostConsole, SetsValuesWithinBoundsAndReportsOnlyChanges)
{
    simhost::Host host;
    CVarManagerWrapper console(&host);
    // A default is held within the bounds, as every value.
    EXPECT_EQ(console.registerCvar("big", "7", "Big", true, true, 0.0f, true, 3.0f).getStringValue(), "3");
    console.registerCvar("size", "2", "Size", true, true, 1.0f, true, 3.0f);
    std::vector<std::string> seen;
    console.getCvar("size").addOnValueChanged(
        [&](std::string old, CVarWrapper now) { seen.push_back(old + ">" + now.getStringValue()); });
    EXPECT_EQ(host.console({"size", "9"}).message, "size = 3");
    host.console({"size", "3"});
    host.console({"size", "0.5"});
    host.console({"size", "2word"});
    EXPECT_EQ(console.getCvar("size").getIntValue(), 2);
    // The bounds read a value as the getters do: by the number it starts with.
    host.console({"size", "5junk"});
    EXPECT_EQ(console.getCvar("size").getFloatValue(), 3.0f);
    host.console({"size", "nan"});
    host.console({"size", "word"}); // reads as 0
    const std::vector<std::string> expected = {"2>3", "3>1", "1>2word", "2word>3", "3>1"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(console.getCvar("size").getIntValue(), 1);
    EXPECT_TRUE(console.getCvar("missing").IsNull());
    EXPECT_EQ(console.getCvar("missing").getFloatValue(), 0.0f);
}

TEST(SimHostConsole, ReadsNumbersFromTheValueText)
{
    simhost::Host host;
    CVarManagerWrapper console(&host);
    CVarWrapper value = console.registerCvar("value", "100.7");
    EXPECT_EQ(value.getIntValue(), 100);
    EXPECT_FLOAT_EQ(value.getFloatValue(), 100.7f);
    EXPECT_TRUE(value.getBoolValue());
    value.setValue("-3e12");
    EXPECT_EQ(value.getIntValue(), std::numeric_limits<int>::min());
    value.setValue("0.4");
    EXPECT_FALSE(value.getBoolValue());
}

TEST(SimHostConsole, RunsCommandsWithTheirWordsAndRefusesUnknownNames)
{
    simhost::Host host;
    CVarManagerWrapper console(&host);
    std::vector<std::string> received;
    console.registerNotifier(
        "greet", [&](std::vector<std::string> words) { received = words; }, "Greet", 0);
    EXPECT_TRUE(host.console({"greet", "a", "b"}).ok);
    EXPECT_EQ(received, (std::vector<std::string>{"greet", "a", "b"}));
    const simhost::ConsoleResult unknown = host.console({"nothing"});
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.message, "unknown command or variable");
}

// However long the session, the console keeps the last thousand log lines and
// commands, and hands every one on as it comes.
TEST(SimHostConsole, KeepsTheLastThousandLinesAndCommandsAndHandsOnThemAll)
{
    simhost::Host host;
    CVarManagerWrapper console(&host);
    std::vector<std::string> heard, sent;
    host.setLogListener([&](const std::string& line) { heard.push_back(line); });
    host.setCommandListener(
        [&](const simhost::ExecutedCommand& command) { sent.push_back(command.command); });
    for (int i = 0; i < 1500; ++i) {
        console.log(std::to_string(i));
        console.executeCommand("c" + std::to_string(i), true);
    }
    EXPECT_EQ(host.loggedLines(), 1500u);
    EXPECT_EQ(host.logLines().size(), simhost::logScrollback);
    EXPECT_EQ(host.logLines().front(), "500");
    EXPECT_EQ(host.logLines().back(), "1499");
    ASSERT_EQ(heard.size(), 1500u);
    EXPECT_EQ(heard.front(), "0");
    EXPECT_EQ(host.executedCommands().size(), simhost::logScrollback);
    EXPECT_EQ(host.executedCommands().front().command, "c500");
    ASSERT_EQ(sent.size(), 1500u);
    EXPECT_EQ(sent.front(), "c0");
}

TEST(SimHostClock, TimersRunInDueOrderEachAtItsOwnTime)
{
    simhost::Host host;
    GameWrapper game(&host);
    std::vector<std::string> ran;
    auto record = [&](const char* name) {
        return
            [&, name](GameWrapper*) { ran.push_back(std::string(name) + "@" + std::to_string(host.now())); };
    };
    game.SetTimeout(record("late"), 3.0f);
    game.SetTimeout(record("first"), 1.0f);
    game.SetTimeout(record("tie"), 1.0f);
    game.SetTimeout([&](GameWrapper* inner) { inner->SetTimeout(record("chained"), 0.5f); }, 2.0f);
    host.advance(2.4);
    EXPECT_EQ(ran, (std::vector<std::string>{"first@1.000000", "tie@1.000000"}));
    host.advance(1.0);
    EXPECT_EQ(ran.size(), 4u);
    EXPECT_EQ(ran[2], "chained@2.500000");
    EXPECT_EQ(ran[3], "late@3.000000");
    EXPECT_DOUBLE_EQ(host.now(), 3.4);
    EXPECT_EQ(host.pendingTimers(), 0u);
}

TEST(SimHostFrames, RecordsEveryCanvasCallOfTheLastFrame)
{
    simhost::Host host;
    GameWrapper game(&host);
    int frames = 0;
    game.RegisterDrawable([&](CanvasWrapper canvas) {
        canvas.SetPosition({1.5f, 2.0f});
        if (++frames == 1)
            canvas.DrawString("a \"quoted\"\ttext", 2.0f, 0.5f);
        else
            canvas.FillBox({90.0f, 62.5f});
    });
    host.drawFrame();
    ASSERT_EQ(host.lastFrame().size(), 2u);
    EXPECT_EQ(qsim::describe(host.lastFrame()[1]), "DrawString \"a \\\"quoted\\\"\\ttext\" 2 0.5");
    host.drawFrame();
    ASSERT_EQ(host.lastFrame().size(), 2u);
    EXPECT_EQ(qsim::describe(host.lastFrame()[0]), "SetPosition 1.5 2");
    // The box's size, in the record the text had: nothing of the text stays.
    const simhost::CanvasCall& box = host.lastFrame()[1];
    EXPECT_EQ(box.kind, simhost::CanvasCall::Kind::FillBox);
    EXPECT_EQ(box.x, 90.0f);
    EXPECT_EQ(box.y, 62.5f);
    EXPECT_TRUE(box.text.empty());
    CanvasWrapper().FillBox({1.0f, 1.0f}); // a canvas of no frame draws nothing, and does not crash
    EXPECT_EQ(host.lastFrame().size(), 2u);
}

// A malformed byte becomes U+FFFD and never swallows its neighbours, so the plugin
// is handed the folder it was given, not another one.
TEST(SimHostData, HandsTheDataFolderOverAsUtf16Units)
{
    const wchar_t bad = 0xFFFD;
    const std::pair<std::string, std::wstring> cases[] = {
        {"C:/Jos\xc3\xa9/\xf0\x9f\x8f\x86",
         {L'C', L':', L'/', L'J', L'o', L's', wchar_t(0xE9), L'/', wchar_t(0xD83C), wchar_t(0xDFC6)}},
        {"a\xe9/b", {L'a', bad, L'/', L'b'}},          // a lead byte without its continuation
        {"a\xf0\x9f/b", {L'a', bad, bad, L'/', L'b'}}, // a sequence cut short
        {"a\xc0\x80"
         "b",
         {L'a', bad, bad, L'b'}}, // an overlong NUL
        {"a\xf8\x88\x80\x80"
         "b",
         {L'a', bad, bad, bad, bad, L'b'}},
    };
    for (const auto& [given, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(given));
        simhost::Host host;
        host.setDataFolder(given);
        EXPECT_EQ(GameWrapper(&host).GetQuillfortPathW(), expected);
    }
}
