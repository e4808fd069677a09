#include "wholeFile.h"

#include <algorithm>
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

// What a name leads to once every link on the way is followed.
struct Target {
    fs::path path; // the file itself, even one that does not exist yet
    enum class Kind { Missing, Regular, Other, Unknown } kind;
};

#if defined(_WIN32)

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system resolves the links (and, under Wine, the host's own links, which it
// does not show as such); the final name is the file they lead to.
Target findTarget(const fs::path& path)
{
    Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.isOpen()) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {path, missing ? Target::Kind::Missing : Target::Kind::Unknown};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file.get()) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file.get(), &information) &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(
            file.get(), name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            name.clear();
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(length); // the size it needs, with its terminator
    }
    return {name.empty() ? path : fs::path(name), regular ? Target::Kind::Regular : Target::Kind::Other};
}
Native createNew(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
bool alreadyExists() { return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS; }
Native openInPlace(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, shareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}
Native openForReading(const fs::path& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
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
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT); // a file that takes nothing and says nothing
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}
// Cuts the file where the last write ended.
bool cutHere(Native file) { return SetEndOfFile(file) != 0; }
// Reads up to `size` bytes; the count read, or -1.
long long readSome(Native file, char* buffer, std::size_t size)
{
    DWORD read = 0;
    return ReadFile(file, buffer, static_cast<DWORD>(size), &read, nullptr) ? static_cast<long long>(read)
                                                                            : -1;
}
bool syncToDisk(Native file) { return FlushFileBuffers(file) != 0; }
void keepMode(const fs::path&, Native) {}
// A rename with POSIX semantics: readers that allow deletion do not hold it up.
bool renamePosix(const fs::path& from, const fs::path& to)
{
    Handle file(CreateFileW(from.c_str(), DELETE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.isOpen())
        return false;
    const std::wstring& name = to.native();
    const DWORD nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::string buffer(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with the older ReplaceIfExists.
    const DWORD flags = 0x1 | FILE_RENAME_FLAG_POSIX_SEMANTICS; // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
    std::copy_n(reinterpret_cast<const char*>(&flags), sizeof flags, buffer.data());
    info->FileNameLength = nameBytes;
    std::copy_n(name.data(), name.size(), static_cast<wchar_t*>(info->FileName));
    // FileRenameInfoEx, which the headers declare only for newer targets.
    const auto renameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    return SetFileInformationByHandle(file.get(), renameInfoEx, info, static_cast<DWORD>(buffer.size())) != 0;
}
bool move(const fs::path& from, const fs::path& to, Durability durability)
{
    // A move that must reach the disk goes through MoveFileEx, which can write through.
    if (durability == Durability::Cached && renamePosix(from, to))
        return true;
    const DWORD error = GetLastError();
    if (durability == Durability::Cached && error != ERROR_INVALID_PARAMETER &&
        error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION)
        return false; // supported, and refused
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING |
                           (durability == Durability::OnDisk ? MOVEFILE_WRITE_THROUGH : 0));
}
void syncFolder(const fs::path&) {} // the move itself went through to the disk
void removeFile(const fs::path& path) { DeleteFileW(path.c_str()); }

#else

Target findTarget(fs::path path)
{
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            return {path, errno == ENOENT ? Target::Kind::Missing : Target::Kind::Unknown};
        if (!S_ISLNK(status.st_mode))
            return {path, S_ISREG(status.st_mode) ? Target::Kind::Regular : Target::Kind::Other};
        std::error_code error;
        fs::path next = fs::read_symlink(path, error);
        if (error)
            return {path, Target::Kind::Unknown};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {path, Target::Kind::Unknown}; // a loop: the system's own calls will say so
}
Native createNew(const fs::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}
bool alreadyExists() { return errno == EEXIST; }
// Non-blocking, so a pipe put there after the check cannot hold the caller.
Native openInPlace(const fs::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
}
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
            errno = EIO; // a file that takes nothing and says nothing
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
bool cutHere(Native file)
{
    const off_t end = ::lseek(file, 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(file, end) == 0;
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
bool move(const fs::path& from, const fs::path& to, Durability)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}
// The move itself reaches the disk only with its folder.
void syncFolder(const fs::path& folder)
{
    Handle handle(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.isOpen())
        ::fsync(handle.get());
}
void removeFile(const fs::path& path) { ::unlink(path.c_str()); }

#endif

// A scratch beside the file: the first of `.NAME.0.tmp`, `.NAME.1.tmp`, ... that
// the exclusive create can make. Names are taken only by writes under way or left
// by a crash, so a few are plenty.
constexpr int scratchNames = 64;
Native createScratch(const fs::path& target, fs::path& scratch)
{
    for (int number = 0; number < scratchNames; ++number) {
        fs::path name = ".";
        name += target.filename().native();
        name += "." + std::to_string(number) + ".tmp";
        scratch = target.parent_path() / name;
        const Native file = createNew(scratch);
        if (file != noFile || !alreadyExists())
            return file;
    }
    return noFile;
}

// Writes, syncs and closes; the system's words for the first failure, or nothing.
std::string finish(Handle& file, std::string_view bytes, bool cut, Durability durability)
{
    std::string reason;
    if (!writeAll(file.get(), bytes) || (cut && !cutHere(file.get())) ||
        (durability == Durability::OnDisk && !syncToDisk(file.get())))
        reason = lastError();
    if (!file.close() && reason.empty())
        reason = lastError();
    return reason;
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
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, size + 4096)), '\0');
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

FileWrite replaceWholeFile(const fs::path& path, std::string_view bytes, Durability durability)
{
    const Target target = findTarget(path);
    if (target.kind == Target::Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    fs::path scratchPath;
    Handle scratch(createScratch(target.path, scratchPath));
    if (!scratch.isOpen())
        return {FileWrite::Outcome::NoScratch, lastError()};
    keepMode(target.path, scratch.get());
    if (std::string reason = finish(scratch, bytes, false, durability); !reason.empty()) {
        removeFile(scratchPath);
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    }
    if (!move(scratchPath, target.path, durability)) {
        std::string reason = lastError();
        removeFile(scratchPath);
        return {FileWrite::Outcome::NotMoved, std::move(reason)};
    }
    if (durability == Durability::OnDisk)
        syncFolder(target.path.parent_path());
    return {FileWrite::Outcome::Written, {}};
}

FileWrite overwriteWholeFile(const fs::path& path, std::string_view bytes)
{
    const Target target = findTarget(path);
    if (target.kind == Target::Kind::Other)
        return {FileWrite::Outcome::NotRegular, {}};
    Handle file(openInPlace(target.path));
    std::uint64_t size = 0;
    if (!file.isOpen())
        return {FileWrite::Outcome::NotWritten, lastError()};
    if (!isRegularOfSize(file.get(), size))
        return {FileWrite::Outcome::NotRegular, {}}; // something else took its place since
    if (std::string reason = finish(file, bytes, true, Durability::Cached); !reason.empty())
        return {FileWrite::Outcome::NotWritten, std::move(reason)};
    return {FileWrite::Outcome::Written, {}};
}
