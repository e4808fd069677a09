// The lines of a scenario, from a file, standard input or text. A read error is
// told apart from the end, so unread input is never taken for a finished scenario.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qsim {

class Lines {
public:
    // An open file such as standard input; it stays open afterwards.
    explicit Lines(int descriptor);
    // The named file, open for as long as the reader lives; error() says why it
    // cannot be opened.
    static Lines ofFile(const std::filesystem::path& file);
    // The text, which must outlive the reader.
    static Lines ofText(std::string_view text);
    ~Lines();
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    // The next line, without its line feed; false at the end or after an error.
    bool next(std::string& line);
    // The system's words for a failed open or read, or that a line passed
    // `lineLimit`; empty while all is well.
    const std::string& error() const { return error_; }
    // True when the error is a line that passed the limit, which is not read further.
    bool lineTooLong() const { return tooLong_; }

    // No scenario line comes near this; a longer one is an error, not a memory hog.
    static constexpr std::size_t lineLimit = std::size_t{1} << 20;

private:
    Lines(int descriptor, bool owned, std::string_view text, std::string error);
    bool fill();

    int descriptor_ = -1;
    bool owned_ = false;
    bool end_ = false;
    bool tooLong_ = false;
    std::string buffer_;
    std::string_view unread_;
    std::string error_;
};

} // namespace qsim
