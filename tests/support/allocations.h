// Counts heap allocations made anywhere in the process (the loaded plugin
// module included) while a counter is alive. Link support/allocations.cpp.
#pragma once

namespace support {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    long count() const;
};

} // namespace support
