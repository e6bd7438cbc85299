#pragma once
// One piece of work at a time. Cleans, timed boxes and the result window let window
// messages through, so a tray click, the hot key, the end of the session or a timer can
// arrive in the middle of a run. While a run is active new work is refused, and a request
// to end the program waits until the running work has unwound.
#include <cstdint>
#include <functional>
#include <limits>
#include <source_location>

#include "base/app_error.h"
#include "clean/clean_report.h"

namespace qm {

class AppContext;

struct RunState {
    bool active = false;
    bool exitRequested = false;
};

bool RunActive(const AppContext& ctx);

// Ends the program now, or when the active run has unwound.
void RequestExit(AppContext& ctx);

// Runs work as the one active run. Returns false (and does nothing) while another run
// is active. An exception the work throws is reported at site and ends the run, so none
// crosses the window procedure that started it. An exit requested meanwhile is carried
// out when the work has unwound.
bool RunExclusive(AppContext& ctx, const TrapSite& site, const std::function<void()>& work,
                  std::source_location where = std::source_location::current());
// RunExclusive for work that cleans: it also holds the lock that keeps the cleans of other
// processes ("auto", the console program) apart, and is refused like work during a run when
// another process's clean keeps that lock past its short wait. The run is recorded in the
// clean log as started by trigger.
bool RunExclusiveClean(AppContext& ctx, const TrapSite& site, CleanTrigger trigger, const std::function<void()>& work,
                       std::source_location where = std::source_location::current());

// The count of a run made of several cleans. Each step counts from zero, so a step that
// resets CleanCount (the cookie clean does) hides nothing counted before it; after each
// step CleanCount holds the sum so far.
class RunTotal {
public:
    explicit RunTotal(std::int32_t& cleanCount) : cleanCount_(cleanCount) { cleanCount_ = 0; }

    template <class Step>
    void Add(Step&& step) {
        cleanCount_ = 0;
        step();
        const std::int64_t sum = std::int64_t{total_} + cleanCount_;
        total_ = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                : static_cast<std::int32_t>(sum);
        cleanCount_ = total_;
    }
    std::int32_t Total() const { return total_; }

private:
    std::int32_t& cleanCount_;
    std::int32_t total_ = 0;
};

}  // namespace qm
