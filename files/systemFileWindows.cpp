// The file calls on Windows, through wide paths.
#include "systemFile.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "systemCallsWindows.h"

namespace files::os {
namespace {

namespace fs = std::filesystem;

HANDLE handle(Native file) { return reinterpret_cast<HANDLE>(file); }
Native native(HANDLE file) { return reinterpret_cast<Native>(file); }

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ERROR_NO_SUCH_DEVICE, which not every set of headers names.
constexpr DWORD noSuchDevice = 433;

SystemCalls calls = {
    ::CreateFileW,
    ::CloseHandle,
    ::GetFileType,
    ::GetFileInformationByHandleEx,
    ::GetFinalPathNameByHandleW,
    ::GetFileAttributesW,
    ::GetFileSizeEx,
    ::ReadFile,
    ::WriteFile,
    ::SetEndOfFile,
    ::SetFilePointerEx,
    ::FlushFileBuffers,
    ::SetFileInformationByHandle,
    ::DeleteFileW,
    ::GetStdHandle,
    ::DuplicateHandle,
    ::CreateDirectoryW,
    ::RemoveDirectoryW,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::FindClose,
};

HANDLE openForAttributes(const fs::path& path, DWORD flags)
{
    return calls.CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// The name of an open file with every link on the way resolved; empty if the system cannot say.
fs::path finalName(HANDLE file)
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = calls.GetFinalPathNameByHandleW(
            file, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < name.size())
            return fs::path(name.substr(0, length));
        name.resize(length); // the size it needs, with its terminator
    }
}

// The file is a link itself when the system's final name for it is not its
// folder's final name with the file's own name: the system may spell a name
// otherwise (it drops a trailing dot), so a path that is no link is used as given.
fs::path resolved(const fs::path& path, HANDLE file)
{
    const fs::path whole = finalName(file);
    const HANDLE folder = openForAttributes(path.parent_path().empty() ? "." : path.parent_path(), 0);
    if (whole.empty() || folder == INVALID_HANDLE_VALUE) {
        if (folder != INVALID_HANDLE_VALUE)
            calls.CloseHandle(folder);
        return whole.empty() ? path : whole;
    }
    const std::wstring direct = (finalName(folder) / path.filename()).native();
    calls.CloseHandle(folder);
    const std::wstring& final = whole.native();
    const bool same = CompareStringOrdinal(direct.c_str(), static_cast<int>(direct.size()), final.c_str(),
                                           static_cast<int>(final.size()), TRUE) == CSTR_EQUAL;
    return same ? path : whole;
}

// Only the basic facts: asking for everything (GetFileInformationByHandle) also
// asks for the volume, which takes Wine most of a millisecond, at every update.
Target::Kind kindOf(HANDLE file, FILE_BASIC_INFO& information)
{
    if (calls.GetFileType(file) != FILE_TYPE_DISK ||
        !calls.GetFileInformationByHandleEx(file, FileBasicInfo, &information, sizeof information))
        return Target::Kind::Other;
    return (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Target::Kind::Other
                                                                        : Target::Kind::Regular;
}

} // namespace

SystemCalls& systemCalls() { return calls; }

// The system resolves links, Wine's host links too, which it does not show as
// links. A Unix socket seen through Wine cannot be opened at all (no such device).
Target findTarget(const fs::path& path)
{
    const HANDLE file = openForAttributes(path, 0);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {path, Target::Kind::Missing};
        return {path, error == noSuchDevice ? Target::Kind::Other : Target::Kind::Unknown};
    }
    FILE_BASIC_INFO information{};
    const Target::Kind kind = kindOf(file, information);
    const fs::path target = resolved(path, file);
    calls.CloseHandle(file);
    return {target, kind};
}

// Shared with everyone, so that a reader allowing deletion may open the file once
// it bears its final name; a program that opens new files as they appear (a
// scanner, an indexer) and would not let them be deleted cannot open it.
Native createNew(const fs::path& path, const Target&)
{
    return native(calls.CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, shareAll, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A file still held open by another program after its deletion keeps its name, and
// is refused with access denied rather than with the name taken.
bool nameTaken(const fs::path& path)
{
    const DWORD error = GetLastError();
    const bool taken =
        error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
        (error == ERROR_ACCESS_DENIED && calls.GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    SetLastError(error);
    return taken;
}

Native openInPlace(const fs::path& path)
{
    return native(calls.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

Native openForReading(const fs::path& path)
{
    return native(calls.CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

Native openStream(const fs::path& path) { return openForReading(path); }

Native standardInput()
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE in = calls.GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE ||
        !calls.DuplicateHandle(GetCurrentProcess(), in, GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
        return noFile;
    return native(copy);
}

bool regularSize(Native file, std::uint64_t& size)
{
    LARGE_INTEGER length{};
    if (calls.GetFileType(handle(file)) != FILE_TYPE_DISK || !calls.GetFileSizeEx(handle(file), &length))
        return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!calls.WriteFile(handle(file), bytes.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

long long readSome(Native file, char* buffer, std::size_t size)
{
    DWORD read = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    return calls.ReadFile(handle(file), buffer, chunk, &read, nullptr) ? static_cast<long long>(read) : -1;
}

bool cutHere(Native file) { return calls.SetEndOfFile(handle(file)) != 0; }

bool toStart(Native file)
{
    return calls.SetFilePointerEx(handle(file), LARGE_INTEGER{}, nullptr, FILE_BEGIN) != 0;
}

bool syncToDisk(Native file) { return calls.FlushFileBuffers(handle(file)) != 0; }

bool close(Native file) { return calls.CloseHandle(handle(file)) != 0; }

// The handle stays open, so that no other program gets hold of the file before it
// is moved or discarded.
bool endWriting(Native&) { return true; }

Holder holderOfLastError()
{
    switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION: return Holder::Open;
    case ERROR_USER_MAPPED_FILE: return Holder::Mapped;
    default: return Holder::None;
    }
}

namespace {

// A move onto a file that another program has open is refused, whatever it shares
// (Wine); it may pass once that program lets go.
bool refusedByHolder(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

// A reader woken by the move may open the file while the handle that moved it is
// still open, be turned away (that handle holds the right to delete it), and hear
// of no later change. So the file's last-write time is set once that handle has
// closed: a last change they are told of. The handle that sets it takes no part
// in sharing, so no reader refuses it. Best effort: the figures are in place.
void announce(const fs::path& file)
{
    const HANDLE touched = calls.CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, shareAll, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (touched == INVALID_HANDLE_VALUE)
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    FILE_BASIC_INFO times{}; // zeros leave the other times and the attributes as they are
    times.LastWriteTime.QuadPart =
        static_cast<LONGLONG>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    calls.SetFileInformationByHandle(touched, FileBasicInfo, &times, sizeof times);
    calls.CloseHandle(touched);
}

} // namespace

// Renamed through the handle that wrote it: the handle keeps scanners out to the
// end, and holds the right to delete the file, which turns away every reader that
// does not share deletion, so it closes the moment the file has its new name.
// Flushing that handle after the rename is how the move itself is written through.
// One try: the game's thread never waits for another program to let go.
Moved move(Native& file, const fs::path&, const fs::path& to, Durability durability)
{
    const std::wstring& name = to.native();
    const std::size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> storage(size / sizeof(std::uint64_t) + 1); // aligned, zeroed
    auto* const rename = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(reinterpret_cast<char*>(storage.data()) + offsetof(FILE_RENAME_INFO, FileName), name.data(),
                rename->FileNameLength);
    if (!calls.SetFileInformationByHandle(handle(file), FileRenameInfo, rename, static_cast<DWORD>(size)))
        return refusedByHolder(GetLastError()) ? Moved::Held : Moved::Refused;
    const bool synced = durability == Durability::Cached || calls.FlushFileBuffers(handle(file));
    const DWORD error = GetLastError();
    close(std::exchange(file, noFile));
    announce(to);
    SetLastError(error);
    return synced ? Moved::Done : Moved::NotOnDisk;
}

void discard(Native file, const fs::path& path)
{
    FILE_DISPOSITION_INFO deleted{TRUE};
    const bool marked = file != noFile && calls.SetFileInformationByHandle(handle(file), FileDispositionInfo,
                                                                           &deleted, sizeof deleted) != 0;
    if (file != noFile)
        close(file);
    if (!marked)
        calls.DeleteFileW(path.c_str());
}

// A leftover is removed through the handle it was judged by, so no lock is needed.
bool lockForClearing(const fs::path&, Native& lock)
{
    lock = noFile;
    return true;
}

namespace {

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// What an open entry is, and how long ago it was last written.
Entry describe(HANDLE file)
{
    FILE_BASIC_INFO information{};
    Entry::Kind kind =
        kindOf(file, information) == Target::Kind::Regular ? Entry::Kind::File : Entry::Kind::Other;
    if ((information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        kind = Entry::Kind::Folder;
    if ((information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        kind = Entry::Kind::Link;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const long long ticks = static_cast<long long>(
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return {kind, std::chrono::milliseconds((ticks - information.LastWriteTime.QuadPart) / 10000), {}};
}

} // namespace

Found findLeftover(const fs::path& path)
{
    const HANDLE file =
        calls.CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {missing(GetLastError()) ? Target::Kind::Missing : Target::Kind::Unknown, {}, noFile};
    const Entry entry = describe(file);
    return {entry.kind == Entry::Kind::File ? Target::Kind::Regular : Target::Kind::Other, entry.age,
            native(file)};
}

Entry lookAt(const fs::path& path, bool follow)
{
    const HANDLE file = openForAttributes(path, follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const Entry::Kind kind = missing(error)          ? Entry::Kind::Missing
                                 : error == noSuchDevice ? Entry::Kind::Other
                                                         : Entry::Kind::Unknown;
        return {kind, {}, {}};
    }
    const Entry entry = describe(file);
    calls.CloseHandle(file);
    return entry;
}

bool removeLeftover(Native file, const fs::path&)
{
    FILE_DISPOSITION_INFO deleted{TRUE};
    return calls.SetFileInformationByHandle(handle(file), FileDispositionInfo, &deleted, sizeof deleted) != 0;
}

std::string lastError() { return std::system_category().message(static_cast<int>(GetLastError())); }

} // namespace files::os
