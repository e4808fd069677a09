// The data folder: any UTF-16 units to UTF-8 and back, and to the platform path.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "paths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::string text = utf8FromUnits(units);
    if (text.size() > 3 * units.size() || unitsFromUtf8(text) != units)
        std::abort();
    const std::filesystem::path path = pathFromUtf8(text);
#if defined(_WIN32)
    if (path.native() != units)
        std::abort();
#else
    if (path.native() != text)
        std::abort();
#endif
    return 0;
}
