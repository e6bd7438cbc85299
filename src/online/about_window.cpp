#include "online/about_window.h"

#include <array>
#include <memory>

#include "base/app_error.h"
#include "base/program_version.h"
#include "clean/timed_message_box.h"
#include "online/net_connect.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/system_info.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr int kNoticeSeconds = 3;
constexpr TrapSite kTrapLoad{L"frmAbout", L"Form_Load"};
constexpr TrapSite kTrapLabel3{L"frmAbout", L"Label3_Click"};
constexpr TrapSite kTrapLabel4{L"frmAbout", L"Label4_Click"};

// Waits in 10 ms steps with the windows alive; false when Cancel was clicked meanwhile.
bool WaitUnlessCancelled(AppContext& ctx, int steps) {
    for (int step = 0; step < steps; ++step) {
        if (ctx.flags.webCancel) return false;
        ctx.pump.DoEvents();
        ctx.pump.Sleep(10);
    }
    return !ctx.flags.webCancel;
}

void ShowNormalState(AboutFormModel& form) {
    form.Label5.SetVisible(false);
    form.Label6.SetVisible(false);
    form.Label2.SetVisible(true);
    form.Label3.SetVisible(true);
    form.Label4.SetCaption(kCloseFormCaption);
}

void ShowOpeningState(AboutFormModel& form) {
    form.Label5.SetVisible(true);
    form.Label6.SetVisible(true);
    form.Label2.SetVisible(false);
    form.Label3.SetVisible(false);
    form.Label4.SetCaption(kCancelCaption);
}

// Layout of the labels, in pixels of the client area.
struct LabelPlace {
    LabelModel AboutFormModel::*label;
    RECT box;
    bool link;
};
constexpr std::array<LabelPlace, 5> kPlaces{{{&AboutFormModel::Label2, {20, 20, 380, 120}, false},
                                             {&AboutFormModel::Label5, {20, 40, 380, 70}, false},
                                             {&AboutFormModel::Label6, {20, 80, 380, 110}, false},
                                             {&AboutFormModel::Label3, {20, 150, 180, 175}, true},
                                             {&AboutFormModel::Label4, {250, 150, 380, 175}, true}}};
constexpr COLORREF kBackground = RGB(0, 51, 102);
constexpr COLORREF kDisabledLink = RGB(150, 160, 175);

class AboutWindow final : public Window {
public:
    explicit AboutWindow(AppContext& ctx) : ctx_(ctx) {
        RECT frame{0, 0, 400, 200};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
        Create({kAboutWindowClass, AboutCaption().c_str(), kStyle, 0, frame.right - frame.left,
                frame.bottom - frame.top, ctx.ui.MaxMinWindow()});
        linkFont_.reset(CreateUiFont(FW_BOLD, true));
        textFont_.reset(CreateUiFont(FW_NORMAL, false));
        for (const LabelPlace& place : kPlaces)
            subscriptions_.push_back((form_.*place.label).Changed.Subscribe([this] { Repaint(); }));
        CentreOnScreen(Handle());
        TrapStep(ctx_.dialogs, kTrapLoad, [&] { AboutLoad(ctx_, form_, Handle()); });
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_PAINT:
                Paint();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_MOUSEMOVE:
                Hover(LinkAt(LOWORD(lParam), HIWORD(lParam)));
                return 0;
            case WM_SETCURSOR:
                if (form_.hovered) {
                    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
                break;
            case WM_LBUTTONUP:
                Click(LinkAt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))));
                return 0;
            case WM_CLOSE:
                Unload();
                return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

    static HFONT CreateUiFont(int weight, bool underline) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        LOGFONTW font = metrics.lfMessageFont;
        font.lfWeight = weight;
        font.lfUnderline = underline;
        return ::CreateFontIndirectW(&font);
    }

    void Repaint() {
        if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
    }

    const LabelModel* LinkAt(int x, int y) const {
        for (const LabelPlace& place : kPlaces) {
            const LabelModel& label = form_.*place.label;
            if (place.link && label.Visible() && ::PtInRect(&place.box, POINT{x, y})) return &label;
        }
        return nullptr;
    }

    // Over a link it turns red; over the background every link is white again.
    void Hover(const LabelModel* link) {
        if (form_.hovered == link) return;
        form_.hovered = link;
        Repaint();
    }

    void Click(const LabelModel* link) {
        if (!link || busy_) {
            // A click on Cancel during an opening still has to reach the form.
            if (link != &form_.Label4 || !busy_) return;
        }
        if (link == &form_.Label3 && form_.Label3.Enabled()) {
            busy_ = true;
            TrapStep(ctx_.dialogs, kTrapLabel3, [&] { AboutWebsiteClick(ctx_, form_, Handle()); });
            busy_ = false;
            if (closeRequested_) Destroy();
        } else if (link == &form_.Label4) {
            bool unload = false;
            TrapStep(ctx_.dialogs, kTrapLabel4, [&] { unload = AboutCloseClick(ctx_, form_, Handle()); });
            if (unload) Unload();
        }
    }

    // An opening in progress ends first; the window goes once it has.
    void Unload() {
        if (busy_) {
            ctx_.flags.webCancel = true;
            closeRequested_ = true;
            return;
        }
        Destroy();
    }

    void Paint() {
        const PaintOnBackground painting(Handle(), kBackground);
        const HDC dc = painting.Dc();
        for (const LabelPlace& place : kPlaces) {
            const LabelModel& label = form_.*place.label;
            if (!label.Visible()) continue;
            ::SelectObject(dc, place.link ? linkFont_.get() : textFont_.get());
            ::SetTextColor(dc, !label.Enabled() ? kDisabledLink : form_.LinkColour(label));
            RECT box = place.box;
            ::DrawTextW(dc, label.Caption().c_str(), -1, &box, DT_WORDBREAK | DT_NOPREFIX);
        }
    }

    AppContext& ctx_;
    AboutFormModel form_;
    UniqueGdiObject linkFont_, textFont_;
    std::vector<Subscription> subscriptions_;
    bool busy_ = false;
    bool closeRequested_ = false;
};

}  // namespace

std::wstring AboutCaption() { return L"Dorvik Quillmere " + ProgramVersionText(); }

void AboutLoad(AppContext& ctx, AboutFormModel& form, HWND owner) {
    form.hovered = nullptr;
    if (FileExists(QualifyPath(GetSystemDir()) + L"wininet.dll")) return;
    form.Label3.SetEnabled(false);
    ctx.dialogs.ShowMessage({kNoWininetText, kAppTitle, MB_OK | MB_ICONINFORMATION, owner});
}

void AboutWebsiteClick(AppContext& ctx, AboutFormModel& form, HWND owner) {
    form.Label3.SetEnabled(false);
    const bool online = ctx.web && CNetConnect(*ctx.web).Connected();
    if (!online) {
        ShowTimedNotice(ctx, kNotOnLineText, owner, kNoticeSeconds);
        form.Label3.SetEnabled(true);
        return;
    }
    ShowOpeningState(form);
    form.Label3.SetEnabled(true);
    // The short waits around the hand-over keep the opening state visible and cancellable.
    if (WaitUnlessCancelled(ctx, 25)) {
        ctx.web->OpenPage(owner, ConfiguredWebSite().HomePage());
        WaitUnlessCancelled(ctx, 50);
    }
    ShowNormalState(form);
    ctx.flags.webCancel = false;
}

bool AboutCloseClick(AppContext& ctx, AboutFormModel& form, HWND owner) {
    if (form.Label4.Caption() != kCancelCaption) return true;
    ctx.flags.webCancel = true;
    ShowTimedNotice(ctx, kCancelledText, owner, kNoticeSeconds);
    ShowNormalState(form);
    return false;
}

void ShowAbout(AppContext& ctx) {
    if (ctx.frmAbout && !ctx.frmAbout->Handle()) ctx.frmAbout.reset();  // closed since
    if (!ctx.frmAbout) ctx.frmAbout = std::make_unique<AboutWindow>(ctx);
    const HWND window = ctx.frmAbout->Handle();
    if (!window) return;
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
}

}  // namespace qm
