// Faults on Linux and other POSIX systems: each fails as the system would, with errno.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <system_error>
#include <utility>

#include "faultSlots.h"
#include "faults.h"
#include "systemCallsPosix.h"
#include "systemFile.h"

namespace support {
namespace {

using files::os::SystemCalls;

// The file a fault is for: by its names, and by its device and number once open.
struct Only {
    std::string name, canonical; // empty: every file
    bool folder = false;
    dev_t device = 0;
    ino_t inode = 0;
};
using Slot = faultSlots::Slot<Only>;
Slot& slot(Fault fault) { return faultSlots::slot<Only>(fault); }
template <class On> bool fires(Fault fault, On on) { return faultSlots::fires<Only>(fault, on); }
using faultSlots::meanwhileReal;

bool inFolder(const Slot& at, std::string_view path)
{
    return path == at.only.name || path == at.only.canonical || path.starts_with(at.only.name + "/") ||
           path.starts_with(at.only.canonical + "/");
}

// Whether a call on the open file, or on the named one, is one the fault is for.
bool within(const Slot& at, int file)
{
    if (at.only.name.empty())
        return true;
    struct stat status {};
    if (!at.only.folder)
        return at.real.fstat(file, &status) == 0 && status.st_dev == at.only.device &&
               status.st_ino == at.only.inode;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(file);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path);
    return length > 0 && inFolder(at, std::string_view(path, static_cast<std::size_t>(length)));
}
bool within(const Slot& at, const char* path) { return at.only.name.empty() || inFolder(at, path); }

int fail(int error)
{
    errno = error;
    return -1;
}

bool isFolder(Fault fault, int file)
{
    struct stat status {};
    return slot(fault).real.fstat(file, &status) == 0 && S_ISDIR(status.st_mode);
}

int errorOf(Fault fault)
{
    switch (fault) {
    case Fault::CreateRefused: return EACCES;
    case Fault::NameTaken: return EEXIST;
    case Fault::WriteFull:
    case Fault::CutFull:
    case Fault::SyncFull: return ENOSPC;
    case Fault::MoveRefused: return EBUSY;
    case Fault::RemoveRefused: return EACCES;
    default: return EIO;
    }
}

// Every call that could change a file fails from the crash on: opens, writes,
// cuts, permission changes, renames, removals. Descriptors still close, as the
// system closes them.
void patchCrash(SystemCalls& calls)
{
    calls.open = [](const char* path, int flags, mode_t mode) {
        return fires(Fault::Crash, path) ? fail(EIO) : slot(Fault::Crash).real.open(path, flags, mode);
    };
    calls.write = [](int file, const void* bytes, std::size_t size) -> ssize_t {
        return fires(Fault::Crash, file) ? fail(EIO) : slot(Fault::Crash).real.write(file, bytes, size);
    };
    calls.ftruncate = [](int file, off_t length) {
        return fires(Fault::Crash, file) ? fail(EIO) : slot(Fault::Crash).real.ftruncate(file, length);
    };
    calls.fchmod = [](int file, mode_t mode) {
        return fires(Fault::Crash, file) ? fail(EIO) : slot(Fault::Crash).real.fchmod(file, mode);
    };
    calls.rename = [](const char* from, const char* to) {
        return fires(Fault::Crash, from) ? fail(EIO) : slot(Fault::Crash).real.rename(from, to);
    };
    calls.unlink = [](const char* path) {
        return fires(Fault::Crash, path) ? fail(EIO) : slot(Fault::Crash).real.unlink(path);
    };
}

// Puts the failing call in the table's place for the fault.
void patch(SystemCalls& calls, Fault fault)
{
    switch (fault) {
    case Fault::CreateRefused: // no new file, and no new folder
        calls.open = [](const char* path, int flags, mode_t mode) {
            return (flags & O_EXCL) != 0 && fires(Fault::CreateRefused, path)
                       ? fail(EACCES)
                       : slot(Fault::CreateRefused).real.open(path, flags, mode);
        };
        calls.mkdir = [](const char* path, mode_t mode) {
            return fires(Fault::CreateRefused, path) ? fail(EACCES)
                                                     : slot(Fault::CreateRefused).real.mkdir(path, mode);
        };
        break;
    case Fault::NameTaken:
        calls.open = [](const char* path, int flags, mode_t mode) {
            return (flags & O_EXCL) != 0 && fires(Fault::NameTaken, path)
                       ? fail(EEXIST)
                       : slot(Fault::NameTaken).real.open(path, flags, mode);
        };
        break;
    case Fault::WriteFull:
        calls.write = [](int file, const void* bytes, std::size_t size) -> ssize_t {
            return fires(Fault::WriteFull, file) ? fail(ENOSPC)
                                                 : slot(Fault::WriteFull).real.write(file, bytes, size);
        };
        break;
    case Fault::CutFull:
        calls.ftruncate = [](int file, off_t length) {
            return fires(Fault::CutFull, file) ? fail(ENOSPC)
                                               : slot(Fault::CutFull).real.ftruncate(file, length);
        };
        break;
    case Fault::SyncFull:
        calls.fsync = [](int file) {
            return !isFolder(Fault::SyncFull, file) && fires(Fault::SyncFull, file)
                       ? fail(ENOSPC)
                       : slot(Fault::SyncFull).real.fsync(file);
        };
        break;
    case Fault::FolderSyncFails:
        calls.fsync = [](int file) {
            return isFolder(Fault::FolderSyncFails, file) && fires(Fault::FolderSyncFails, file)
                       ? fail(EIO)
                       : slot(Fault::FolderSyncFails).real.fsync(file);
        };
        break;
    case Fault::CloseFails: // closed all the same, as the system does when it reports an error there
        calls.close = [](int file) {
            const bool fails = fires(Fault::CloseFails, file);
            const int closed = slot(Fault::CloseFails).real.close(file);
            return fails && closed == 0 ? fail(EIO) : closed;
        };
        break;
    case Fault::MoveRefused:
        calls.rename = [](const char* from, const char* to) {
            return fires(Fault::MoveRefused, from) ? fail(EBUSY)
                                                   : slot(Fault::MoveRefused).real.rename(from, to);
        };
        break;
    case Fault::ReadFails:
        calls.read = [](int file, void* buffer, std::size_t size) -> ssize_t {
            return fires(Fault::ReadFails, file) ? fail(EIO)
                                                 : slot(Fault::ReadFails).real.read(file, buffer, size);
        };
        break;
    case Fault::NotADiskFile:
        calls.fstat = [](int file, struct stat* status) {
            const int result = slot(Fault::NotADiskFile).real.fstat(file, status);
            if (result == 0 && S_ISREG(status->st_mode) && fires(Fault::NotADiskFile, file))
                status->st_mode = S_IFIFO | 0600;
            return result;
        };
        break;
    case Fault::RemoveRefused:
        calls.unlink = [](const char* path) {
            return fires(Fault::RemoveRefused, path) ? fail(EACCES)
                                                     : slot(Fault::RemoveRefused).real.unlink(path);
        };
        break;
    case Fault::Crash: patchCrash(calls); break;
    case Fault::NameTakenDenied: // not POSIX failures
    case Fault::NoSuchDevice: break;
    }
}

} // namespace

Injected::Injected(SystemCalls& calls, Fault fault, int passFirst, const std::filesystem::path& only)
    : calls_(calls), fault_(fault)
{
    Slot& at = slot(fault);
    at = Slot{calls, passFirst, 0, {only.string(), {}, false, 0, 0}};
    struct stat status {};
    if (!only.empty() && ::stat(only.c_str(), &status) == 0) {
        at.only.canonical = std::filesystem::canonical(only).string();
        at.only.folder = S_ISDIR(status.st_mode);
        at.only.device = status.st_dev;
        at.only.inode = status.st_ino;
    }
    patch(calls, fault);
}

Injected::~Injected() { calls_ = slot(fault_).real; }

std::string Injected::says() const { return std::generic_category().message(errorOf(fault_)); }

int Injected::seen() const { return slot(fault_).seen; }

Meanwhile::Meanwhile(SystemCalls& calls, At at, std::function<void()> meanwhile) : calls_(calls)
{
    startMeanwhile(calls, std::move(meanwhile));
    switch (at) {
    case At::Write:
        calls.write = [](int file, const void* bytes, std::size_t size) {
            runMeanwhile();
            return meanwhileReal.write(file, bytes, size);
        };
        break;
    case At::Removal:
        calls.unlink = [](const char* path) {
            runMeanwhile();
            return meanwhileReal.unlink(path);
        };
        break;
    case At::Close:
        calls.close = [](int file) {
            const int closed = meanwhileReal.close(file);
            runMeanwhile();
            return closed;
        };
        break;
    case At::Moved:
        calls.rename = [](const char* from, const char* to) {
            const int moved = meanwhileReal.rename(from, to);
            if (moved == 0)
                runMeanwhile();
            return moved;
        };
        break;
    }
}

} // namespace support
