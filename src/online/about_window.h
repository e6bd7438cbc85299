#pragma once
// frmAbout: the program's name and version, a short description, and a link that opens
// the maker's home page in the user's default browser once the probe finds the web.
#include <windows.h>

#include <string>

#include "ui/controls.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kAboutWindowClass[] = L"QuillmereAbout";
inline constexpr wchar_t kWebsiteCaption[] = L"Dorvik Website";
inline constexpr wchar_t kCloseFormCaption[] = L"Close Form";
inline constexpr wchar_t kCancelCaption[] = L"Cancel";
inline constexpr wchar_t kNotOnLineText[] =
    L"            You Must Be Connected To The Internet To Use This Function!\r\n\r\n"
    L"         Automatic Return Will Happen In %T Seconds.";
inline constexpr wchar_t kCancelledText[] =
    L"            You Have Canceled The Web Navigation Control Will Return To Form!\r\n\r\n"
    L"           Automatic Return Will Happen In %T Seconds.";
inline constexpr wchar_t kNoWininetText[] =
    L"Wininet.dll was not found on this system, it is needed for the internet functions to work!";

inline constexpr COLORREF kLinkColour = RGB(255, 255, 255);
inline constexpr COLORREF kLinkHoverColour = RGB(255, 0, 0);

struct AboutFormModel {
    LabelModel Label2{L"Quillmere removes what browsing and ordinary use leave behind: browser caches, "
                      L"the Temp folder, cookies you do not keep and the folders you name."};
    LabelModel Label3{kWebsiteCaption};
    LabelModel Label4{kCloseFormCaption};
    LabelModel Label5{L"    Connecting      Please Wait"};
    LabelModel Label6{L"Good Choice!"};
    // The link under the mouse (Label3 or Label4), or none.
    const LabelModel* hovered = nullptr;

    AboutFormModel() {
        Label5.SetVisible(false);
        Label6.SetVisible(false);
    }
    // The colour a link is drawn in: red under the mouse, white otherwise.
    COLORREF LinkColour(const LabelModel& link) const { return &link == hovered ? kLinkHoverColour : kLinkColour; }
};

// "Dorvik Quillmere 5.0.0".
std::wstring AboutCaption();

// Form_Load: without wininet.dll in the system folder the link is disabled, with a notice.
void AboutLoad(AppContext& ctx, AboutFormModel& form, HWND owner);
// Label3_Click: probe, then open the home page in the default browser; Cancel is honoured
// while the program waits around the opening.
void AboutWebsiteClick(AppContext& ctx, AboutFormModel& form, HWND owner);
// Label4_Click: "Cancel" cancels an opening; "Close Form" answers true: unload the window.
bool AboutCloseClick(AppContext& ctx, AboutFormModel& form, HWND owner);

// Opens the About window (or brings the open one to the front).
void ShowAbout(AppContext& ctx);

}  // namespace qm
