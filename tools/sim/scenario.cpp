#include "scenario.h"

#include "conversions.h"
#include "dataFolder.h"
#include "words.h"

namespace qsim {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The character an escape stands for, or 0 for an unknown one.
char unescaped(char c)
{
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
    if (const auto mark = line.find("\xEF\xBB\xBF"); mark != std::string_view::npos)
        return {std::nullopt, "a byte-order mark (U+FEFF) at column " + std::to_string(mark + 1) +
                                  ": only the first line of a scenario may start with one"};
    // Read as a blank, a lone CR could hide the lines after it in a comment.
    if (const auto cr = line.find('\r'); cr != std::string_view::npos)
        return {std::nullopt, "a CR at column " + std::to_string(cr + 1) +
                                  " ends no line: lines end in LF or CR LF (a CR in a text is written \\r)"};
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#')
        return {};
    std::vector<std::string> words;
    if (auto error = splitWords(line, words))
        return {std::nullopt, *error};
    if (words == std::vector<std::string>{"expect"})
        return {std::nullopt, "'expect' needs what to check (" + checkNames() + ")"};
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

Scenario::Scenario(Lines& source) { keep(source); }

Scenario::~Scenario() = default;

// Checks each line as it keeps it; the first error ends the reading.
void Scenario::keep(Lines& source)
{
    std::string line;
    std::uint64_t number = 1;
    bool anyStatement = false;
    for (; source.next(line); ++number) {
        ParsedLine parsed = parseLine(line, number);
        if (!parsed.error.empty()) {
            errorLine_ = number;
            error_ = std::move(parsed.error);
            return;
        }
        anyStatement = anyStatement || parsed.statement.has_value();
        if (!keepLine(line))
            return;
    }
    if (source.lineTooLong()) {
        errorLine_ = number;
        error_ = source.error();
    } else if (!source.error().empty()) {
        error_ = "cannot read: " + source.error();
    } else if (const std::string unkept = spool_ ? spool_->finish() : ""; !unkept.empty()) {
        error_ = spoolError(unkept);
    } else if (!anyStatement) {
        error_ = "the scenario has no statement";
    }
}

std::filesystem::path Scenario::spoolPath() const { return folder_->path() / "scenario.qsim"; }

std::string Scenario::spoolError(const std::string& reason) const
{
    return "cannot keep a copy of the scenario in " + echoed(files::utf8FromPath(spoolPath())) + ": " +
           reason;
}

// In memory while the lines are few; past that, in a file, with the lines so far.
bool Scenario::keepLine(const std::string& line)
{
    if (!spool_ && kept_.size() + line.size() + 1 <= memoryLimit) {
        kept_.append(line).append(1, '\n');
        return true;
    }
    if (!spool_) {
        folder_ = std::make_unique<DataFolder>();
        spool_ = std::make_unique<files::NewFile>(spoolPath());
        spool_->append(kept_);
        kept_ = {};
    }
    if (spool_->append(line) && spool_->append("\n"))
        return true;
    error_ = spoolError(spool_->finish());
    return false;
}

bool Scenario::play(const std::function<bool(const Statement&)>& play)
{
    if (!error_.empty())
        return false;
    const auto each = [&](const std::string& line, std::uint64_t number) {
        const ParsedLine parsed = parseLine(line, number);
        return !parsed.statement || play(*parsed.statement);
    };
    Lines copy = spool_ ? Lines::ofFile(spoolPath()) : Lines::ofText(kept_);
    std::string line;
    for (std::uint64_t number = 1; copy.next(line); ++number) {
        if (!each(line, number))
            return true;
    }
    if (!copy.error().empty())
        error_ = "cannot read the copy of the scenario: " + copy.error();
    return copy.error().empty();
}

} // namespace qsim
