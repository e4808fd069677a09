// Pictures of a frame: the overlay as the canvas drew it, at the desktop's size.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "host.h"

namespace qsim {

// False in a Linux build without Cairo.
bool picturesAvailable();
// What a build without pictures says when asked for one.
inline constexpr char noPictures[] = "this quillfort-sim was built without pictures";

// What keeps a picture of a desktop this size from being made, or "".
std::string pictureSizeProblem(int width, int height);
// What keeps the path from naming a picture file to write (no file name, a folder,
// something that is no regular file), or "".
std::string picturePathProblem(const std::filesystem::path& png);

// A background picture, decoded once for every frame after it; the drawing defines it.
struct BackgroundImage;
struct Background {
    std::shared_ptr<const BackgroundImage> image;
    std::string problem; // what is wrong with the file, when there is no image
};
// What keeps the file from being a background, found without decoding it: it must
// be a bounded regular PNG file, of a size in pixels that a picture may have.
// `name` is the path as the scenario gives it (UTF-8). Never opens a pipe or a device.
std::string backgroundProblem(const std::string& name);
// Reads the file and decodes it.
Background readBackground(const std::string& name);

// The PNG bytes of the calls drawn over the background (scaled to the desktop) or
// a neutral one; empty, with `problem` set, when it cannot be made.
std::string renderPicture(std::span<const simhost::CanvasCall> calls, int width, int height,
                          const BackgroundImage* background, std::string& problem);

// Plays the canvas calls in order onto a drawing: SetPosition moves the pen, and the
// others draw where it stands. `Drawing` has setColor(const std::uint8_t (&)[4]),
// fillBox(x, y, width, height) and drawString(x, y, xScale, yScale, text).
template <class Drawing> void replayCalls(std::span<const simhost::CanvasCall> calls, Drawing& drawing)
{
    using Kind = simhost::CanvasCall::Kind;
    double x = 0, y = 0;
    for (const simhost::CanvasCall& call : calls) {
        switch (call.kind) {
        case Kind::SetPosition:
            x = call.x;
            y = call.y;
            break;
        case Kind::SetColor: drawing.setColor(call.color); break;
        case Kind::FillBox: drawing.fillBox(x, y, call.x, call.y); break;
        case Kind::DrawString: drawing.drawString(x, y, call.x, call.y, call.text); break;
        }
    }
}

// Decodes a PNG's bytes of the size its header gives (the drawing's part of readBackground).
std::shared_ptr<const BackgroundImage> decodePicture(const std::string& png, int width, int height,
                                                     std::string& problem);

} // namespace qsim
