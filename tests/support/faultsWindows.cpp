// Faults on Windows: each fails as the system would, with its last-error code.
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "faultSlots.h"
#include "faults.h"
#include "systemCallsWindows.h"
#include "systemFile.h"

namespace support {
namespace {

using files::os::SystemCalls;

// The file a fault is for: by its name, its final name, and its volume and index once open.
struct Only {
    std::wstring name, final; // empty: every file
    bool folder = false;
    DWORD volume = 0;
    ULONGLONG index = 0;
};
using Slot = faultSlots::Slot<Only>;
Slot& slot(Fault fault) { return faultSlots::slot<Only>(fault); }
template <class On> bool fires(Fault fault, On on) { return faultSlots::fires<Only>(fault, on); }
using faultSlots::meanwhileReal;
SystemCalls& real(Fault fault) { return slot(fault).real; }

bool identify(HANDLE file, DWORD& volume, ULONGLONG& index)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return false;
    volume = information.dwVolumeSerialNumber;
    index = (ULONGLONG{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    return true;
}

std::wstring finalName(const SystemCalls& calls, HANDLE file)
{
    std::wstring name(32768, L'\0');
    const DWORD length =
        calls.GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
    name.resize(length < name.size() ? length : 0);
    return name;
}

bool inFolder(std::wstring_view path, const std::wstring& folder)
{
    return !folder.empty() &&
           (path == folder || (path.starts_with(folder) && path.size() > folder.size() &&
                               (path[folder.size()] == L'\\' || path[folder.size()] == L'/')));
}

// Whether a call on the open file, or on the named one, is one the fault is for.
bool within(const Slot& at, HANDLE file)
{
    if (at.only.name.empty())
        return true;
    if (at.only.folder)
        return inFolder(finalName(at.real, file), at.only.final);
    DWORD volume = 0;
    ULONGLONG index = 0;
    return identify(file, volume, index) && volume == at.only.volume && index == at.only.index;
}
bool within(const Slot& at, LPCWSTR path) { return at.only.name.empty() || inFolder(path, at.only.name); }

// Whether the open file bears a scratch copy's name (`.NAME.N.tmp`): a flush of it
// makes the copy reach the disk, a flush of the file it became, the move.
bool isScratch(const SystemCalls& calls, HANDLE file)
{
    const std::wstring name = std::filesystem::path(finalName(calls, file)).filename().native();
    return name.starts_with(L".") && name.ends_with(L".tmp");
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

DWORD errorOf(Fault fault)
{
    switch (fault) {
    case Fault::CreateRefused:
    case Fault::NameTakenDenied:
    case Fault::MoveRefused:
    case Fault::RemoveRefused: return ERROR_ACCESS_DENIED;
    case Fault::NameTaken: return ERROR_FILE_EXISTS;
    case Fault::WriteFull:
    case Fault::CutFull:
    case Fault::SyncFull: return ERROR_DISK_FULL;
    case Fault::NoSuchDevice: return 433; // ERROR_NO_SUCH_DEVICE, which not every set of headers names
    default: return ERROR_IO_DEVICE;
    }
}

// A new file's create fails with the fault's error.
template <Fault fault>
HANDLE WINAPI failingCreate(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                            DWORD disposition, DWORD flags, HANDLE model)
{
    if ((disposition == CREATE_NEW || fault == Fault::NoSuchDevice) && fires(fault, path)) {
        SetLastError(errorOf(fault));
        return INVALID_HANDLE_VALUE;
    }
    return real(fault).CreateFileW(path, access, share, security, disposition, flags, model);
}

// Every call that could change a file fails from the crash on: creates, writes,
// cuts, renames, deletions. The handles still close, as the system closes them.
void patchCrash(SystemCalls& calls)
{
    calls.CreateFileW = [](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD disposition, DWORD flags, HANDLE model) {
        if (fires(Fault::Crash, path)) {
            SetLastError(ERROR_IO_DEVICE);
            return INVALID_HANDLE_VALUE;
        }
        return real(Fault::Crash).CreateFileW(path, access, share, security, disposition, flags, model);
    };
    calls.WriteFile = [](HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
        return fires(Fault::Crash, file)
                   ? fail(ERROR_IO_DEVICE)
                   : real(Fault::Crash).WriteFile(file, bytes, size, written, overlapped);
    };
    calls.SetEndOfFile = [](HANDLE file) {
        return fires(Fault::Crash, file) ? fail(ERROR_IO_DEVICE) : real(Fault::Crash).SetEndOfFile(file);
    };
    calls.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                          DWORD size) {
        return fires(Fault::Crash, file)
                   ? fail(ERROR_IO_DEVICE)
                   : real(Fault::Crash).SetFileInformationByHandle(file, kind, information, size);
    };
    calls.DeleteFileW = [](LPCWSTR path) {
        return fires(Fault::Crash, path) ? fail(ERROR_IO_DEVICE) : real(Fault::Crash).DeleteFileW(path);
    };
}

// Puts the failing call in the table's place for the fault.
void patch(SystemCalls& calls, Fault fault)
{
    switch (fault) {
    case Fault::CreateRefused: // no new file, and no new folder
        calls.CreateFileW = failingCreate<Fault::CreateRefused>;
        calls.CreateDirectoryW = [](LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
            return fires(Fault::CreateRefused, path)
                       ? fail(ERROR_ACCESS_DENIED)
                       : real(Fault::CreateRefused).CreateDirectoryW(path, security);
        };
        break;
    case Fault::NameTaken: calls.CreateFileW = failingCreate<Fault::NameTaken>; break;
    case Fault::NameTakenDenied: calls.CreateFileW = failingCreate<Fault::NameTakenDenied>; break;
    case Fault::NoSuchDevice: calls.CreateFileW = failingCreate<Fault::NoSuchDevice>; break;
    case Fault::WriteFull:
        calls.WriteFile = [](HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written,
                             LPOVERLAPPED overlapped) {
            return fires(Fault::WriteFull, file)
                       ? fail(ERROR_DISK_FULL)
                       : real(Fault::WriteFull).WriteFile(file, bytes, size, written, overlapped);
        };
        break;
    case Fault::CutFull:
        calls.SetEndOfFile = [](HANDLE file) {
            return fires(Fault::CutFull, file) ? fail(ERROR_DISK_FULL)
                                               : real(Fault::CutFull).SetEndOfFile(file);
        };
        break;
    case Fault::SyncFull:
        calls.FlushFileBuffers = [](HANDLE file) {
            return isScratch(real(Fault::SyncFull), file) && fires(Fault::SyncFull, file)
                       ? fail(ERROR_DISK_FULL)
                       : real(Fault::SyncFull).FlushFileBuffers(file);
        };
        break;
    case Fault::FolderSyncFails: // the move happens; writing it through fails
        calls.FlushFileBuffers = [](HANDLE file) {
            return !isScratch(real(Fault::FolderSyncFails), file) && fires(Fault::FolderSyncFails, file)
                       ? fail(ERROR_IO_DEVICE)
                       : real(Fault::FolderSyncFails).FlushFileBuffers(file);
        };
        break;
    case Fault::CloseFails: // closed all the same
        calls.CloseHandle = [](HANDLE file) {
            const bool fails = fires(Fault::CloseFails, file);
            const BOOL closed = real(Fault::CloseFails).CloseHandle(file);
            return fails && closed ? fail(ERROR_IO_DEVICE) : closed;
        };
        break;
    case Fault::MoveRefused:
        calls.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                              DWORD size) {
            return kind == FileRenameInfo && fires(Fault::MoveRefused, file)
                       ? fail(ERROR_ACCESS_DENIED)
                       : real(Fault::MoveRefused).SetFileInformationByHandle(file, kind, information, size);
        };
        break;
    case Fault::ReadFails:
        calls.ReadFile = [](HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
            return fires(Fault::ReadFails, file)
                       ? fail(ERROR_IO_DEVICE)
                       : real(Fault::ReadFails).ReadFile(file, buffer, size, read, overlapped);
        };
        break;
    case Fault::NotADiskFile:
        calls.GetFileType = [](HANDLE file) -> DWORD {
            const DWORD type = real(Fault::NotADiskFile).GetFileType(file);
            return type == FILE_TYPE_DISK && fires(Fault::NotADiskFile, file) ? FILE_TYPE_PIPE : type;
        };
        break;
    case Fault::RemoveRefused:
        calls.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                              DWORD size) {
            return kind == FileDispositionInfo && fires(Fault::RemoveRefused, file)
                       ? fail(ERROR_ACCESS_DENIED)
                       : real(Fault::RemoveRefused).SetFileInformationByHandle(file, kind, information, size);
        };
        calls.DeleteFileW = [](LPCWSTR path) {
            return fires(Fault::RemoveRefused, path) ? fail(ERROR_ACCESS_DENIED)
                                                     : real(Fault::RemoveRefused).DeleteFileW(path);
        };
        break;
    case Fault::Crash: patchCrash(calls); break;
    }
}

} // namespace

Injected::Injected(SystemCalls& calls, Fault fault, int passFirst, const std::filesystem::path& only)
    : calls_(calls), fault_(fault)
{
    Slot& at = slot(fault);
    at = Slot{calls, passFirst, 0, {only.native(), {}, false, 0, 0}};
    if (!only.empty()) {
        const HANDLE file =
            CreateFileW(only.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        identify(file, at.only.volume, at.only.index);
        at.only.final = finalName(calls, file);
        at.only.folder = std::filesystem::is_directory(only);
        CloseHandle(file);
    }
    patch(calls, fault);
}

Injected::~Injected() { calls_ = slot(fault_).real; }

std::string Injected::says() const
{
    return std::system_category().message(static_cast<int>(errorOf(fault_)));
}

int Injected::seen() const { return slot(fault_).seen; }

Meanwhile::Meanwhile(SystemCalls& calls, At at, std::function<void()> meanwhile) : calls_(calls)
{
    startMeanwhile(calls, std::move(meanwhile));
    switch (at) {
    case At::Write:
        calls.WriteFile = [](HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written,
                             LPOVERLAPPED overlapped) {
            runMeanwhile();
            return meanwhileReal.WriteFile(file, bytes, size, written, overlapped);
        };
        break;
    case At::Removal:
        calls.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                              DWORD size) {
            if (kind == FileDispositionInfo)
                runMeanwhile();
            return meanwhileReal.SetFileInformationByHandle(file, kind, information, size);
        };
        break;
    case At::Close:
        calls.CloseHandle = [](HANDLE file) {
            const BOOL closed = meanwhileReal.CloseHandle(file);
            runMeanwhile();
            return closed;
        };
        break;
    case At::Moved:
        calls.SetFileInformationByHandle = [](HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                              DWORD size) {
            const BOOL done = meanwhileReal.SetFileInformationByHandle(file, kind, information, size);
            if (done && kind == FileRenameInfo)
                runMeanwhile();
            return done;
        };
        break;
    }
}

} // namespace support
