// The statements that check: files, log lines, commands, variables and the last frame.
#include <algorithm>
#include <cstdlib>

#include "checkedFiles.h"
#include "runner.h"
#include "words.h"

namespace qsim {
namespace {

// A canvas call as written in `expect draw`: numbers compare as floats.
bool sameCall(const simhost::CanvasCall& call, const std::vector<std::string>& words)
{
    std::vector<std::string> actual;
    splitWords(describe(call), actual);
    if (actual.size() != words.size() || actual[0] != words[0])
        return false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (call.kind == simhost::CanvasCall::Kind::DrawString && i == 1) {
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
        words[1] = qsim::quoted(words[1]);
    return joined(words);
}

} // namespace

Outcome Runner::expectFile(const Statement& s)
{
    const CheckedFile file = readChecked(dataPath(s.words[0]));
    return expect(s, file.bytes == s.words[1], "file " + s.words[0] + " to hold " + qsim::quoted(s.words[1]),
                  file.bytes ? qsim::quoted(*file.bytes) : file.otherwise);
}

Outcome Runner::expectNoFile(const Statement& s)
{
    const std::string entry = entryAt(dataPath(s.words[0]));
    return expect(s, entry.empty(), "no file " + s.words[0], entry);
}

// Searches on from the line after the last one it found.
Outcome Runner::expectLog(const Statement& s)
{
    if (log_.findNext(s.words[0]))
        return expect(s, true, "", "");
    const std::string* next = log_.atCursor();
    return expect(s, false, "log line " + qsim::quoted(s.words[0]),
                  "no such line after the last match (next: " + (next ? qsim::quoted(*next) : "nothing") +
                      ")");
}

Outcome Runner::expectNoLog(const Statement& s)
{
    return expect(s, !log_.ever(s.words[0]), "no log line " + qsim::quoted(s.words[0]), "that line");
}

Outcome Runner::expectCommand(const Statement& s)
{
    return expect(s, commandsSent_.contains(s.words[0]), "command " + qsim::quoted(s.words[0]),
                  "it was not sent");
}

Outcome Runner::expectNoCommand(const Statement& s)
{
    return expect(s, !commandsSent_.contains(s.words[0]), "no command " + qsim::quoted(s.words[0]),
                  "it was sent");
}

Outcome Runner::expectCvar(const Statement& s)
{
    const simhost::ConsoleVariable* variable = host_->findVariable(s.words[0]);
    return expect(s, variable != nullptr && variable->value == s.words[1],
                  s.words[0] + " = " + qsim::quoted(s.words[1]),
                  variable ? qsim::quoted(variable->value) : "no such variable");
}

Outcome Runner::expectDraw(const Statement& s)
{
    const auto calls = host_->lastFrame();
    const bool found =
        std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return sameCall(call, s.words); });
    return expect(s, found, "draw " + callText(s.words), "no such call in the last frame");
}

Outcome Runner::expectDraws(const Statement& s)
{
    const auto count = host_->lastFrame().size();
    return expect(s, count == std::size_t(s.calls), std::to_string(s.calls) + " canvas calls",
                  std::to_string(count));
}

} // namespace qsim
