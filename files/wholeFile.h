// Files read and written whole. A reader of a replaced file sees its old content
// or its new content, never a part: the new bytes go to a scratch file beside it,
// created new (never an existing file, never through a link) and moved over it in
// one step. A file that is a link stays a link; the file it points at is replaced.
// Only a regular file, or nothing yet, is ever written: a folder, pipe, device or
// socket (behind a link too) is left as it is.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace files {

// What stands where no regular file does, as every message says it.
inline constexpr char notRegularFile[] = "not a regular file";

struct FileRead {
    enum class Outcome { Read, Missing, NotRegular, TooLarge, Failed } outcome;
    std::string bytes;
    std::string reason;    // the system's words, when Failed
    std::size_t limit = 0; // the largest file that is read
    // Why nothing was read ("no such file", "larger than 4 MiB", the system's words).
    std::string says() const;
};

// The bytes of a regular file of at most `limit` bytes. Anything else (a folder, a
// pipe, a device) is not opened for reading, so it can neither block nor flood.
FileRead readWholeFile(const std::filesystem::path& path, std::size_t limit);

struct FileWrite {
    enum class Outcome {
        Written,
        NotRegular, // no regular file is there: nothing was done
        NoScratch,  // no file could be made beside it: the file is untouched
        NotWritten, // the new bytes could not be written whole: the file is untouched
        NotMoved,   // the new bytes were whole but could not replace the file
        NotOnDisk,  // the new bytes replaced the file, but the move may not have reached the disk
        Held,       // another program holds the file and refuses the change: the file is untouched
    } outcome;
    std::string reason; // the system's words, or what holds the file, when not Written
    bool written() const { return outcome == Outcome::Written; }
    // What the console says of a write that did not go through, after the file's name.
    std::string says() const
    {
        if (outcome == Outcome::NotRegular)
            return std::string("left as it is: ") + notRegularFile;
        if (outcome == Outcome::NotOnDisk)
            return "replaced, but the move may not have reached the disk: " + reason;
        return "cannot write: " + reason;
    }
};

// Whether a replaced file must reach the disk before the call returns.
enum class Durability { Cached, OnDisk };

// Replaces the file with the bytes through a scratch file, which is removed after
// any failure. A name found taken clears the leftovers first (see clearLeftovers).
// OnDisk: the scratch reaches the disk before the move, and the move after it.
FileWrite replaceWholeFile(const std::filesystem::path& path, std::string_view bytes, Durability durability);

// How an update of a polled file meets a program that holds the file open where
// that refuses the move (Windows).
enum class WhenHeld {
    Wait,         // not written (Held): a program polling the file lets go in a moment
    WriteInPlace, // written over in place if the holder lets others write: it may never let go
};

// For a small file that other programs poll: replaced whole, so that a reader finds
// the old bytes or the new ones, never a mix. Written in place only where it
// cannot be replaced for good (a file mounted in its place, a folder that may not
// change, every scratch name taken), or where a holder refuses the move, as `whenHeld` says.
// Never waits for another program: a refused move or open costs one try.
FileWrite updatePolledFile(const std::filesystem::path& path, std::string_view bytes, WhenHeld whenHeld);

// Removes the scratch files that crashes left beside the file: those last written
// more than a minute ago or dated in the future, never a younger one, which a write
// under way in another process may be using. Two processes never clear at once.
void clearLeftovers(const std::filesystem::path& path);

// For a file that cannot be replaced: writes the bytes over it from its start, then
// cuts it to their length if it was longer. If that fails after the first byte (a
// program that has the file mapped into memory refuses the cut), the old bytes are
// written back, so the file keeps its old text. A reader that looks meanwhile may
// see the new bytes followed by the stale end of longer old ones, never an empty
// file. Never blocks on a pipe.
FileWrite overwriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace files
