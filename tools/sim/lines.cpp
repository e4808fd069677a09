#include "lines.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#if defined(_WIN32)
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace qsim {
namespace {

constexpr std::size_t chunk = 64 * 1024;

std::string systemWords() { return std::generic_category().message(errno); }

#if defined(_WIN32)
int openForReading(const std::filesystem::path& file) { return _wopen(file.c_str(), _O_RDONLY | _O_BINARY); }
int readSome(int descriptor, char* buffer, std::size_t size)
{
    return _read(descriptor, buffer, static_cast<unsigned>(size));
}
void closeFile(int descriptor) { _close(descriptor); }
#else
int openForReading(const std::filesystem::path& file) { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC); }
int readSome(int descriptor, char* buffer, std::size_t size)
{
    return static_cast<int>(::read(descriptor, buffer, size));
}
void closeFile(int descriptor) { ::close(descriptor); }
#endif

} // namespace

Lines::Lines(int descriptor) : descriptor_(descriptor) {}

Lines::Lines(int descriptor, bool owned, std::string_view text, std::string error)
    : descriptor_(descriptor), owned_(owned), end_(descriptor < 0), unread_(text), error_(std::move(error))
{
}

Lines Lines::ofFile(const std::filesystem::path& file)
{
    const int descriptor = openForReading(file);
    return Lines(descriptor, true, {}, descriptor < 0 ? systemWords() : "");
}

Lines Lines::ofText(std::string_view text) { return Lines(-1, false, text, ""); }

Lines::~Lines()
{
    if (owned_ && descriptor_ >= 0)
        closeFile(descriptor_);
}

bool Lines::next(std::string& line)
{
    line.clear();
    if (tooLong_)
        return false;
    for (;;) {
        const std::size_t end = unread_.find('\n');
        const std::size_t taken = std::min(end, unread_.size());
        if (line.size() + taken > lineLimit) {
            tooLong_ = true;
            error_ = "the line is longer than 1 MiB";
            return false;
        }
        line.append(unread_.substr(0, taken));
        if (end != std::string_view::npos) {
            unread_.remove_prefix(end + 1);
            return true;
        }
        unread_ = {};
        if (!fill())
            return error_.empty() && !line.empty(); // a last line without a line feed
    }
}

bool Lines::fill()
{
    if (end_ || !error_.empty())
        return false;
    buffer_.resize(chunk);
    int read = 0;
    do
        read = readSome(descriptor_, buffer_.data(), buffer_.size());
    while (read < 0 && errno == EINTR);
    if (read < 0)
        error_ = systemWords();
    end_ = read <= 0;
    unread_ = std::string_view(buffer_).substr(0, static_cast<std::size_t>(std::max(read, 0)));
    return read > 0;
}

} // namespace qsim
