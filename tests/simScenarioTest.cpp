// quillfort-sim's scenario language: words, statements and what it refuses before a run.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scenario.h"

namespace {

// A scenario text read as the program reads a file: its statements, or its first error.
struct Script {
    std::vector<qsim::Statement> statements;
    std::uint64_t errorLine = 0;
    std::string error;
};

Script parseScript(const std::string& text)
{
    qsim::Lines lines = qsim::Lines::ofText(text);
    qsim::Scenario scenario(lines);
    Script script;
    scenario.play([&](const qsim::Statement& statement) {
        script.statements.push_back(statement);
        return true;
    });
    script.errorLine = scenario.errorLine();
    script.error = scenario.error();
    return script;
}

} // namespace

TEST(ScenarioWords, SplitsOnBlanksAndReadsQuotedTextWithEscapes)
{
    std::vector<std::string> words;
    EXPECT_FALSE(qsim::splitWords("  page \"a\\\\b \\\"c\\\"\\r\\n\\t\"  x ", words));
    const std::vector<std::string> expected = {"page", "a\\b \"c\"\r\n\t", "x"};
    EXPECT_EQ(words, expected);
    EXPECT_FALSE(qsim::splitWords("expect file a \"\"", words));
    EXPECT_EQ(words.back(), "");
}

TEST(ScenarioWords, RejectsBrokenQuotes)
{
    std::vector<std::string> words;
    EXPECT_EQ(qsim::splitWords("page \"open", words), "unterminated quote");
    EXPECT_EQ(qsim::splitWords("page \"ends in escape\\", words), "unterminated quote");
    EXPECT_EQ(qsim::splitWords("page \"\\q\"", words), "unknown escape '\\q'");
    EXPECT_EQ(qsim::splitWords("page \"a\"b", words), "a quoted word must be followed by a blank");
}

TEST(ScenarioParse, ReadsEveryStatementWithItsArguments)
{
    // A byte-order mark before the first line is read, as editors on Windows write one.
    const Script script =
        parseScript("\xEF\xBB\xBF# comment\n\n  desktop 800 600\nmatch private playlist=11 team=1\n"
                    "rating 13 -inf\nend winner=1\nwait 2.5\nexpect draws 23\n"
                    "rating 13 3.40282347e38\nwait 0.000001\nwait 1.5e2\n");
    ASSERT_TRUE(script.error.empty()) << script.error;
    ASSERT_EQ(script.statements.size(), 9u);
    EXPECT_EQ(script.statements[0].line, 3);
    EXPECT_EQ(script.statements[0].desktop.width, 800);
    EXPECT_EQ(script.statements[1].facts, simhost::factsOf(simhost::Place::OnlinePrivate));
    EXPECT_EQ(script.statements[1].playlist, 11);
    EXPECT_EQ(script.statements[1].team, 1);
    EXPECT_TRUE(std::isinf(script.statements[2].rating));
    EXPECT_EQ(script.statements[3].winner, 1);
    EXPECT_EQ(script.statements[4].seconds, 2.5);
    EXPECT_EQ(script.statements[5].calls, 23);
    EXPECT_EQ(static_cast<float>(script.statements[6].rating), std::numeric_limits<float>::max());
    EXPECT_EQ(script.statements[7].seconds, 1e-6);
    EXPECT_EQ(script.statements[8].seconds, 150);
}

TEST(ScenarioParse, SaysWhatIsWrongAndOnWhichLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"load\njump\n", "2: unknown statement 'jump'"},
        {"load\n\nexpect nothing\n", "3: unknown statement 'expect nothing'"},
        {"desktop 1920\n", "1: wrong number of arguments: 1 given, usage: desktop W H"},
        {"desktop 1920 tall\n", "1: desktop size must be two positive whole numbers"},
        {"rating 13 lots\n", "1: rating must be a number, nan, inf or -inf, not 'lots'"},
        {"wait -1\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not '-1'"},
        {"wait inf\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not 'inf'"},
        {"wait 1e308\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 1e10\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 1e999999\n", "1: the game clock would pass its end, 9007199254 seconds"},
        {"wait 0.0000001\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '0.0000001'"},
        {"fly" + std::string(300, 'y') + "\n", "1: unknown statement 'fly" + std::string(197, 'y') + "...'"},
        // A cut keeps whole characters; a control character is shown.
        {"fly" + std::string(196, 'y') + "\xC3\xA9zz\n",
         "1: unknown statement 'fly" + std::string(196, 'y') + "...'"},
        {"\x04\n", "1: unknown statement '\\x04'"},
        {"load\n\xEF\xBB\xBFload\n",
         "2: a byte-order mark (U+FEFF) at column 1: only the first line of a scenario may start with one"},
        {"wait 0.0000010009\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '0.0000010009'"},
        {"wait 1.5e-6\n",
         "1: seconds must be a finite number of 0 or more in whole microseconds, not '1.5e-6'"},
        {"rating 13 3.40282357e38\n",
         "1: rating '3.40282357e38' does not fit the game's float (at most 3.4e+38)"},
        {"match ranked\n",
         "1: unknown match kind 'ranked' (public, private, offline, freeplay, training, replay)"},
        {"match public team=2\n", "1: team must be 0 or 1"},
        {"match public colour=1\n", "1: unknown option 'colour=1'"},
        {"goal 2\n", "1: team must be 0 or 1, not '2'"},
        {"state replay=1 lobby=1\n",
         "1: a game fact is online, public, replay, freeplay or training with =0 or =1, not 'lobby=1'"},
        {"state replay=yes\n",
         "1: a game fact is online, public, replay, freeplay or training with =0 or =1, not 'replay=yes'"},
        {"end winner=x\n", "1: 'winner=x' needs a whole number after '='"},
        {"load\npage \"open\n", "2: unterminated quote"},
        {"pause -1\n", "1: seconds of real time must be a number from 0 to 3600, not '-1'"},
        {"pause nan\n", "1: seconds of real time must be a number from 0 to 3600, not 'nan'"},
        {"wait nan\n", "1: seconds must be a finite number of 0 or more in whole microseconds, not 'nan'"},
        {"rating 13 1e39\n", "1: rating '1e39' does not fit the game's float (at most 3.4e+38)"},
        {"rating 13 1e999999\n", "1: rating '1e999999' does not fit the game's float (at most 3.4e+38)"},
        {"rating 13 1e-50\n",
         "1: rating '1e-50' rounds to 0, which the game reports for an unknown rating: write 0 for that"},
        {"rating 13 1e-400\n",
         "1: rating '1e-400' rounds to 0, which the game reports for an unknown rating: write 0 for that"},
        {std::string("load\nlo\0ad\n", 9), "2: a NUL byte at column 3: a scenario is text"},
        {"load\n" + std::string(qsim::Lines::lineLimit + 1, '#') + "\nload\n",
         "2: the line is longer than 1 MiB"},
        {"expect file ../WinsLossesStats.txt \"\"\n",
         "1: the path '../WinsLossesStats.txt' goes through '..'"},
        {"expect nofile plugins/../../x\n", "1: the path 'plugins/../../x' goes through '..'"},
        // Paths that could name what a check would pass over: each is refused.
        {"expect nofile /etc/passwd\n", "1: the path '/etc/passwd' is not relative to the data folder"},
        {"expect nofile WinsLossesStats.txt/\n",
         "1: the path 'WinsLossesStats.txt/' names no file: it ends in a separator"},
        {"expect nofile plugins/settings/tarnuplugin.set/..\n",
         "1: the path 'plugins/settings/tarnuplugin.set/..' goes through '..'"},
        {"expect nofile nothere/../WinsLossesStats.txt\n",
         "1: the path 'nothere/../WinsLossesStats.txt' goes through '..'"},
        {"expect nofile WinsLossesStats.txt/.\n", "1: the path 'WinsLossesStats.txt/.' goes through '.'"},
        {"expect nofile ./WinsLossesStats.txt\n", "1: the path './WinsLossesStats.txt' goes through '.'"},
        {"expect file plugins//settings x\n",
         "1: the path 'plugins//settings' has an empty part: write one '/' between parts"},
        // Numbers of a canvas call are numbers: none reads as 0 by accident.
        {"expect draw SetColor \"\" \"\" \"\" 150\n", "1: a colour is a whole number from 0 to 255, not ''"},
        {"expect draw SetColor 0 0 0 256\n", "1: a colour is a whole number from 0 to 255, not '256'"},
        {"expect draw SetPosition \" 0\" 1\n", "1: a position or size is a number, not ' 0'"},
        {"expect draw FillBox 0x0 1\n", "1: a position or size is a number, not '0x0'"},
        {"expect draw FillBox 1\n", "1: wrong number of arguments: FillBox takes 2"},
        {"expect draw SetColour 1 2 3 4\n",
         "1: unknown canvas call 'SetColour' (SetPosition, SetColor, FillBox, DrawString)"},
        // A lone CR read as a blank would make the lines after a comment part of it.
        {"# t\rload\rexpect file WinsLossesStats.txt \"wrong\"\r",
         "1: a CR at column 4 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"load\r",
         "1: a CR at column 5 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"load\r\r\n",
         "1: a CR at column 5 ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"},
        {"", "0: the scenario has no statement"},
        {"# only a note\r\n\n", "0: the scenario has no statement"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        const Script script = parseScript(text);
        EXPECT_EQ(std::to_string(script.errorLine) + ": " + script.error, message);
        EXPECT_TRUE(script.statements.empty());
    }
}
