// What each statement does: the game and the player's actions, and the checks.
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "picture.h"
#include "runner.h"
#include "text.h"

namespace qsim {
namespace {

// A canvas call as written in `expect draw`: numbers compare as floats.
bool sameCall(const Quillfort::CanvasCall& call, const std::vector<std::string>& words)
{
    std::vector<std::string> actual;
    splitWords(Quillfort::describe(call), actual);
    if (actual.size() != words.size() || actual[0] != words[0])
        return false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (call.kind == Quillfort::CanvasCall::Kind::DrawString && i == 1) {
            if (actual[i] != words[i])
                return false;
            continue;
        }
        char* end = nullptr;
        const float expected = std::strtof(words[i].c_str(), &end);
        if (*end != '\0' || expected != std::strtof(actual[i].c_str(), nullptr))
            return false;
    }
    return true;
}

std::string callText(std::vector<std::string> words)
{
    if (words.size() > 1 && words[0] == "DrawString")
        words[1] = Quillfort::quoted(words[1]);
    return joined(words);
}

} // namespace

Outcome Runner::act(const Statement& s)
{
    switch (s.verb) {
    case Verb::Desktop:
        width_ = s.first;
        height_ = s.second;
        host_->setDesktop(width_, height_);
        return Outcome::Done;
    case Verb::Player: host_->setPlayerId(s.words[0]); return Outcome::Done;
    case Verb::Page: {
        std::error_code ignored;
        std::filesystem::create_directories(pagePath().parent_path(), ignored);
        std::ofstream page(pagePath(), std::ios::binary | std::ios::trunc);
        page << s.words[0];
        page.close();
        return page ? Outcome::Done
                    : error(s, "cannot write the settings page '" + pagePath().string() + "'");
    }
    case Verb::NoPage: {
        std::error_code failure;
        std::filesystem::remove(pagePath(), failure);
        return failure ? error(s, "cannot remove the settings page: " + failure.message()) : Outcome::Done;
    }
    case Verb::Load:
        if (module_)
            return error(s, "the plugin is already loaded");
        try {
            module_ = sim::PluginModule::load(*host_, options_.plugin);
        } catch (const sim::LoadError& failure) {
            return error(s, failure.what());
        }
        return Outcome::Done;
    case Verb::Unload:
        if (!module_)
            return error(s, "no plugin is loaded");
        module_.reset();
        return Outcome::Done;
    case Verb::Console: {
        const Quillfort::ConsoleResult result = host_->console(s.words);
        if (!options_.quiet && (!result.ok || options_.interactive) && !result.message.empty())
            out_ << "console: " << result.message << "\n";
        return Outcome::Done;
    }
    case Verb::Rating: host_->setRating(s.first, static_cast<float>(s.number)); return Outcome::Done;
    case Verb::Match: host_->startMatch(s.facts, s.first, s.second); return Outcome::Done;
    case Verb::State: {
        Quillfort::GameFacts facts = host_->game().facts;
        for (const auto& [name, value] : s.factChanges)
            *Quillfort::factNamed(facts, name) = value;
        host_->setFacts(facts);
        return Outcome::Done;
    }
    case Verb::Kickoff: host_->kickoff(); return Outcome::Done;
    case Verb::Goal: host_->score(s.first); return Outcome::Done;
    case Verb::End: {
        // A real match never ends level, so the runner will not pick a winner for it.
        const int* score = host_->game().score;
        if (!s.winner && score[0] == score[1])
            return error(s, "the score is level at " + std::to_string(score[0]) + "-" +
                                std::to_string(score[1]) +
                                " and a match never ends level: say who won (end winner=T)");
        host_->endMatch(s.winner);
        return Outcome::Done;
    }
    case Verb::Menu: host_->enterMenu(); return Outcome::Done;
    case Verb::Wait:
        if (!host_->advance(s.number))
            return error(s, "the game clock would pass its end, " +
                                std::to_string(
                                    std::int64_t(double(Quillfort::clockLimit) / Quillfort::ticksPerSecond)) +
                                " seconds");
        if (options_.interactive)
            out_ << "clock: " << host_->now() << " s\n";
        return Outcome::Done;
    case Verb::Pause:
        std::this_thread::sleep_for(std::chrono::duration<double>(s.number));
        return Outcome::Done;
    case Verb::Frame: return frame(s);
    case Verb::Background:
        if (!picturesAvailable())
            return error(s, "this quillfort-sim was built without pictures");
        background_ = s.words[0];
        return Outcome::Done;
    default: return error(s, "not an action");
    }
}

Outcome Runner::frame(const Statement& s)
{
    host_->drawFrame();
    const auto calls = host_->lastFrame();
    if (options_.trace) {
        for (const Quillfort::CanvasCall& call : calls)
            out_ << "draw: " << Quillfort::describe(call) << "\n";
    } else if (options_.interactive) {
        out_ << "frame: " << calls.size() << " canvas calls\n";
    }
    if (s.words.empty())
        return Outcome::Done;
    const std::filesystem::path png = options_.pictures / s.words[0];
    if (const std::string failure = renderPicture(calls, width_, height_, background_, png); !failure.empty())
        return error(s, failure);
    if (!options_.quiet)
        out_ << "picture: " << png.string() << "\n";
    return Outcome::Done;
}

Outcome Runner::check(const Statement& s)
{
    const auto& w = s.words;
    switch (s.verb) {
    case Verb::ExpectFile: {
        const CheckedFile file = readChecked(dataPath(w[0]));
        return expect(s, file.bytes == w[1], "file " + w[0] + " to hold " + Quillfort::quoted(w[1]),
                      file.bytes ? Quillfort::quoted(*file.bytes) : file.otherwise);
    }
    case Verb::ExpectNoFile: {
        const std::string entry = entryAt(dataPath(w[0]));
        return expect(s, entry.empty(), "no file " + w[0], entry);
    }
    case Verb::ExpectLog: {
        const auto& log = host_->logLines();
        const std::size_t first = host_->loggedLines() - log.size();
        logCursor_ = std::max(logCursor_, first);
        for (std::size_t i = logCursor_; i < host_->loggedLines(); ++i) {
            if (log[i - first] == w[0]) {
                logCursor_ = i + 1;
                return expect(s, true, "", "");
            }
        }
        const std::string next =
            logCursor_ < host_->loggedLines() ? Quillfort::quoted(log[logCursor_ - first]) : "nothing";
        return expect(s, false, "log line " + Quillfort::quoted(w[0]),
                      "no such line after the last match (next: " + next + ")");
    }
    case Verb::ExpectNoLog: {
        const bool found = everLogged_.contains(w[0]);
        return expect(s, !found, "no log line " + Quillfort::quoted(w[0]), "that line");
    }
    case Verb::ExpectCommand:
    case Verb::ExpectNoCommand: {
        const auto& sent = host_->executedCommands();
        const bool found = std::any_of(sent.begin(), sent.end(),
                                       [&](const auto& command) { return command.command == w[0]; });
        const bool wanted = s.verb == Verb::ExpectCommand;
        return expect(s, found == wanted, (wanted ? "command " : "no command ") + Quillfort::quoted(w[0]),
                      found ? "it was sent" : "it was not sent");
    }
    case Verb::ExpectCvar: {
        const Quillfort::ConsoleVariable* variable = host_->findVariable(w[0]);
        return expect(s, variable != nullptr && variable->value == w[1],
                      w[0] + " = " + Quillfort::quoted(w[1]),
                      variable ? Quillfort::quoted(variable->value) : "no such variable");
    }
    case Verb::ExpectDraw: {
        const auto calls = host_->lastFrame();
        const bool found =
            std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return sameCall(call, w); });
        return expect(s, found, "draw " + callText(w), "no such call in the last frame");
    }
    case Verb::ExpectDraws: {
        const auto count = host_->lastFrame().size();
        return expect(s, count == std::size_t(s.first), std::to_string(s.first) + " canvas calls",
                      std::to_string(count));
    }
    default: return error(s, "not a check");
    }
}

} // namespace qsim
