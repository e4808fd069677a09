#include "wholeFile.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>

#  include <cerrno>
#endif

namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
using Native = HANDLE;
const Native noFile = INVALID_HANDLE_VALUE;
std::string lastError() { return std::system_category().message(static_cast<int>(GetLastError())); }
#else
using Native = int;
constexpr Native noFile = -1;
std::string lastError() { return std::generic_category().message(errno); }
#endif

// An open file, closed when it goes.
class Handle {
public:
    explicit Handle(Native native = noFile) : native_(native) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool isOpen() const { return native_ != noFile; }
    Native get() const { return native_; }
    // False when the system reports an error at closing (a write it still had to do).
    bool close()
    {
        if (!isOpen())
            return true;
#if defined(_WIN32)
        const bool closed = CloseHandle(std::exchange(native_, noFile)) != 0;
#else
        const bool closed = ::close(std::exchange(native_, noFile)) == 0;
#endif
        return closed;
    }

private:
    Native native_;
};

#if defined(_WIN32)

Native createNew(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
bool alreadyExists() { return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS; }
Native createTruncated(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
Native openForReading(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
bool isRegularOfSize(Native file, std::uint64_t& size)
{
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length))
        return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}
bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}
// Reads up to `size` bytes; the count read, or -1.
long long readSome(Native file, char* buffer, std::size_t size)
{
    DWORD read = 0;
    return ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr) ? static_cast<long long>(read)
                                                                            : -1;
}
bool syncToDisk(Native file) { return FlushFileBuffers(file) != 0; }
void keepMode(const fs::path&, Native) {}
bool move(const fs::path& from, const fs::path& to, bool toDisk)
{
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | (toDisk ? MOVEFILE_WRITE_THROUGH : 0));
}
void syncFolder(const fs::path&) {} // the move itself went through to the disk
void removeFile(const fs::path& path) { DeleteFileW(path.c_str()); }

#else

Native createNew(const fs::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}
bool alreadyExists() { return errno == EEXIST; }
Native createTruncated(const fs::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
// Non-blocking, so a pipe put there after the check below cannot hold the load.
Native openForReading(const fs::path& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}
bool isRegularOfSize(Native file, std::uint64_t& size)
{
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}
bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(file, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = EIO; // a regular file that takes nothing and says nothing
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
        read = ::read(file, buffer, size);
    while (read < 0 && errno == EINTR);
    return read;
}
bool syncToDisk(Native file) { return ::fsync(file) == 0; }
// The new file takes the permissions of the one it replaces.
void keepMode(const fs::path& path, Native file)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0)
        ::fchmod(file, status.st_mode & 07777);
}
bool move(const fs::path& from, const fs::path& to, bool) { return ::rename(from.c_str(), to.c_str()) == 0; }
// The move itself reaches the disk only with its folder.
void syncFolder(const fs::path& folder)
{
    Handle handle(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.isOpen())
        ::fsync(handle.get());
}
void removeFile(const fs::path& path) { ::unlink(path.c_str()); }

#endif

// A name beside the file that no other write picks: the clock and a count of the
// names made. The exclusive create still refuses one that is taken.
fs::path scratchBeside(const fs::path& path)
{
    static std::uint64_t made = 0;
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    char digits[17];
    const char* end = std::to_chars(digits, digits + 16, ticks ^ (++made << 40), 16).ptr;
    std::string suffix = ".";
    suffix.append(static_cast<const char*>(digits), end).append(".tmp");
    fs::path name = ".";
    name += path.filename().native();
    name += suffix;
    return path.parent_path() / name;
}

// The file a path names once every link on the way is followed, even to a file
// that does not exist yet; the path itself when it is no link.
fs::path followLinks(fs::path path)
{
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        fs::path next = fs::read_symlink(path, error);
        if (error)
            return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

} // namespace

FileRead readWholeFile(const fs::path& path, std::size_t limit)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return {FileRead::Outcome::Missing, {}, {}};
    if (status.type() != fs::file_type::regular)
        return {error ? FileRead::Outcome::Failed : FileRead::Outcome::NotRegular, {}, error.message()};
    Handle file(openForReading(path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileRead::Outcome::Failed, {}, lastError()};
    if (!isRegularOfSize(file.get(), size))
        return {FileRead::Outcome::NotRegular, {}, {}};
    if (size > limit)
        return {FileRead::Outcome::TooLarge, {}, {}};
    // One byte more than the limit tells a file that grew past it since.
    std::string bytes(limit + 1 < size + 4096 ? limit + 1 : size + 4096, '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit)
                return {FileRead::Outcome::TooLarge, {}, {}};
            bytes.resize(std::min(limit + 1, bytes.size() * 2));
        }
        const long long read = readSome(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (read < 0)
            return {FileRead::Outcome::Failed, {}, lastError()};
        if (read == 0)
            break;
        filled += static_cast<std::size_t>(read);
    }
    bytes.resize(filled);
    return {FileRead::Outcome::Read, std::move(bytes), {}};
}

FileWrite replaceWholeFile(const fs::path& path, std::string_view bytes, bool toDisk)
{
    const fs::path target = followLinks(path);
    fs::path scratchPath;
    Native created = noFile;
    for (int attempt = 0; attempt < 16 && created == noFile; ++attempt) {
        scratchPath = scratchBeside(target);
        created = createNew(scratchPath);
        if (created == noFile && !alreadyExists())
            return {FileWrite::Outcome::NotWritten, lastError()};
    }
    if (created == noFile)
        return {FileWrite::Outcome::NotWritten, "no free name for a scratch file"};
    Handle scratch(created);
    keepMode(target, scratch.get());
    std::string reason;
    if (!writeAll(scratch.get(), bytes) || (toDisk && !syncToDisk(scratch.get())))
        reason = lastError();
    if (!scratch.close() && reason.empty())
        reason = lastError();
    if (!reason.empty()) {
        removeFile(scratchPath);
        return {FileWrite::Outcome::NotWritten, reason};
    }
    if (!move(scratchPath, target, toDisk)) {
        reason = lastError();
        removeFile(scratchPath);
        return {FileWrite::Outcome::NotMoved, reason};
    }
    if (toDisk)
        syncFolder(target.parent_path());
    return {FileWrite::Outcome::Written, {}};
}

FileWrite overwriteWholeFile(const fs::path& path, std::string_view bytes)
{
    Handle file(createTruncated(path));
    if (!file.isOpen())
        return {FileWrite::Outcome::NotWritten, lastError()};
    std::string reason;
    if (!writeAll(file.get(), bytes))
        reason = lastError();
    if (!file.close() && reason.empty())
        reason = lastError();
    if (!reason.empty())
        return {FileWrite::Outcome::NotWritten, reason};
    return {FileWrite::Outcome::Written, {}};
}
