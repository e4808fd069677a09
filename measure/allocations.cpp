// A replacement of the global allocation functions; the dynamic linker binds
// the loaded modules' calls to it too.
#include "allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> active{0};
std::atomic<long> counted{0};
} // namespace

void* operator new(std::size_t size)
{
    if (active.load(std::memory_order_relaxed) > 0)
        counted.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace measure {

AllocationCounter::AllocationCounter()
{
    counted = 0;
    ++active;
}

AllocationCounter::~AllocationCounter() { --active; }

long AllocationCounter::count() const { return counted.load(); }

} // namespace measure
