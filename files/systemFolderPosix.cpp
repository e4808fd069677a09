// Folders on Linux and other POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <string_view>

#include "systemCallsPosix.h"
#include "systemFile.h"

namespace files::os {

bool makeFolder(const std::filesystem::path& path) { return systemCalls().mkdir(path.c_str(), 0777) == 0; }

bool removeFolder(const std::filesystem::path& path) { return systemCalls().rmdir(path.c_str()) == 0; }

bool removeName(const std::filesystem::path& path) { return systemCalls().unlink(path.c_str()) == 0; }

// The end of the names and a failed read both give null; errno tells them apart.
bool listFolder(const std::filesystem::path& folder, std::vector<std::filesystem::path>& names)
{
    SystemCalls& system = systemCalls();
    DIR* const listing = system.opendir(folder.c_str());
    if (listing == nullptr)
        return false;
    for (;;) {
        errno = 0;
        const dirent* entry = system.readdir(listing);
        if (entry == nullptr)
            break;
        if (const std::string_view name = entry->d_name; name != "." && name != "..")
            names.push_back(folder / entry->d_name);
    }
    const int error = errno;
    system.closedir(listing);
    errno = error;
    return error == 0;
}

} // namespace files::os
