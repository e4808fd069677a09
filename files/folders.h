// Folders and what stands in them, for the tools: looked at, made, listed and
// removed through the system calls of systemFile.h, so that a failure says why in
// the system's words and a test can make any of them fail.
#pragma once

#include <chrono>
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

} // namespace files
