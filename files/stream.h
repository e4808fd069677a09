// Files read or written front to back once. A Stream reads a scenario file, a
// pipe, standard input: unlike readWholeFile, opening a pipe waits for its writer,
// as a reader of a stream must. A NewFile writes a copy kept aside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace files {

class Stream {
public:
    using Native = std::intptr_t; // a descriptor or a handle

    // The named file; error() says why it cannot be opened.
    static Stream open(const std::filesystem::path& path);
    // A copy of the process's standard input, so that when standard input is
    // closed, no file the program opens later can take its place.
    static Stream standardInput();
    // Takes over an open file; one that is not open reads as an error.
    explicit Stream(Native file) : file_(file) {}
    ~Stream();
    Stream(Stream&& other) noexcept;
    Stream& operator=(Stream&&) = delete;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Up to `size` bytes: the count, 0 at the end, -1 for an error.
    long long read(char* buffer, std::size_t size);
    // The system's words for a failed open or read; empty while all is well.
    const std::string& error() const { return error_; }

private:
    Native file_;
    std::string error_;
};

// A new file written in pieces, never an existing file nor through a link. The
// first failure is kept, in the system's words, and ends the writing.
class NewFile {
public:
    explicit NewFile(const std::filesystem::path& path);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // False once anything failed.
    bool append(std::string_view bytes);
    // Writes what is left and closes the file: "" when every byte is in it, or why not.
    std::string finish();

private:
    bool flush();

    std::intptr_t file_;
    std::string pending_;
    std::string error_;
};

} // namespace files
