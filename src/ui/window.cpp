#include "ui/window.h"

#include <string>

namespace qm {

bool Window::Create(const CreateArgs& args) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!::GetClassInfoExW(instance, args.className, &windowClass)) {
        windowClass.lpfnWndProc = &Window::StaticProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
        if (!windowClass.hIcon) windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = args.className;
        if (!::RegisterClassExW(&windowClass)) return false;
    }
    const HWND window = ::CreateWindowExW(args.exStyle, args.className, args.title, args.style, CW_USEDEFAULT,
                                          CW_USEDEFAULT, args.width, args.height, args.owner, nullptr, instance, this);
    owner_.reset(window);
    return window != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CALLBACK Window::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->owner_.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // Handlers report their own faults; none may unwind into the system's code that called us.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunModal(HWND window, HWND owner, const std::function<bool()>& keepGoing) {
    if (owner) ::EnableWindow(owner, FALSE);
    MSG message{};
    while (::IsWindow(window) && (!keepGoing || keepGoing()) && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(window, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (owner) ::EnableWindow(owner, TRUE);
    if (message.message == WM_QUIT) ::PostQuitMessage(static_cast<int>(message.wParam));
}

void BringToFront(HWND window) {
    ::ShowWindow(window, ::IsIconic(window) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(window);
}

void CentreOnScreen(HWND window) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id, int x, int y,
                   int width, int height) {
    const HWND control = ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                           ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return control;
}

void DrawLinkButton(const DRAWITEMSTRUCT& item, COLORREF background, COLORREF colour, HFONT font) {
    const HDC dc = item.hDC;
    RECT box = item.rcItem;
    const UniqueGdiObject brush(::CreateSolidBrush(background));
    ::FillRect(dc, &box, static_cast<HBRUSH>(brush.get()));
    std::wstring caption(static_cast<size_t>(::GetWindowTextLengthW(item.hwndItem)) + 1, L'\0');
    caption.resize(static_cast<size_t>(::GetWindowTextW(item.hwndItem, caption.data(), static_cast<int>(caption.size()))));
    const HGDIOBJ oldFont = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, caption.c_str(), -1, &box, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(dc, oldFont);
    if (item.itemState & ODS_FOCUS) {
        ::SetTextColor(dc, colour);  // the focus rectangle takes the text colour
        ::DrawFocusRect(dc, &box);
    }
}

void ShowKeyboardCues(HWND window) {
    ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

namespace {

bool HoldsFocus(HWND control) {
    const HWND focus = ::GetFocus();
    return focus && (focus == control || ::IsChild(control, focus));
}

// After control went out of reach with the focus in it.
void FocusFirstStopBesides(HWND control) {
    const HWND root = ::GetAncestor(control, GA_ROOT);
    const HWND next = ::GetNextDlgTabItem(root, nullptr, FALSE);
    ::SetFocus(next && next != control && !::IsChild(control, next) ? next : root);
}

}  // namespace

void ShowControl(HWND control, bool shown) {
    if (((::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0) == shown) return;
    const bool movesFocus = !shown && HoldsFocus(control);
    ::ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
    if (movesFocus) FocusFirstStopBesides(control);
}

void EnableControl(HWND control, bool enabled) {
    if ((::IsWindowEnabled(control) != FALSE) == enabled) return;
    const bool movesFocus = !enabled && HoldsFocus(control);
    ::EnableWindow(control, enabled);
    if (movesFocus) FocusFirstStopBesides(control);
}

PaintOnBackground::PaintOnBackground(HWND window, COLORREF background)
    : window_(window), dc_(::BeginPaint(window, &paint_)) {
    RECT client{};
    ::GetClientRect(window, &client);
    const UniqueGdiObject brush(::CreateSolidBrush(background));
    ::FillRect(dc_, &client, static_cast<HBRUSH>(brush.get()));
    ::SetBkMode(dc_, TRANSPARENT);
}

}  // namespace qm
