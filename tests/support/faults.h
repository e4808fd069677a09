// Faults injected through the file helper's table of system calls: the test
// program's own (ownCalls) or a loaded plugin module's (Session::fileCalls), on
// every platform. faultsPosix.cpp and faultsWindows.cpp say how each one fails.
#pragma once

#include <climits>
#include <filesystem>
#include <functional>
#include <string>

namespace files::os {
struct SystemCalls;
}

namespace support {

enum class Fault {
    CreateRefused,   // no new file or folder can be made, as in a read-only folder
    NameTaken,       // every new file's name is taken
    NameTakenDenied, // as a name whose file is deleted but still held open (Windows only: access denied)
    WriteFull,       // writing finds the device full
    CutFull,         // cutting the file to length finds the device full
    SyncFull,        // making a file reach the disk finds the device full
    CloseFails,      // closing reports a lost write, as a network file system may
    MoveRefused,     // the move over the old file is refused
    FolderSyncFails, // the move happens, but does not reach the disk
    ReadFails,       // reading fails as on a bad device
    NotADiskFile,    // an opened file turns out to be no disk file (a pipe)
    RemoveRefused,   // removing a file is refused
    Crash,           // the process dies: no call that would change a file has any effect
    NoSuchDevice,    // opening by name finds no such device (Windows only: Wine's view of a Unix socket)
};

// While alive, the calls of the table that the fault touches fail with it, after
// `passFirst` calls that go through. With `only`, only calls on that file fail, or
// on the files in that folder.
class Injected {
public:
    Injected(files::os::SystemCalls& calls, Fault fault, int passFirst = 0,
             const std::filesystem::path& only = {});
    ~Injected();
    Injected(const Injected&) = delete;
    Injected& operator=(const Injected&) = delete;

    // The system's words for the failure, as the file helper reports them.
    std::string says() const;
    // How many calls the fault has seen, the ones that went through included.
    int seen() const;

private:
    files::os::SystemCalls& calls_;
    Fault fault_;
};

// While alive, `meanwhile` runs at every such call through the table, before the
// call itself, but for the calls it makes itself.
class Meanwhile {
public:
    enum class At {
        Write,   // a file is written
        Removal, // a file is removed: when leftovers are cleared, after one was judged old
        Close,   // right after a file is closed
        Moved,   // right after a file is moved over another
    };
    Meanwhile(files::os::SystemCalls& calls, At at, std::function<void()> meanwhile);
    ~Meanwhile();
    Meanwhile(const Meanwhile&) = delete;
    Meanwhile& operator=(const Meanwhile&) = delete;

    int ran() const;

private:
    files::os::SystemCalls& calls_;
};

// What each platform's Meanwhile sets up (keeping the calls it stands in for) and runs at its call.
void startMeanwhile(files::os::SystemCalls& calls, std::function<void()> meanwhile);
void runMeanwhile();

// Counts calls without failing any.
inline constexpr int passAll = INT_MAX;

// The table of this test program, which quillfort-sim's code in it uses.
files::os::SystemCalls& ownCalls();

} // namespace support
