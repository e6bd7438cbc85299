#pragma once
// Windows and checks that the tray menu and the help buttons open: the help window, the
// About window, the update check and the hot-key chooser, each built in its own subsystem.
namespace qm {

class AppContext;

// The help buttons open help in place of the main window, the tray's "Help" alone.
void ShowHelpWindow(AppContext& ctx, bool inPlaceOfMain);
void ShowAboutWindow(AppContext& ctx);         // "About"
void CheckForProgramUpdates(AppContext& ctx);  // at start, and on request (flags.manualUpdateCheck)
void ShowHotKeySetter(AppContext& ctx);        // "Select HotKey"

}  // namespace qm
