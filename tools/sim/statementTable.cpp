// Every statement of the scenario language: its name, arguments, usage, whether it
// is a check, how its arguments are read and what runs it.
#include <algorithm>
#include <iterator>

#include "arguments.h"
#include "runner.h"

namespace qsim {
namespace {

using R = Runner;
namespace a = arguments;

constexpr bool action = false, check = true;

const StatementKind statements[] = {
    {"desktop", 2, 2, "desktop W H", action, a::desktop, &R::desktop},
    {"player", 1, 1, "player ID", action, nullptr, &R::player},
    {"page", 1, 1, "page TEXT", action, nullptr, &R::page},
    {"nopage", 0, 0, "nopage", action, nullptr, &R::noPage},
    {"load", 0, 0, "load", action, nullptr, &R::load},
    {"unload", 0, 0, "unload", action, nullptr, &R::unload},
    {"console", 1, 64, "console LINE...", action, nullptr, &R::console},
    {"rating", 2, 2, "rating PLAYLIST VALUE", action, a::rating, &R::rating},
    {"match", 1, 3, "match KIND [playlist=N] [team=T]", action, a::match, &R::match},
    {"state", 1, 5, "state FACT=0|1... (online, public, replay, freeplay, training)", action, a::state,
     &R::state},
    {"kickoff", 0, 0, "kickoff", action, nullptr, &R::kickoff},
    {"goal", 1, 1, "goal T", action, a::goal, &R::goal},
    {"end", 0, 1, "end [winner=T]", action, a::end, &R::end},
    {"menu", 0, 0, "menu", action, nullptr, &R::menu},
    {"wait", 1, 1, "wait SECONDS", action, a::wait, &R::wait},
    {"pause", 1, 1, "pause SECONDS", action, a::pause, &R::pause},
    {"frame", 0, 1, "frame [PNG]", action, nullptr, &R::frame},
    {"background", 1, 1, "background PNG", action, nullptr, &R::background},
    {"expect file", 2, 2, "expect file PATH TEXT", check, a::dataPath, &R::expectFile},
    {"expect nofile", 1, 1, "expect nofile PATH", check, a::dataPath, &R::expectNoFile},
    {"expect log", 1, 1, "expect log TEXT", check, nullptr, &R::expectLog},
    {"expect nolog", 1, 1, "expect nolog TEXT", check, nullptr, &R::expectNoLog},
    {"expect command", 1, 1, "expect command TEXT", check, nullptr, &R::expectCommand},
    {"expect nocommand", 1, 1, "expect nocommand TEXT", check, nullptr, &R::expectNoCommand},
    {"expect cvar", 2, 2, "expect cvar NAME TEXT", check, nullptr, &R::expectCvar},
    {"expect draw", 1, 64, "expect draw CALL", check, nullptr, &R::expectDraw},
    {"expect draws", 1, 1, "expect draws N", check, a::drawCount, &R::expectDraws},
};

} // namespace

const StatementKind* statementNamed(std::string_view name)
{
    const auto found = std::find_if(std::begin(statements), std::end(statements),
                                    [&](const StatementKind& kind) { return kind.name == name; });
    return found == std::end(statements) ? nullptr : found;
}

} // namespace qsim
