// The file calls on Linux and other POSIX systems.
#include "systemFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>
#include <utility>

#include "systemCallsPosix.h"

namespace files::os {
namespace {

namespace fs = std::filesystem;

int descriptor(Native file) { return static_cast<int>(file); }

// As many links as the system itself follows before it gives up.
constexpr int linkHops = 40;

SystemCalls calls = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::close,
    ::lstat,
    ::stat,
    ::fstat,
    ::readlink,
    ::fchmod,
    ::read,
    ::write,
    ::lseek,
    ::ftruncate,
    ::fsync,
    ::rename,
    ::unlink,
    ::flock,
    [](int file) { return ::fcntl(file, F_DUPFD_CLOEXEC, 0); },
    ::mkdir,
    ::rmdir,
    ::opendir,
    ::readdir,
    ::closedir,
};

// What a link says, or false.
bool readLink(const fs::path& path, fs::path& next)
{
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = calls.readlink(path.c_str(), text.data(), text.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < text.size()) {
            next = text.substr(0, static_cast<std::size_t>(length));
            return true;
        }
        text.resize(text.size() * 2);
    }
}

Target::Kind kindOf(const struct stat& status)
{
    if (S_ISREG(status.st_mode))
        return Target::Kind::Regular;
    return Target::Kind::Other;
}

// A folder to sync or to lock; an empty one is the current folder.
int openFolder(const fs::path& folder)
{
    return calls.open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
}

} // namespace

SystemCalls& systemCalls() { return calls; }

Target findTarget(const fs::path& named)
{
    fs::path path = named;
    for (int hops = 0; hops < linkHops; ++hops) {
        struct stat status {};
        if (calls.lstat(path.c_str(), &status) != 0)
            return {path, errno == ENOENT ? Target::Kind::Missing : Target::Kind::Unknown};
        if (!S_ISLNK(status.st_mode))
            return {path, kindOf(status), static_cast<unsigned>(status.st_mode & 07777)};
        fs::path next;
        if (!readLink(path, next))
            return {path, Target::Kind::Unknown};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {path, Target::Kind::Unknown}; // a loop: the system's own calls will say so
}

Native createNew(const fs::path& path, const Target& like)
{
    const int file = calls.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file >= 0 && like.kind == Target::Kind::Regular)
        calls.fchmod(file, static_cast<mode_t>(like.permissions));
    return file;
}

bool nameTaken(const fs::path&) { return errno == EEXIST; }

Native openInPlace(const fs::path& path)
{
    return calls.open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
}

Native openForReading(const fs::path& path)
{
    return calls.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
}

Native openStream(const fs::path& path) { return calls.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0); }

Native standardInput() { return calls.dup(0); }

bool regularSize(Native file, std::uint64_t& size)
{
    struct stat status {};
    if (calls.fstat(descriptor(file), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = calls.write(descriptor(file), bytes.data(), bytes.size());
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
        read = calls.read(descriptor(file), buffer, size);
    while (read < 0 && errno == EINTR);
    return read;
}

bool cutHere(Native file)
{
    const off_t end = calls.lseek(descriptor(file), 0, SEEK_CUR);
    return end >= 0 && calls.ftruncate(descriptor(file), end) == 0;
}

bool toStart(Native file) { return calls.lseek(descriptor(file), 0, SEEK_SET) == 0; }

bool syncToDisk(Native file) { return calls.fsync(descriptor(file)) == 0; }

bool close(Native file) { return calls.close(descriptor(file)) == 0; }

// A network file system may report a write it could not do only here.
bool endWriting(Native& file) { return close(std::exchange(file, noFile)); }

// Opens, cuts and renames go through whoever holds the file open or mapped.
Holder holderOfLastError() { return Holder::None; }

Moved move(Native&, const fs::path& from, const fs::path& to, Durability durability)
{
    if (calls.rename(from.c_str(), to.c_str()) != 0)
        return Moved::Refused;
    if (durability == Durability::Cached)
        return Moved::Done;
    // The move itself reaches the disk only with its folder.
    const int handle = openFolder(to.parent_path());
    if (handle < 0)
        return Moved::NotOnDisk;
    const bool synced = calls.fsync(handle) == 0;
    const int error = errno;
    calls.close(handle);
    errno = error;
    return synced ? Moved::Done : Moved::NotOnDisk;
}

void discard(Native file, const fs::path& path)
{
    if (file != noFile)
        close(file);
    calls.unlink(path.c_str());
}

// A lock on the folder itself, which every process clearing it takes.
bool lockForClearing(const fs::path& folder, Native& lock)
{
    lock = openFolder(folder);
    if (lock == noFile)
        return false;
    if (calls.flock(descriptor(lock), LOCK_EX | LOCK_NB) == 0)
        return true;
    const int error = errno;
    close(std::exchange(lock, noFile));
    errno = error;
    return false;
}

namespace {

// How long ago the file was last written.
std::chrono::milliseconds ageOf(const struct stat& status)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto age = std::chrono::seconds(now.tv_sec - status.st_mtim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - status.st_mtim.tv_nsec);
    return std::chrono::duration_cast<std::chrono::milliseconds>(age);
}

} // namespace

// Judged by its name: the lock on the folder keeps the name's file from changing
// hands before it is removed.
Found findLeftover(const fs::path& path)
{
    const Entry entry = lookAt(path, false);
    const Target::Kind kind = entry.kind == Entry::Kind::Missing   ? Target::Kind::Missing
                              : entry.kind == Entry::Kind::Unknown ? Target::Kind::Unknown
                              : entry.kind == Entry::Kind::File    ? Target::Kind::Regular
                                                                   : Target::Kind::Other;
    return {kind, entry.age, noFile};
}

Entry lookAt(const fs::path& path, bool follow)
{
    struct stat status {};
    if ((follow ? calls.stat : calls.lstat)(path.c_str(), &status) != 0)
        return {errno == ENOENT || errno == ENOTDIR ? Entry::Kind::Missing : Entry::Kind::Unknown, {}, {}};
    const Entry::Kind kind = S_ISREG(status.st_mode)   ? Entry::Kind::File
                             : S_ISDIR(status.st_mode) ? Entry::Kind::Folder
                             : S_ISLNK(status.st_mode) ? Entry::Kind::Link
                                                       : Entry::Kind::Other;
    return {kind, ageOf(status), {}};
}

bool removeLeftover(Native, const fs::path& path) { return calls.unlink(path.c_str()) == 0; }

std::string lastError() { return std::generic_category().message(errno); }

} // namespace files::os
