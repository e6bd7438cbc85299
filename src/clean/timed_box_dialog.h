#pragma once
// The program's own self-closing dialog behind SystemDialogs::ShowTimed: a modal box
// with an icon, a text that counts the seconds down and one or two buttons, sized to
// its text in the system's message font.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"

namespace qm {

inline constexpr UINT_PTR kCountdownTimerId = 999;
inline constexpr UINT kCountdownInterval = 1000;
inline constexpr int kTimedBoxTextId = 0xFFFF;

// The text as shown with `remaining` seconds left: every "%T" becomes the number.
std::wstring CountdownText(std::wstring_view text, int remaining);

// The captions written onto the box's buttons, by mode: a one-button box relabels
// button 2 (its only button), a two-button box buttons 1 and 2, and a box without a
// mode buttons 3 to 5, which these boxes do not have.
struct ButtonCaption {
    int id;
    std::wstring caption;
};
std::vector<ButtonCaption> CaptionsByMode(const TimedBoxRequest& request);

// Called with the dialog's window once its controls are laid out and before the first
// tick, so tests can watch and drive the real dialog. An empty function stops it.
void SetTimedDialogOpenedHook(std::function<void(HWND dialog)> hook);

}  // namespace qm
