#include "clean/timed_box_dialog.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "base/handles.h"
#include "base/text.h"

namespace qm {

namespace {

constexpr int kIconId = 20;
constexpr UINT kTextFormat = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

std::function<void(HWND)>& OpenedHook() {
    static std::function<void(HWND)> hook;
    return hook;
}

// A button of the box: its control id and the answer it gives.
struct BoxButton {
    int id;
    std::wstring caption;
    int result;
};

bool HasCancelButton(UINT style) { return (style & MB_TYPEMASK) == MB_OKCANCEL; }

std::vector<BoxButton> ButtonsFor(const TimedBoxRequest& request) {
    std::vector<BoxButton> buttons;
    if (HasCancelButton(request.style)) {
        buttons = {{IDOK, L"OK", IDOK}, {IDCANCEL, L"Cancel", IDCANCEL}};
    } else {
        // Like the platform's OK box, the only button has IDCANCEL's id, so Esc and the
        // close box answer it; it still answers OK.
        buttons = {{IDCANCEL, L"OK", IDOK}};
    }
    for (const ButtonCaption& relabel : CaptionsByMode(request)) {
        for (BoxButton& button : buttons) {
            // A blank caption would leave the user a button without a name.
            if (button.id == relabel.id && !relabel.caption.empty()) button.caption = relabel.caption;
        }
    }
    return buttons;
}

int DefaultButtonId(const TimedBoxRequest& request) {
    if (!HasCancelButton(request.style)) return IDCANCEL;
    return (request.style & MB_DEFMASK) == MB_DEFBUTTON2 ? IDCANCEL : IDOK;
}

LPCWSTR StandardIcon(UINT style) {
    switch (style & MB_ICONMASK) {
        case MB_ICONINFORMATION: return IDI_INFORMATION;
        case MB_ICONWARNING: return IDI_WARNING;
        case MB_ICONERROR: return IDI_ERROR;
        case MB_ICONQUESTION: return IDI_QUESTION;
        default: return nullptr;
    }
}

// A dialog template with the title only; the controls are made in WM_INITDIALOG,
// where the text can be measured.
std::vector<DWORD> EmptyDialogTemplate(std::wstring_view title) {
    constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    std::vector<WORD> words{
        LOWORD(style), HIWORD(style),
        0, 0,        // extended style
        0,           // no items
        0, 0, 0, 0,  // x, y, cx, cy
        0, 0,        // no menu; the standard dialog class
    };
    for (const wchar_t c : title) words.push_back(static_cast<WORD>(c));
    words.push_back(0);
    // The template must start on a DWORD boundary.
    std::vector<DWORD> aligned((words.size() + 1) / 2);
    std::memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
    return aligned;
}

// A window's device context with a font selected, both given back at the end.
class MeasuringDc {
public:
    MeasuringDc(HWND window, HFONT font) : window_(window), dc_(::GetDC(window)) {
        oldFont_ = ::SelectObject(dc_, font);
    }
    ~MeasuringDc() {
        ::SelectObject(dc_, oldFont_);
        ::ReleaseDC(window_, dc_);
    }
    MeasuringDc(const MeasuringDc&) = delete;
    MeasuringDc& operator=(const MeasuringDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ oldFont_ = nullptr;
};

RECT WorkAreaNear(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// Centred on `around`, kept inside `work`.
POINT CentredOrigin(SIZE size, const RECT& around, const RECT& work) {
    const LONG x = around.left + (Width(around) - size.cx) / 2;
    const LONG y = around.top + (Height(around) - size.cy) / 2;
    return {std::clamp<LONG>(x, work.left, std::max<LONG>(work.left, work.right - size.cx)),
            std::clamp<LONG>(y, work.top, std::max<LONG>(work.top, work.bottom - size.cy))};
}

struct BoxLayout {
    RECT icon{};
    RECT text{};
    std::vector<RECT> buttons;
    SIZE client{};
};

class TimedBoxDialog {
public:
    explicit TimedBoxDialog(const TimedBoxRequest& request) : request_(request), buttons_(ButtonsFor(request)) {}
    TimedBoxDialog(const TimedBoxDialog&) = delete;
    TimedBoxDialog& operator=(const TimedBoxDialog&) = delete;

    int Run();

private:
    static INT_PTR CALLBACK StaticProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnInit();
    void OnTick();
    void PressTimeoutButton();
    void Finish(int buttonId);

    HFONT Font() const;
    BoxLayout Measure() const;
    HWND CreateChild(const wchar_t* className, const std::wstring& text, DWORD style, int id, const RECT& place);
    void CreateControls(const BoxLayout& layout);
    void PlaceWindow(SIZE client);
    const BoxButton* FindButton(int id) const;
    // The window whose screen the box appears on.
    HWND OwnerOrSelf() const {
        const HWND owner = ::GetWindow(dialog_, GW_OWNER);
        return owner ? owner : dialog_;
    }
    int Remaining() const { return std::max(0, request_.seconds - elapsed_); }

    const TimedBoxRequest& request_;
    const std::vector<BoxButton> buttons_;
    HWND dialog_ = nullptr;
    UniqueGdiObject messageFont_;
    int elapsed_ = 0;
    std::exception_ptr failure_;
};

int TimedBoxDialog::Run() {
    const std::vector<DWORD> dialogTemplate = EmptyDialogTemplate(request_.title);
    // A stale owner handle must not cost the user the message.
    const HWND owner = ::IsWindow(request_.owner) ? request_.owner : nullptr;
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                  owner, &TimedBoxDialog::StaticProc, reinterpret_cast<LPARAM>(this));
    if (failure_) std::rethrow_exception(failure_);
    // A box that could not be shown agrees to nothing.
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK TimedBoxDialog::StaticProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<TimedBoxDialog*>(lParam)->dialog_ = dialog;
    }
    auto* self = reinterpret_cast<TimedBoxDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return FALSE;
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Exceptions must not cross the system's dialog loop; Run hands it to the caller.
        self->failure_ = std::current_exception();
        ::EndDialog(dialog, -1);
        return TRUE;
    }
}

INT_PTR TimedBoxDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return FALSE;  // the focus is already on the default button
        case WM_TIMER:
            if (wParam != kCountdownTimerId) return FALSE;
            OnTick();
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED || !FindButton(LOWORD(wParam))) return FALSE;
            Finish(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            Finish(IDCANCEL);
            return TRUE;
        default: return FALSE;
    }
}

void TimedBoxDialog::OnInit() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        messageFont_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
    }
    const BoxLayout layout = Measure();
    CreateControls(layout);
    PlaceWindow(layout.client);

    const int defaultId = DefaultButtonId(request_);
    ::SendMessageW(dialog_, DM_SETDEFID, defaultId, 0);
    ::SetFocus(::GetDlgItem(dialog_, defaultId));
    if (const UINT icon = request_.style & MB_ICONMASK) ::MessageBeep(icon);

    ::SetTimer(dialog_, kCountdownTimerId, kCountdownInterval, nullptr);
    if (OpenedHook()) OpenedHook()(dialog_);
}

void TimedBoxDialog::OnTick() {
    ++elapsed_;
    ::SetDlgItemTextW(dialog_, kTimedBoxTextId, CountdownText(request_.text, Remaining()).c_str());
    if (elapsed_ < request_.seconds) return;
    ::KillTimer(dialog_, kCountdownTimerId);
    PressTimeoutButton();
}

void TimedBoxDialog::PressTimeoutButton() {
    // Without that button the box stays until the user answers it.
    if (!FindButton(request_.timeoutButton)) return;
    const HWND button = ::GetDlgItem(dialog_, request_.timeoutButton);
    // Sent as the click's own notification: a click message may be refused while the
    // box is not the active window, which is the usual case on an unattended machine.
    ::SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(request_.timeoutButton, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
}

void TimedBoxDialog::Finish(int buttonId) {
    ::KillTimer(dialog_, kCountdownTimerId);
    ::EndDialog(dialog_, FindButton(buttonId)->result);
}

HFONT TimedBoxDialog::Font() const {
    return messageFont_ ? static_cast<HFONT>(messageFont_.get()) : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

BoxLayout TimedBoxDialog::Measure() const {
    const MeasuringDc dc(dialog_, Font());
    const int dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    const auto scale = [dpi](int pixelsAt96) { return ::MulDiv(pixelsAt96, dpi, 96); };
    const int margin = scale(12);
    const int gap = scale(12);
    const int buttonGap = scale(8);
    const int iconSize = StandardIcon(request_.style) ? ::GetSystemMetrics(SM_CXICON) : 0;

    TEXTMETRICW font{};
    ::GetTextMetricsW(dc.get(), &font);

    // The first text shows the most seconds, so it is the widest the box will show.
    const std::wstring shown = CountdownText(request_.text, Remaining());
    const RECT workArea = WorkAreaNear(OwnerOrSelf());
    RECT textSize{0, 0, std::max(scale(200), Width(workArea) * 5 / 8), 0};
    ::DrawTextW(dc.get(), shown.c_str(), static_cast<int>(shown.size()), &textSize, DT_CALCRECT | kTextFormat);
    const int textWidth = Width(textSize);
    const int textHeight = std::max<int>(Height(textSize), font.tmHeight);

    int buttonWidth = scale(75);
    for (const BoxButton& button : buttons_) {
        SIZE caption{};
        ::GetTextExtentPoint32W(dc.get(), button.caption.c_str(), static_cast<int>(button.caption.size()), &caption);
        buttonWidth = std::max<int>(buttonWidth, caption.cx + scale(24));
    }
    const int buttonHeight = std::max<int>(scale(23), font.tmHeight + scale(10));
    const int buttonCount = static_cast<int>(buttons_.size());
    const int rowWidth = buttonCount * buttonWidth + (buttonCount - 1) * buttonGap;

    BoxLayout layout;
    const int textLeft = margin + (iconSize ? iconSize + gap : 0);
    const int contentHeight = std::max(iconSize, textHeight);
    const int textTop = margin + (contentHeight - textHeight) / 2;
    layout.icon = {margin, margin, margin + iconSize, margin + iconSize};
    layout.text = {textLeft, textTop, textLeft + textWidth, textTop + textHeight};
    layout.client.cx = std::max(textLeft + textWidth + margin, rowWidth + 2 * margin);

    const int buttonTop = margin + contentHeight + gap;
    int buttonLeft = (layout.client.cx - rowWidth) / 2;
    for (int i = 0; i < buttonCount; ++i) {
        layout.buttons.push_back({buttonLeft, buttonTop, buttonLeft + buttonWidth, buttonTop + buttonHeight});
        buttonLeft += buttonWidth + buttonGap;
    }
    layout.client.cy = buttonTop + buttonHeight + margin;
    return layout;
}

HWND TimedBoxDialog::CreateChild(const wchar_t* className, const std::wstring& text, DWORD style, int id,
                                 const RECT& place) {
    const HWND child = ::CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                                         place.top, Width(place), Height(place), dialog_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    return child;
}

void TimedBoxDialog::CreateControls(const BoxLayout& layout) {
    if (const LPCWSTR icon = StandardIcon(request_.style)) {
        const HWND iconControl = CreateChild(L"STATIC", L"", SS_ICON, kIconId, layout.icon);
        ::SendMessageW(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, icon)), 0);
    }
    CreateChild(L"STATIC", CountdownText(request_.text, Remaining()), SS_LEFT | SS_NOPREFIX, kTimedBoxTextId,
                layout.text);
    const int defaultId = DefaultButtonId(request_);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const BoxButton& button = buttons_[i];
        const DWORD style = WS_TABSTOP | (i == 0 ? WS_GROUP : 0) |
                            (button.id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        CreateChild(L"BUTTON", button.caption, style, button.id, layout.buttons[i]);
    }
}

void TimedBoxDialog::PlaceWindow(SIZE client) {
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(dialog_, GWL_EXSTYLE)));
    const SIZE size{Width(frame), Height(frame)};

    // Over the owner when the user can see it, else in the middle of the screen.
    const HWND owner = ::GetWindow(dialog_, GW_OWNER);
    const RECT work = WorkAreaNear(OwnerOrSelf());
    RECT around = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
    const POINT origin = CentredOrigin(size, around, work);
    ::SetWindowPos(dialog_, nullptr, origin.x, origin.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

const BoxButton* TimedBoxDialog::FindButton(int id) const {
    const auto it = std::find_if(buttons_.begin(), buttons_.end(), [id](const BoxButton& b) { return b.id == id; });
    return it == buttons_.end() ? nullptr : &*it;
}

}  // namespace

std::wstring CountdownText(std::wstring_view text, int remaining) {
    return ReplaceAll(text, L"%T", std::to_wstring(remaining));
}

std::vector<ButtonCaption> CaptionsByMode(const TimedBoxRequest& request) {
    const auto& captions = request.captions;
    if (request.singleButton) return {{IDCANCEL, captions[0]}};
    if (request.twoButton) return {{IDOK, captions[0]}, {IDCANCEL, captions[1]}};
    return {{IDABORT, captions[0]}, {IDRETRY, captions[1]}, {IDIGNORE, captions[2]}};
}

void SetTimedDialogOpenedHook(std::function<void(HWND dialog)> hook) { OpenedHook() = std::move(hook); }

int ShowTimedDialog(const TimedBoxRequest& request) {
    TimedBoxDialog dialog(request);
    return dialog.Run();
}

}  // namespace qm
