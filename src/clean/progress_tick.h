#pragma once
// How far a clean run has come, for the progress bar of frmCount. Each location a clean
// empties is counted ahead (its files, by the one walk) as it begins, so the bar shows the
// files dealt with against the files found in the locations begun so far: a large location
// weighs as much as it holds, and the bar stands still only while a location is counted.
#include <chrono>
#include <cstdint>

namespace qm {

class AppContext;
class WalkFolder;

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

inline constexpr std::chrono::milliseconds kProgressRepaintInterval{100};

struct CleanProgress {
    bool shown = false;          // the bar is showing: locations are counted ahead
    std::uint64_t expected = 0;  // files found in the locations begun so far
    std::uint64_t done = 0;      // of them, removed or left
    // The bar's value, 0 to 100.
    int Percent() const;
};

// A bar shown from empty for a new run, or put away.
void StartProgress(AppContext& ctx);
void EndProgress(AppContext& ctx);

// Counts the files below a held location about to be cleaned (only while the bar shows).
void CountAhead(AppContext& ctx, const WalkFolder& top);

// One file dealt with by the deleting routine: the bar follows, repainted (and waiting window
// messages run, so the windows stay responsive) at most every kProgressRepaintInterval.
void FileDealtWith(AppContext& ctx);

// One removed item in CleanCount (files, folders, cookies), the legacy count of a run.
void ProgressTick(AppContext& ctx);
// count items at once, for removals made in one step (rows of a cookie database).
void ProgressTicks(AppContext& ctx, int count);

}  // namespace qm
