// What pictures need whatever draws them: the size and path checks and reading
// a background. Drawing is pictureCairo.cpp, or pictureNone.cpp in a build without Cairo.
#include "picture.h"

#include "conversions.h"
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

bool isPng(const std::string& bytes) { return bytes.starts_with("\x89PNG\r\n\x1a\n"); }

} // namespace

std::string pictureSizeProblem(int width, int height)
{
    if (width <= largestSide && height <= largestSide &&
        static_cast<long long>(width) * height <= largestArea)
        return "";
    return "a picture cannot be " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels (at most 32767 a side and 268435456 in all): set a smaller desktop";
}

std::string picturePathProblem(const std::filesystem::path& png)
{
    const auto name = png.filename();
    if (name.empty() || name == "." || name == "..")
        return "names no file";
    std::error_code ignored;
    return std::filesystem::is_directory(png, ignored) ? "names a folder" : "";
}

Background readBackground(const std::string& name)
{
    files::FileRead read = files::readWholeFile(files::pathFromUtf8(name), backgroundLimit);
    std::string problem;
    switch (read.outcome) {
    case files::FileRead::Outcome::Read: break;
    case files::FileRead::Outcome::Missing: problem = "no such file"; break;
    case files::FileRead::Outcome::NotRegular:
        problem = "not a regular file (a folder, a pipe or a device)";
        break;
    case files::FileRead::Outcome::TooLarge: problem = "larger than 64 MiB"; break;
    case files::FileRead::Outcome::Failed: problem = read.reason; break;
    }
    if (problem.empty() && !isPng(read.bytes))
        problem = "not a PNG picture";
    if (problem.empty())
        problem = pngProblem(read.bytes);
    if (!problem.empty())
        return {{}, "cannot read background picture " + echoed(name) + ": " + problem};
    return {std::move(read.bytes), {}};
}

} // namespace qsim
