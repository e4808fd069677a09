// What the faults of every platform share: the action a Meanwhile runs, once at a
// time, the calls it stood in for, and this program's own table of file calls.
#include "faults.h"

#include <utility>

#include "faultSlots.h"
#include "systemFile.h"

namespace support {
namespace {
std::function<void()> meanwhileRuns;
int meanwhileRan = 0;
bool meanwhileRunning = false;
} // namespace

void startMeanwhile(files::os::SystemCalls& calls, std::function<void()> meanwhile)
{
    faultSlots::meanwhileReal = calls;
    meanwhileRuns = std::move(meanwhile);
    meanwhileRan = 0;
}

// Not again from within itself: what it does may make the same call.
void runMeanwhile()
{
    if (meanwhileRunning)
        return;
    meanwhileRunning = true;
    ++meanwhileRan;
    meanwhileRuns();
    meanwhileRunning = false;
}

Meanwhile::~Meanwhile() { calls_ = faultSlots::meanwhileReal; }

int Meanwhile::ran() const { return meanwhileRan; }

files::os::SystemCalls& ownCalls() { return files::os::systemCalls(); }

} // namespace support
