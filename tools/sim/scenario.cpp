#include "scenario.h"

#include <fstream>

#include "dataFolder.h"
#include "words.h"

namespace qsim {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The character an escape stands for, or 0 for an unknown one.
char unescaped(char c)
{
    constexpr std::pair<char, char> escapes[] = {
        {'\\', '\\'}, {'"', '"'}, {'r', '\r'}, {'n', '\n'}, {'t', '\t'}};
    for (const auto& [written, meant] : escapes) {
        if (c == written)
            return meant;
    }
    return 0;
}

// The quoted word whose opening quote is at `i`; `i` ends after it.
std::optional<std::string> quotedWord(std::string_view line, std::size_t& i, std::string& word)
{
    for (++i;; ++i) {
        if (i >= line.size())
            return "unterminated quote";
        if (line[i] == '"')
            break;
        if (line[i] != '\\') {
            word += line[i];
            continue;
        }
        if (++i >= line.size())
            return "unterminated quote";
        if (unescaped(line[i]) == 0)
            return std::string("unknown escape '\\") + line[i] + "'";
        word += unescaped(line[i]);
    }
    ++i;
    if (i < line.size() && !isBlank(line[i]))
        return "a quoted word must be followed by a blank";
    return std::nullopt;
}

// The statement's name, which for a check is two words ("expect file"); how many words it took.
std::string statementName(const std::vector<std::string>& words, std::size_t& used)
{
    used = words[0] == "expect" && words.size() > 1 ? 2 : 1;
    return used == 2 ? words[0] + " " + words[1] : words[0];
}

} // namespace

std::optional<std::string> splitWords(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    for (std::size_t i = 0;;) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            return std::nullopt;
        std::string word;
        if (line[i] == '"') {
            if (auto error = quotedWord(line, i, word))
                return error;
        } else {
            while (i < line.size() && !isBlank(line[i]))
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
}

ParsedLine parseLine(std::string_view line, std::uint64_t number)
{
    if (const auto nul = line.find('\0'); nul != std::string_view::npos)
        return {std::nullopt, "a NUL byte at column " + std::to_string(nul + 1) + ": a scenario is text"};
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#')
        return {};
    std::vector<std::string> words;
    if (auto error = splitWords(line, words))
        return {std::nullopt, *error};
    if (words == std::vector<std::string>{"expect"})
        return {std::nullopt, "'expect' needs what to check (file, nofile, log, nolog, command, nocommand, "
                              "cvar, draw, draws)"};
    std::size_t used = 0;
    const std::string name = statementName(words, used);
    const StatementKind* kind = statementNamed(name);
    if (kind == nullptr)
        return {std::nullopt, "unknown statement " + echoed(name)};
    Statement statement;
    statement.line = number;
    statement.kind = kind;
    statement.words.assign(words.begin() + static_cast<std::ptrdiff_t>(used), words.end());
    const std::size_t count = statement.words.size();
    if (count < kind->least || count > kind->most)
        return {std::nullopt,
                "wrong number of arguments: " + std::to_string(count) + " given, usage: " + kind->usage};
    if (kind->readArguments != nullptr) {
        if (std::string error = kind->readArguments(statement); !error.empty())
            return {std::nullopt, std::move(error)};
    }
    return {std::move(statement), ""};
}

Scenario::Scenario(Lines& source) : folder_(std::make_unique<DataFolder>())
{
    spool_ = folder_->path() / "scenario.qsim";
    keep(source);
}

Scenario::~Scenario() = default;

// Checks each line as it copies it aside; the first error ends the reading.
void Scenario::keep(Lines& source)
{
    std::ofstream copy(spool_, std::ios::binary);
    std::string line;
    std::uint64_t number = 1;
    for (; source.next(line); ++number) {
        if (ParsedLine parsed = parseLine(line, number); !parsed.error.empty()) {
            errorLine_ = number;
            error_ = std::move(parsed.error);
            return;
        }
        copy << line << '\n';
    }
    if (source.lineTooLong()) {
        errorLine_ = number;
        error_ = source.error();
    } else if (!source.error().empty()) {
        error_ = "cannot read: " + source.error();
    } else if (!copy.flush())
        error_ = "cannot keep a copy of the scenario in " + spool_.string();
}

bool Scenario::play(const std::function<bool(const Statement&)>& play)
{
    if (!error_.empty())
        return false;
    Lines copy = Lines::ofFile(spool_);
    std::string line;
    for (std::uint64_t number = 1; copy.next(line); ++number) {
        const ParsedLine parsed = parseLine(line, number);
        if (parsed.statement && !play(*parsed.statement))
            return true;
    }
    if (!copy.error().empty())
        error_ = "cannot read the copy of the scenario: " + copy.error();
    return copy.error().empty();
}

} // namespace qsim
