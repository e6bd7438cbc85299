#pragma once
// The kinds of clean that the clean commands, start-up, the tray menu and the hot key run.
#include <string>

namespace qm {

class AppContext;

// Role tags passed to the cleaning routines and the progress window.
inline constexpr wchar_t kRoleMain[] = L"frmMain";
inline constexpr wchar_t kRoleTray[] = L"Form1";
inline constexpr wchar_t kRoleStep[] = L"Form2";
inline constexpr wchar_t kRoleCentred[] = L"Form3";

// Browser caches of every known location; ends on the result view when showResult.
void AutoCleanInternetFiles2(AppContext& ctx, bool& showResult);
// The one cache location selected in the cache list.
void MainCleanInternetFiles(AppContext& ctx, const std::wstring& location);
// Cookie files of every store, sparing kept cookies; resets CleanCount.
void MainCleanCookies(AppContext& ctx, const std::wstring& role);
// The Temp folder of the process ("Temp" variable).
void MainCleanTemp(AppContext& ctx, const std::wstring& role, bool unused);
// Every folder of the user's folder list.
void MainCleanUser(AppContext& ctx, const std::wstring& role, bool passthrough);
// Restart-time instructions for the locked index files.
void AddCleanDat(AppContext& ctx);
// Withdraws exactly the restart-time operations the program scheduled; every other
// program's pending operations stay as they are.
void WithdrawCleanDat(AppContext& ctx);
// The process's Temp folder when the guard lets it be listed or emptied; "" when refused.
std::wstring GuardedTempFolder();
// Everything chosen for the automatic clean, started by the global hot key (HotKeyCleaning
// is set). False when refused ("AutoFunction" off or nothing chosen); HotKeyCleaning is then cleared.
bool HotKeyClean(AppContext& ctx);

}  // namespace qm
