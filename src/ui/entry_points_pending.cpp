// Stand-ins for the entry points of windows built apart (help viewer, About, update
// check, hot-key chooser). Each is replaced, with this file shrinking, when its window lands.
#include "ui/entry_points.h"

#include "startup/app_context.h"

namespace qm {

// Today's help window, shown without blocking.
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

// The hot key stays as stored until the chooser exists.
void ShowHotKeySetter(AppContext&) {}

}  // namespace qm
