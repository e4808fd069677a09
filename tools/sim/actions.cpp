// The statements that act: the desktop and the player, the plugin's files and
// module, the console, and the game as it goes.
#include <chrono>
#include <fstream>
#include <thread>

#include "checkedFiles.h"
#include "conversions.h"
#include "picture.h"
#include "preflight.h"
#include "runner.h"
#include "words.h"

namespace qsim {

Outcome Runner::desktop(const Statement& s)
{
    desktop_ = s.desktop;
    host_->setDesktop(desktop_.width, desktop_.height);
    return Outcome::Done;
}

Outcome Runner::player(const Statement& s)
{
    host_->setPlayerId(s.words[0]);
    return Outcome::Done;
}

Outcome Runner::page(const Statement& s)
{
    std::error_code ignored;
    std::filesystem::create_directories(pagePath().parent_path(), ignored);
    std::ofstream page(pagePath(), std::ios::binary | std::ios::trunc);
    page << s.words[0];
    page.close();
    return page ? Outcome::Done : error(s, "cannot write the settings page '" + pagePath().string() + "'");
}

Outcome Runner::noPage(const Statement& s)
{
    std::error_code failure;
    std::filesystem::remove(pagePath(), failure);
    return failure ? error(s, "cannot remove the settings page: " + failure.message()) : Outcome::Done;
}

Outcome Runner::load(const Statement& s)
{
    if (module_)
        return error(s, "the plugin is already loaded");
    try {
        module_ = simhost::PluginModule::load(*host_, options_.plugin);
    } catch (const simhost::LoadError& failure) {
        return error(s, failure.what());
    }
    return Outcome::Done;
}

Outcome Runner::unload(const Statement& s)
{
    if (!module_)
        return error(s, "no plugin is loaded");
    module_.reset();
    return Outcome::Done;
}

// A line the console refuses is a mistake in the scenario, never passed over.
Outcome Runner::console(const Statement& s)
{
    const simhost::ConsoleResult result = host_->console(s.words);
    if (!result.ok)
        return error(s, "the console refuses " + echoed(joined(s.words)) + ": " + result.message);
    if (options_.interactive && !result.message.empty())
        out_ << "console: " << result.message << "\n";
    return Outcome::Done;
}

Outcome Runner::rating(const Statement& s)
{
    host_->setRating(s.playlist, static_cast<float>(s.rating));
    return Outcome::Done;
}

Outcome Runner::match(const Statement& s)
{
    host_->startMatch(s.facts, s.playlist, s.team);
    return Outcome::Done;
}

Outcome Runner::state(const Statement& s)
{
    simhost::GameFacts facts = host_->game().facts;
    for (const auto& [name, value] : s.factChanges)
        *factNamed(facts, name) = value;
    host_->setFacts(facts);
    return Outcome::Done;
}

Outcome Runner::kickoff(const Statement&)
{
    host_->kickoff();
    return Outcome::Done;
}

Outcome Runner::goal(const Statement& s)
{
    host_->score(s.team);
    return Outcome::Done;
}

// A real match never ends level, so the runner will not pick a winner for it.
Outcome Runner::end(const Statement& s)
{
    const int* score = host_->game().score;
    if (!s.winner && score[0] == score[1])
        return error(s, "the score is level at " + std::to_string(score[0]) + "-" + std::to_string(score[1]) +
                            " and a match never ends level: say who won (end winner=T)");
    host_->endMatch(s.winner);
    return Outcome::Done;
}

Outcome Runner::menu(const Statement&)
{
    host_->enterMenu();
    return Outcome::Done;
}

Outcome Runner::wait(const Statement& s)
{
    if (!host_->advance(s.seconds))
        return error(s, clockEnd());
    if (options_.interactive)
        out_ << "clock: " << host_->now() << " s\n";
    return Outcome::Done;
}

// Real time passes and game time stands still, so another program can act meanwhile.
Outcome Runner::pause(const Statement& s)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(s.seconds));
    return Outcome::Done;
}

Outcome Runner::frame(const Statement& s)
{
    host_->drawFrame();
    const auto calls = host_->lastFrame();
    if (options_.trace) {
        for (const simhost::CanvasCall& call : calls)
            out_ << "draw: " << describe(call) << "\n";
    } else if (options_.interactive) {
        out_ << "frame: " << calls.size() << " canvas calls\n";
    }
    if (s.words.empty())
        return Outcome::Done;
    const std::filesystem::path png = options_.pictures / files::pathFromUtf8(s.words[0]);
    // The path and the size were checked before the scenario ran.
    if (const std::string failure = renderPicture(calls, desktop_.width, desktop_.height, background_, png);
        !failure.empty())
        return error(s, failure);
    if (!options_.quiet)
        out_ << "picture: " << png.string() << "\n";
    return Outcome::Done;
}

// Read once here: the file was checked before the scenario ran, but may have gone since.
Outcome Runner::background(const Statement& s)
{
    Background background = readBackground(s.words[0]);
    if (!background.problem.empty())
        return error(s, background.problem);
    background_ = std::move(background.png);
    return Outcome::Done;
}

} // namespace qsim
