// The entry points of the tray menu and the help buttons: each opens its window. The
// hot-key chooser's is in ui/hot_key_window.cpp.
#include "ui/entry_points.h"

#include "online/about_window.h"
#include "online/auto_update.h"
#include "startup/app_context.h"

namespace qm {

// The help window, shown without blocking.
void ShowHelpWindow(AppContext& ctx) { ctx.ui.ShowHelp(); }

void ShowAboutWindow(AppContext& ctx) { ShowAbout(ctx); }

// At start (the main window's load) silently; on request with every outcome told.
void CheckForProgramUpdates(AppContext& ctx) { CheckForUpdate(ctx, ctx.flags.manualUpdateCheck); }

}  // namespace qm
