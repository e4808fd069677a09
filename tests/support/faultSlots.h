// The bookkeeping of an injected fault, the same on every platform. `Only` is the
// platform's way of knowing the file whose calls a fault is for, and its `within`
// says whether a call is one of them.
#pragma once

#include "faults.h"
#if defined(_WIN32)
#  include "systemCallsWindows.h"
#else
#  include "systemCallsPosix.h"
#endif

namespace support::faultSlots {

template <class Only> struct Slot {
    files::os::SystemCalls real; // the calls the fault stands in for
    int passFirst = 0;
    int seen = 0;
    Only only; // naming no file: every call
};

// One slot a fault: the failing calls, plain functions, find theirs here.
template <class Only> Slot<Only>& slot(Fault fault)
{
    static Slot<Only> slots[static_cast<int>(Fault::NoSuchDevice) + 1];
    return slots[static_cast<int>(fault)];
}

// Counts the call, and says whether it fails: one the fault is for (the platform's
// `within`, found by the slot's type), after the ones that pass.
template <class Only, class On> bool fires(Fault fault, On on)
{
    Slot<Only>& at = slot<Only>(fault);
    if (!within(at, on))
        return false;
    ++at.seen;
    return at.passFirst-- <= 0;
}

// The calls a Meanwhile stands in for, as they were before it.
inline files::os::SystemCalls meanwhileReal;

} // namespace support::faultSlots
