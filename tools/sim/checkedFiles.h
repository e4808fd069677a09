// Files as the checks see them: read only when regular and bounded, and any entry
// named, a link that leads nowhere too.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qsim {

// A file as an expectation sees it: its bytes, or what stands there instead.
struct CheckedFile {
    std::optional<std::string> bytes;
    std::string otherwise; // "no such file", "a folder", why it cannot be read
};
// Reads only a regular file of bounded size, so a pipe or a device neither hangs
// nor floods the check.
CheckedFile readChecked(const std::filesystem::path& path);

// Whether every part of `relative` ('/' between parts) stands in its folder under
// exactly that name, from `folder` down: a system that ignores case (Windows)
// finds a file under another spelling, which a check takes for no file, as
// elsewhere. `other`: the name that differs only in case, for the message. True
// when a folder cannot be listed: the look that follows says why.
bool spelledAsGiven(const std::filesystem::path& folder, const std::string& relative, std::string& other);

// What kind of entry has the name ("a file", "a folder", "a link"), even a link
// that leads nowhere; empty when there is none.
std::string entryAt(const std::filesystem::path& path);

} // namespace qsim
