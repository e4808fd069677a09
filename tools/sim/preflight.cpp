#include "preflight.h"

#include <vector>

#include "conversions.h"
#include "folders.h"
#include "picture.h"
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

// The page is the played module's, named for the type its record gives. A given
// data folder may hold anything at the page's name already; a fresh one does not.
std::string Preflight::page(const Statement&) const
{
    if (options_.modulePage.empty())
        return "the plugin's settings page is not known, as its module cannot be read: " +
               options_.moduleProblem;
    if (!options_.data)
        return "";
    const auto page = files::pathInFolder(files::utf8FromPath(*options_.data), options_.modulePage);
    const files::Entry entry = files::entryAt(page, files::Links::Followed);
    if (entry.kind == files::Entry::Kind::Missing || entry.kind == files::Entry::Kind::File)
        return "";
    if (entry.kind == files::Entry::Kind::Unknown)
        return "the settings page " + echoed(files::utf8FromPath(page)) +
               " cannot be looked at: " + entry.reason;
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

namespace {

// The folders a path goes through as the system reads it, part by part:
// "a.png/../b.png" goes through "a.png" as a folder, whatever it comes to.
std::vector<std::filesystem::path> foldersOnTheWay(const std::filesystem::path& path)
{
    std::vector<std::filesystem::path> folders;
    for (auto folder = path.parent_path(); !folder.empty() && folder != folder.parent_path();
         folder = folder.parent_path())
        folders.push_back(folder);
    return folders;
}

} // namespace

std::filesystem::path Preflight::picturePath(const Statement& s) const
{
    return options_.pictures / files::pathFromUtf8(s.words[0]);
}

// A picture path names a file that is or will be a regular file, in folders that
// are or will be folders: also after the pictures before it.
std::string Preflight::frame(const Statement& s) const
{
    if (s.words.empty())
        return "";
    if (!picturesAvailable())
        return noPictures;
    const auto given = picturePath(s);
    const auto path = given.lexically_normal();
    const auto said = [&](const std::string& problem) {
        return "the picture path " + echoed(s.words[0]) + " " + problem;
    };
    if (std::string problem = picturePathProblem(path); !problem.empty())
        return said(problem);
    if (pictureFolders_.contains(path))
        return said("names a folder that an earlier picture goes into");
    for (const auto& folder : foldersOnTheWay(given)) {
        if (pictures_.contains(folder.lexically_normal()))
            return said("goes into an earlier picture, which is a file");
        if (const auto kind = files::entryAt(folder, files::Links::Followed).kind;
            kind != files::Entry::Kind::Missing && kind != files::Entry::Kind::Folder)
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
    const auto given = picturePath(s);
    pictures_.insert(given.lexically_normal());
    for (const auto& folder : foldersOnTheWay(given))
        pictureFolders_.insert(folder.lexically_normal());
}

} // namespace qsim
