#include "conversions.h"

#include <type_traits>

namespace files {
namespace {

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void appendUtf8(std::string& out, char32_t point)
{
    auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (point < 0x80) {
        put(point);
    } else if (point < 0x800) {
        put(0xC0 | (point >> 6));
        put(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        put(0xE0 | (point >> 12));
        put(0x80 | ((point >> 6) & 0x3F));
        put(0x80 | (point & 0x3F));
    } else {
        put(0xF0 | (point >> 18));
        put(0x80 | ((point >> 12) & 0x3F));
        put(0x80 | ((point >> 6) & 0x3F));
        put(0x80 | (point & 0x3F));
    }
}

} // namespace

std::string utf8FromUnits(std::wstring_view units)
{
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        auto unit = static_cast<char32_t>(units[i]);
        if (isHighSurrogate(unit) && i + 1 < units.size() &&
            isLowSurrogate(static_cast<char32_t>(units[i + 1]))) {
            const auto low = static_cast<char32_t>(units[++i]);
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        } else if (unit > 0x10FFFF) {
            unit = 0xFFFD; // only a 32-bit wchar_t can hold this
        }
        appendUtf8(out, unit);
    }
    return out;
}

std::wstring unitsFromUtf8(std::string_view text)
{
    // The smallest code point of each sequence length: a longer form of a smaller
    // one (an overlong form, such as C0 80 for NUL) is malformed.
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::wstring units;
    units.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
        char32_t point = lead < 0x80 ? lead : 0xFFFD;
        bool whole = length > 1 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (whole) {
            char32_t decoded = lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k)
                decoded = (decoded << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            whole = decoded >= smallest[length] && decoded <= 0x10FFFF;
            point = whole ? decoded : point;
        }
        i += whole ? length : 1;
        if (point >= 0x10000) {
            point -= 0x10000;
            units.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
            units.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
        } else {
            units.push_back(static_cast<wchar_t>(point));
        }
    }
    return units;
}

namespace {
// A path's own form: UTF-16 units where paths are wide, the bytes elsewhere.
[[maybe_unused]] std::string utf8Of(const std::wstring& units) { return utf8FromUnits(units); }
[[maybe_unused]] const std::string& utf8Of(const std::string& bytes) { return bytes; }
} // namespace

bool isUtf8(std::string_view text) { return utf8FromUnits(unitsFromUtf8(text)) == text; }

std::string utf8FromPath(const std::filesystem::path& path) { return utf8Of(path.native()); }

std::filesystem::path pathFromUtf8(std::string_view text)
{
    if constexpr (std::is_same_v<std::filesystem::path::value_type, wchar_t>)
        return std::filesystem::path(unitsFromUtf8(text));
    else
        return std::filesystem::path(std::string(text));
}

std::filesystem::path pathInFolder(std::string_view folder, std::string_view relative)
{
    std::filesystem::path path = pathFromUtf8(folder);
    path /= std::filesystem::path(relative).make_preferred();
    return path;
}

std::string sizeText(std::size_t bytes)
{
    if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (std::size_t{1} << 10) && bytes % (std::size_t{1} << 10) == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace files
