#pragma once
// The clean commands of the main window, from the button to the end of the run, and the
// start-up tidy of what earlier restart-time deletions left behind.
namespace qm {

class AppContext;

void Command1_Click(AppContext& ctx);   // "Clean Internet": the selected cache location
void Command3_Click(AppContext& ctx);   // "Clean Temp"
void Command8_Click(AppContext& ctx);   // "Clean Cookies"
void Command15_Click(AppContext& ctx);  // the user's own folders
void Command5_Click(AppContext& ctx);   // "AutoClean Now": every kind whose option is checked

// Connects the five command buttons of the main form model to their handlers.
void BindCleanCommands(AppContext& ctx);

// Removes the "old.txt" copies that restart-time deletions leave in the remembered folders.
void CleanUp(AppContext& ctx);

}  // namespace qm
