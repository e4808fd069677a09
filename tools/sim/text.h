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

} // namespace qsim
