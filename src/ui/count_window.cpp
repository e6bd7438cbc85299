#include "ui/count_window.h"

#include <commctrl.h>

#include "clean/count_form.h"
#include "clean/run_state.h"
#include "startup/app_context.h"
#include "startup/system_info.h"
#include "ui/dpi.h"
#include "ui/last_clean_window.h"

namespace qm {

namespace {

constexpr int kWidth = 220, kHeight = 104;  // at 96 DPI
constexpr UINT_PTR kReturnTimerId = 1;
constexpr int kOpacity = 230;
enum : int { kLabel1Id = 1, kLabel2Id, kLabel3Id, kBarId };

RECT WorkAreaAt(POINT point) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

}  // namespace

CountWindow::CountWindow(AppContext& ctx, HWND owner) : ctx_(ctx) {
    Create({kCountWindowClass, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kWidth, kHeight,
            owner});
    dpi_ = WindowDpi(Handle());
    auto& count = ctx_.frmCount;
    label1_ = CreateControl(Handle(), L"STATIC", L"", SS_CENTER | SS_NOPREFIX, kLabel1Id, 0, 0, 0, 0);
    label2_ = CreateControl(Handle(), L"STATIC", L"", SS_CENTER | SS_NOPREFIX, kLabel2Id, 0, 0, 0, 0);
    label3_ = CreateControl(Handle(), L"STATIC", L"", SS_CENTER | SS_NOPREFIX, kLabel3Id, 0, 0, 0, 0);
    bar_ = CreateControl(Handle(), PROGRESS_CLASSW, L"", PBS_SMOOTH, kBarId, 0, 0, 0, 0);
    binder_ = std::make_unique<ControlBinder>(Handle(), Handle());
    binder_->Label(label1_, count.Label1);
    binder_->Label(label2_, count.Label2);
    binder_->Label(label3_, count.Label3);
    binder_->Progress(bar_, count.ProgressBar1);
    Layout();
    MakeTransparent(ctx_.os, Handle(), kOpacity);
    subscriptions_.push_back(count.form.Changed.Subscribe([this] { MirrorForm(); }));
    subscriptions_.push_back(count.Timer1.Changed.Subscribe([this] { MirrorTimer(); }));
}

CountWindow::~CountWindow() { subscriptions_.clear(); }

void CountWindow::Layout() {
    countFont_ = MessageFont(dpi_, FW_BOLD, 16);
    textFont_ = MessageFont(dpi_, FW_BOLD);
    detailFont_ = MessageFont(dpi_, FW_NORMAL);
    ::SetWindowPos(Handle(), nullptr, 0, 0, Scale(kWidth, dpi_), Scale(kHeight, dpi_),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(label1_, Scale(8, dpi_), Scale(8, dpi_), Scale(kWidth - 16, dpi_), Scale(34, dpi_), TRUE);
    ::MoveWindow(label2_, Scale(8, dpi_), Scale(46, dpi_), Scale(kWidth - 16, dpi_), Scale(22, dpi_), TRUE);
    ::MoveWindow(label3_, Scale(4, dpi_), Scale(72, dpi_), Scale(kWidth - 8, dpi_), Scale(22, dpi_), TRUE);
    ::MoveWindow(bar_, Scale(12, dpi_), Scale(56, dpi_), Scale(kWidth - 24, dpi_), Scale(18, dpi_), TRUE);
    ::SendMessageW(label1_, WM_SETFONT, reinterpret_cast<WPARAM>(countFont_.get()), TRUE);
    ::SendMessageW(label2_, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), TRUE);
    ::SendMessageW(label3_, WM_SETFONT, reinterpret_cast<WPARAM>(detailFont_.get()), TRUE);
}

void CountWindow::Place() {
    auto& count = ctx_.frmCount;
    if (count.BackColor != backColor_) {
        backColor_ = count.BackColor;
        background_.reset(::CreateSolidBrush(backColor_));
        ::InvalidateRect(Handle(), nullptr, TRUE);
    }
    RECT frame{};
    ::GetWindowRect(Handle(), &frame);
    const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    switch (count.placement) {
        case CountPlacement::NearTrayClick: {
            const POINT topLeft = PlaceNearTrayClick(ctx_.trayClick, size, WorkAreaAt(ctx_.trayClick));
            ::SetWindowPos(Handle(), HWND_TOPMOST, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        }
        case CountPlacement::Centred: CentreOnScreen(Handle()); break;
        case CountPlacement::Unchanged: break;
    }
}

void CountWindow::MirrorForm() {
    auto& form = ctx_.frmCount.form;
    if (!form.Visible()) {
        ::ShowWindow(Handle(), SW_HIDE);
        return;
    }
    Place();
    // The result window never takes the focus from what the user is doing.
    if (!::IsWindowVisible(Handle()))
        ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CountWindow::MirrorTimer() {
    const auto& timer = ctx_.frmCount.Timer1;
    if (timer.Enabled() == timerRunning_) return;
    timerRunning_ = timer.Enabled();
    if (timerRunning_)
        ::SetTimer(Handle(), kReturnTimerId, timer.Interval(), nullptr);
    else
        ::KillTimer(Handle(), kReturnTimerId);
}

bool CountWindow::ResultShown() const { return ctx_.frmCount.form.Visible() && ctx_.frmCount.Label2.Visible(); }

LRESULT CountWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kReturnTimerId) ctx_.frmCount.Timer1.Timer();
            return 0;
        case WM_ERASEBKGND: {
            RECT client{};
            ::GetClientRect(Handle(), &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(background_.get()));
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, backColor_);
            ::SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(background_.get());
        }
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_SETCURSOR:
            if (!ResultShown()) return Default(message, wParam, lParam);
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONUP:
            // The result is a way into what the clean did: it goes, and Last Clean opens.
            if (ResultShown() && !RunActive(ctx_)) {
                ctx_.frmCount.Timer1.Timer();
                ShowLastCleanWindow(ctx_);
            }
            return 0;
        case WM_DPICHANGED:  // placed on a monitor of another scaling
            dpi_ = HIWORD(wParam);
            Layout();
            Place();
            return 0;
        case ControlBinder::kSyncListsMessage: binder_->SyncLists(); return 0;
        default: return Default(message, wParam, lParam);
    }
}

}  // namespace qm
