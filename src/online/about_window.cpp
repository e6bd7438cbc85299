#include "online/about_window.h"

#include <array>
#include <exception>
#include <memory>
#include <thread>

#include "base/app_error.h"
#include "base/handles.h"
#include "base/program_version.h"
#include "clean/timed_message_box.h"
#include "online/net_connect.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/system_info.h"
#include "ui/dpi.h"
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

// Whether the web can be reached, asked on a thread of its own while the windows stay alive:
// under Wine a site that takes the connection and never answers holds a request for good.
// Cancel, or the probe's time-out with a second to spare, gives up on it; the thread then
// ends by itself, holding its own share of the web seam. A fault of the probe reaches the
// caller as if it had been asked here.
bool ProbeWithWindowsAlive(AppContext& ctx) {
    struct Outcome {
        UniqueKernelObject done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        bool connected = false;
        std::exception_ptr fault;
    };
    const auto outcome = std::make_shared<Outcome>();
    if (!outcome->done) return false;
    std::thread([web = ctx.web, outcome] {
        try {
            outcome->connected = CNetConnect(*web).Connected();
        } catch (...) {
            outcome->fault = std::current_exception();
        }
        ::SetEvent(outcome->done.get());
    }).detach();
    constexpr int kMostSteps = static_cast<int>(kProbeTimeoutMs / 10) + 100;
    for (int step = 0; step < kMostSteps && !ctx.flags.webCancel; ++step) {
        if (::WaitForSingleObject(outcome->done.get(), 10) == WAIT_OBJECT_0) {
            if (outcome->fault) std::rethrow_exception(outcome->fault);
            return outcome->connected;
        }
        ctx.pump.DoEvents();
    }
    return false;
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

// Layout of the labels at 96 DPI, in pixels of the client area. The links are buttons, so
// Tab reaches them and a screen reader names them; Enter acts on the focused one and Esc
// is "Close Form" (or "Cancel" while a page opens).
struct LabelPlace {
    LabelModel AboutFormModel::*label;
    RECT box;
    int id;  // the links' command ids
};
constexpr int kWebsiteId = 3;
constexpr std::array<LabelPlace, 5> kPlaces{{{&AboutFormModel::Label2, {20, 20, 380, 120}, 0},
                                             {&AboutFormModel::Label5, {20, 40, 380, 70}, 0},
                                             {&AboutFormModel::Label6, {20, 80, 380, 110}, 0},
                                             {&AboutFormModel::Label3, {20, 150, 180, 175}, kWebsiteId},
                                             {&AboutFormModel::Label4, {250, 150, 380, 175}, IDCANCEL}}};
constexpr int kClientWidth = 400, kClientHeight = 200;
constexpr COLORREF kBackground = RGB(0, 51, 102);
constexpr COLORREF kDisabledLink = RGB(150, 160, 175);

class AboutWindow final : public Window {
public:
    explicit AboutWindow(AppContext& ctx) : ctx_(ctx) {
        Create({kAboutWindowClass, AboutCaption().c_str(), kStyle, WS_EX_CONTROLPARENT, CW_USEDEFAULT, CW_USEDEFAULT,
                ctx.ui.MaxMinWindow()});
        for (const LabelPlace& place : kPlaces) {
            LabelModel& label = form_.*place.label;
            // A text is a static control, which screen readers read too; a link is a button.
            controls_.push_back(place.id ? CreateControl(Handle(), L"BUTTON", label.Caption().c_str(),
                                                         BS_OWNERDRAW | WS_TABSTOP, place.id, 0, 0, 0, 0)
                                         : CreateControl(Handle(), L"STATIC", label.Caption().c_str(),
                                                         SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, 0));
            subscriptions_.push_back(label.Changed.Subscribe([this] { Mirror(); }));
        }
        background_.reset(::CreateSolidBrush(kBackground));
        Layout(WindowDpi(Handle()));
        Mirror();
        CentreOnScreen(Handle());
        ShowKeyboardCues(Handle());
        TrapStep(ctx_.dialogs, kTrapLoad, [&] { AboutLoad(ctx_, form_, Handle()); });
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_ERASEBKGND: {
                RECT client{};
                ::GetClientRect(Handle(), &client);
                ::FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(background_.get()));
                return 1;
            }
            case WM_CTLCOLORSTATIC:
                ::SetTextColor(reinterpret_cast<HDC>(wParam), kLinkColour);
                ::SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
                return reinterpret_cast<LRESULT>(background_.get());
            case WM_DRAWITEM: {
                const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                const LabelModel* link = LinkOf(item.hwndItem);
                if (!link) break;
                DrawLinkButton(item, kBackground, link->Enabled() ? form_.LinkColour(*link) : kDisabledLink,
                               static_cast<HFONT>(linkFont_.get()));
                return TRUE;
            }
            case WM_SETCURSOR:  // wParam: the window under the pointer, a link or the background
                Hover(LinkOf(reinterpret_cast<HWND>(wParam)));
                if (form_.hovered) {
                    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
                break;
            case WM_COMMAND: {
                const int id = LOWORD(wParam);
                // Enter acts on the focused link; Esc and the close link share IDCANCEL.
                if (id == IDOK) Click(LinkOf(::GetFocus()));
                else if (HIWORD(wParam) == BN_CLICKED || id == IDCANCEL) Click(LinkOf(::GetDlgItem(Handle(), id)));
                return 0;
            }
            case WM_DPICHANGED:
                Layout(HIWORD(wParam));
                return 0;
            case WM_CLOSE:
                Unload();
                return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

    void Layout(UINT dpi) {
        RECT frame{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_CONTROLPARENT);
        ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        linkFont_ = MessageFont(dpi, FW_BOLD);
        textFont_ = MessageFont(dpi);
        for (size_t i = 0; i < kPlaces.size(); ++i) {
            const RECT& box = kPlaces[i].box;
            ::MoveWindow(controls_[i], Scale(box.left, dpi), Scale(box.top, dpi), Scale(box.right - box.left, dpi),
                         Scale(box.bottom - box.top, dpi), TRUE);
            ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), TRUE);
        }
    }

    // The controls follow the labels: text, shown or hidden, enabled.
    void Mirror() {
        for (size_t i = 0; i < kPlaces.size(); ++i) {
            const LabelModel& label = form_.*kPlaces[i].label;
            const HWND control = controls_[i];
            ::SetWindowTextW(control, label.Caption().c_str());
            ::EnableWindow(control, label.Enabled());
            ::ShowWindow(control, label.Visible() ? SW_SHOWNA : SW_HIDE);
            ::InvalidateRect(control, nullptr, TRUE);
        }
    }

    const LabelModel* LinkOf(HWND control) const {
        for (size_t i = 0; i < kPlaces.size(); ++i)
            if (kPlaces[i].id && control && controls_[i] == control) return &(form_.*kPlaces[i].label);
        return nullptr;
    }

    // Over a link it turns red; over the background every link is white again.
    void Hover(const LabelModel* link) {
        if (form_.hovered == link) return;
        form_.hovered = link;
        Mirror();
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
            if (closeRequested_) return Destroy();
            // Disabled meanwhile, the link lost the keyboard focus: it gets it back.
            const HWND website = ::GetDlgItem(Handle(), kWebsiteId);
            const HWND focus = ::GetFocus();
            if (::IsWindowVisible(website) && (!focus || focus == Handle())) ::SetFocus(website);
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

    AppContext& ctx_;
    AboutFormModel form_;
    std::vector<HWND> controls_;  // one per place, in the order of kPlaces
    UniqueGdiObject linkFont_, textFont_, background_;
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
    const bool online = ctx.web && ProbeWithWindowsAlive(ctx);
    if (ctx.flags.webCancel) {  // the window closed meanwhile
        form.Label3.SetEnabled(true);
        ctx.flags.webCancel = false;
        return;
    }
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
