#pragma once
// The progress tick that every removal of a clean run counts through.
#include <chrono>

namespace qm {

class AppContext;

// Lets a repaint through at most once per interval, so that removing thousands of
// small files is not slowed down by painting the bar for each of them.
class RepaintThrottle {
public:
    using Clock = std::chrono::steady_clock;
    explicit RepaintThrottle(Clock::duration interval) : interval_(interval) {}

    // True (and the interval starts again) when a repaint is due at now.
    bool Due(Clock::time_point now);

private:
    Clock::duration interval_;
    Clock::time_point last_{};
    bool started_ = false;
};

inline constexpr std::chrono::milliseconds kProgressRepaintInterval{50};

// Moves frmCount's bar (it shows activity, not the share done) and counts one removed
// item in CleanCount. The bar is repainted, and waiting window messages run, at most
// every kProgressRepaintInterval.
void ProgressTick(AppContext& ctx);
// count ticks at once, for removals made in one step (rows of a cookie database): the bar
// ends where count ticks would leave it and is repainted once.
void ProgressTicks(AppContext& ctx, int count);

}  // namespace qm
