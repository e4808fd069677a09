// Text and paths: the host's UTF-16 units to UTF-8 and back, and UTF-8 text to a
// path the platform's file calls accept. Every such conversion in the project
// goes through here, so a malformed byte means the same everywhere.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace files {

// UTF-16 units (one per wchar_t on every platform) to UTF-8. A surrogate pair
// becomes one 4-byte sequence; a lone surrogate keeps its 3-byte form, so no unit
// is lost.
std::string utf8FromUnits(std::wstring_view units);

// The inverse of utf8FromUnits (a lone surrogate's 3-byte form included). A byte
// that starts no whole sequence in its shortest form becomes U+FFFD, and the
// bytes after it are read on their own.
std::wstring unitsFromUtf8(std::string_view text);

// Whether the text comes back the same through UTF-16: no byte is outside a whole sequence.
bool isUtf8(std::string_view text);

// The UTF-8 text of a platform path, by the same rules.
std::string utf8FromPath(const std::filesystem::path& path);

// The platform path of the UTF-8 text: built from UTF-16 where paths are wide
// (Windows), so that any folder works; elsewhere the bytes are the path.
std::filesystem::path pathFromUtf8(std::string_view text);

// The file at `relative` ('/' between its parts) in the folder given as UTF-8,
// joined with the platform's separator, so that a Windows folder in the \\?\ form
// or one that ends in a separator works like any other.
std::filesystem::path pathInFolder(std::string_view folder, std::string_view relative);

// A size as messages give it: "4 MiB", "512 KiB", "100 bytes".
std::string sizeText(std::size_t bytes);

} // namespace files
