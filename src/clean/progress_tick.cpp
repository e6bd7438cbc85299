#include "clean/progress_tick.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "clean/held_delete.h"
#include "startup/app_context.h"

namespace qm {

bool RepaintThrottle::Due(Clock::time_point now) {
    if (started_ && now - last_ < interval_) return false;
    started_ = true;
    last_ = now;
    return true;
}

int CleanProgress::Percent() const {
    if (expected == 0) return 0;
    return static_cast<int>(std::min<std::uint64_t>(done, expected) * 100 / expected);
}

void StartProgress(AppContext& ctx) {
    ctx.progress = {true, 0, 0};
    ctx.frmCount.ProgressBar1.SetValue(0);
}

void EndProgress(AppContext& ctx) {
    ctx.progress = {};
    ctx.frmCount.ProgressBar1.SetValue(ctx.frmCount.ProgressBar1.Max());
}

void CountAhead(AppContext& ctx, const WalkFolder& top) {
    if (ctx.progress.shown) ctx.progress.expected += DeletePass(ctx).CountFiles(top);
}

void FileDealtWith(AppContext& ctx) {
    CleanProgress& progress = ctx.progress;
    ++progress.done;
    // The process has one progress window, so one throttle serves every run. What the
    // windows ask for meanwhile is held off by the run state.
    static RepaintThrottle throttle(kProgressRepaintInterval);
    if (!throttle.Due(RepaintThrottle::Clock::now())) return;
    // The bar paints itself as it moves (at most a hundred times a run): painting it again
    // for every look at the clock would cost more than the removals.
    auto& bar = ctx.frmCount.ProgressBar1;
    const int value = std::clamp(progress.Percent(), bar.Min(), bar.Max());
    if (value != bar.Value()) bar.SetValue(value);
    ctx.pump.DoEvents();
}

void ProgressTicks(AppContext& ctx, int count) {
    if (count <= 0) return;
    const std::int64_t sum = std::int64_t{ctx.CleanCount} + count;
    ctx.CleanCount = static_cast<std::int32_t>(std::min<std::int64_t>(sum, std::numeric_limits<std::int32_t>::max()));
}

void ProgressTick(AppContext& ctx) { ProgressTicks(ctx, 1); }

}  // namespace qm
