#pragma once
// frmHelp: the program's help text, shown read-only in a rich edit control straight from
// the resource it is carried in, printable, one window at a time, remembering its size.
#include <windows.h>

#include <string>
#include <string_view>

namespace qm {

class AppContext;

inline constexpr wchar_t kHelpWindowClass[] = L"QuillmereHelp";
inline constexpr wchar_t kHelpCaption[] = L"Dorvik Quillmere Program Help File Version ";
inline constexpr wchar_t kHelpWidthValue[] = L"frmHelpWidth";
inline constexpr wchar_t kHelpHeightValue[] = L"frmHelpHeight";
inline constexpr UINT kHelpPrintCommand = 1;  // menu item "Print Help File"
inline constexpr UINT kHelpCloseCommand = 2;  // menu item "Close Me"

// A window size in twips.
struct TwipsSize {
    int width = 0;
    int height = 0;
    bool operator==(const TwipsSize&) const = default;
};

// The smallest and default size of the help window.
inline constexpr TwipsSize kHelpMinimumSize{8250, 6405};

// The size to open with, from the stored texts: text that is not a whole number gives the
// default, and each side is kept between the minimum and the work area.
TwipsSize HelpSizeFromSettings(std::wstring_view width, std::wstring_view height, TwipsSize workArea);

// "Dorvik Quillmere Program Help File Version 5.0.0".
std::wstring HelpCaption();

enum class HelpOpening {
    Modal,          // the caller waits until it closes; it cannot be minimised meanwhile
    InPlaceOfMain,  // the main window is hidden and comes back when help closes
    Alone,          // the other windows stay as they are
};

// Opens the help window, a top-level window with a task-bar button of its own. An open
// help window is restored if minimised and brought to the front instead of opening a
// second one.
void Help(AppContext& ctx, HelpOpening opening);

}  // namespace qm
