// What standard error says when the program ends before its run is over: a module
// that crashed it or called exit. Said from a signal handler too, so it is made of
// pieces written as they are, with nothing allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qsim {

// Where the run is, for the report: the scenario and the line of the statement
// under way, set before each statement; cleared between them.
void runningAt(const std::string& scenario, std::uint64_t line);
void runningNowhere();

enum class Ending { Crashed, Exited };
// "quillfort-sim: error: the program crashed in the plugin's hook 'NAME', at
// case.qsim:4: no verdict", and a line end, through `put`.
void reportEnding(Ending ending, void (*put)(const char* text, std::size_t size));

} // namespace qsim
