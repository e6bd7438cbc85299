#include "clean/run_state.h"

#include "clean/clean_lock.h"
#include "clean/clean_log.h"
#include "startup/app_context.h"

namespace qm {

bool RunActive(const AppContext& ctx) { return ctx.run.active; }

void RequestExit(AppContext& ctx) {
    if (ctx.run.active) {
        ctx.run.exitRequested = true;
        return;
    }
    ctx.ui.UnloadMainForm();
}

bool RunExclusive(AppContext& ctx, const TrapSite& site, const std::function<void()>& work,
                  std::source_location where) {
    if (ctx.run.active) return false;
    ctx.run.active = true;
    try {
        work();
    } catch (...) {
        IgnoreErrors([&] { ReportAppError(ctx.dialogs, DescribeCurrentException(), site, where.line()); });
    }
    ctx.run.active = false;
    if (ctx.run.exitRequested) {
        ctx.run.exitRequested = false;
        IgnoreErrors([&] { ctx.ui.UnloadMainForm(); });
    }
    return true;
}

bool RunExclusiveClean(AppContext& ctx, const TrapSite& site, CleanTrigger trigger, const std::function<void()>& work,
                       std::source_location where) {
    if (ctx.run.active) return false;
    const std::optional<CleanLock> lock = CleanLock::Acquire();
    if (!lock) return false;
    return RunExclusive(
        ctx, site,
        [&] {
            RecordedClean record(ctx, trigger);
            work();
        },
        where);
}

}  // namespace qm
