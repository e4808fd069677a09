// The scenario parser on arbitrary text: statements or one error with a line number.
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
    const qsim::Script script = qsim::parseScript(text);
    if (!script.error.empty()) {
        if (script.errorLine < 1 || script.errorLine > lines || !script.statements.empty())
            std::abort();
        return 0;
    }
    std::uint64_t previous = 0;
    for (const qsim::Statement& statement : script.statements) {
        if (statement.line <= previous || statement.line > lines)
            std::abort();
        previous = statement.line;
    }
    return 0;
}
