// The file calls on Linux and other POSIX systems.
#include "systemFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace files::os {
namespace {

namespace fs = std::filesystem;

int descriptor(Native file) { return static_cast<int>(file); }

// As many links as the system itself follows before it gives up.
constexpr int linkHops = 40;

} // namespace

Target findTarget(const fs::path& named)
{
    fs::path path = named;
    for (int hops = 0; hops < linkHops; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            return {path, errno == ENOENT ? Target::Kind::Missing : Target::Kind::Unknown};
        if (!S_ISLNK(status.st_mode))
            return {path, S_ISREG(status.st_mode) ? Target::Kind::Regular : Target::Kind::Other};
        std::error_code error;
        const fs::path next = fs::read_symlink(path, error);
        if (error)
            return {path, Target::Kind::Unknown};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {path, Target::Kind::Unknown}; // a loop: the system's own calls will say so
}

Native createNew(const fs::path& path, const fs::path& like)
{
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    struct stat status {};
    if (file >= 0 && ::stat(like.c_str(), &status) == 0)
        ::fchmod(file, status.st_mode & 07777);
    return file;
}

bool nameTaken(const fs::path&) { return errno == EEXIST; }

Native openInPlace(const fs::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
}

Native openForReading(const fs::path& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

Native openStream(const fs::path& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

Native standardInput() { return ::fcntl(0, F_DUPFD_CLOEXEC, 0); }

bool regularSize(Native file, std::uint64_t& size)
{
    struct stat status {};
    if (::fstat(descriptor(file), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor(file), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = EIO;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

long long readSome(Native file, char* buffer, std::size_t size)
{
    ssize_t read = 0;
    do
        read = ::read(descriptor(file), buffer, size);
    while (read < 0 && errno == EINTR);
    return read;
}

bool cutHere(Native file)
{
    const off_t end = ::lseek(descriptor(file), 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(descriptor(file), end) == 0;
}

bool syncToDisk(Native file) { return ::fsync(descriptor(file)) == 0; }

bool close(Native file) { return ::close(descriptor(file)) == 0; }

// A network file system may report a write it could not do only here.
bool endWriting(Native& file) { return close(std::exchange(file, noFile)); }

bool move(Native, const fs::path& from, const fs::path& to, Durability durability)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    if (durability == Durability::OnDisk) {
        // The move itself reaches the disk only with its folder.
        const fs::path folder = to.parent_path();
        const int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle >= 0) {
            ::fsync(handle);
            ::close(handle);
        }
    }
    return true;
}

void remove(const fs::path& path) { ::unlink(path.c_str()); }

void discard(Native file, const fs::path& path)
{
    if (file != noFile)
        close(file);
    os::remove(path);
}

std::string lastError() { return std::generic_category().message(errno); }

} // namespace files::os
