#include "arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <map>
#include <string_view>

#include "conversions.h"
#include "preflight.h"
#include "words.h"

namespace qsim::arguments {
namespace {

std::optional<int> integer(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Whether a number's text has a digit other than 0 before its exponent: then it is
// no zero, however small the value it reads as.
bool writtenNonZero(const std::string& text)
{
    const std::string digits = text.substr(0, text.find_first_of("eE"));
    return digits.find_first_of("123456789") != std::string::npos;
}

// A decimal number, or nan, inf and -inf. A decimal too large for any double
// reads as nothing, with `tooLarge` set.
std::optional<double> real(const std::string& text, bool* tooLarge = nullptr)
{
    if (text == "nan")
        return std::nan("");
    if (text == "inf" || text == "-inf")
        return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    if (!std::isfinite(value)) {
        if (tooLarge != nullptr)
            *tooLarge = true;
        return std::nullopt;
    }
    return value;
}

// Whether a decimal number's text is a whole number of microseconds, read from its
// digits: the clock's own rounding would take 0.0000010009 for 1 microsecond.
bool wholeMicroseconds(const std::string& text)
{
    const std::size_t exponentAt = text.find_first_of("eE");
    long exponent = 0;
    if (exponentAt != std::string::npos) {
        const char* begin = text.c_str() + exponentAt + 1;
        if (*begin == '+')
            ++begin;
        const auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), exponent);
        if (error != std::errc{} || end != text.c_str() + text.size())
            return false; // an exponent too large to read: the value says the rest
        exponent = std::clamp(exponent, -100000L, 100000L);
    }
    std::string digits = text.substr(0, exponentAt);
    std::erase_if(digits, [](char c) { return c == '+' || c == '-'; });
    const std::size_t point = std::min(digits.find('.'), digits.size());
    std::erase(digits, '.');
    const std::size_t last = digits.find_last_not_of('0');
    if (last == std::string::npos)
        return true; // zero
    // Digits after the decimal point, once the exponent has moved it.
    const long fraction = static_cast<long>(last + 1) - static_cast<long>(point) - exponent;
    return fraction <= 6;
}

// The kinds of match a scenario names, each a place with its usual facts.
constexpr std::pair<std::string_view, simhost::Place> places[] = {
    {"public", simhost::Place::OnlinePublic},     {"private", simhost::Place::OnlinePrivate},
    {"offline", simhost::Place::Offline},         {"freeplay", simhost::Place::Freeplay},
    {"training", simhost::Place::CustomTraining}, {"replay", simhost::Place::Replay},
};

std::optional<simhost::Place> placeNamed(std::string_view kind)
{
    for (const auto& [name, place] : places) {
        if (name == kind)
            return place;
    }
    return std::nullopt;
}

std::string placeList()
{
    std::string out;
    for (const auto& [name, place] : places)
        out.append(out.empty() ? "" : ", ").append(name);
    return out;
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

} // namespace

std::string desktop(Statement& s)
{
    const auto width = integer(s.words[0]), height = integer(s.words[1]);
    if (!width || !height || *width <= 0 || *height <= 0)
        return "desktop size must be two positive whole numbers";
    s.desktop = {*width, *height};
    if (const auto fixed = simhost::fixedDesktop();
        fixed && (fixed->width != s.desktop.width || fixed->height != s.desktop.height))
        s.notHere = "the scenario sets a desktop of " + std::to_string(*width) + " x " +
                    std::to_string(*height) + ", and on this system the plugin measures the machine's own, " +
                    std::to_string(fixed->width) + " x " + std::to_string(fixed->height);
    return "";
}

std::string rating(Statement& s)
{
    const auto playlist = integer(s.words[0]);
    bool tooLarge = false;
    const auto value = real(s.words[1], &tooLarge);
    if (!playlist)
        return "playlist must be a whole number, not " + echoed(s.words[0]);
    if (!value && !tooLarge)
        return "rating must be a number, nan, inf or -inf, not " + echoed(s.words[1]);
    // The game reports a float: a value it cannot hold would silently become another.
    // One that rounds to the largest float is held; from halfway to the next power
    // of two on, a value rounds to infinity.
    const double floatLimit = std::ldexp(2.0 - std::ldexp(1.0, -24), 127);
    if (tooLarge || (std::isfinite(*value) && std::fabs(*value) >= floatLimit)) {
        char largest[32];
        std::snprintf(largest, sizeof largest, "%.2g", double(std::numeric_limits<float>::max()));
        return "rating " + echoed(s.words[1]) + " does not fit the game's float (at most " + largest + ")";
    }
    if (writtenNonZero(s.words[1]) && static_cast<float>(*value) == 0.0f)
        return "rating " + echoed(s.words[1]) +
               " rounds to 0, which the game reports for an unknown rating: write 0 for that";
    s.playlist = *playlist;
    s.rating = *value;
    return "";
}

std::string match(Statement& s)
{
    const auto place = placeNamed(s.words[0]);
    if (!place)
        return "unknown match kind " + echoed(s.words[0]) + " (" + placeList() + ")";
    s.facts = simhost::factsOf(*place);
    for (std::size_t i = 1; i < s.words.size(); ++i) {
        if (auto error = option(s.words[i], {{"playlist", &s.playlist}, {"team", &s.team}}); !error.empty())
            return error;
    }
    return s.team == 0 || s.team == 1 ? "" : "team must be 0 or 1";
}

std::string state(Statement& s)
{
    for (const std::string& word : s.words) {
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        if (factNamed(s.facts, name) == nullptr || (value != "0" && value != "1"))
            return "a game fact is " + factList(" or ") + " with =0 or =1, not " + echoed(word);
        s.factChanges.emplace_back(name, value == "1");
    }
    return "";
}

std::string goal(Statement& s)
{
    const auto value = integer(s.words[0]);
    if (!value || (*value != 0 && *value != 1))
        return "team must be 0 or 1, not " + echoed(s.words[0]);
    s.team = *value;
    return "";
}

std::string end(Statement& s)
{
    if (s.words.empty())
        return "";
    int winner = 0;
    if (auto error = option(s.words[0], {{"winner", &winner}}); !error.empty())
        return error;
    s.winner = winner;
    return winner == 0 || winner == 1 ? "" : "winner must be 0 or 1";
}

std::string wait(Statement& s)
{
    bool tooLarge = false;
    const auto seconds = real(s.words[0], &tooLarge);
    if (tooLarge || (seconds && std::isfinite(*seconds) &&
                     *seconds * simhost::ticksPerSecond > double(simhost::clockLimit)))
        return clockEnd();
    if (!seconds || !wholeMicroseconds(s.words[0]) || !simhost::gameTime(*seconds))
        return "seconds must be a finite number of 0 or more in whole microseconds, not " +
               echoed(s.words[0]);
    s.seconds = *seconds;
    return "";
}

std::string pause(Statement& s)
{
    const auto seconds = real(s.words[0]);
    if (!seconds || !(*seconds >= 0 && *seconds <= maxPause))
        return "seconds of real time must be a number from 0 to " + std::to_string(int(maxPause)) + ", not " +
               echoed(s.words[0]);
    s.seconds = *seconds;
    return "";
}

namespace {

// Names that Windows takes for a device, whatever follows a dot after them.
constexpr std::string_view devices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                        "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                        "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool isDevice(std::string_view part)
{
    std::string base(part.substr(0, part.find('.')));
    for (char& c : base)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return std::find(std::begin(devices), std::end(devices), base) != std::end(devices);
}

// Why the path names a file differently, or not at all, on one platform than on
// another; "" for a name every platform takes as it is.
std::string unportable(const std::string& path)
{
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "it holds a control character";
        if (c == ':')
            return "':' names a drive or a stream on Windows";
        if (c == '\\')
            return "'\\' is a separator on Windows: write '/' between parts";
        if (std::string_view("*?<>|\"").find(c) != std::string_view::npos)
            return std::string("Windows allows no '") + c + "' in a name";
    }
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = std::string_view(path).substr(at, end - at);
        if (part != "." && part != ".." && (part.ends_with('.') || part.ends_with(' ')))
            return "Windows drops the " + std::string(part.ends_with('.') ? "dot" : "space") +
                   " at the end of " + echoed(part);
        if (isDevice(part))
            return echoed(part) + " names a device on Windows";
        at = end + 1;
    }
    return "";
}

} // namespace

// A checked path names a file under the data folder, and names it one way only,
// the same on every platform: a portable name, relative, through no "..", and not
// ending in a separator.
std::string dataPath(Statement& s)
{
    const std::string& path = s.words[0];
    if (const std::string problem = unportable(path); !problem.empty())
        return "the path " + echoed(path) + " is no portable name: " + problem;
    const auto given = files::pathFromUtf8(path);
    if (given.has_root_name() || given.has_root_directory())
        return "the path " + echoed(path) + " is not relative to the data folder";
    if (path.empty() || path.ends_with('/') || given.filename().empty())
        return "the path " + echoed(path) + " names no file: it ends in a separator";
    // "a/./b", "a//b" and "file/." name what "a/b" and "file" name, or nothing.
    if (path.find("//") != std::string::npos)
        return "the path " + echoed(path) + " has an empty part: write one '/' between parts";
    for (const auto& part : given) {
        if (part == ".." || part == ".")
            return "the path " + echoed(path) + " goes through '" + files::utf8FromPath(part) + "'";
    }
    return "";
}

// A canvas call as the trace writes it: its name, then its numbers, a text first
// for DrawString. The numbers are read here, so a word that is no number (an empty
// one, " 0", "0x0") never reads as 0.
std::string drawCall(Statement& s)
{
    const CallShape* shape = callShapeNamed(s.words[0]);
    if (shape == nullptr)
        return "unknown canvas call " + echoed(s.words[0]) + " (" + callNames() + ")";
    if (s.words.size() != shape->words + 1)
        return "wrong number of arguments: " + std::string(shape->name) + " takes " +
               std::to_string(shape->words);
    s.numbers.clear();
    for (std::size_t i = shape->text ? 2 : 1; i < s.words.size(); ++i) {
        const auto number = real(s.words[i]);
        const bool colour = shape->kind == simhost::CanvasCall::Kind::SetColor;
        if (!number || (colour && (!integer(s.words[i]) || *number < 0 || *number > 255)))
            return std::string(colour ? "a colour is a whole number from 0 to 255"
                                      : "a position or size is a number") +
                   ", not " + echoed(s.words[i]);
        s.numbers.push_back(*number);
    }
    return "";
}

std::string drawCount(Statement& s)
{
    const auto count = integer(s.words[0]);
    if (!count || *count < 0)
        return "count must be a whole number of 0 or more, not " + echoed(s.words[0]);
    s.calls = *count;
    return "";
}

} // namespace qsim::arguments
