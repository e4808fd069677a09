// Game time and the timers that fall due in it.
#include <algorithm>
#include <cmath>

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
    timers_.push_back({due, ++timerSequence_, owner_, std::move(callback)});
}

bool Host::advance(double seconds)
{
    const std::optional<std::int64_t> ticks = gameTime(seconds);
    if (!ticks || *ticks > clockLimit - now_)
        return false;
    const std::int64_t target = now_ + *ticks;
    for (;;) {
        auto due = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (due == timers_.end() || due->due > target)
            break;
        Timer timer = std::move(*due);
        timers_.erase(due);
        now_ = std::max(now_, timer.due);
        GameWrapper game(this);
        OwnerScope scope(*this, timer.owner);
        timer.callback(&game);
    }
    now_ = target;
    return true;
}

} // namespace simhost
