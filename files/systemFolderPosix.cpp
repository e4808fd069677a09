// Folders on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
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

// The lock goes with the process, however it ends. A claim whose file was removed
// by the holder letting go between this open and this lock is tried again, so that
// two processes never hold claims on two files of one name.
Native claim(const std::filesystem::path& path, bool& byOther)
{
    SystemCalls& system = systemCalls();
    byOther = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int file = system.open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0)
            return noFile;
        if (system.flock(file, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            system.close(file);
            byOther = error == EWOULDBLOCK;
            errno = error;
            return noFile;
        }
        struct stat held {
        }, named{};
        if (system.fstat(file, &held) == 0 && system.stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return file;
        system.close(file);
    }
    errno = EAGAIN;
    return noFile;
}

// Removed while still locked: whoever opens the name after finds a new file.
void unclaim(Native file, const std::filesystem::path& path)
{
    systemCalls().unlink(path.c_str());
    systemCalls().close(static_cast<int>(file));
}

bool identity(const std::filesystem::path& folder, std::string& id)
{
    struct stat status {};
    if (systemCalls().stat(folder.c_str(), &status) != 0)
        return false;
    id = std::to_string(status.st_dev) + "-" + std::to_string(status.st_ino);
    return true;
}

} // namespace files::os
