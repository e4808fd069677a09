// Small text helpers of quillfort-sim.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qsim {

// A file as an expectation sees it: its bytes, or what stands there instead.
struct CheckedFile {
    std::optional<std::string> bytes;
    std::string otherwise; // "no such file", "a folder", why it cannot be read
};
// Reads only a regular file of bounded size, so a pipe or a device neither hangs
// nor floods the check.
CheckedFile readChecked(const std::filesystem::path& path);

// What kind of entry has the name ("a file", "a folder", "a link"), even a link
// that leads nowhere; empty when there is none.
std::string entryAt(const std::filesystem::path& path);

std::string joined(const std::vector<std::string>& words);

// The path of UTF-8 text (arguments and scenario words are UTF-8 on every platform).
inline std::filesystem::path utf8Path(const std::string& text)
{
    return std::u8string(text.begin(), text.end());
}

} // namespace qsim
