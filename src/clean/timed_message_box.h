#pragma once
// The self-closing message box (module TimedMessageBox): a notice or a question whose
// text counts down the seconds that remain ("%T") and which presses its own button when
// the time is up, so that no message blocks an unattended machine.
//
// Caller protocol: set ctx.timedBox.bSingleButton (or bTwoButton), put the text into
// ctx.timedBox.TimedMsgText and pass it, show the box, clear the flag again.
// ShowTimedNotice and AskTimedQuestion do all of that in one call.
#include <windows.h>

#include <string>

#include "base/dialogs.h"

namespace qm {

class AppContext;

inline constexpr UINT kTimedBoxOneButtonStyle = MB_OK | MB_ICONINFORMATION;       // 64
inline constexpr UINT kTimedBoxTwoButtonStyle = MB_OKCANCEL | MB_ICONINFORMATION;  // 65
// A question whose OK destroys something: a warning, Cancel the default button.
inline constexpr UINT kTimedBoxWarningStyle = MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2;

// One box's parameters. The countdown itself (elapsed seconds, the timer) belongs to
// the box window, which owns its timer whether or not there is an owner window.
struct MsgBoxParams {
    HWND hWndOwner = nullptr;
    UINT Style = kTimedBoxOneButtonStyle;
    int Seconds = 0;
    int TimeoutButton = IDCANCEL;  // control id of the button pressed when the count reaches 0
    std::wstring Caption = kTitleTimedBox;
    std::wstring Text;  // every "%T" shows the seconds that remain
};

// Shows a one-button box at once; the timeout presses its only button. Returns IDOK.
int SingleButtonMsg(AppContext& ctx, const std::wstring& text, HWND owner, int seconds);

// Only prepares a two-button box (OK, Cancel); the caller shows it with TimedMessageBoxH.
MsgBoxParams TwoButtonMsg(AppContext& ctx, const std::wstring& text, HWND owner, int seconds, int timeoutButton,
                          UINT style = kTimedBoxTwoButtonStyle);

// Shows the box through the dialogs seam with the mode and captions the caller set, then
// clears them and the text. Returns IDOK or IDCANCEL; a box that could not be shown
// answers IDCANCEL, so nothing proceeds that nobody agreed to.
int TimedMessageBoxH(AppContext& ctx, const MsgBoxParams& params);

// The caller protocol for a notice that closes itself after `seconds`.
int ShowTimedNotice(AppContext& ctx, std::wstring text, HWND owner, int seconds);

// The caller protocol for an OK/Cancel question that answers `timeoutButton` by itself.
int AskTimedQuestion(AppContext& ctx, std::wstring text, HWND owner, int seconds, int timeoutButton,
                     UINT style = kTimedBoxTwoButtonStyle);

}  // namespace qm
