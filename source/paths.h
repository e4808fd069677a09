// The data folder: from the host's UTF-16 units to UTF-8 text, and from UTF-8
// text to a path the platform's file calls accept.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A surrogate pair becomes one 4-byte sequence; a lone surrogate keeps its
// 3-byte form, so no unit is lost.
std::string utf8FromUnits(std::wstring_view units);

// The inverse of utf8FromUnits; a byte that starts no whole sequence becomes U+FFFD.
std::wstring unitsFromUtf8(std::string_view text);

// The platform path of the UTF-8 text. On Windows the path is built from UTF-16 so
// that folders outside the narrow code page work; elsewhere the bytes are the path.
std::filesystem::path pathFromUtf8(std::string_view text);

// The file at `relative` ('/' between its parts) in the folder given as UTF-8,
// joined with the platform's separator, so that a Windows folder in the \\?\ form
// or one that ends in a separator works like any other.
std::filesystem::path pathInFolder(std::string_view folder, std::string_view relative);
