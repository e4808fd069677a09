// The words of the scenario language and of what quillfort-sim prints: quoted
// texts, echoed words, trace lines and the names of the game's facts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host.h"

namespace qsim {

// Text in double quotes with the escapes \\ \" \r \n \t, as trace lines and scenarios write it.
std::string quoted(const std::string& text);
// A word as a message echoes it: in single quotes, and past 200 bytes cut at a
// character's start and marked with "...", so a huge word prints a short line.
std::string echoed(std::string_view word);
// The words with one blank between each two.
std::string joined(const std::vector<std::string>& words);
// One canvas call as a trace line: `SetPosition 110 510`, `SetColor 255 255 0 255`,
// `FillBox 90 125`, `DrawString "Wins : 3" 1 1`; numbers in their shortest exact form.
std::string describe(const simhost::CanvasCall& call);
// The fact a scenario names (online, public, replay, freeplay, training), or null.
bool* factNamed(simhost::GameFacts& facts, std::string_view name);

} // namespace qsim
