// Game time and the timers that fall due in it.
#include <algorithm>
#include <cmath>
#include <limits>

#include "host.h"

namespace simhost {

std::optional<std::int64_t> gameTime(double seconds)
{
    const double ticks = seconds * ticksPerSecond;
    if (!std::isfinite(ticks) || ticks < 0.0 || ticks > double(clockLimit))
        return std::nullopt;
    const double whole = std::round(ticks);
    // A thousandth of a tick absorbs the binary form of decimals such as 0.9.
    if (std::abs(ticks - whole) > 1e-3)
        return std::nullopt;
    return static_cast<std::int64_t>(whole);
}

// A delay or start a plugin or test gives: rounded to the tick, before the clock's
// start counts as its start, and beyond its limit never comes.
std::int64_t Host::ticksFrom(double seconds)
{
    if (std::isnan(seconds) || seconds <= 0.0)
        return 0;
    const double ticks = std::round(seconds * ticksPerSecond);
    return ticks >= double(clockLimit) ? clockLimit + 1 : static_cast<std::int64_t>(ticks);
}

void Host::addTimer(std::function<void(GameWrapper*)> callback, float seconds)
{
    const std::int64_t delay = ticksFrom(seconds);
    const std::int64_t due = delay > clockLimit - now_ ? clockLimit + 1 : now_ + delay;
    timers_.emplace(TimerKey{due, ++timerSequence_}, Timer{owner_, std::move(callback)});
}

bool Host::advance(double seconds)
{
    bool stopped = false;
    return advance(seconds, std::numeric_limits<std::uint64_t>::max(), stopped);
}

bool Host::advance(double seconds, std::uint64_t timerRuns, bool& timersStopped)
{
    timersStopped = false;
    const std::optional<std::int64_t> ticks = gameTime(seconds);
    if (!ticks || *ticks > clockLimit - now_)
        return false;
    const std::int64_t target = now_ + *ticks;
    // A timer a callback sets is in the queue at once, in its place.
    while (!timers_.empty() && timers_.begin()->first.first <= target) {
        if (timerRuns-- == 0) {
            timersStopped = true;
            return false;
        }
        auto timer = timers_.extract(timers_.begin());
        now_ = std::max(now_, timer.key().first);
        GameWrapper game(this);
        callPlugin(timer.mapped().owner, {"timer"}, [&] { timer.mapped().callback(&game); });
    }
    now_ = target;
    return true;
}

} // namespace simhost
