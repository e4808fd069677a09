// A host data folder for a simulated session: a given folder, or a fresh
// temporary one that is removed with everything in it.
#pragma once

#include <filesystem>

namespace qsim {

class DataFolder {
public:
    // A fresh folder under the system's temporary folder, named for this process.
    DataFolder();
    // The given folder, created when missing and kept afterwards.
    explicit DataFolder(std::filesystem::path folder);
    ~DataFolder();
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool temporary_;
};

// Removes this process's temporary folders that are still there: when it is told
// to stop (process*.cpp), as it then ends without running its destructors.
void removeTemporaryFolders();

// The process's number, and whether the process with that number still runs
// (one file per platform: processPosix.cpp, processWindows.cpp).
long processId();
bool processAlive(long id);
// From now on, a signal (or a console event) that ends the process removes its
// temporary folders first. The status is then the signal's (128 + its number in a
// shell), or on Windows stoppedStatus.
void removeFoldersWhenStopped();
inline constexpr unsigned long stoppedStatus = 0xC000013A; // STATUS_CONTROL_C_EXIT
// From now on, until runOver(), the process ending otherwise than by a stop (a
// module that calls exit, or crashes) is no verdict: its temporary folders go,
// standard error says so (endReport.h), and the status is 2 (or the crash's own).
void failWhenEndedEarly();
void runOver();

} // namespace qsim
