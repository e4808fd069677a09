#include "words.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace qsim {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto escape = std::find_if(std::begin(escapes), std::end(escapes),
                                         [c](const Escape& candidate) { return candidate.meant == c; });
        if (escape != std::end(escapes))
            out.append(1, '\\').append(1, escape->written);
        else
            out += c;
    }
    return out + '"';
}

namespace {

// The word with each control character written as \xHH, which a terminal would
// otherwise hide or act on.
std::string visible(std::string_view word)
{
    std::string out;
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        const char digits[] = "0123456789abcdef";
        out.append("\\x").append(1, digits[byte >> 4]).append(1, digits[byte & 15]);
    }
    return out;
}

// Where a cut at `at` bytes keeps whole characters: back to a character's start.
std::size_t characterStart(std::string_view text, std::size_t at)
{
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

} // namespace

// Built by appending: GCC 12 takes a text put before a string for an overlapping copy (-Wrestrict).
std::string echoed(std::string_view word)
{
    std::string out = "'";
    if (word.size() <= echoLimit)
        return out.append(visible(word)).append("'");
    return out.append(visible(word.substr(0, characterStart(word, echoLimit)))).append("...'");
}

std::string quotedExcerpt(const std::string& text, std::size_t from)
{
    from = characterStart(text, std::min(from, text.size()));
    const std::size_t end = characterStart(text, std::min(text.size(), from + echoLimit));
    std::string out = from > 0 ? "..." : "";
    return out.append(quoted(text.substr(from, end - from))).append(end < text.size() ? "..." : "");
}

std::string joined(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

const CallShape* callShapeNamed(std::string_view name)
{
    for (const CallShape& shape : callShapes) {
        if (shape.name == name)
            return &shape;
    }
    return nullptr;
}

std::string callNames()
{
    std::string out;
    for (const CallShape& shape : callShapes)
        out.append(out.empty() ? "" : ", ").append(shape.name);
    return out;
}

std::string describe(const simhost::CanvasCall& call)
{
    using Kind = simhost::CanvasCall::Kind;
    std::string out;
    for (const CallShape& shape : callShapes) {
        if (shape.kind == call.kind)
            out = shape.name;
    }
    if (call.kind == Kind::SetColor) {
        for (std::uint8_t part : call.color)
            out.append(" ").append(std::to_string(part));
        return out;
    }
    if (call.kind == Kind::DrawString)
        out.append(" ").append(quoted(call.text));
    return out + " " + simhost::shortest(call.x) + " " + simhost::shortest(call.y);
}

bool* factNamed(simhost::GameFacts& facts, std::string_view name)
{
    for (const auto& [factName, fact] : factNames) {
        if (factName == name)
            return &(facts.*fact);
    }
    return nullptr;
}

std::string factList(std::string_view last)
{
    std::string out;
    for (std::size_t i = 0; i < std::size(factNames); ++i) {
        if (i > 0)
            out += i + 1 == std::size(factNames) ? last : ", ";
        out += factNames[i].name;
    }
    return out;
}

} // namespace qsim
