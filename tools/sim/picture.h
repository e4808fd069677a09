// Pictures of a frame: the overlay as the canvas drew it, at the desktop's size.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "host.h"

namespace qsim {

// False in a build without Cairo (the Windows cross-build).
bool picturesAvailable();

// Draws the calls over the background picture (scaled to the desktop) or a
// neutral one, and writes a PNG. Returns what went wrong, or an empty text.
std::string renderPicture(std::span<const Quillfort::CanvasCall> calls, int width, int height,
                          const std::filesystem::path& background, const std::filesystem::path& png);

} // namespace qsim
