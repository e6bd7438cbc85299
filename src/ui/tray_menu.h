#pragma once
// The notification icon's popup menu: its items in order and what each does.
#include <windows.h>

#include <array>
#include <string>
#include <string_view>

namespace qm {

class AppContext;

inline constexpr UINT kTrayIconId = 125;
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1;  // 1025
inline constexpr wchar_t kTrayTip[] = L"Dorvik Quillmere";

struct TrayMenuItem {
    const wchar_t* caption;  // "-" a separator, "-Title" a titled separator
    int icon;                // image number in the menu's image list, -1 for none
};

inline constexpr std::array<TrayMenuItem, 16> kTrayMenuItems{{
    {L"-Dorvik Quillmere Info", -1},
    {L"-", -1},
    {L"Help", 3},
    {L"About", 0},
    {L"Check For Program Updates", 8},
    {L"-", -1},
    {L"-Dorvik Quillmere Options", -1},
    {L"-", -1},
    {L"Remove All Paths", 1},
    {L"Exit Program", 2},
    {L"Clean And Shutdown", 4},
    {L"Configure Program", 5},
    {L"AutoClean Files", 6},
    {L"Last Clean...", -1},
    {L"Select HotKey", 7},
    {L"Close Menu", 9},
}};

// The item a double click on the icon runs, shown bold in the menu.
inline constexpr wchar_t kTrayDefaultItem[] = L"Configure Program";
// The main window's timer that opens the menu after a left click that no second click followed.
inline constexpr UINT_PTR kTrayClickTimerId = 0x7153;

// The first command id of the tray menu's items (item n has kTrayMenuFirstId + n).
inline constexpr UINT kTrayMenuFirstId = 1000;
// The command id of the item with that caption (0 for none); another process of this user
// may send it to the resident copy's hidden window too.
inline UINT TrayMenuCommandId(std::wstring_view caption) {
    for (size_t i = 0; i < kTrayMenuItems.size(); ++i)
        if (caption == kTrayMenuItems[i].caption) return kTrayMenuFirstId + static_cast<UINT>(i);
    return 0;
}

inline bool IsPlainSeparator(std::wstring_view caption) { return caption == L"-"; }
inline bool IsTitledSeparator(std::wstring_view caption) { return caption.size() > 1 && caption[0] == L'-'; }

// The menu position of a click at cursor (screen pixels): x times 13, y times 14.3
// rounded to the nearest whole number, halves to even.
POINT MenuPosFromCursor(POINT cursor);

// Whether an item can be chosen; while a run is active only the items that start no
// work stay available ("Exit Program" then ends the program when the run is over).
bool TrayItemAvailable(std::wstring_view caption, bool runActive);

// The menu's click: runs the command of the item with this caption.
void cP_Click(AppContext& ctx, const std::wstring& caption);

}  // namespace qm
