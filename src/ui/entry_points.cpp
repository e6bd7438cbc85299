// The entry points of the tray menu and the help buttons: each opens its window. The
// hot-key chooser's is in ui/hot_key_window.cpp.
#include "ui/entry_points.h"

#include "online/about_window.h"
#include "online/auto_update.h"
#include "startup/app_context.h"

namespace qm {

// The help window, shown without blocking.
void ShowHelpWindow(AppContext& ctx, bool inPlaceOfMain) { ctx.ui.ShowHelp(inPlaceOfMain); }

void ShowAboutWindow(AppContext& ctx) { ShowAbout(ctx); }

// At start in the background, silently; on request with its progress and every outcome told.
void CheckForProgramUpdates(AppContext& ctx) {
    if (ctx.flags.manualUpdateCheck) CheckForUpdate(ctx);
    else CheckForUpdateInBackground(ctx);
}

}  // namespace qm
