#include "online/check_progress.h"

#include <commctrl.h>

#include "online/auto_update.h"
#include "ui/dpi.h"

namespace qm {

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kWidth = 340, kHeight = 104;  // client area at 96 DPI
constexpr UINT kMarqueeMs = 40;

}  // namespace

CheckProgressWindow::CheckProgressWindow(HWND owner) {
    Create({kCheckProgressClass, kNotConnectedTitle, kStyle, kExStyle, kWidth, kHeight, owner});
    if (!Handle()) return;
    text_ = CreateControl(Handle(), L"STATIC", kCheckProgressText, SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, 0);
    bar_ = CreateControl(Handle(), PROGRESS_CLASSW, L"", PBS_MARQUEE, 0, 0, 0, 0, 0);
    ::SendMessageW(bar_, PBM_SETMARQUEE, TRUE, kMarqueeMs);
    button_ = CreateControl(Handle(), L"BUTTON", L"Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, kCheckProgressCancelId, 0,
                            0, 0, 0);
    Layout(WindowDpi(Handle()));
    CentreOnScreen(Handle());
    BringToFront(Handle());
    ::SetFocus(button_);
}

void CheckProgressWindow::Layout(UINT dpi) {
    RECT frame{0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    font_ = MessageFont(dpi);
    const struct {
        HWND control;
        RECT box;  // at 96 DPI
    } places[] = {{text_, {12, 12, 328, 32}}, {bar_, {12, 40, 328, 56}}, {button_, {240, 68, 328, 94}}};
    for (const auto& place : places) {
        const RECT& r = place.box;
        ::MoveWindow(place.control, Scale(r.left, dpi), Scale(r.top, dpi), Scale(r.right - r.left, dpi),
                     Scale(r.bottom - r.top, dpi), TRUE);
        ::SendMessageW(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
}

LRESULT CheckProgressWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) != kCheckProgressCancelId) break;
            [[fallthrough]];
        case WM_CLOSE:
            if (cancel_) cancel_();
            Destroy();
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Layout(HIWORD(wParam));
            return 0;
        }
        default: break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace qm
