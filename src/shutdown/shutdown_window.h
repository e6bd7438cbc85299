#pragma once
// frmShutdown: the farewell window, "Windows will now" / "Shutdown" in Comic Sans MS on
// bands of blue that darken towards the bottom-right corner.
#include <windows.h>

#include "base/handles.h"
#include "ui/window.h"

namespace qm {

inline constexpr wchar_t kShutdownWindowClass[] = L"QuillmereShutdown";

// The number of colour bands of the fade for a colour depth (bits per pixel times planes).
int FadeBandCount(int colourDepth);

// Paints the fade of direction 0 into the rectangle: bands bands along the bottom and the
// right edge, from blue 0 in the outer band up by 256 / bands, and pure blue in what is left.
void FadeForm(HDC dc, const RECT& area, int bands);

class ShutdownWindow final : public Window {
public:
    explicit ShutdownWindow(HWND owner);
    // Shows the window at the centre of the screen and paints it at once.
    void Show();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc);

    UniqueGdiObject font_;
    int bands_ = 64;
};

}  // namespace qm
