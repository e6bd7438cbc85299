#pragma once
// Keyboard and screen-reader checks of a real window: the controls Tab reaches, and the
// name a screen reader gives each of them.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qm::test {

// Lets pending messages through one loop step, as the program's loop does (its dialog-key
// path included).
using PumpStep = std::function<void(DWORD milliseconds)>;

// Presses a key on the focused control (down and up) and lets the messages through.
void PressKey(WPARAM key, const PumpStep& pump);

// Focuses the first control of root that Tab reaches, then presses Tab until the focus comes
// back to it (at most limit presses); the controls in the order they took the focus.
std::vector<HWND> TabCycle(HWND root, const PumpStep& pump, int limit = 80);

// Every control of root that Tab should reach: visible, enabled and a tab stop.
std::vector<HWND> TabStops(HWND root);

// The name a screen reader gives a control: a button's or check box's caption (without
// the "&"), a tab control's selected tab, and for a text box or list the text of the label
// just before it (the previous visible sibling, when that is a static text). A read-only
// document that fills its window is named by the window's title.
std::wstring AccessibleName(HWND control);

}  // namespace qm::test
