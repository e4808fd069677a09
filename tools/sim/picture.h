// Pictures of a frame: the overlay as the canvas drew it, at the desktop's size.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "host.h"

namespace qsim {

// False in a build without Cairo (the Windows cross-build).
bool picturesAvailable();
// What keeps the PNG's bytes from being read as a picture, or "".
std::string pngProblem(const std::string& png);

// What keeps a picture of a desktop this size from being made, or "".
std::string pictureSizeProblem(int width, int height);
// What keeps the path from naming a picture file (no file name, a folder), or "".
std::string picturePathProblem(const std::filesystem::path& png);

// A background picture: the bytes of a bounded regular PNG file that decodes, or
// the error that says what is wrong with the file. Never opens a pipe or a device
// for reading. `name` is the path as the scenario gives it (UTF-8).
struct Background {
    std::string png;
    std::string problem;
};
Background readBackground(const std::string& name);

// Draws the calls over the background (a PNG's bytes, scaled to the desktop) or a
// neutral one, and writes a PNG. Returns what went wrong, or an empty text.
std::string renderPicture(std::span<const simhost::CanvasCall> calls, int width, int height,
                          const std::string& background, const std::filesystem::path& png);

} // namespace qsim
