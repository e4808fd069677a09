// The system's file calls under the whole-file logic of wholeFile.cpp: one
// implementation per platform (systemFilePosix.cpp, systemFileWindows.cpp), which
// the build picks. A call that fails says so by its result; lastError() then gives
// the system's words.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "folders.h"
#include "wholeFile.h"

namespace files::os {

using Native = std::intptr_t; // a descriptor or a handle
inline constexpr Native noFile = -1;

// The system's own calls, in one table per platform (systemCallsPosix.h,
// systemCallsWindows.h). Everything below calls through it, so that a test can
// make any of them fail, on every platform.
struct SystemCalls;
SystemCalls& systemCalls();

// What a name leads to once every link on the way is followed.
struct Target {
    std::filesystem::path path; // the file itself, even one that does not exist yet
    enum class Kind { Missing, Regular, Other, Unknown } kind;
    unsigned permissions = 0; // of a regular file, where the platform has them
};
Target findTarget(const std::filesystem::path& path);

// A new file for writing: never an existing one, never through a link. It takes
// the permissions of `like` where the platform has them. On Windows the handle
// holds the right to delete the file, so no program that would keep it from being
// moved or deleted can open it while the handle is open.
Native createNew(const std::filesystem::path& path, const Target& like);
// True when the last createNew of the path failed because something has that name.
bool nameTaken(const std::filesystem::path& path);
// A file to read and write in place, created when missing. Neither open blocks on a pipe.
Native openInPlace(const std::filesystem::path& path);
Native openForReading(const std::filesystem::path& path);
// A file to read front to back: opening a pipe waits for its writer.
Native openStream(const std::filesystem::path& path);
// A copy of the process's standard input; noFile (which reads as an error) when it is closed.
Native standardInput();

// False for anything but a regular file.
bool regularSize(Native file, std::uint64_t& size);
// Writes every byte; a write that makes no progress is an error.
bool writeAll(Native file, std::string_view bytes);
// Up to `size` bytes: the count read, 0 at the end, -1 for an error.
long long readSome(Native file, char* buffer, std::size_t size);
// Cuts the file where the last write ended.
bool cutHere(Native file);
// The next read or write starts at the file's first byte.
bool toStart(Native file);
bool syncToDisk(Native file);
// False when the system reports an error at closing (a write it still had to do).
bool close(Native file);
// The end of writing a new file, false for a write lost on the way. Where the
// system reports such a write only at closing (POSIX), the file is closed here and
// `file` becomes noFile; on Windows it stays open until it is moved or discarded.
bool endWriting(Native& file);

// What the last failed open or cut says of another program holding the file
// (Windows): it has the file open and does not share what was asked, or it has
// the file mapped into memory, which keeps the file from getting shorter.
// Elsewhere no program keeps another from opening or cutting a file.
enum class Holder { None, Open, Mapped };
Holder holderOfLastError();

enum class Moved {
    Done,
    NotOnDisk, // moved, but the move itself may not have reached the disk
    Held,      // nothing moved: another program has the file open, and may let go (Windows)
    Refused,   // nothing moved, for good (a file mounted in its place, a folder that may not change)
};
// Moves the new file `from` over `to` in one step, with one try. `file` is its
// handle, or noFile once closed: where it is still open (Windows), the move goes
// through it, so no other program gets hold of the file before, and it is closed
// at once after; a refusal leaves it open, to discard the file. OnDisk: the move
// itself reaches the disk.
Moved move(Native& file, const std::filesystem::path& from, const std::filesystem::path& to,
           Durability durability);
// Deletes the new file and closes its handle if still open: through the handle
// where the system allows it, so that it goes even while another program reads it.
void discard(Native file, const std::filesystem::path& path);

// Keeps other processes from clearing leftovers in the folder while `lock` is
// open: false when one is clearing them now. Where a file can be removed only by
// its name (POSIX), this is what makes the file removed the one that was judged.
bool lockForClearing(const std::filesystem::path& folder, Native& lock);
// A file at a scratch name, as the clearing judges it. `file` is open where the
// system removes a file through its handle (Windows), and noFile elsewhere.
struct Found {
    Target::Kind kind;             // Missing, Regular, Other (a link too), or Unknown
    std::chrono::milliseconds age; // since it was last written: negative when dated in the future
    Native file;
};
Found findLeftover(const std::filesystem::path& path);
// Removes the file found there; its handle stays the caller's to close.
bool removeLeftover(Native file, const std::filesystem::path& path);

// What stands at the name, and how long ago it was last written; `follow`: what a
// link there leads to.
Entry lookAt(const std::filesystem::path& path, bool follow);
// Folders, one step each (systemFolderPosix.cpp, systemFolderWindows.cpp): a new
// folder, the removal of an empty one or of a file or link, and the names in one,
// joined to it, but for "." and "..".
bool makeFolder(const std::filesystem::path& path);
bool removeFolder(const std::filesystem::path& path);
bool removeName(const std::filesystem::path& path);
bool listFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names);

// Claims (systemFolderPosix.cpp, systemFolderWindows.cpp): a file that one process
// at a time holds, made at `path` when missing. noFile when it cannot be held;
// `byOther` then says whether another process holds it (else lastError says why).
Native claim(const std::filesystem::path& path, bool& byOther);
// Lets the claim go, and its file with it.
void unclaim(Native file, const std::filesystem::path& path);
// What names the folder whatever name it is reached by (its device and number).
bool identity(const std::filesystem::path& folder, std::string& id);

std::string lastError();

} // namespace files::os
