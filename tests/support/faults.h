// Injected file faults for the tests that run as root, where permissions alone
// cannot make a file unreadable or unreplaceable. Link support/faults.cpp.
#pragma once

#include <filesystem>

namespace support {

// While alive, every rename in the process fails as if the target were busy.
class FailingRenames {
public:
    FailingRenames();
    ~FailingRenames();
    FailingRenames(const FailingRenames&) = delete;
    FailingRenames& operator=(const FailingRenames&) = delete;
};

// While alive, reading the given file fails with an I/O error, after the given
// number of reads that go through.
class FailingReads {
public:
    explicit FailingReads(const std::filesystem::path& file, int readsFirst = 0);
    ~FailingReads();
    FailingReads(const FailingReads&) = delete;
    FailingReads& operator=(const FailingReads&) = delete;
};

// The calls on files that a test can make fail.
enum class FileCall {
    Create, // a new file made with an exclusive create: refused, as in a read-only folder
    Write,  // fails as on a full device
    Close,  // fails as on a network file system that reports a lost write only then
};

// While alive, the call fails for every regular file under the folder.
class FailingCalls {
public:
    FailingCalls(const std::filesystem::path& folder, FileCall call);
    ~FailingCalls();
    FailingCalls(const FailingCalls&) = delete;
    FailingCalls& operator=(const FailingCalls&) = delete;
};

// How often the process asked for a file to reach the disk (fsync) so far.
int diskSyncs();

} // namespace support
