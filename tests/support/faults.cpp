// What the faults of every platform share: the action a Meanwhile runs, once at a
// time, and this program's own table of file calls.
#include "faults.h"

#include <utility>

#include "systemFile.h"

namespace support {
namespace {
std::function<void()> meanwhileRuns;
int meanwhileRan = 0;
bool meanwhileRunning = false;
} // namespace

void startMeanwhile(std::function<void()> meanwhile)
{
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

int Meanwhile::ran() const { return meanwhileRan; }

files::os::SystemCalls& ownCalls() { return files::os::systemCalls(); }

} // namespace support
