#include "ui/desktop_host.h"

#include <array>
#include <vector>

#include "clean/clean_kinds.h"
#include "help/help_window.h"
#include "startup/app_context.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;
constexpr UINT_PTR kResultTimerId = 2;
constexpr UINT kResultTimerMs = 1200;
constexpr int kHotKeyId = 1;
enum MenuCommand : UINT { kMenuOpen = 100, kMenuExit = 101 };

int TwipsToPixels(int twips, int dotsPerInch) { return MulDiv(twips, dotsPerInch, 1440); }

HICON ProgramIcon() {
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    return icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

// frmMaxMin: a hidden tool window that owns the others (keeping the program off the task
// bar), receives the clean hot key once hooked, and carries the result window's timer.
class DesktopHost::MaxMinView final : public Window {
public:
    explicit MaxMinView(DesktopHost& host) : host_(host) {
        Create({kMaxMinWindowClass, L"Quillmere", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, nullptr});
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_HOTKEY && wParam == kHotKeyId && host_.hooked_ && host_.ctx_) {
            host_.ctx_->HotKeyCleaning = true;
            HotKeyClean(*host_.ctx_);
            return 0;
        }
        if (message == WM_TIMER && wParam == kResultTimerId) {
            host_.OnResultTimer();
            return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    DesktopHost& host_;
};

// frmMain, bound to the main form model: the clean commands and the option boxes.
class DesktopHost::MainWindowView final : public Window {
public:
    MainWindowView(DesktopHost& host, HWND owner) : host_(host) {
        Create({kMainWindowClass, L"Quillmere", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 470,
                300, owner});
        BuildControls();
        Bind();
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        auto& form = Form();
        switch (message) {
            case WM_CLOSE:  // the close box hides the window and parks it top-left
                form.form.SetVisible(false);
                form.form.Move(0, 0);
                return 0;
            case WM_COMMAND:
                if (HIWORD(wParam) == BN_CLICKED) OnClicked(LOWORD(wParam));
                return 0;
            case kTrayCallback:
                OnTray(static_cast<UINT>(lParam));
                return 0;
            case WM_QUERYENDSESSION:  // Windows ends the logon: end the program
                if (host_.subclassed_) {
                    host_.UnloadMainForm();
                    return TRUE;
                }
                break;
            default:
                if (message == host_.taskbarCreatedMessage_ && host_.trayAdded_) {
                    host_.trayAdded_ = false;  // the shell restarted: add the icon again
                    host_.ShellTrayAdd();
                    return 0;
                }
        }
        return Default(message, wParam, lParam);
    }

private:
    struct BoundCheck {
        CheckBoxModel MainFormModel::*box;
        int id;
    };
    struct BoundCommand {
        ButtonModel MainFormModel::*button;
        int id;
    };
    static constexpr std::array<BoundCheck, 5> kChecks{{{&MainFormModel::Check1, 201},
                                                        {&MainFormModel::Check2, 202},
                                                        {&MainFormModel::Check4, 204},
                                                        {&MainFormModel::Check5, 205},
                                                        {&MainFormModel::Check7, 207}}};
    static constexpr std::array<BoundCommand, 5> kCommands{{{&MainFormModel::Command1, 101},
                                                            {&MainFormModel::Command3, 103},
                                                            {&MainFormModel::Command8, 108},
                                                            {&MainFormModel::Command15, 115},
                                                            {&MainFormModel::Command5, 105}}};

    MainFormModel& Form() { return host_.ctx_->frmMain; }

    void BuildControls() {
        int y = 12;
        for (const auto& check : kChecks) {
            CreateControl(Handle(), L"BUTTON", (Form().*check.box).Caption().c_str(), BS_AUTOCHECKBOX | WS_TABSTOP,
                          check.id, 16, y, 200, 22);
            y += 28;
        }
        y = 12;
        for (const auto& command : kCommands) {
            CreateControl(Handle(), L"BUTTON", (Form().*command.button).Caption().c_str(),
                          BS_PUSHBUTTON | WS_TABSTOP, command.id, 250, y, 190, 28);
            y += 36;
        }
    }

    void Bind() {
        auto& form = Form();
        subscriptions_.push_back(form.form.Changed.Subscribe([this] { MirrorFormState(); }));
        for (const auto& check : kChecks) {
            CheckBoxModel& box = form.*check.box;
            const int id = check.id;
            subscriptions_.push_back(box.Changed.Subscribe([this, &box, id] {
                ::CheckDlgButton(Handle(), id, box.Value() == 1 ? BST_CHECKED : BST_UNCHECKED);
            }));
        }
    }

    void MirrorFormState() {
        auto& form = Form().form;
        const HDC screen = ::GetDC(nullptr);
        const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        ::SetWindowPos(Handle(), nullptr, TwipsToPixels(form.Left(), dpiX), TwipsToPixels(form.Top(), dpiY), 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const bool shown = ::IsWindowVisible(Handle()) != FALSE;
        if (form.Visible() != shown) ::ShowWindow(Handle(), form.Visible() ? SW_SHOW : SW_HIDE);
        if (form.Visible() && !shown) ::SetForegroundWindow(Handle());
    }

    void OnClicked(int id) {
        auto& form = Form();
        for (const auto& check : kChecks)
            if (check.id == id) (form.*check.box).SetValue(::IsDlgButtonChecked(Handle(), id) == BST_CHECKED ? 1 : 0);
        for (const auto& command : kCommands)
            if (command.id == id) (form.*command.button).Click();
    }

    void OnTray(UINT mouseMessage) {
        if (mouseMessage == WM_LBUTTONDBLCLK) Form().form.SetVisible(true);
        if (mouseMessage == WM_RBUTTONUP) host_.ShowTrayMenu();
    }

    DesktopHost& host_;
    std::vector<Subscription> subscriptions_;  // end with the window, not with the model
};

DesktopHost::DesktopHost() : taskbarCreatedMessage_(::RegisterWindowMessageW(L"TaskbarCreated")) {}

DesktopHost::~DesktopHost() { RemoveTrayIcon(); }

HWND DesktopHost::MaxMinWindow() {
    if (!maxMin_) maxMin_ = std::make_unique<MaxMinView>(*this);
    return maxMin_->Handle();
}

void DesktopHost::LoadMainForm() {
    if (main_) return;
    main_ = std::make_unique<MainWindowView>(*this, MaxMinWindow());
    ctx_->frmMain.form.SetLoaded(true);
    ctx_->frmMain.form.SetVisible(false);
}

HWND DesktopHost::MainWindow() {
    LoadMainForm();
    return main_->Handle();
}

void DesktopHost::UnloadMainForm() {
    if (unloaded_) return;
    unloaded_ = true;
    RemoveTrayIcon();
    if (maxMin_) ::UnregisterHotKey(maxMin_->Handle(), kHotKeyId);
    main_.reset();
    maxMin_.reset();
    ctx_->frmMain.form.SetLoaded(false);
    ::PostQuitMessage(0);
}

bool DesktopHost::ShellTrayAdd() {
    trayIcon_ = {};
    trayIcon_.cbSize = sizeof(trayIcon_);
    trayIcon_.hWnd = MainWindow();
    trayIcon_.uID = 1;
    trayIcon_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    trayIcon_.uCallbackMessage = kTrayCallback;
    trayIcon_.hIcon = ProgramIcon();
    wcscpy_s(trayIcon_.szTip, L"Quillmere");
    trayAdded_ = ::Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
    return trayAdded_;
}

void DesktopHost::RemoveTrayIcon() {
    if (!trayAdded_) return;
    ::Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
    trayAdded_ = false;
}

void DesktopHost::SubClass(HWND) { subclassed_ = true; }

bool DesktopHost::RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    return ::RegisterHotKey(window, id, modifiers, virtualKey) != FALSE;
}

void DesktopHost::Hook(HWND) { hooked_ = true; }

void DesktopHost::ShowHelpModal() { Help(*ctx_, true); }

void DesktopHost::ShowTrayMenu() {
    const HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, kMenuOpen, L"Open Quillmere");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kMenuExit, L"Exit Program");
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(MainWindow());  // so the menu closes when the user clicks away
    const UINT chosen = ::TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, cursor.x, cursor.y,
                                           MainWindow(), nullptr);
    ::DestroyMenu(menu);
    if (chosen == kMenuOpen) ctx_->frmMain.form.SetVisible(true);
    if (chosen == kMenuExit) UnloadMainForm();
}

void DesktopHost::ShowfrmCount(const std::wstring&, bool) {
    auto& count = ctx_->frmCount;
    count.timerTag.clear();
    count.Label1.SetCaption(L"Cleaning");
    count.Label1.SetVisible(true);
    count.Label2.SetVisible(false);
    count.ProgressBar1.SetVisible(true);
    count.form.SetVisible(true);
}

void DesktopHost::ShowCount(const std::wstring& role, bool timerCheck) {
    auto& count = ctx_->frmCount;
    count.timerTag.clear();
    if (role != kRoleTray && role != kRoleMain && role != kRoleCentred) return;
    if (timerCheck) count.timerTag = role;
    count.Label1.SetCaption(std::to_wstring(ctx_->CleanCount));
    count.ProgressBar1.SetVisible(false);
    count.Label2.SetVisible(true);
    count.form.SetVisible(true);
    ::SetTimer(MaxMinWindow(), kResultTimerId, kResultTimerMs, nullptr);
}

void DesktopHost::OnResultTimer() {
    ::KillTimer(MaxMinWindow(), kResultTimerId);
    auto& count = ctx_->frmCount;
    count.form.SetVisible(false);
    if (count.timerTag == kRoleMain) ctx_->frmMain.form.SetVisible(true);
    count.timerTag.clear();
    ctx_->HotKeyCleaning = false;
}

bool DesktopHost::PreTranslate(MSG& message) {
    return main_ && main_->Handle() && ::IsDialogMessageW(main_->Handle(), &message);
}

}  // namespace qm
