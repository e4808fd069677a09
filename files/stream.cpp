#include "stream.h"

#include <utility>

#include "systemFile.h"

namespace files {

Stream Stream::open(const std::filesystem::path& path)
{
    Stream stream(os::openStream(path));
    if (stream.file_ == os::noFile)
        stream.error_ = os::lastError();
    return stream;
}

Stream Stream::standardInput() { return Stream(os::standardInput()); }

Stream::Stream(Stream&& other) noexcept
    : file_(std::exchange(other.file_, os::noFile)), error_(std::move(other.error_))
{
}

Stream::~Stream()
{
    if (file_ != os::noFile)
        os::close(file_);
}

long long Stream::read(char* buffer, std::size_t size)
{
    const long long read = os::readSome(file_, buffer, size);
    if (read < 0)
        error_ = os::lastError();
    return read;
}

} // namespace files
