#pragma once
// Windows and checks that the tray menu and the help buttons open: the help window, the
// About window, the update check and the hot-key chooser, each built apart. Until a window
// lands, its entry point does the plain thing documented in its body.
namespace qm {

class AppContext;

void ShowHelpWindow(AppContext& ctx);          // "Help" and the help buttons
void ShowAboutWindow(AppContext& ctx);         // "About"
void CheckForProgramUpdates(AppContext& ctx);  // at start (flags.updateAtStart) and on request
void ShowHotKeySetter(AppContext& ctx);        // "Select HotKey"

}  // namespace qm
