#include "preflight.h"

#include "picture.h"
#include "text.h"

namespace qsim {
namespace {

std::string pictureProblem(const std::string& word, const std::filesystem::path& path)
{
    if (!picturesAvailable())
        return "this quillfort-sim was built without pictures";
    if (const std::string problem = picturePathProblem(path); !problem.empty())
        return "the picture path " + Quillfort::echoed(word) + " " + problem;
    return "";
}

} // namespace

std::string clockEnd()
{
    const auto limit = static_cast<std::int64_t>(double(Quillfort::clockLimit) / Quillfort::ticksPerSecond);
    return "the game clock would pass its end, " + std::to_string(limit) + " seconds";
}

std::string Preflight::check(const Statement& s) const
{
    const std::string name = s.kind->name;
    if (name == "load" && loaded_)
        return "the plugin is already loaded";
    if (name == "unload" && !loaded_)
        return "no plugin is loaded";
    if (name == "wait" && *Quillfort::gameTime(s.number) > Quillfort::clockLimit - clock_)
        return clockEnd();
    if (name == "frame" && !s.words.empty()) {
        if (std::string problem = pictureProblem(s.words[0], options_.pictures / utf8Path(s.words[0]));
            !problem.empty())
            return problem;
        return pictureSizeProblem(width_, height_);
    }
    if (name == "background") {
        if (!picturesAvailable())
            return "this quillfort-sim was built without pictures";
        if (const Background background = readBackground(utf8Path(s.words[0])); !background.problem.empty())
            return "cannot read background picture " + Quillfort::echoed(s.words[0]) + ": " +
                   background.problem;
    }
    return "";
}

void Preflight::passed(const Statement& s)
{
    const std::string name = s.kind->name;
    if (name == "load" || name == "unload")
        loaded_ = name == "load";
    else if (name == "wait")
        clock_ += *Quillfort::gameTime(s.number);
    else if (name == "desktop")
        width_ = s.first, height_ = s.second;
}

} // namespace qsim
