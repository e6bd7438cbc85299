#pragma once
// Per-monitor DPI: layouts are written in pixels at 96 dots per inch and scaled to the
// DPI of the window they are shown in.
#include <windows.h>

#include "base/handles.h"

namespace qm {

inline constexpr UINT kDesignDpi = 96;

// The DPI of the monitor the window is on (the system DPI where the platform cannot tell).
UINT WindowDpi(HWND window);
inline int Scale(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), kDesignDpi); }
// The system's message font at dpi.
UniqueGdiObject MessageFont(UINT dpi, int weight = 0, int designHeightPoints = 0);

}  // namespace qm
