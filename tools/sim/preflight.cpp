#include "preflight.h"

#include "conversions.h"
#include "picture.h"
#include "pluginFiles.h"
#include "wholeFile.h"
#include "words.h"

namespace qsim {

std::string clockEnd()
{
    const auto limit = static_cast<std::int64_t>(double(simhost::clockLimit) / simhost::ticksPerSecond);
    return "the game clock would pass its end, " + std::to_string(limit) + " seconds";
}

std::string Preflight::check(const Statement& s) const
{
    return s.kind->check != nullptr ? (this->*s.kind->check)(s) : "";
}

void Preflight::passed(const Statement& s)
{
    if (s.kind->passed != nullptr)
        (this->*s.kind->passed)(s);
}

std::string Preflight::load(const Statement&) const { return loaded_ ? "the plugin is already loaded" : ""; }

std::string Preflight::unload(const Statement&) const { return loaded_ ? "" : "no plugin is loaded"; }

std::string Preflight::console(const Statement&) const
{
    return everLoaded_ ? "" : "no plugin has been loaded yet, so the console knows no name: load first";
}

// A given data folder may hold anything at the page's name already; a fresh one does not.
std::string Preflight::page(const Statement&) const
{
    if (!options_.data)
        return "";
    const auto page = files::pathInFolder(files::utf8FromPath(*options_.data), settingsPagePath());
    std::error_code error;
    const auto status = std::filesystem::symlink_status(page, error);
    if (!std::filesystem::exists(status) || status.type() == std::filesystem::file_type::regular)
        return "";
    return "the settings page " + echoed(files::utf8FromPath(page)) + " is " + files::notRegularFile;
}

std::string Preflight::end(const Statement& s) const
{
    if (s.winner || score_[0] != score_[1])
        return "";
    return "the score is level at " + std::to_string(score_[0]) + "-" + std::to_string(score_[1]) +
           " and a match never ends level: say who won (end winner=T)";
}

std::string Preflight::wait(const Statement& s) const
{
    return *simhost::gameTime(s.seconds) > simhost::clockLimit - clock_ ? clockEnd() : "";
}

std::filesystem::path Preflight::picturePath(const Statement& s) const
{
    return (options_.pictures / files::pathFromUtf8(s.words[0])).lexically_normal();
}

// A picture path names a file that is or will be a regular file, in folders that
// are or will be folders: also after the pictures before it.
std::string Preflight::frame(const Statement& s) const
{
    if (s.words.empty())
        return "";
    if (!picturesAvailable())
        return noPictures;
    const auto path = picturePath(s);
    const auto said = [&](const std::string& problem) {
        return "the picture path " + echoed(s.words[0]) + " " + problem;
    };
    if (std::string problem = picturePathProblem(path); !problem.empty())
        return said(problem);
    if (pictureFolders_.contains(path))
        return said("names a folder that an earlier picture goes into");
    for (auto folder = path.parent_path(); folder != folder.parent_path(); folder = folder.parent_path()) {
        if (pictures_.contains(folder))
            return said("goes into an earlier picture, which is a file");
        std::error_code ignored;
        if (std::filesystem::exists(folder, ignored) && !std::filesystem::is_directory(folder, ignored))
            return said("goes into something that is no folder");
    }
    return pictureSizeProblem(desktop_.width, desktop_.height);
}

std::string Preflight::background(const Statement& s) const { return backgroundProblem(s.words[0]); }

std::string Preflight::lastFrame(const Statement&) const
{
    return everFramed_ ? "" : "no frame has been drawn yet: a 'frame' line comes first";
}

void Preflight::loaded(const Statement&) { loaded_ = everLoaded_ = true; }

void Preflight::unloaded(const Statement&) { loaded_ = false; }

void Preflight::desktopSet(const Statement& s) { desktop_ = s.desktop; }

// A match starts 0-0, and so does the menu.
void Preflight::matchStarted(const Statement&) { score_[0] = score_[1] = 0; }

void Preflight::scored(const Statement& s) { score_[s.team == 0 ? 0 : 1] += 1; }

void Preflight::waited(const Statement& s) { clock_ += *simhost::gameTime(s.seconds); }

void Preflight::framed(const Statement& s)
{
    everFramed_ = true;
    if (s.words.empty())
        return;
    const auto path = picturePath(s);
    pictures_.insert(path);
    for (auto folder = path.parent_path(); folder != folder.parent_path(); folder = folder.parent_path())
        pictureFolders_.insert(folder);
}

} // namespace qsim
