#include "lines.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace qsim {
namespace {
constexpr std::size_t chunk = 64 * 1024;
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
} // namespace

Lines::Lines(files::Stream stream) : stream_(std::move(stream)), end_(!stream_->error().empty()) {}

const std::string& Lines::error() const
{
    static const std::string none;
    return tooLong_ ? tooLongError_ : stream_ ? stream_->error() : none;
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
            return false;
        }
        line.append(unread_.substr(0, taken));
        if (end != std::string_view::npos) {
            unread_.remove_prefix(end + 1);
            if (line.ends_with('\r'))
                line.pop_back(); // a CR LF line end; a CR that ends no line stays, and is refused
            return withoutMark(line);
        }
        unread_ = {};
        if (!fill())
            return error().empty() && !line.empty() && withoutMark(line); // a last line without a line feed
    }
}

bool Lines::withoutMark(std::string& line)
{
    if (std::exchange(first_, false) && line.starts_with(byteOrderMark))
        line.erase(0, std::size(byteOrderMark) - 1);
    return true;
}

bool Lines::fill()
{
    if (end_)
        return false;
    buffer_.resize(chunk);
    const long long read = stream_->read(buffer_.data(), buffer_.size());
    end_ = read <= 0;
    unread_ = std::string_view(buffer_).substr(0, static_cast<std::size_t>(std::max(read, 0LL)));
    return read > 0;
}

} // namespace qsim
