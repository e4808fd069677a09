// A scenario read as the program reads one, from arbitrary text: its statements in
// order, or one error with a line number and nothing to play.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::uint64_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    qsim::Lines source = qsim::Lines::ofText(text);
    qsim::Scenario scenario(source);
    std::uint64_t previous = 0;
    const bool played = scenario.play([&](const qsim::Statement& statement) {
        if (statement.line <= previous || statement.line > lines || statement.kind == nullptr)
            std::abort();
        previous = statement.line;
        return true;
    });
    if (played == !scenario.error().empty() || scenario.errorLine() > lines)
        std::abort();
    if (!played && previous != 0)
        std::abort(); // a scenario with an error plays nothing
    return 0;
}
