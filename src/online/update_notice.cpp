#include "online/update_notice.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>

#include "base/app_error.h"
#include "help/resources.h"
#include "clean/run_state.h"
#include "online/auto_update.h"
#include "startup/app_context.h"
#include "startup/system_info.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr UINT_PTR kCountdownTimer = 1;   // Timer1: one second per step
constexpr UINT_PTR kSlideTimer = 2;       // moves the window a step at a time
constexpr UINT kSlideStepMs = 10;
constexpr int kSlideStepPixels = 3;
constexpr int kWidth = 300, kHeight = 104;
constexpr COLORREF kBackground = RGB(0, 51, 102);
constexpr TrapSite kTrapClick{L"frmUpdate", L"Form_Click"};

class UpdateNotice final : public Window {
public:
    explicit UpdateNotice(AppContext& ctx) : ctx_(ctx) {
        Create({kUpdateNoticeClass, L"Dorvik AutoUpdate", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                kWidth, kHeight, nullptr});
        if (!Handle()) return;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_, 0);
        MakeTransparent(ctx_.os, Handle(), kNoticeAlpha);
        // Right edge on the work area's right edge, just below its bottom: then it slides up.
        ::SetWindowPos(Handle(), HWND_TOPMOST, work_.right - kWidth, work_.bottom, kWidth, kHeight, SWP_NOACTIVATE);
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

    int SecondsLeft() const { return secondsLeft_; }

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
        }
        return Default(message, wParam, lParam);
    }

private:
    void CountDown() {
        if (--secondsLeft_ > 0) {
            ::InvalidateRect(Handle(), nullptr, TRUE);
            return;
        }
        ::KillTimer(Handle(), kCountdownTimer);
        direction_ = 1;  // slide away, then unload
        ::SetTimer(Handle(), kSlideTimer, kSlideStepMs, nullptr);
    }

    void Slide() {
        RECT frame{};
        ::GetWindowRect(Handle(), &frame);
        int top = frame.top + direction_ * kSlideStepPixels;
        if (direction_ < 0 && top <= work_.bottom - kHeight) {
            top = work_.bottom - kHeight;  // bottom edge on the work area's bottom edge
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
        ::DrawIconEx(dc, 10, 10, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)), 32, 32, 0, nullptr,
                     DI_NORMAL);
        ::SetTextColor(dc, RGB(255, 255, 255));
        ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        const auto& offer = ctx_.update.offered;
        DrawLine(dc, L"A newer version is available:", {52, 8, 290, 26});           // Label1
        DrawLine(dc, offer.displayName, {52, 26, 290, 44});                          // Label2
        DrawLine(dc, L"To Version " + offer.versionText, {52, 44, 290, 62});         // Label5
        DrawLine(dc, L"Click here to download and install it.", {52, 70, 260, 88});  // Label3
        DrawLine(dc, std::to_wstring(secondsLeft_), {266, 70, 290, 88});            // Label4
    }
    static void DrawLine(HDC dc, const std::wstring& text, RECT box) {
        ::DrawTextW(dc, text.c_str(), -1, &box, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }

    AppContext& ctx_;
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
