// The program's own file calls come first in symbol lookup, so the standard
// library and the loaded plugin module call these.
#include "faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <string>

namespace {
std::atomic<bool> renamesFail{false};
std::atomic<bool> readsFail{false};
std::atomic<int> readsBeforeFailing{0};
std::atomic<int> failingCall{-1};
std::atomic<int> syncs{0};
std::string failingFolder, failingFolderAsGiven;
dev_t failingDevice = 0;
ino_t failingInode = 0;

template <class Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool failing(support::FileCall call) { return failingCall == static_cast<int>(call); }

bool underFailingFolder(const std::string& path)
{
    return path.starts_with(failingFolder + "/") || path.starts_with(failingFolderAsGiven + "/");
}

// Only regular files under the failing folder: the test's own output goes on.
bool underFailingFolder(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), path, sizeof path);
    return length > 0 && underFailingFolder(std::string(path, std::size_t(length)));
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

extern "C" int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    if (failing(support::FileCall::Create) && (flags & O_EXCL) != 0 && underFailingFolder(path)) {
        errno = EACCES;
        return -1;
    }
    static auto real = next<int (*)(const char*, int, ...)>("open");
    return real(path, flags, mode);
}

extern "C" ssize_t read(int descriptor, void* buffer, size_t size)
{
    struct stat status {};
    if (readsFail && fstat(descriptor, &status) == 0 && status.st_dev == failingDevice &&
        status.st_ino == failingInode && readsBeforeFailing-- <= 0) {
        errno = EIO;
        return -1;
    }
    static auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    return real(descriptor, buffer, size);
}

extern "C" ssize_t write(int descriptor, const void* buffer, size_t size)
{
    if (failing(support::FileCall::Write) && underFailingFolder(descriptor)) {
        errno = ENOSPC;
        return -1;
    }
    static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    return real(descriptor, buffer, size);
}

// The file is closed all the same, as the system does when it reports an error there.
extern "C" int close(int descriptor)
{
    const bool fails = failing(support::FileCall::Close) && underFailingFolder(descriptor);
    static auto real = next<int (*)(int)>("close");
    const int closed = real(descriptor);
    if (fails && closed == 0) {
        errno = EIO;
        return -1;
    }
    return closed;
}

extern "C" int fsync(int descriptor)
{
    ++syncs;
    static auto real = next<int (*)(int)>("fsync");
    return real(descriptor);
}

namespace support {

FailingCalls::FailingCalls(const std::filesystem::path& folder, FileCall call)
{
    failingFolder = std::filesystem::canonical(folder).string();
    failingFolderAsGiven = folder.string();
    failingCall = static_cast<int>(call);
}
FailingCalls::~FailingCalls() { failingCall = -1; }

int diskSyncs() { return syncs; }

FailingRenames::FailingRenames() { renamesFail = true; }
FailingRenames::~FailingRenames() { renamesFail = false; }

FailingReads::FailingReads(const std::filesystem::path& file, int readsFirst)
{
    readsBeforeFailing = readsFirst;
    struct stat status {};
    stat(file.c_str(), &status);
    failingDevice = status.st_dev;
    failingInode = status.st_ino;
    readsFail = true;
}
FailingReads::~FailingReads() { readsFail = false; }

} // namespace support
