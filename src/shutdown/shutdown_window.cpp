#include "shutdown/shutdown_window.h"

#include <algorithm>

#include "ui/dpi.h"

namespace qm {

namespace {

constexpr int kWidth = 320, kHeight = 150;  // at 96 DPI

void FillWith(HDC dc, const RECT& box, COLORREF colour) {
    const UniqueGdiObject brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &box, static_cast<HBRUSH>(brush.get()));
}

}  // namespace

int FadeBandCount(int colourDepth) {
    switch (colourDepth) {
        case 15: return 32;
        case 16:
        case 24:
        case 32: return 256;
        default: return 64;  // 4 and 8 bits, and any depth not known
    }
}

void FadeForm(HDC dc, const RECT& area, int bands) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    const int blueStep = (256 + bands / 2) / bands;
    const int bandHeight = (height + bands / 2) / bands, bandWidth = (width + bands / 2) / bands;
    RECT current = area;
    int blue = 0;
    for (int band = 0; band < bands; ++band) {
        const COLORREF shade = RGB(0, 0, std::min(blue, 255));
        FillWith(dc, {current.left, current.bottom - bandHeight, current.right, current.bottom}, shade);
        FillWith(dc, {current.right - bandWidth, current.top, current.right, current.bottom}, shade);
        current.bottom -= bandHeight;
        current.right -= bandWidth;
        blue += blueStep;
    }
    if (current.right > current.left && current.bottom > current.top) FillWith(dc, current, RGB(0, 0, 255));
}

ShutdownWindow::ShutdownWindow(HWND owner) {
    Create({kShutdownWindowClass, L"", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWidth, kHeight, owner});
    const UINT dpi = WindowDpi(Handle());
    ::SetWindowPos(Handle(), nullptr, 0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi), SWP_NOMOVE | SWP_NOZORDER);
    font_.reset(::CreateFontW(-Scale(28, dpi), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                              L"Comic Sans MS"));
    const HDC screen = ::GetDC(Handle());
    bands_ = FadeBandCount(::GetDeviceCaps(screen, BITSPIXEL) * ::GetDeviceCaps(screen, PLANES));
    ::ReleaseDC(Handle(), screen);
}

void ShutdownWindow::Show() {
    CentreOnScreen(Handle());
    ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    ::UpdateWindow(Handle());
}

void ShutdownWindow::Paint(HDC dc) {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    FadeForm(dc, client, bands_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    const HGDIOBJ oldFont = ::SelectObject(dc, font_.get());
    RECT top = client, bottom = client;
    top.bottom = client.bottom / 2;
    bottom.top = client.bottom / 2;
    ::DrawTextW(dc, L"Windows will now", -1, &top, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    ::DrawTextW(dc, L"Shutdown", -1, &bottom, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
}

LRESULT ShutdownWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            const HDC dc = ::BeginPaint(Handle(), &paint);
            Paint(dc);
            ::EndPaint(Handle(), &paint);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        default: return Default(message, wParam, lParam);
    }
}

}  // namespace qm
