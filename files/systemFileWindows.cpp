// The file calls on Windows, through wide paths.
#include "systemFile.h"

#include <windows.h>

#include <algorithm>
#include <system_error>

namespace files::os {
namespace {

namespace fs = std::filesystem;

HANDLE handle(Native file) { return reinterpret_cast<HANDLE>(file); }
Native native(HANDLE file) { return reinterpret_cast<Native>(file); }

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The name of an open file with every link on the way resolved; empty if the system cannot say.
fs::path finalName(HANDLE file)
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < name.size())
            return fs::path(name.substr(0, length));
        name.resize(length); // the size it needs, with its terminator
    }
}

// A rename, through the new file's own handle, that readers allowing deletion do
// not hold up (POSIX semantics).
bool renamePosix(HANDLE file, const fs::path& to)
{
    const std::wstring& name = to.native();
    const auto nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::string buffer(sizeof(FILE_RENAME_INFO) + nameBytes, '\0');
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with the older ReplaceIfExists.
    const DWORD flags = 0x1 | FILE_RENAME_FLAG_POSIX_SEMANTICS; // 0x1: FILE_RENAME_FLAG_REPLACE_IF_EXISTS
    std::copy_n(reinterpret_cast<const char*>(&flags), sizeof flags, buffer.data());
    info->FileNameLength = nameBytes;
    std::copy_n(name.data(), name.size(), static_cast<wchar_t*>(info->FileName));
    // FileRenameInfoEx, which the headers declare only for newer targets.
    const auto renameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    return SetFileInformationByHandle(file, renameInfoEx, info, static_cast<DWORD>(buffer.size())) != 0;
}

bool unsupported(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION;
}

} // namespace

// The system resolves links, Wine's host links too, which it does not show as links.
Target findTarget(const fs::path& path)
{
    const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {path, missing ? Target::Kind::Missing : Target::Kind::Unknown};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(file, &information) &&
                         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const fs::path resolved = finalName(file);
    CloseHandle(file);
    return {resolved.empty() ? path : resolved, regular ? Target::Kind::Regular : Target::Kind::Other};
}

// Shared only with the move's own open: a program that opens new files as they
// appear (a scanner, an indexer) and would not let them be deleted cannot open it.
Native createNew(const fs::path& path, const fs::path&)
{
    return native(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A file still held open by another program after its deletion keeps its name, and
// is refused with access denied rather than with the name taken.
bool nameTaken(const fs::path& path)
{
    const DWORD error = GetLastError();
    const bool taken =
        error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
        (error == ERROR_ACCESS_DENIED && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    SetLastError(error);
    return taken;
}

Native openInPlace(const fs::path& path)
{
    return native(CreateFileW(path.c_str(), GENERIC_WRITE, shareAll, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

Native openForReading(const fs::path& path)
{
    return native(CreateFileW(path.c_str(), GENERIC_READ, shareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

Native openStream(const fs::path& path) { return openForReading(path); }

Native standardInput()
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), in, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return noFile;
    return native(copy);
}

bool regularSize(Native file, std::uint64_t& size)
{
    LARGE_INTEGER length{};
    if (GetFileType(handle(file)) != FILE_TYPE_DISK || !GetFileSizeEx(handle(file), &length))
        return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool writeAll(Native file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(handle(file), bytes.data(), chunk, &written, nullptr))
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
    return ReadFile(handle(file), buffer, chunk, &read, nullptr) ? static_cast<long long>(read) : -1;
}

bool cutHere(Native file) { return SetEndOfFile(handle(file)) != 0; }

bool syncToDisk(Native file) { return FlushFileBuffers(handle(file)) != 0; }

bool close(Native file) { return CloseHandle(handle(file)) != 0; }

// The handle stays open, so that no other program gets hold of the file before it
// is moved or discarded.
bool endWriting(Native&) { return true; }

// A move that must reach the disk goes through MoveFileEx, which can write through;
// the others try the POSIX rename first, where the system offers it.
bool move(Native file, const fs::path& from, const fs::path& to, Durability durability)
{
    if (durability == Durability::Cached && file != noFile) {
        if (renamePosix(handle(file), to))
            return true;
        if (!unsupported(GetLastError()))
            return false;
    }
    const DWORD through = durability == Durability::OnDisk ? MOVEFILE_WRITE_THROUGH : 0;
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | through) != 0;
}

void discard(Native file, const fs::path& path)
{
    FILE_DISPOSITION_INFO deleted{TRUE};
    const bool marked = file != noFile && SetFileInformationByHandle(handle(file), FileDispositionInfo,
                                                                     &deleted, sizeof deleted) != 0;
    if (file != noFile)
        close(file);
    if (!marked)
        DeleteFileW(path.c_str());
}

void remove(const fs::path& path) { DeleteFileW(path.c_str()); }

std::string lastError() { return std::system_category().message(static_cast<int>(GetLastError())); }

} // namespace files::os
