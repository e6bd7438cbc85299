// The entry points of the tray menu and the help buttons. About and the update check
// are stand-ins until their windows land; each then replaces its body here.
#include "ui/entry_points.h"

#include "startup/app_context.h"

namespace qm {

// The help window, shown without blocking.
void ShowHelpWindow(AppContext& ctx) { ctx.ui.ShowHelp(); }

// The program's name and version until the About window exists.
void ShowAboutWindow(AppContext& ctx) {
    ctx.dialogs.ShowMessage({L"Dorvik Quillmere 5.0.0", kTitleInformation, MB_OK | MB_ICONINFORMATION});
}

// No update source yet: the request is taken and forgotten.
void CheckForProgramUpdates(AppContext& ctx) {
    ctx.flags.updateAtStart = false;
    ctx.flags.manualUpdateCheck = false;
}

}  // namespace qm
