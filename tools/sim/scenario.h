// The scenario language of quillfort-sim: one statement a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"

namespace qsim {

// The checks come last: the runner tells actions from checks by this order.
enum class Verb {
    Desktop,
    Player,
    Page,
    NoPage,
    Load,
    Unload,
    Console,
    Rating,
    Match,
    State,
    Kickoff,
    Goal,
    End,
    Menu,
    Wait,
    Pause,
    Frame,
    Background,
    ExpectFile,
    ExpectNoFile,
    ExpectLog,
    ExpectNoLog,
    ExpectCommand,
    ExpectNoCommand,
    ExpectCvar,
    ExpectDraw,
    ExpectDraws,
};

struct Statement {
    std::uint64_t line = 0;
    Verb verb = Verb::Load;
    std::vector<std::string> words; // the arguments after the verb, unquoted
    int first = 0, second = 0;      // desktop size; match playlist and team; goal team; draw count
    std::optional<int> winner;      // end winner=T
    double number = 0.0;            // rating value; wait and pause seconds
    Quillfort::GameFacts facts;     // the facts of a match KIND
    std::vector<std::pair<std::string, bool>> factChanges; // state FACT=0|1...
};

// Splits a line into words; a word may be a double-quoted text with the escapes
// \\ \" \r \n \t. Returns an error message, or nothing when the line is fine.
std::optional<std::string> splitWords(std::string_view line, std::vector<std::string>& words);

struct ParsedLine {
    std::optional<Statement> statement; // none for a blank line or a comment
    std::string error;                  // what is wrong, when not empty
};
ParsedLine parseLine(std::string_view line, std::uint64_t number);

struct Script {
    std::vector<Statement> statements;
    std::uint64_t errorLine = 0;
    std::string error; // the first line's error; the script is then not run at all
};
Script parseScript(std::string_view text);

} // namespace qsim
