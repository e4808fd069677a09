// Counts heap allocations made anywhere in the process (the loaded plugin
// module included) while a counter is alive: for the tests and the benchmarks
// alike. Link the `measure` library.
#pragma once

namespace measure {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    long count() const;
};

} // namespace measure
