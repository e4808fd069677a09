// Folders and what stands in them, for the tools: looked at, made, listed and
// removed through the system calls of systemFile.h, so that a failure says why in
// the system's words and a test can make any of them fail.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace files {

// What stands at a name.
struct Entry {
    enum class Kind { Missing, File, Folder, Link, Other, Unknown } kind; // Other: a pipe, a device, a socket
    std::chrono::milliseconds age{}; // since it was last written: negative when dated in the future
    std::string reason;              // the system's words, when Unknown
};
enum class Links { Followed, AsTheyAre };
// A link as it is, or what it leads to: Missing for a link that leads nowhere.
Entry entryAt(const std::filesystem::path& path, Links links);

// Makes the folder and every missing one on the way to it: "" when it is there,
// or the system's words.
std::string makeFolders(const std::filesystem::path& folder);
// Removes a file or a link (never what it leads to): "" when nothing is left.
std::string removeFile(const std::filesystem::path& path);
// Removes the folder with everything in it, links not followed: "" when nothing is
// left, also when another thread adds to it meanwhile.
std::string removeTree(const std::filesystem::path& path);
// Every name in the folder, joined to it: "" or the system's words.
std::string listFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& entries);

// A folder that one process at a time may use, while the claim is alive: another
// process's claim of it, by any of its names, is refused and reads the note the
// holder left (who it is). The claim is a small file in `claims` named for the
// folder's identity, after `prefix`, and goes with the claim.
class FolderClaim {
public:
    FolderClaim(const std::filesystem::path& folder, const std::filesystem::path& claims,
                const std::string& prefix, const std::string& note);
    ~FolderClaim();
    FolderClaim(const FolderClaim&) = delete;
    FolderClaim& operator=(const FolderClaim&) = delete;

    bool held() const { return file_ != -1; }
    // When not held: another holder's note (or "" when it left none, yet or at all), with `byOther`.
    bool byOther() const { return byOther_; }
    const std::string& otherNote() const { return otherNote_; }
    // When not held and not by another: the system's words.
    const std::string& problem() const { return problem_; }

private:
    std::intptr_t file_ = -1;
    std::filesystem::path path_;
    bool byOther_ = false;
    std::string otherNote_, problem_;
};

} // namespace files
