// Folders on Windows, through wide paths.
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

} // namespace files::os
