// What pictures need whatever draws them: the size and path checks and reading
// a background. Drawing is pictureCairo.cpp, pictureWindows.cpp
// on Windows, or pictureNone.cpp in a Linux build without Cairo.
#include "picture.h"

#include "conversions.h"
#include "folders.h"
#include "wholeFile.h"
#include "words.h"

namespace qsim {
namespace {

// Cairo's own bound for a side, and a bound on the whole that keeps a picture
// within a gigabyte of memory.
constexpr int largestSide = 32767;
constexpr long long largestArea = 1LL << 28;
// Far above any screenshot.
constexpr std::size_t backgroundLimit = std::size_t{64} << 20;

bool fits(long long width, long long height)
{
    return width <= largestSide && height <= largestSide && width * height <= largestArea;
}

std::string bounds()
{
    return "at most " + std::to_string(largestSide) + " a side and " + std::to_string(largestArea) +
           " in all";
}

// The size a PNG's header gives (its first chunk), or false when it is no PNG.
bool pngSize(const std::string& png, long long& width, long long& height)
{
    const auto number = [&](std::size_t at) {
        long long value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[i]);
        return value;
    };
    if (png.size() < 24 || !png.starts_with("\x89PNG\r\n\x1a\n") || png.compare(12, 4, "IHDR") != 0)
        return false;
    width = number(16);
    height = number(20);
    return true;
}

// The file's bytes and size when it can be a background; otherwise what is wrong with it.
files::FileRead readPng(const std::string& name, long long& width, long long& height, std::string& problem)
{
    files::FileRead read = files::readWholeFile(files::pathFromUtf8(name), backgroundLimit);
    if (read.outcome != files::FileRead::Outcome::Read)
        problem = read.says();
    else if (!pngSize(read.bytes, width, height))
        problem = "not a PNG picture";
    else if (!fits(width, height))
        problem = std::to_string(width) + " x " + std::to_string(height) +
                  " pixels, more than a picture may have (" + bounds() + ")";
    if (!problem.empty())
        problem = "cannot read background picture " + echoed(name) + ": " + problem;
    return read;
}

} // namespace

std::string pictureSizeProblem(int width, int height)
{
    if (fits(width, height))
        return "";
    return "a picture cannot be " + std::to_string(width) + " x " + std::to_string(height) + " pixels (" +
           bounds() + "): set a smaller desktop";
}

std::string picturePathProblem(const std::filesystem::path& png)
{
    const auto name = png.filename();
    if (name.empty() || name == "." || name == "..")
        return "names no file";
    const auto kind = files::entryAt(png, files::Links::Followed).kind;
    if (kind == files::Entry::Kind::Folder)
        return "names a folder";
    if (kind == files::Entry::Kind::Other)
        return std::string("names something that is ") + files::notRegularFile;
    return "";
}

std::string backgroundProblem(const std::string& name)
{
    if (!picturesAvailable())
        return noPictures;
    std::string problem;
    long long width = 0, height = 0;
    readPng(name, width, height, problem);
    return problem;
}

Background readBackground(const std::string& name)
{
    std::string problem;
    long long width = 0, height = 0;
    const files::FileRead read = readPng(name, width, height, problem);
    if (!problem.empty())
        return {nullptr, problem};
    auto image = decodePicture(read.bytes, static_cast<int>(width), static_cast<int>(height), problem);
    if (!image)
        return {nullptr, "cannot read background picture " + echoed(name) + ": " + problem};
    return {std::move(image), {}};
}

} // namespace qsim
