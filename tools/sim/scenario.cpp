#include "scenario.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace qsim {
namespace {

using Quillfort::echoed;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::optional<int> integer(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A decimal number, or nan, inf and -inf.
std::optional<double> real(const std::string& text)
{
    if (text == "nan")
        return std::nan("");
    if (text == "inf" || text == "-inf")
        return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct Shape {
    Verb verb;
    std::size_t least, most; // argument counts
    const char* usage;
};

const std::map<std::string, Shape, std::less<>>& shapes()
{
    static const std::map<std::string, Shape, std::less<>> table = {
        {"desktop", {Verb::Desktop, 2, 2, "desktop W H"}},
        {"player", {Verb::Player, 1, 1, "player ID"}},
        {"page", {Verb::Page, 1, 1, "page TEXT"}},
        {"nopage", {Verb::NoPage, 0, 0, "nopage"}},
        {"load", {Verb::Load, 0, 0, "load"}},
        {"unload", {Verb::Unload, 0, 0, "unload"}},
        {"console", {Verb::Console, 1, 64, "console LINE..."}},
        {"rating", {Verb::Rating, 2, 2, "rating PLAYLIST VALUE"}},
        {"match", {Verb::Match, 1, 3, "match KIND [playlist=N] [team=T]"}},
        {"state", {Verb::State, 1, 5, "state FACT=0|1... (online, public, replay, freeplay, training)"}},
        {"kickoff", {Verb::Kickoff, 0, 0, "kickoff"}},
        {"goal", {Verb::Goal, 1, 1, "goal T"}},
        {"end", {Verb::End, 0, 1, "end [winner=T]"}},
        {"menu", {Verb::Menu, 0, 0, "menu"}},
        {"wait", {Verb::Wait, 1, 1, "wait SECONDS"}},
        {"pause", {Verb::Pause, 1, 1, "pause SECONDS"}},
        {"frame", {Verb::Frame, 0, 1, "frame [PNG]"}},
        {"background", {Verb::Background, 1, 1, "background PNG"}},
        {"expect file", {Verb::ExpectFile, 2, 2, "expect file PATH TEXT"}},
        {"expect nofile", {Verb::ExpectNoFile, 1, 1, "expect nofile PATH"}},
        {"expect log", {Verb::ExpectLog, 1, 1, "expect log TEXT"}},
        {"expect nolog", {Verb::ExpectNoLog, 1, 1, "expect nolog TEXT"}},
        {"expect command", {Verb::ExpectCommand, 1, 1, "expect command TEXT"}},
        {"expect nocommand", {Verb::ExpectNoCommand, 1, 1, "expect nocommand TEXT"}},
        {"expect cvar", {Verb::ExpectCvar, 2, 2, "expect cvar NAME TEXT"}},
        {"expect draw", {Verb::ExpectDraw, 1, 64, "expect draw CALL"}},
        {"expect draws", {Verb::ExpectDraws, 1, 1, "expect draws N"}},
    };
    return table;
}

std::optional<sim::Place> placeNamed(std::string_view kind)
{
    using sim::Place;
    static const std::map<std::string, Place, std::less<>> kinds = {
        {"public", Place::OnlinePublic}, {"private", Place::OnlinePrivate},   {"offline", Place::Offline},
        {"freeplay", Place::Freeplay},   {"training", Place::CustomTraining}, {"replay", Place::Replay},
    };
    const auto found = kinds.find(kind);
    return found == kinds.end() ? std::nullopt : std::optional(found->second);
}

// Reads `key=N` for one of the given keys into the slot; an error message otherwise.
std::string option(const std::string& word, const std::map<std::string, int*>& slots)
{
    const auto equals = word.find('=');
    const auto slot = equals == std::string::npos ? slots.end() : slots.find(word.substr(0, equals));
    if (slot == slots.end())
        return "unknown option " + echoed(word);
    const auto value = integer(std::string_view(word).substr(equals + 1));
    if (!value)
        return echoed(word) + " needs a whole number after '='";
    *slot->second = *value;
    return "";
}

// A pause longer than an hour is a mistake, not a session.
constexpr double maxPause = 3600;

// A checked path stays under the data folder: a leading "/" is the folder itself.
std::string insideDataFolder(const std::string& path)
{
    const auto relative = std::filesystem::path(std::u8string(path.begin(), path.end())).relative_path();
    const auto normal = relative.lexically_normal();
    if (!normal.empty() && *normal.begin() == "..")
        return "the path " + echoed(path) + " leaves the data folder";
    return "";
}

std::string team(const std::string& word, int& slot)
{
    const auto value = integer(word);
    if (!value || (*value != 0 && *value != 1))
        return "team must be 0 or 1, not " + echoed(word);
    slot = *value;
    return "";
}

// Fills the typed fields of a statement whose argument count is right.
std::string typed(Statement& s)
{
    auto& w = s.words;
    switch (s.verb) {
    case Verb::Desktop: {
        const auto width = integer(w[0]), height = integer(w[1]);
        if (!width || !height || *width <= 0 || *height <= 0)
            return "desktop size must be two positive whole numbers";
        s.first = *width;
        s.second = *height;
        return "";
    }
    case Verb::Rating: {
        const auto playlist = integer(w[0]);
        const auto value = real(w[1]);
        if (!playlist)
            return "playlist must be a whole number, not " + echoed(w[0]);
        if (!value)
            return "rating must be a number, nan, inf or -inf, not " + echoed(w[1]);
        s.first = *playlist;
        s.number = *value;
        return "";
    }
    case Verb::Match: {
        const auto place = placeNamed(w[0]);
        if (!place)
            return "unknown match kind " + echoed(w[0]) +
                   " (public, private, offline, freeplay, training, replay)";
        s.facts = Quillfort::factsOf(*place);
        s.first = 13;
        s.second = 0;
        for (std::size_t i = 1; i < w.size(); ++i) {
            if (auto error = option(w[i], {{"playlist", &s.first}, {"team", &s.second}}); !error.empty())
                return error;
        }
        return s.second == 0 || s.second == 1 ? "" : "team must be 0 or 1";
    }
    case Verb::State:
        for (const std::string& word : w) {
            const auto equals = word.find('=');
            const std::string name = word.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
            if (Quillfort::factNamed(s.facts, name) == nullptr || (value != "0" && value != "1"))
                return "a game fact is online, public, replay, freeplay or training with =0 or =1, not " +
                       echoed(word);
            s.factChanges.emplace_back(name, value == "1");
        }
        return "";
    case Verb::Goal: return team(w[0], s.first);
    case Verb::End: {
        if (w.empty())
            return "";
        int winner = 0;
        if (auto error = option(w[0], {{"winner", &winner}}); !error.empty())
            return error;
        s.winner = winner;
        return winner == 0 || winner == 1 ? "" : "winner must be 0 or 1";
    }
    case Verb::Wait: {
        const auto seconds = real(w[0]);
        if (!seconds || !Quillfort::gameTime(*seconds))
            return "seconds must be a finite number of 0 or more in whole microseconds, not " + echoed(w[0]);
        s.number = *seconds;
        return "";
    }
    case Verb::Pause: {
        const auto seconds = real(w[0]);
        if (!seconds || *seconds < 0 || *seconds > maxPause)
            return "seconds of real time must be a number from 0 to 3600, not " + echoed(w[0]);
        s.number = *seconds;
        return "";
    }
    case Verb::ExpectFile:
    case Verb::ExpectNoFile: return insideDataFolder(w[0]);
    case Verb::ExpectDraws: {
        const auto count = integer(w[0]);
        if (!count || *count < 0)
            return "count must be a whole number of 0 or more, not " + echoed(w[0]);
        s.first = *count;
        return "";
    }
    default: return "";
    }
}

} // namespace

std::optional<std::string> splitWords(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            return std::nullopt;
        std::string word;
        if (line[i] != '"') {
            while (i < line.size() && !isBlank(line[i]))
                word += line[i++];
            words.push_back(std::move(word));
            continue;
        }
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
            switch (line[i]) {
            case '\\': word += '\\'; break;
            case '"': word += '"'; break;
            case 'r': word += '\r'; break;
            case 'n': word += '\n'; break;
            case 't': word += '\t'; break;
            default: return std::string("unknown escape '\\") + line[i] + "'";
            }
        }
        ++i;
        if (i < line.size() && !isBlank(line[i]))
            return "a quoted word must be followed by a blank";
        words.push_back(std::move(word));
    }
}

ParsedLine parseLine(std::string_view line, std::uint64_t number)
{
    std::vector<std::string> words;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#')
        return {};
    if (auto error = splitWords(line, words))
        return {std::nullopt, *error};
    std::string name = words[0];
    std::size_t used = 1;
    if (name == "expect") {
        if (words.size() < 2)
            return {std::nullopt,
                    "'expect' needs what to check (file, nofile, log, nolog, command, nocommand, "
                    "cvar, draw, draws)"};
        name += " " + words[1];
        used = 2;
    }
    const auto shape = shapes().find(name);
    if (shape == shapes().end())
        return {std::nullopt, "unknown statement " + echoed(name)};
    Statement statement;
    statement.line = number;
    statement.verb = shape->second.verb;
    statement.words.assign(words.begin() + static_cast<std::ptrdiff_t>(used), words.end());
    const std::size_t count = statement.words.size();
    if (count < shape->second.least || count > shape->second.most)
        return {std::nullopt, "wrong number of arguments: " + std::to_string(count) +
                                  " given, usage: " + shape->second.usage};
    if (auto error = typed(statement); !error.empty())
        return {std::nullopt, error};
    return {std::move(statement), ""};
}

Script parseScript(std::string_view text)
{
    Script script;
    std::uint64_t number = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++number;
        ParsedLine parsed = parseLine(text.substr(start, end - start), number);
        if (!parsed.error.empty()) {
            script.errorLine = number;
            script.error = std::move(parsed.error);
            script.statements.clear();
            return script;
        }
        if (parsed.statement)
            script.statements.push_back(std::move(*parsed.statement));
        start = end + 1;
    }
    return script;
}

} // namespace qsim
