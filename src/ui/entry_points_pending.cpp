// The entry points of the tray menu and the help buttons. The hot-key chooser is a
// stand-in until its window lands; it then replaces its body here.
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

// The hot key stays as stored until the chooser exists.
void ShowHotKeySetter(AppContext&) {}

}  // namespace qm
