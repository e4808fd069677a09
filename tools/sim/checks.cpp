// The statements that check: files, log lines, commands, variables and the last frame.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "checkedFiles.h"
#include "runner.h"
#include "words.h"

namespace qsim {
namespace {

// A number of `expect draw` names the call's float exactly, or is written as the
// trace writes it (its shortest form: 0.1 for the float nearest to it); a number
// with more digits than that (19.0000001 for 19) names another.
bool sameNumber(double expected, float actual)
{
    if (std::isnan(expected))
        return std::isnan(actual);
    return expected == static_cast<double>(actual) ||
           expected == std::strtod(simhost::shortest(actual).c_str(), nullptr);
}

bool sameCall(const simhost::CanvasCall& call, const Statement& s)
{
    const CallShape* shape = callShapeNamed(s.words[0]);
    if (shape->kind != call.kind)
        return false;
    const std::vector<double>& numbers = s.numbers;
    switch (call.kind) {
    case simhost::CanvasCall::Kind::SetColor:
        return std::equal(std::begin(call.color), std::end(call.color), numbers.begin(),
                          [](std::uint8_t part, double number) { return part == number; });
    case simhost::CanvasCall::Kind::DrawString:
        if (call.text != s.words[1])
            return false;
        break;
    case simhost::CanvasCall::Kind::SetPosition:
    case simhost::CanvasCall::Kind::FillBox: break;
    }
    return sameNumber(numbers[0], call.x) && sameNumber(numbers[1], call.y);
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
    std::string other;
    const CheckedFile file = spelledAsGiven(data_->path(), s.words[0], other)
                                 ? readChecked(dataPath(s.words[0]))
                                 : CheckedFile{std::nullopt, "no such file (there is " + echoed(other) + ")"};
    if (!file.bytes)
        return expect(s, false, "file " + s.words[0] + " to hold " + quotedExcerpt(s.words[1], 0),
                      file.otherwise);
    // Quoted from a little before the first difference, at most echoLimit bytes each.
    const std::string& expected = s.words[1];
    const std::string& got = *file.bytes;
    const auto differ = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
    const auto at = static_cast<std::size_t>(differ.first - expected.begin());
    const std::size_t from = at < echoLimit / 2 ? 0 : at - echoLimit / 4;
    const std::string where = expected.size() + got.size() <= 2 * echoLimit
                                  ? ""
                                  : " (they first differ at byte " + std::to_string(at + 1) + ")";
    return expect(s, expected == got, "file " + s.words[0] + " to hold " + quotedExcerpt(expected, from),
                  quotedExcerpt(got, from) + where);
}

// A name spelled otherwise is no file of this name, whatever the system ignores.
Outcome Runner::expectNoFile(const Statement& s)
{
    std::string other;
    const std::string entry =
        spelledAsGiven(data_->path(), s.words[0], other) ? entryAt(dataPath(s.words[0])) : "";
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
        std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return sameCall(call, s); });
    return expect(s, found, "draw " + callText(s.words), "no such call in the last frame");
}

Outcome Runner::expectDraws(const Statement& s)
{
    const auto count = host_->lastFrame().size();
    return expect(s, count == std::size_t(s.calls), std::to_string(s.calls) + " canvas calls",
                  std::to_string(count));
}

} // namespace qsim
