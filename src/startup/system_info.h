#pragma once
// Questions about the running system: its version, the system's and the shell's
// folders, the screen without the task bar, and window translucency.
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/os_version.h"

namespace qm {

class UiHost;

// Version predicates; each answers false when the record cannot be had.
bool IsWin9X(const OsVersionSource& os);
bool IsWin98(const OsVersionSource& os);
bool IsWin98SE(const OsVersionSource& os);
bool IsWinME(const OsVersionSource& os);
bool IsWin2000(const OsVersionSource& os);
bool IsWinXP(const OsVersionSource& os);
bool IsWinVista(const OsVersionSource& os);  // major version 6, any minor
bool IsWinNTFamily(const OsVersionSource& os);

// The fuller record of the capability probe; what the program uses of it is the NT flag.
struct WinVersionInfo {
    bool isNt = false;
    DWORD major = 0, minor = 0, build = 0;
};
WinVersionInfo WinVersion(const OsVersionSource& os);

// A shell special folder by CSIDL, with a trailing backslash; empty when unknown.
std::wstring ApiSpecialFolder(int csidl, HWND owner = nullptr);
// A shell folder by CSIDL without a trailing backslash; loads the main window for its
// handle, as the owner of any dialog the shell may show. Empty when unknown.
std::wstring GetFolderPath(UiHost& ui, int csidl);
// Root of the system drive, such as "C:\".
std::wstring GetRootDir();
std::wstring GetSystemDir();

// Screen size without the task bar, in twips.
bool TaskbarExists();
std::int32_t ScreenHeight();
std::int32_t ScreenWidth();
int TwipsPerPixelX();
int TwipsPerPixelY();

// Constant translucency: 1 for a level outside 0..255, else 0 (nothing done on 98/ME).
std::int16_t MakeTransparent(const OsVersionSource& os, HWND window, int level);

}  // namespace qm
