// Files read and written whole. A reader of a written file sees its old content
// or its new content, never a part: the new bytes go to a scratch file beside it,
// created new (never an existing file, never through a link) and moved over it in
// one step. A file that is a link stays a link; the file it points at is replaced.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

struct FileRead {
    enum class Outcome { Read, Missing, NotRegular, TooLarge, Failed } outcome;
    std::string bytes;
    std::string reason; // the system's words, when Failed
};

// The bytes of a regular file of at most `limit` bytes. Anything else (a folder, a
// pipe, a device) is not opened for reading, so it can neither block nor flood.
FileRead readWholeFile(const std::filesystem::path& path, std::size_t limit);

struct FileWrite {
    enum class Outcome { Written, NotWritten, NotMoved } outcome;
    std::string reason; // the system's words, when not Written
    bool written() const { return outcome == Outcome::Written; }
};

// Replaces the file with the bytes through a scratch file, which is removed after
// any failure. NotWritten: the file is untouched. NotMoved: the scratch was whole
// but the file could not be replaced (on Windows a reader may hold it). With
// `toDisk` the scratch reaches the disk before the move, and the folder after it.
FileWrite replaceWholeFile(const std::filesystem::path& path, std::string_view bytes, bool toDisk);

// Truncates the file (through a link, the file it points at) and writes the bytes
// in place, for a file that cannot be replaced.
FileWrite overwriteWholeFile(const std::filesystem::path& path, std::string_view bytes);
