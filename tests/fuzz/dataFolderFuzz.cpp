// The data folder: any UTF-16 units to UTF-8 and back, and to the platform path and back;
// any bytes read as UTF-8 without a malformed one swallowing the ASCII after it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "conversions.h"

namespace {

std::string asciiOf(const auto& text)
{
    std::string ascii;
    for (const auto unit : text) {
        if (static_cast<std::uint32_t>(unit) < 0x80)
            ascii.push_back(static_cast<char>(unit));
    }
    return ascii;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::string text = files::utf8FromUnits(units);
    if (text.size() > 3 * units.size() || files::unitsFromUtf8(text) != units)
        std::abort();
    if (files::utf8FromPath(files::pathFromUtf8(text)) != text)
        std::abort();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (asciiOf(files::unitsFromUtf8(bytes)) != asciiOf(bytes))
        std::abort();
    return 0;
}
