#include "clean/progress_tick.h"

#include <cstdint>
#include <limits>

#include "startup/app_context.h"

namespace qm {

bool RepaintThrottle::Due(Clock::time_point now) {
    if (started_ && now - last_ < interval_) return false;
    started_ = true;
    last_ = now;
    return true;
}

namespace {

// One tick's move of a bar value; CleanCount counts the item.
int Advanced(AppContext& ctx, int value, int min, int max) {
    if (value > 95) value = 10;
    // A value outside the bar's range is refused and the bar keeps its value.
    const std::int64_t next = std::int64_t{value} + ctx.CleanCount;
    if (next >= min && next <= max) value = static_cast<int>(next);
    if (ctx.CleanCount < std::numeric_limits<std::int32_t>::max()) ++ctx.CleanCount;
    return value;
}

}  // namespace

void ProgressTicks(AppContext& ctx, int count) {
    if (count <= 0) return;
    auto& bar = ctx.frmCount.ProgressBar1;
    int value = bar.Value();
    for (int i = 0; i < count; ++i) value = Advanced(ctx, value, bar.Min(), bar.Max());
    bar.SetValue(value);
    bar.Refresh();
    ctx.pump.DoEvents();
}

void ProgressTick(AppContext& ctx) {
    auto& bar = ctx.frmCount.ProgressBar1;
    if (bar.Value() > 95) bar.SetValue(10);
    bar.SetValue(Advanced(ctx, bar.Value(), bar.Min(), bar.Max()));

    // The process has one progress window, so one throttle serves every run. Waiting
    // messages run too, so the windows stay responsive through a long clean; what they
    // ask for meanwhile is held off by the run state.
    static RepaintThrottle throttle(kProgressRepaintInterval);
    if (throttle.Due(RepaintThrottle::Clock::now())) {
        bar.Refresh();
        ctx.pump.DoEvents();
    }
}

}  // namespace qm
