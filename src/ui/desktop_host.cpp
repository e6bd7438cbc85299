#include "ui/desktop_host.h"

#include <utility>

#include "base/app_error.h"
#include "clean/clean_kinds.h"
#include "clean/count_form.h"
#include "clean/run_state.h"
#include "help/help_window.h"
#include "startup/app_context.h"
#include "ui/count_window.h"
#include "ui/main_form.h"
#include "ui/tray_menu.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr TrapSite kWindowProcSite{L"WinProc", L"WindowProc"};
constexpr TrapSite kMenuClickSite{L"frmMain", L"cP_Click"};
constexpr TrapSite kHotKeySite{L"WinProc", L"HotKeyClean"};

HICON ProgramIcon() {
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    return icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

void DropQueuedHotKeys(HWND window) {
    MSG message{};
    while (::PeekMessageW(&message, window, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
    }
}

UniqueMenu BuildTrayMenu(bool runActive) {
    UniqueMenu menu(::CreatePopupMenu());
    for (size_t i = 0; i < kTrayMenuItems.size(); ++i) {
        const std::wstring_view caption = kTrayMenuItems[i].caption;
        const auto id = static_cast<UINT_PTR>(kTrayMenuFirstId + i);
        if (IsPlainSeparator(caption)) {
            ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        } else if (IsTitledSeparator(caption)) {
            // A title: shown like an item, never chosen.
            ::AppendMenuW(menu.get(), MF_STRING | MF_DISABLED, id, std::wstring(caption.substr(1)).c_str());
        } else {
            const UINT state = TrayItemAvailable(caption, runActive) ? MF_ENABLED : MF_GRAYED;
            ::AppendMenuW(menu.get(), MF_STRING | state, id, kTrayMenuItems[i].caption);
        }
    }
    ::SetMenuDefaultItem(menu.get(), TrayMenuCommandId(kTrayDefaultItem), FALSE);
    return menu;
}

}  // namespace

// frmMaxMin: a hidden tool window that owns the small windows (keeping them off the task
// bar), owns the tray menu (a window the user cannot minimise, so the menu always opens)
// and receives the clean hot key once hooked.
class DesktopHost::MaxMinView final : public Window {
public:
    explicit MaxMinView(DesktopHost& host) : host_(host) {
        Create({kMaxMinWindowClass, L"Quillmere", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, nullptr});
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (host_.ctx_)
            if (const auto result = host_.TrayCommand(message, wParam, lParam)) return *result;
        if (host_.hooked_ && host_.ctx_)
            if (const auto result = host_.WindowProc(true, message, wParam, lParam)) return *result;
        return Default(message, wParam, lParam);
    }

private:
    DesktopHost& host_;
};

DesktopHost::DesktopHost() : taskbarCreatedMessage_(::RegisterWindowMessageW(L"TaskbarCreated")) {}

DesktopHost::~DesktopHost() { ShellTrayRemove(); }

HWND DesktopHost::MaxMinWindow() {
    if (!maxMin_) maxMin_ = std::make_unique<MaxMinView>(*this);
    return maxMin_->Handle();
}

void DesktopHost::LoadMainForm() {
    if (main_ || unloaded_) return;
    main_ = std::make_unique<qm::MainWindow>(*ctx_);
    main_->SetInterceptor(
        [this](UINT message, WPARAM wParam, LPARAM lParam) { return MainWindowMessage(message, wParam, lParam); });
    ctx_->frmMain.form.SetLoaded(true);
    ctx_->frmMain.form.SetVisible(false);
    TrapStep(ctx_->dialogs, {L"frmMain", L"Form_Load"}, [&] { Form_Load(*ctx_); });
}

HWND DesktopHost::MainWindow() {
    LoadMainForm();
    return main_ ? main_->Handle() : nullptr;
}

// Unloading the main window unloads every window and ends the message loop. The window
// objects stay until the host goes, so a handler that asked for the unload can return.
void DesktopHost::UnloadMainForm() {
    if (unloaded_) return;
    unloaded_ = true;
    if (ctx_->update.startCheck) ctx_->update.startCheck->Cancel();
    ShellTrayRemove();
    UnloadMaxMin();
    UnSubClass();
    if (ctx_->frmHelp) ctx_->frmHelp->Destroy();
    if (ctx_->frmHotKeySet2) ctx_->frmHotKeySet2->Destroy();
    if (ctx_->frmLastClean) ctx_->frmLastClean->Destroy();
    if (count_) count_->Destroy();
    if (main_) main_->Destroy();
    if (maxMin_) maxMin_->Destroy();
    ctx_->frmMain.form.SetLoaded(false);
    ::PostQuitMessage(0);
}

bool DesktopHost::ShellTrayAdd() {
    trayWanted_ = true;
    trayIcon_ = {};
    trayIcon_.cbSize = sizeof(trayIcon_);
    trayIcon_.hWnd = MainWindow();
    trayIcon_.uID = kTrayIconId;
    trayIcon_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    trayIcon_.uCallbackMessage = kTrayCallbackMessage;
    trayIcon_.hIcon = ProgramIcon();
    wcscpy_s(trayIcon_.szTip, kTrayTip);
    trayAdded_ = ::Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
    return trayAdded_;
}

void DesktopHost::ShellTrayRemove() {
    trayWanted_ = false;
    if (!trayAdded_) return;
    ::Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
    trayAdded_ = false;
}

void DesktopHost::SubClass(HWND) { subclassed_ = true; }
void DesktopHost::UnSubClass() { subclassed_ = false; }

// Held keys do not repeat the hot key where the system knows MOD_NOREPEAT; older systems
// refuse the flag as an invalid parameter and get the plain registration.
bool DesktopHost::RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    hotKeyRegistered_ = ::RegisterHotKey(window, id, modifiers | MOD_NOREPEAT, virtualKey) != FALSE;
    if (!hotKeyRegistered_ && ::GetLastError() == ERROR_INVALID_PARAMETER)
        hotKeyRegistered_ = ::RegisterHotKey(window, id, modifiers, virtualKey) != FALSE;
    if (hotKeyRegistered_) hotKeyId_ = id;
    return hotKeyRegistered_;
}

void DesktopHost::UnregisterHotKey(HWND window, int id) {
    ::UnregisterHotKey(window, id);
    if (id == hotKeyId_) hotKeyRegistered_ = false;
}

bool DesktopHost::HotKeyRegistered(HWND window, int id) {
    return hotKeyRegistered_ && id == hotKeyId_ && maxMin_ && window == maxMin_->Handle();
}

void DesktopHost::Hook(HWND) { hooked_ = true; }
void DesktopHost::Unhook() { hooked_ = false; }

void DesktopHost::UnloadMaxMin() {
    if (maxMin_ && hotKeyRegistered_) ::UnregisterHotKey(maxMin_->Handle(), hotKeyId_);
    hotKeyRegistered_ = false;
    Unhook();
}

std::optional<LRESULT> DesktopHost::MainWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreatedMessage_) {
        // The shell restarted (or started late): the icon comes back, even after a failed first add.
        if (trayWanted_ && ShellTrayAdd() && !subclassed_) SubClass(MainWindow());
        return 0;
    }
    if (const auto result = TrayCommand(message, wParam, lParam)) return result;
    if (subclassed_) return WindowProc(false, message, wParam, lParam);
    if (message == WM_QUERYENDSESSION) {
        // Without the icon (no notification area) the end of the logon still ends the program.
        RequestExit(*ctx_);
        return TRUE;
    }
    return std::nullopt;
}

// A chosen item of the tray menu (sent to the menu's owner; the main window takes them too).
std::optional<LRESULT> DesktopHost::TrayCommand(UINT message, WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (message != WM_COMMAND || lParam != 0 || id < kTrayMenuFirstId || id >= kTrayMenuFirstId + kTrayMenuItems.size())
        return std::nullopt;
    const std::wstring caption = kTrayMenuItems[id - kTrayMenuFirstId].caption;
    TrapStep(ctx_->dialogs, kMenuClickSite, [&] { cP_Click(*ctx_, caption); });
    return 0;
}

std::optional<LRESULT> DesktopHost::WindowProc(bool fromMaxMin, UINT message, WPARAM wParam, LPARAM lParam) {
    POINT cursor{};
    if (!TrapStep(ctx_->dialogs, kWindowProcSite, [&] { ::GetCursorPos(&cursor); })) return std::nullopt;
    std::optional<LRESULT> result;
    IgnoreErrors([&] {
        if (fromMaxMin && message == WM_HOTKEY) {
            // A hot key pressed while a run is active is ignored, and so are the presses still
            // queued when the clean ends: they were made during it.
            if (RunExclusiveClean(*ctx_, kHotKeySite, CleanTrigger::HotKey, [&] {
                    ctx_->HotKeyCleaning = true;
                    HotKeyClean(*ctx_);
                }))
                DropQueuedHotKeys(maxMin_->Handle());
        }
        if (message == WM_QUERYENDSESSION) {
            RequestExit(*ctx_);  // at once, or when the running work has unwound
            result = TRUE;
        } else if (message == kTrayCallbackMessage) {
            TrayIconMouse(static_cast<UINT>(lParam), cursor);
            result = 0;
        } else if (!fromMaxMin && message == WM_TIMER && wParam == kTrayClickTimerId) {
            ::KillTimer(MainWindow(), kTrayClickTimerId);
            LeftMouseClick();
            result = 0;
        }
    });
    return result;
}

// A right click opens the menu at once. A left click opens it once the double-click time has
// passed without a second click: a double click runs the menu's default item instead
// ("Configure Program", shown bold), and must not leave the menu open behind it.
void DesktopHost::TrayIconMouse(UINT event, POINT cursor) {
    if (event == WM_LBUTTONDBLCLK) {
        ::KillTimer(MainWindow(), kTrayClickTimerId);
        afterDoubleClick_ = true;  // the button's release that ends the double click opens nothing
        if (TrayItemAvailable(kTrayDefaultItem, RunActive(*ctx_)))
            TrapStep(ctx_->dialogs, kMenuClickSite, [&] { cP_Click(*ctx_, kTrayDefaultItem); });
        return;
    }
    if (event != WM_LBUTTONUP && event != WM_RBUTTONUP) return;
    if (event == WM_LBUTTONUP && std::exchange(afterDoubleClick_, false)) return;
    const POINT position = MenuPosFromCursor(cursor);
    ctx_->MenuPosX = position.x;
    ctx_->MenuPosY = position.y;
    ctx_->trayClick = cursor;
    ::KillTimer(MainWindow(), kTrayClickTimerId);
    if (event == WM_RBUTTONUP) LeftMouseClick();
    else ::SetTimer(MainWindow(), kTrayClickTimerId, ::GetDoubleClickTime(), nullptr);
}

// Shows the tray menu at the cursor. Its owner, the hidden frmMaxMin, comes to the
// foreground first and a null message follows, so the menu closes when the user clicks
// elsewhere; whether the main window is hidden, shown or minimised changes nothing. The
// chosen item arrives as WM_COMMAND, after the menu has closed.
void DesktopHost::LeftMouseClick() {
    const HWND owner = MaxMinWindow();
    if (!owner) return;
    const UniqueMenu menu = BuildTrayMenu(RunActive(*ctx_));
    ::SetForegroundWindow(owner);
    ::TrackPopupMenuEx(menu.get(), TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_BOTTOMALIGN, ctx_->trayClick.x,
                       ctx_->trayClick.y, owner, nullptr);
    ::PostMessageW(owner, WM_NULL, 0, 0);
}

void DesktopHost::ShowHelpModal() { Help(*ctx_, HelpOpening::Modal); }
void DesktopHost::ShowHelp(bool inPlaceOfMain) {
    Help(*ctx_, inPlaceOfMain ? HelpOpening::InPlaceOfMain : HelpOpening::Alone);
}

void DesktopHost::EnsureCountWindow() {
    if (!count_ && !unloaded_) count_ = std::make_unique<CountWindow>(*ctx_, MaxMinWindow());
}

void DesktopHost::ShowfrmCount(const std::wstring& role, bool timerCheck) {
    EnsureCountWindow();
    qm::ShowfrmCount(*ctx_, role, timerCheck);
}

void DesktopHost::ShowCount(const std::wstring& role, bool timerCheck) {
    EnsureCountWindow();
    qm::ShowCount(*ctx_, role, timerCheck);
}

void DesktopHost::SetCacheList() { qm::SetCacheList(*ctx_); }
void DesktopHost::SetTempList() { qm::SetTempList(*ctx_); }

bool DesktopHost::PreTranslate(MSG& message) {
    if (main_ && main_->Handle() && main_->TranslateTabKeys(message)) return true;
    for (Window* window : {static_cast<Window*>(main_.get()), ctx_->frmHelp.get(), ctx_->frmHotKeySet2.get(),
                           ctx_->frmAbout.get(), ctx_->frmUpdate.get(), ctx_->frmLastClean.get()})
        if (window && window->Handle() && ::IsDialogMessageW(window->Handle(), &message)) return true;
    return false;
}

}  // namespace qm
