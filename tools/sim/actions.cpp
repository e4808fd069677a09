// The statements that act: the desktop and the player, the plugin's files and
// module, the console, and the game as it goes.
#include <chrono>
#include <thread>

#include "checkedFiles.h"
#include "conversions.h"
#include "folders.h"
#include "picture.h"
#include "preflight.h"
#include "runner.h"
#include "wholeFile.h"
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

// Written whole, never into a pipe or a device that took the page's place.
Outcome Runner::page(const Statement& s)
{
    const std::string where = echoed(files::utf8FromPath(pagePath()));
    if (const std::string failed = files::makeFolders(pagePath().parent_path()); !failed.empty())
        return error(s, "cannot make the folder of the settings page " + where + ": " + failed);
    const files::FileWrite written =
        files::replaceWholeFile(pagePath(), s.words[0], files::Durability::Cached);
    if (written.written())
        return Outcome::Done;
    return error(s, "the settings page " + where + ": " + written.says());
}

Outcome Runner::noPage(const Statement& s)
{
    const std::string failed = files::removeFile(pagePath());
    return failed.empty() ? Outcome::Done : error(s, "cannot remove the settings page: " + failed);
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
    return Outcome::Done; // what the plugin threw, if it did, is said by run()
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

// A level end without a winner was refused before the run, as a real match never ends level.
Outcome Runner::end(const Statement& s)
{
    host_->endMatch(s.winner);
    return Outcome::Done;
}

Outcome Runner::menu(const Statement&)
{
    host_->enterMenu();
    return Outcome::Done;
}

// What was printed so far goes out first, for a program reading along.
Outcome Runner::wait(const Statement& s)
{
    out_.flush();
    bool timersStopped = false;
    if (!host_->advance(s.seconds, options_.timersPerWait, timersStopped)) {
        if (!timersStopped)
            return error(s, clockEnd());
        return error(s, "stopped after the plugin's timers ran " + std::to_string(options_.timersPerWait) +
                            " times in this wait, at second " +
                            std::to_string(static_cast<long long>(host_->now())) +
                            " of game time: wait less, or look for a timer that keeps setting itself again");
    }
    if (options_.interactive)
        out_ << "clock: " << host_->now() << " s\n";
    return Outcome::Done;
}

// Real time passes and game time stands still, so another program can act meanwhile.
Outcome Runner::pause(const Statement& s)
{
    out_.flush();
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
    // The path and the size were checked before the scenario ran; the picture is
    // written whole, and never into a pipe or a device that took its place since.
    const std::filesystem::path png = options_.pictures / files::pathFromUtf8(s.words[0]);
    std::string problem;
    const std::string bytes =
        renderPicture(calls, desktop_.width, desktop_.height, background_.get(), problem);
    if (problem.empty() && png.has_parent_path()) {
        if (const std::string failed = files::makeFolders(png.parent_path()); !failed.empty())
            problem = "cannot make its folder: " + failed;
    }
    if (problem.empty()) {
        if (const files::FileWrite written = files::replaceWholeFile(png, bytes, files::Durability::Cached);
            !written.written())
            problem = written.says();
    }
    if (!problem.empty())
        return error(s, "the picture " + echoed(s.words[0]) + ": " + problem);
    if (!options_.quiet)
        out_ << "picture: " << png.string() << "\n";
    return Outcome::Done;
}

// Read and decoded once here, for every frame after it: the file was checked before
// the scenario ran, but may have gone or changed since.
Outcome Runner::background(const Statement& s)
{
    Background background = readBackground(s.words[0]);
    if (!background.problem.empty())
        return error(s, background.problem);
    background_ = std::move(background.image);
    return Outcome::Done;
}

} // namespace qsim
