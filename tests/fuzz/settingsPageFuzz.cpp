// The settings page rewrite on arbitrary bytes, against a plain line-by-line model.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settingsPage.h"

namespace {

// The page's lines: LF or CR LF ends, a last line without one keeps every byte.
std::vector<std::string> linesOf(const std::string& page)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find('\n', start);
        std::string line = page.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string expected(const std::string& page, std::int32_t width, std::int32_t height)
{
    const std::vector<std::string> lines = linesOf(page);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("X Position") == std::string::npos) {
            out += lines[i] + "\r\n";
            continue;
        }
        out += "5|X Position|posx|0|" + std::to_string(width) + "\r\n";
        out += "5|Y Position|posy|0|" + std::to_string(height) + "\r\n";
        ++i; // the next line is dropped unread
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::int32_t width = 1920, height = 1080;
    if (size >= 8) {
        std::memcpy(&width, data, 4);
        std::memcpy(&height, data + 4, 4);
        data += 8;
        size -= 8;
    }
    const std::string page(reinterpret_cast<const char*>(data), size);
    std::string out;
    rewriteSettingsPage(page, out, width, height);
    if (out != expected(page, width, height))
        std::abort();
    return 0;
}
