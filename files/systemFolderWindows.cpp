// Folders on Windows, through wide paths.
#include <cstdio>
#include <string>
#include <string_view>

#include "systemCallsWindows.h"
#include "systemFile.h"

namespace files::os {

bool makeFolder(const std::filesystem::path& path)
{
    return systemCalls().CreateDirectoryW(path.c_str(), nullptr) != 0;
}

bool removeFolder(const std::filesystem::path& path)
{
    return systemCalls().RemoveDirectoryW(path.c_str()) != 0;
}

bool removeName(const std::filesystem::path& path) { return systemCalls().DeleteFileW(path.c_str()) != 0; }

// An empty folder still lists "." and ".."; a search that finds nothing ends
// with no more files, which is no error.
bool listFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names)
{
    SystemCalls& system = systemCalls();
    WIN32_FIND_DATAW found{};
    const HANDLE search = system.FindFirstFileW((folder / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (const std::wstring_view name = found.cFileName; name != L"." && name != L"..")
            names.push_back(folder / found.cFileName);
    } while (system.FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    system.FindClose(search);
    SetLastError(error);
    return error == ERROR_NO_MORE_FILES;
}

// Held open without letting others write or delete it: another claim is refused
// (a sharing violation), while a reader of the note gets in. The system removes the
// file when the handle closes, however the process ends.
Native claim(const std::filesystem::path& path, bool& byOther)
{
    const HANDLE file = systemCalls().CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    byOther = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    return file == INVALID_HANDLE_VALUE ? noFile : reinterpret_cast<Native>(file);
}

void unclaim(Native file, const std::filesystem::path&)
{
    systemCalls().CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool identity(const std::filesystem::path& folder, std::string& id)
{
    const HANDLE opened = systemCalls().CreateFileW(
        folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    FILE_ID_INFO found{};
    const bool known =
        systemCalls().GetFileInformationByHandleEx(opened, FileIdInfo, &found, sizeof found) != 0;
    const DWORD error = GetLastError();
    systemCalls().CloseHandle(opened);
    SetLastError(error);
    if (!known)
        return false;
    char text[2 * sizeof found.FileId.Identifier + 1] = {};
    for (std::size_t i = 0; i < sizeof found.FileId.Identifier; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", found.FileId.Identifier[i]);
    id = std::to_string(found.VolumeSerialNumber) + "-" + text;
    return true;
}

} // namespace files::os
