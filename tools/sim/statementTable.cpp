// Every statement of the scenario language: its name, arguments, usage, whether it
// is a check, how its arguments are read and what runs it.
#include <algorithm>
#include <iterator>

#include "arguments.h"
#include "preflight.h"
#include "runner.h"
#include "words.h"

namespace qsim {
namespace {

using P = Preflight;
using R = Runner;
namespace a = arguments;

constexpr bool action = false, check = true;

const std::string stateUsage = "state FACT=0|1... (" + factList() + ")";

// Each row: name, least and most arguments, usage, whether it checks, the argument
// reader, the check before the run and what it tells the ones after it, the run.
const StatementKind statements[] = {
    {"desktop", 2, 2, "desktop W H", action, a::desktop, nullptr, &P::desktopSet, &R::desktop},
    {"player", 1, 1, "player ID", action, nullptr, nullptr, nullptr, &R::player},
    {"page", 1, 1, "page TEXT", action, nullptr, &P::page, nullptr, &R::page},
    {"nopage", 0, 0, "nopage", action, nullptr, &P::page, nullptr, &R::noPage},
    {"load", 0, 0, "load", action, nullptr, &P::load, &P::loaded, &R::load},
    {"unload", 0, 0, "unload", action, nullptr, &P::unload, &P::unloaded, &R::unload},
    {"console", 1, 64, "console LINE...", action, nullptr, &P::console, nullptr, &R::console},
    {"rating", 2, 2, "rating PLAYLIST VALUE", action, a::rating, nullptr, nullptr, &R::rating},
    {"match", 1, 3, "match KIND [playlist=N] [team=T]", action, a::match, nullptr, &P::matchStarted,
     &R::match},
    {"state", 1, 5, stateUsage.c_str(), action, a::state, nullptr, nullptr, &R::state},
    {"kickoff", 0, 0, "kickoff", action, nullptr, nullptr, nullptr, &R::kickoff},
    {"goal", 1, 1, "goal T", action, a::goal, nullptr, &P::scored, &R::goal},
    {"end", 0, 1, "end [winner=T]", action, a::end, &P::end, nullptr, &R::end},
    {"menu", 0, 0, "menu", action, nullptr, nullptr, &P::matchStarted, &R::menu},
    {"wait", 1, 1, "wait SECONDS", action, a::wait, &P::wait, &P::waited, &R::wait},
    {"pause", 1, 1, "pause SECONDS", action, a::pause, nullptr, nullptr, &R::pause},
    {"frame", 0, 1, "frame [PNG]", action, nullptr, &P::frame, &P::framed, &R::frame},
    {"background", 1, 1, "background PNG", action, nullptr, &P::background, nullptr, &R::background},
    {"expect file", 2, 2, "expect file PATH TEXT", check, a::dataPath, nullptr, nullptr, &R::expectFile},
    {"expect nofile", 1, 1, "expect nofile PATH", check, a::dataPath, nullptr, nullptr, &R::expectNoFile},
    {"expect log", 1, 1, "expect log TEXT", check, nullptr, nullptr, nullptr, &R::expectLog},
    {"expect nolog", 1, 1, "expect nolog TEXT", check, nullptr, nullptr, nullptr, &R::expectNoLog},
    {"expect command", 1, 1, "expect command TEXT", check, nullptr, nullptr, nullptr, &R::expectCommand},
    {"expect nocommand", 1, 1, "expect nocommand TEXT", check, nullptr, nullptr, nullptr,
     &R::expectNoCommand},
    {"expect cvar", 2, 2, "expect cvar NAME TEXT", check, nullptr, nullptr, nullptr, &R::expectCvar},
    {"expect draw", 1, 64, "expect draw CALL", check, a::drawCall, &P::lastFrame, nullptr, &R::expectDraw},
    {"expect draws", 1, 1, "expect draws N", check, a::drawCount, &P::lastFrame, nullptr, &R::expectDraws},
};

} // namespace

std::string checkNames()
{
    std::string out;
    for (const StatementKind& kind : statements) {
        if (std::string_view name = kind.name; name.starts_with("expect "))
            out.append(out.empty() ? "" : ", ").append(name.substr(7));
    }
    return out;
}

const StatementKind* statementNamed(std::string_view name)
{
    const auto found = std::find_if(std::begin(statements), std::end(statements),
                                    [&](const StatementKind& kind) { return kind.name == name; });
    return found == std::end(statements) ? nullptr : found;
}

} // namespace qsim
