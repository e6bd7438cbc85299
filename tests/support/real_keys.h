#pragma once
// Real key presses under Xvfb. Hot keys fire only on real key events into a focused window
// of the prefix: this shows a window of the test's own, gives it the X focus and has xdotool
// press the keys through XTest.
#include <windows.h>

#include <string>

#include "base/handles.h"

namespace qm::test {

class KeyTarget {
public:
    KeyTarget();  // shown and made the foreground window
    HWND Handle() const { return window_.get(); }
    // xdotool's names of the keys, "alt+c" and the like, pressed times in a row. The focus
    // is given first and the keys are pressed by a second call without a window, so they go
    // through XTest as real key events (with a window xdotool would send synthetic ones).
    bool Press(const std::wstring& keys, int times = 1) const;

private:
    UniqueWindow window_;
};

}  // namespace qm::test
