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

namespace {
// Bytes are written in pieces of this size, not a call per line.
constexpr std::size_t pieceSize = std::size_t{64} << 10;
} // namespace

NewFile::NewFile(const std::filesystem::path& path)
    : file_(os::createNew(path, os::Target{path, os::Target::Kind::Missing}))
{
    if (file_ == os::noFile)
        error_ = os::lastError();
}

NewFile::~NewFile()
{
    if (file_ != os::noFile)
        os::close(file_);
}

bool NewFile::append(std::string_view bytes)
{
    if (!error_.empty())
        return false;
    pending_.append(bytes);
    return pending_.size() < pieceSize || flush();
}

bool NewFile::flush()
{
    if (!os::writeAll(file_, pending_))
        error_ = os::lastError();
    pending_.clear();
    return error_.empty();
}

std::string NewFile::finish()
{
    if (error_.empty() && flush() && !os::close(std::exchange(file_, os::noFile)))
        error_ = os::lastError();
    return error_;
}

} // namespace files
