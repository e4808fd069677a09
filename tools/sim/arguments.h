// The typed arguments of the statements that have them: each reader fills the
// statement's fields from its words and returns what is wrong, or "".
#pragma once

#include <string>

#include "scenario.h"

namespace qsim::arguments {

std::string desktop(Statement& s);
std::string rating(Statement& s);
std::string match(Statement& s);
std::string state(Statement& s);
std::string goal(Statement& s);
std::string end(Statement& s);
std::string wait(Statement& s);
std::string pause(Statement& s);
std::string dataPath(Statement& s);
std::string drawCall(Statement& s);
std::string drawCount(Statement& s);

} // namespace qsim::arguments
