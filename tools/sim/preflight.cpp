#include "preflight.h"

#include "conversions.h"
#include "picture.h"
#include "words.h"

namespace qsim {
namespace {

constexpr char noPictures[] = "this quillfort-sim was built without pictures";

std::string pictureProblem(const std::string& word, const std::filesystem::path& path)
{
    if (!picturesAvailable())
        return noPictures;
    if (const std::string problem = picturePathProblem(path); !problem.empty())
        return "the picture path " + echoed(word) + " " + problem;
    return "";
}

} // namespace

std::string clockEnd()
{
    const auto limit = static_cast<std::int64_t>(double(simhost::clockLimit) / simhost::ticksPerSecond);
    return "the game clock would pass its end, " + std::to_string(limit) + " seconds";
}

std::string Preflight::check(const Statement& s) const
{
    const std::string name = s.kind->name;
    if (name == "load" && loaded_)
        return "the plugin is already loaded";
    if (name == "unload" && !loaded_)
        return "no plugin is loaded";
    if (name == "wait" && *simhost::gameTime(s.seconds) > simhost::clockLimit - clock_)
        return clockEnd();
    if (name == "frame" && !s.words.empty()) {
        if (std::string problem =
                pictureProblem(s.words[0], options_.pictures / files::pathFromUtf8(s.words[0]));
            !problem.empty())
            return problem;
        return pictureSizeProblem(desktop_.width, desktop_.height);
    }
    if (name == "background") {
        if (!picturesAvailable())
            return noPictures;
        return readBackground(s.words[0]).problem;
    }
    return "";
}

void Preflight::passed(const Statement& s)
{
    const std::string name = s.kind->name;
    if (name == "load" || name == "unload")
        loaded_ = name == "load";
    else if (name == "wait")
        clock_ += *simhost::gameTime(s.seconds);
    else if (name == "desktop")
        desktop_ = s.desktop;
}

} // namespace qsim
