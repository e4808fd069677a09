// The program's own rename and read come first in symbol lookup, so the
// standard library and the loaded plugin module call these.
#include "faults.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<bool> renamesFail{false};
std::atomic<bool> readsFail{false};
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

namespace support {

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
