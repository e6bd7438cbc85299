#pragma once
// Questions about the running system: its version, the system's and the shell's
// folders, the screen without the task bar, and window translucency.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
// All zero (not NT) when the record cannot be had.
struct WinVersionInfo {
    bool isNt = false;
    DWORD major = 0, minor = 0, build = 0;  // build: the lower 16 bits on the 9x family
};
WinVersionInfo WinVersion(const OsVersionSource& os);

// A shell special folder by CSIDL, with a trailing backslash; empty when unknown.
std::wstring ApiSpecialFolder(int csidl, HWND owner = nullptr);
// A shell folder by CSIDL without a trailing backslash. The main window owns any dialog
// the shell may show; asking the host for it loads it when needed. Empty when unknown.
std::wstring GetFolderPath(UiHost& ui, int csidl);
// Root of the system drive, such as "C:\".
std::wstring GetRootDir();
// The part of a path up to and including its first backslash ("D:\WINDOWS" -> "D:\").
std::wstring RootDirOf(std::wstring_view path);
std::wstring GetSystemDir();

// What the shell tells of the task bar and the primary screen, in pixels.
struct TaskbarFacts {
    std::optional<RECT> bar;  // the task bar's rectangle, when the shell gives one
    UINT state = 0;           // ABS_AUTOHIDE and the like
    RECT screen{};
    RECT workArea{};
};
// The seam behind TaskbarExists, ScreenHeight and ScreenWidth, so that every kind of screen
// can be tried.
class TaskbarSource {
public:
    virtual ~TaskbarSource() = default;
    virtual TaskbarFacts Query() const = 0;
};
class SystemTaskbar final : public TaskbarSource {
public:
    TaskbarFacts Query() const override;
};

// A task bar is there when the shell gives a real bar (more than a one-pixel strip) along an
// edge of the screen and the bar takes room from the work area or hides itself. Windows 7 and
// later no longer report "always on top", so the state alone cannot tell.
bool TaskbarExists(const TaskbarFacts& facts);
bool TaskbarExists();

// Screen size without the task bar, in twips.
std::int32_t ScreenHeight(const TaskbarSource& source = SystemTaskbar());
std::int32_t ScreenWidth(const TaskbarSource& source = SystemTaskbar());
int TwipsPerPixelX();
int TwipsPerPixelY();

// The task bar's edges along one axis, in pixels: top and bottom, or left and right.
struct BarSpan {
    LONG nearEdge = 0;
    LONG farEdge = 0;
};
// The rule behind ScreenHeight and ScreenWidth for one axis: the screen's extent in twips,
// shortened by a bar along the top or bottom (left or right) edge. No bar: the full extent.
std::int32_t ExtentWithoutTaskbar(int screenPixels, int twipsPerPixel, const std::optional<BarSpan>& bar);

// Constant translucency: 1 for a level outside 0..255, else 0 (nothing done on 98/ME).
std::int16_t MakeTransparent(const OsVersionSource& os, HWND window, int level);

}  // namespace qm
