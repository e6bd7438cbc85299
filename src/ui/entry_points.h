#pragma once
// Windows and checks that the tray menu and the help buttons open, whose full versions
// are built apart: the help viewer, the About window, the update check and the hot-key
// chooser. Until each lands, its entry point does the plain thing documented in its body.
namespace qm {

class AppContext;

void ShowHelpWindow(AppContext& ctx);          // "Help" and the help buttons
void ShowAboutWindow(AppContext& ctx);         // "About"
void CheckForProgramUpdates(AppContext& ctx);  // at start (flags.updateAtStart) and on request
void ShowHotKeySetter(AppContext& ctx);        // "Select HotKey"

}  // namespace qm
