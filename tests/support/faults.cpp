// The program's own rename and read come first in symbol lookup, so the
// standard library and the loaded plugin module call these.
#include "faults.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <string>

namespace {
std::atomic<bool> renamesFail{false};
std::atomic<bool> readsFail{false};
std::atomic<bool> writesFail{false};
std::atomic<int> syncs{0};
std::string failingFolder;
dev_t failingDevice = 0;
ino_t failingInode = 0;

template <class Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int rename(const char* from, const char* to)
{
    if (renamesFail) {
        errno = EBUSY;
        return -1;
    }
    static auto real = next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

extern "C" ssize_t read(int descriptor, void* buffer, size_t size)
{
    struct stat status {};
    if (readsFail && fstat(descriptor, &status) == 0 && status.st_dev == failingDevice &&
        status.st_ino == failingInode) {
        errno = EIO;
        return -1;
    }
    static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    return real(descriptor, buffer, size);
}

// Only regular files under the failing folder: the test's own output goes on.
static bool underFailingFolder(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), path, sizeof path);
    return length > 0 && std::string(path, std::size_t(length)).starts_with(failingFolder + "/");
}

extern "C" ssize_t write(int descriptor, const void* buffer, size_t size)
{
    if (writesFail && underFailingFolder(descriptor)) {
        errno = ENOSPC;
        return -1;
    }
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    return real(descriptor, buffer, size);
}

extern "C" int fsync(int descriptor)
{
    ++syncs;
    static auto real = next<int (*)(int)>("fsync");
    return real(descriptor);
}

namespace support {

FailingWrites::FailingWrites(const std::filesystem::path& folder)
{
    failingFolder = std::filesystem::canonical(folder).string();
    writesFail = true;
}
FailingWrites::~FailingWrites() { writesFail = false; }

int diskSyncs() { return syncs; }

FailingRenames::FailingRenames() { renamesFail = true; }
FailingRenames::~FailingRenames() { renamesFail = false; }

FailingReads::FailingReads(const std::filesystem::path& file)
{
    struct stat status {};
    stat(file.c_str(), &status);
    failingDevice = status.st_dev;
    failingInode = status.st_ino;
    readsFail = true;
}
FailingReads::~FailingReads() { readsFail = false; }

} // namespace support
