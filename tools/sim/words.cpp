#include "words.h"

#include <utility>

namespace qsim {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + '"';
}

std::string echoed(std::string_view word)
{
    constexpr std::size_t limit = 200;
    std::string out = "'";
    if (word.size() <= limit)
        return out.append(word).append("'");
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80)
        --cut; // a UTF-8 continuation byte: back to the character's start
    return out.append(word.substr(0, cut)).append("...'");
}

std::string joined(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

std::string describe(const simhost::CanvasCall& call)
{
    using Kind = simhost::CanvasCall::Kind;
    const std::string pair = simhost::shortest(call.x) + " " + simhost::shortest(call.y);
    switch (call.kind) {
    case Kind::SetPosition: return "SetPosition " + pair;
    case Kind::FillBox: return "FillBox " + pair;
    case Kind::DrawString: return "DrawString " + quoted(call.text) + " " + pair;
    case Kind::SetColor: break;
    }
    std::string out = "SetColor";
    for (std::uint8_t part : call.color)
        out.append(" ").append(std::to_string(part));
    return out;
}

bool* factNamed(simhost::GameFacts& facts, std::string_view name)
{
    using simhost::GameFacts;
    const std::pair<std::string_view, bool GameFacts::*> names[] = {
        {"online", &GameFacts::online},           {"public", &GameFacts::playingPublic},
        {"replay", &GameFacts::replay},           {"freeplay", &GameFacts::freeplay},
        {"training", &GameFacts::customTraining},
    };
    for (const auto& [factName, fact] : names) {
        if (factName == name)
            return &(facts.*fact);
    }
    return nullptr;
}

} // namespace qsim
