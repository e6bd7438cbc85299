#include "online/update_notice.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <utility>

#include "base/app_error.h"
#include "help/resources.h"
#include "clean/run_state.h"
#include "online/auto_update.h"
#include "startup/app_context.h"
#include "startup/system_info.h"
#include "ui/dpi.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr UINT_PTR kCountdownTimer = 1;   // Timer1: one second per step
constexpr UINT_PTR kSlideTimer = 2;       // moves the window a step at a time
constexpr UINT kSlideStepMs = 10;
constexpr int kSlideStepPixels = 3;
// Sizes at 96 DPI; the notice follows the DPI of the monitor it is on.
constexpr int kWidth = 300, kHeight = 124;
constexpr RECT kDownloadBox{52, 68, 262, 90}, kCloseBox{230, 96, 290, 118};
constexpr COLORREF kBackground = RGB(0, 51, 102);
constexpr COLORREF kText = RGB(255, 255, 255);
constexpr TrapSite kTrapClick{L"frmUpdate", L"Form_Click"};

// Enter or a click takes the update; Esc or "Close" lets the notice slide away now. While
// the user works in it by keyboard the countdown waits.
class UpdateNotice final : public Window {
public:
    explicit UpdateNotice(AppContext& ctx) : ctx_(ctx) {
        Create({kUpdateNoticeClass, L"Dorvik AutoUpdate", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                kWidth, kHeight, nullptr});
        if (!Handle()) return;
        download_ = CreateControl(Handle(), L"BUTTON", kDownloadCaption, BS_OWNERDRAW | WS_TABSTOP, IDOK, 0, 0, 0, 0);
        close_ = CreateControl(Handle(), L"BUTTON", kCloseNoticeCaption, BS_OWNERDRAW | WS_TABSTOP, IDCANCEL, 0, 0, 0, 0);
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_, 0);
        MakeTransparent(ctx_.os, Handle(), kNoticeAlpha);
        Layout(WindowDpi(Handle()));
        // Right edge on the work area's right edge, just below its bottom: then it slides up.
        ::SetWindowPos(Handle(), HWND_TOPMOST, work_.right - width_, work_.bottom, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        ShowKeyboardCues(Handle());
        const std::string_view sound = ProgramResource(IDR_NOTICE_SOUND);
        if (!sound.empty()) ::PlaySoundW(reinterpret_cast<LPCWSTR>(sound.data()), nullptr,
                                         SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
        ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        direction_ = -1;
        ::SetTimer(Handle(), kSlideTimer, kSlideStepMs, nullptr);
        ::SetTimer(Handle(), kCountdownTimer, 1000, nullptr);
    }
    ~UpdateNotice() override {
        ::PlaySoundW(nullptr, nullptr, 0);  // the sound ends with its window
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_PAINT:
                Paint();
                return 0;
            case WM_TIMER:
                if (wParam == kCountdownTimer) CountDown();
                if (wParam == kSlideTimer) Slide();
                return 0;
            case WM_LBUTTONUP:
                Clicked();
                return 0;
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;
            case WM_ACTIVATE:
                if (LOWORD(wParam) != WA_INACTIVE) {
                    ::KillTimer(Handle(), kCountdownTimer);  // the user is reading it
                    ::SetFocus(download_);
                }
                return 0;
            case WM_DRAWITEM:
                DrawLinkButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), kBackground, kText,
                               static_cast<HFONT>(font_.get()));
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDOK) Clicked();
                if (LOWORD(wParam) == IDCANCEL) SlideAway();
                return 0;
            case WM_DPICHANGED:
                Layout(HIWORD(wParam));
                return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    void Layout(UINT dpi) {
        dpi_ = dpi;
        width_ = Scale(kWidth, dpi);
        height_ = Scale(kHeight, dpi);
        font_ = MessageFont(dpi);
        ::SetWindowPos(Handle(), nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (const auto& [control, box] : {std::pair{download_, kDownloadBox}, std::pair{close_, kCloseBox}}) {
            ::MoveWindow(control, Scale(box.left, dpi), Scale(box.top, dpi), Scale(box.right - box.left, dpi),
                         Scale(box.bottom - box.top, dpi), TRUE);
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
        }
    }

    void CountDown() {
        if (--secondsLeft_ > 0) {
            ::InvalidateRect(Handle(), nullptr, TRUE);
            return;
        }
        SlideAway();
    }

    // Slides down out of the work area, then unloads.
    void SlideAway() {
        ::KillTimer(Handle(), kCountdownTimer);
        direction_ = 1;
        ::SetTimer(Handle(), kSlideTimer, kSlideStepMs, nullptr);
    }

    void Slide() {
        RECT frame{};
        ::GetWindowRect(Handle(), &frame);
        int top = frame.top + direction_ * Scale(kSlideStepPixels, dpi_);
        if (direction_ < 0 && top <= work_.bottom - height_) {
            top = work_.bottom - height_;  // bottom edge on the work area's bottom edge
            ::KillTimer(Handle(), kSlideTimer);
        }
        if (direction_ > 0 && top >= work_.bottom) {
            ::KillTimer(Handle(), kSlideTimer);
            Destroy();
            return;
        }
        ::SetWindowPos(Handle(), nullptr, frame.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::UpdateWindow(Handle());
    }

    // The notice goes at once; the update runs after it. During a clean the click is
    // refused and the notice stays.
    void Clicked() {
        if (RunActive(ctx_)) return;
        ::KillTimer(Handle(), kCountdownTimer);
        ::KillTimer(Handle(), kSlideTimer);
        ::ShowWindow(Handle(), SW_HIDE);
        TrapStep(ctx_.dialogs, kTrapClick, [&] { GetUpdate(ctx_); });
        Destroy();
    }

    void Paint() {
        const PaintOnBackground painting(Handle(), kBackground);
        const HDC dc = painting.Dc();
        const int icon = Scale(32, dpi_);
        ::DrawIconEx(dc, Scale(10, dpi_), Scale(10, dpi_),
                     ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)), icon, icon, 0, nullptr, DI_NORMAL);
        ::SetTextColor(dc, kText);
        ::SelectObject(dc, font_.get());
        const auto& offer = ctx_.update.offered;
        DrawLine(dc, L"A newer version is available:", {52, 8, 290, 26});    // Label1
        DrawLine(dc, offer.displayName, {52, 26, 290, 44});                   // Label2
        DrawLine(dc, L"To Version " + offer.versionText, {52, 44, 290, 62});  // Label5
        DrawLine(dc, std::to_wstring(secondsLeft_), {266, 70, 290, 88});      // Label4
    }
    void DrawLine(HDC dc, const std::wstring& text, RECT box) const {
        RECT scaled{Scale(box.left, dpi_), Scale(box.top, dpi_), Scale(box.right, dpi_), Scale(box.bottom, dpi_)};
        ::DrawTextW(dc, text.c_str(), -1, &scaled, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }

    AppContext& ctx_;
    HWND download_ = nullptr;  // Label3
    HWND close_ = nullptr;
    UniqueGdiObject font_;
    UINT dpi_ = kDesignDpi;
    int width_ = kWidth, height_ = kHeight;
    RECT work_{};
    int direction_ = -1;  // -1 sliding up, 1 sliding away
    int secondsLeft_ = kNoticeSeconds;
};

}  // namespace

void ShowUpdateNotice(AppContext& ctx) {
    if (ctx.frmUpdate && ctx.frmUpdate->Handle()) return;  // one notice at a time
    ctx.frmUpdate = std::make_unique<UpdateNotice>(ctx);
}

}  // namespace qm
