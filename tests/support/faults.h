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

// While alive, reading the given file fails with an I/O error.
class FailingReads {
public:
    explicit FailingReads(const std::filesystem::path& file);
    ~FailingReads();
    FailingReads(const FailingReads&) = delete;
    FailingReads& operator=(const FailingReads&) = delete;
};

// While alive, every write to a regular file under the folder fails as on a full device.
class FailingWrites {
public:
    explicit FailingWrites(const std::filesystem::path& folder);
    ~FailingWrites();
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;
};

// How often the process asked for a file to reach the disk (fsync) so far.
int diskSyncs();

} // namespace support
