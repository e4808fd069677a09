// The settings page rewrite, apart from its files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Appends the page to `out` line by line with CR LF ends. A line break is LF, or
// CR LF as one; every other byte passes through, a CR at the very end too. A line
// holding "X Position" becomes the X and Y position lines bounded by the desktop
// size, and the line after it is dropped unread.
void rewriteSettingsPage(std::string_view page, std::string& out, std::int32_t width, std::int32_t height);
