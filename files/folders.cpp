// Folders made and removed whole, from the one-step calls of systemFile.h.
#include "folders.h"

#include <thread>

#include "systemFile.h"

namespace files {
namespace {

namespace fs = std::filesystem;

// A folder that another thread keeps adding to is emptied again this often before
// its removal gives up.
constexpr int removalRounds = 100;

bool isFolder(const fs::path& path) { return entryAt(path, Links::Followed).kind == Entry::Kind::Folder; }

} // namespace

Entry entryAt(const fs::path& path, Links links)
{
    Entry entry = os::lookAt(path, links == Links::Followed);
    if (entry.kind == Entry::Kind::Unknown)
        entry.reason = os::lastError();
    return entry;
}

std::string makeFolders(const fs::path& folder)
{
    if (folder.empty() || isFolder(folder))
        return "";
    const fs::path above = folder.parent_path();
    if (above != folder) {
        if (std::string error = makeFolders(above); !error.empty())
            return error;
    }
    if (os::makeFolder(folder))
        return "";
    const std::string error = os::lastError();
    return isFolder(folder) ? "" : error; // made by another meanwhile, or given with a trailing separator
}

std::string removeFile(const fs::path& path)
{
    if (os::removeName(path))
        return "";
    const std::string error = os::lastError();
    return entryAt(path, Links::AsTheyAre).kind == Entry::Kind::Missing ? "" : error;
}

std::string removeTree(const fs::path& path)
{
    std::string error;
    for (int round = 0; round < removalRounds; ++round) {
        const Entry entry = entryAt(path, Links::AsTheyAre);
        if (entry.kind == Entry::Kind::Missing)
            return "";
        if (entry.kind != Entry::Kind::Folder)
            return removeFile(path);
        std::vector<fs::path> entries;
        if (error = listFolder(path, entries); !error.empty())
            return error;
        for (const fs::path& inside : entries) {
            if (error = removeTree(inside); !error.empty())
                return error;
        }
        if (os::removeFolder(path))
            return "";
        error = os::lastError(); // not empty again: something was added meanwhile
        std::this_thread::yield();
    }
    return error;
}

std::string listFolder(const fs::path& folder, std::vector<fs::path>& entries)
{
    entries.clear();
    return os::listFolder(folder, entries) ? "" : os::lastError();
}

namespace {

// A note is a line or two: more is not read.
constexpr std::size_t noteLimit = 4096;

std::string noteIn(const fs::path& path)
{
    const os::Native file = os::openForReading(path);
    if (file == os::noFile)
        return "";
    std::string note(noteLimit, '\0');
    const long long read = os::readSome(file, note.data(), note.size());
    os::close(file);
    note.resize(static_cast<std::size_t>(read > 0 ? read : 0));
    return note;
}

} // namespace

FolderClaim::FolderClaim(const fs::path& folder, const fs::path& claims, const std::string& prefix,
                         const std::string& note)
{
    std::string id;
    if (!os::identity(folder, id)) {
        problem_ = os::lastError();
        return;
    }
    path_ = claims / (prefix + id + ".claim");
    const os::Native file = os::claim(path_, byOther_);
    if (file == os::noFile) {
        if (byOther_)
            otherNote_ = noteIn(path_);
        else
            problem_ = os::lastError();
        return;
    }
    file_ = file;
    // The note only names the holder to another: a claim without one holds all the same.
    if (os::writeAll(file, note))
        os::cutHere(file);
}

FolderClaim::~FolderClaim()
{
    if (held())
        os::unclaim(file_, path_);
}

} // namespace files
