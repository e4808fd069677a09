// The lines of a scenario, from a stream (a file, standard input) or text. A read
// error is told apart from the end, so unread input is never taken for a finished
// scenario.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "conversions.h"
#include "stream.h"

namespace qsim {

class Lines {
public:
    explicit Lines(files::Stream stream);
    // The named file; error() says why it cannot be opened.
    static Lines ofFile(const std::filesystem::path& file) { return Lines(files::Stream::open(file)); }
    // The text, which must outlive the reader.
    static Lines ofText(std::string_view text) { return Lines(text); }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    // The next line, without its line end (LF or CR LF); false at the end or after an
    // error. A UTF-8 byte-order mark before the first, which editors on Windows write, is read.
    bool next(std::string& line);
    // The system's words for a failed open or read, or that a line passed
    // `lineLimit`; empty while all is well.
    const std::string& error() const;
    // True when the error is a line that passed the limit, which is not read further.
    bool lineTooLong() const { return tooLong_; }

    // No scenario line comes near this; a longer one is an error, not a memory hog.
    static constexpr std::size_t lineLimit = std::size_t{1} << 20;

private:
    explicit Lines(std::string_view text) : end_(true), unread_(text) {}
    bool fill();
    // Takes a byte-order mark off the first line; true.
    bool withoutMark(std::string& line);

    std::optional<files::Stream> stream_;
    bool end_ = false;
    bool tooLong_ = false;
    bool first_ = true;
    std::string buffer_;
    std::string_view unread_;
    std::string tooLongError_ = "the line is longer than " + files::sizeText(lineLimit);
};

} // namespace qsim
