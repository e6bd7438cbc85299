#pragma once
// The real windows of the program behind the UiHost seam: the main window and the result
// window bound to their form models, the hidden hot-key window frmMaxMin, the
// notification icon with its popup menu, and the replacement window procedure (WindowProc)
// behind the icon, the hot key and the end of the logon. The help window is in src/help.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

#include "startup/ui_host.h"
#include "ui/main_window.h"
#include "ui/tray_menu.h"

namespace qm {

class AppContext;
class CountWindow;

inline constexpr wchar_t kMaxMinWindowClass[] = L"QuillmereMaxMin";

class DesktopHost final : public UiHost {
public:
    DesktopHost();
    ~DesktopHost() override;
    void Attach(AppContext& ctx) { ctx_ = &ctx; }

    void LoadMainForm() override;
    void UnloadMainForm() override;
    HWND MainWindow() override;
    bool ShellTrayAdd() override;
    void ShellTrayRemove() override;
    void SubClass(HWND mainWindow) override;
    void UnSubClass();
    HWND MaxMinWindow() override;
    bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) override;
    void UnregisterHotKey(HWND window, int id) override;
    bool HotKeyRegistered(HWND window, int id) override;
    void Hook(HWND maxMinWindow) override;
    void Unhook();
    void UnloadMaxMin() override;
    void ShowHelpModal() override;
    void ShowHelp(bool inPlaceOfMain) override;
    void ShowfrmCount(const std::wstring& role, bool timerCheck) override;
    void ShowCount(const std::wstring& role, bool timerCheck) override;
    void SetCacheList() override;
    void SetTempList() override;

    // True once the main window was unloaded (the process is ending).
    bool Unloaded() const { return unloaded_; }
    // Lets the program's windows take dialog keys (Tab, Enter) in the message loop.
    bool PreTranslate(MSG& message);
    // The main window's object (for window tests).
    qm::MainWindow* MainView() { return main_.get(); }

    class MaxMinView;

private:
    // The replacement window procedure of frmMain and frmMaxMin: a value means consumed.
    std::optional<LRESULT> WindowProc(bool fromMaxMin, UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> MainWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> TrayCommand(UINT message, WPARAM wParam, LPARAM lParam);
    void TrayIconMouse(UINT event, POINT cursor);
    void LeftMouseClick();
    void EnsureCountWindow();

    AppContext* ctx_ = nullptr;
    bool afterDoubleClick_ = false;
    std::unique_ptr<qm::MainWindow> main_;
    std::unique_ptr<MaxMinView> maxMin_;
    std::unique_ptr<CountWindow> count_;
    NOTIFYICONDATAW trayIcon_{};
    bool trayWanted_ = false;  // ShellTrayAdd was asked for and not withdrawn
    bool trayAdded_ = false;
    bool subclassed_ = false;
    bool hooked_ = false;
    bool hotKeyRegistered_ = false;
    int hotKeyId_ = 0;
    bool unloaded_ = false;
    UINT taskbarCreatedMessage_ = 0;
};

}  // namespace qm
