// The words of the scenario language and of what quillfort-sim prints: quoted
// texts, echoed words, trace lines and the names of the game's facts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host.h"

namespace qsim {

// The escapes of a quoted text: what is written after the backslash, and what it
// stands for. Scenarios are read and texts quoted by this one table.
struct Escape {
    char written, meant;
};
inline constexpr Escape escapes[] = {{'\\', '\\'}, {'"', '"'}, {'r', '\r'}, {'n', '\n'}, {'t', '\t'}};

// Text in double quotes with the escapes, as trace lines and scenarios write it.
std::string quoted(const std::string& text);
// How many bytes of a word a message echoes at the most.
inline constexpr std::size_t echoLimit = 200;
// A word as a message echoes it: in single quotes, a control character as \xHH,
// and past echoLimit bytes cut at a character's start and marked with "...", so a
// huge word prints a short line.
std::string echoed(std::string_view word);
// At most echoLimit bytes of the text from byte `from` on, quoted, with "..." where
// it goes on before or after.
std::string quotedExcerpt(const std::string& text, std::size_t from);
// The words with one blank between each two.
std::string joined(const std::vector<std::string>& words);
// The canvas calls as trace lines and `expect draw` write them: the name, how many
// words follow it, and whether the first of them is a text; the rest are numbers.
struct CallShape {
    simhost::CanvasCall::Kind kind;
    std::string_view name;
    std::size_t words;
    bool text;
};
inline constexpr CallShape callShapes[] = {
    {simhost::CanvasCall::Kind::SetPosition, "SetPosition", 2, false},
    {simhost::CanvasCall::Kind::SetColor, "SetColor", 4, false},
    {simhost::CanvasCall::Kind::FillBox, "FillBox", 2, false},
    {simhost::CanvasCall::Kind::DrawString, "DrawString", 3, true},
};
// The shape with that name, or null; the names, as a list in a message.
const CallShape* callShapeNamed(std::string_view name);
std::string callNames();
// One canvas call as a trace line: `SetPosition 110 510`, `SetColor 255 255 0 255`,
// `FillBox 90 125`, `DrawString "Wins : 3" 1 1`; numbers in their shortest exact form.
std::string describe(const simhost::CanvasCall& call);
// The game's facts by the names scenarios give them, in one table.
struct FactName {
    std::string_view name;
    bool simhost::GameFacts::*fact;
};
inline constexpr FactName factNames[] = {
    {"online", &simhost::GameFacts::online},           {"public", &simhost::GameFacts::playingPublic},
    {"replay", &simhost::GameFacts::replay},           {"freeplay", &simhost::GameFacts::freeplay},
    {"training", &simhost::GameFacts::customTraining},
};
// The fact a scenario names, or null.
bool* factNamed(simhost::GameFacts& facts, std::string_view name);
// The names, as a list in a message: "online, public, replay, freeplay, training";
// with `last`, the last joined with it ("... freeplay or training").
std::string factList(std::string_view last = ", ");

} // namespace qsim
