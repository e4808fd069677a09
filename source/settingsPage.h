// The settings page rewrite, apart from its files.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

// Copies the page line by line with CR LF ends. A line holding "X Position"
// becomes the X and Y position lines bounded by the desktop size, and the line
// after it is dropped unread. False when the input could not be read to its end.
bool rewriteSettingsPage(std::istream& page, std::ostream& out, std::int32_t width, std::int32_t height);
