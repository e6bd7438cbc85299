#pragma once
// The progress and result window frmCount: "Cleaning" with a moving bar while a run works,
// then the number of removed files over "Files Cleaned" and a line with the folders removed
// and the space freed; 3 seconds later (or at a click, which opens the Last Clean window) it
// reminds the user to restart when locked files were scheduled, returns to the main window
// when the run started there, and closes. These routines work on the window's form model; the
// Win32 window follows the model.
#include <windows.h>

#include <string>

namespace qm {

class AppContext;

inline constexpr wchar_t kRebootReminder[] =
    L"     Some Of The Files Cleaned Were In Use\r\n\r\n"
    L"You Must Reboot The Computer To Finsih Cleaning!\r\n\r\n"
    L"       Automatic Return Will Happen In %T Seconds.            ";

// The start-of-run view, placed and coloured by role.
void ShowfrmCount(AppContext& ctx, const std::wstring& role, bool timerCheck);
// The end-of-run view with the run's totals; arms the return timer. A role other than
// "Form1", "frmMain" or "Form3" shows nothing.
void ShowCount(AppContext& ctx, const std::wstring& role, bool timerCheck);
// The result's two lines: the files removed ("20,000") and "50 Folders, 1.2 GB Freed" (with
// ", 8 Cookies Deleted" when cookies went), from the run's report; without one, CleanCount.
struct ResultText {
    std::wstring count, details;
};
ResultText CountResult(const AppContext& ctx);
// The return step, 3 seconds after the result view. While another run is active it
// waits for the next tick, so no reminder or window change lands inside a clean.
void Timer1_Timer(AppContext& ctx);
// Connects the return timer to Timer1_Timer.
void BindCountForm(AppContext& ctx);

// Top-left corner for the tray role: centred on the click, its bottom on the bottom of
// the work area of the monitor that was clicked, and never outside that work area.
POINT PlaceNearTrayClick(POINT click, SIZE size, const RECT& workArea);

}  // namespace qm
