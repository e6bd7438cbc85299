#pragma once
// The real windows of the program behind the UiHost seam: the main window bound to its
// form model, the hidden hot-key window frmMaxMin and the notification icon; the help
// window comes from src/help. Main window and tray menu are still plain versions: options
// persistence, previews, tabs and the full tray menu come with their own work.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "startup/ui_host.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kMainWindowClass[] = L"QuillmereMain";
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
    void SubClass(HWND mainWindow) override;
    HWND MaxMinWindow() override;
    bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) override;
    void Hook(HWND maxMinWindow) override;
    void ShowHelpModal() override;
    void ShowfrmCount(const std::wstring& role, bool timerCheck) override;
    void ShowCount(const std::wstring& role, bool timerCheck) override;
    void SetCacheList() override {}
    void SetTempList() override {}

    // True once the main window was unloaded (the process is ending).
    bool Unloaded() const { return unloaded_; }
    // Lets the main window take dialog keys (Tab, Enter) in the message loop.
    bool PreTranslate(MSG& message);

    class MainWindowView;
    class MaxMinView;

private:
    void RemoveTrayIcon();
    void ShowTrayMenu();
    void OnResultTimer();

    AppContext* ctx_ = nullptr;
    std::unique_ptr<MainWindowView> main_;
    std::unique_ptr<MaxMinView> maxMin_;
    NOTIFYICONDATAW trayIcon_{};
    bool trayAdded_ = false;
    bool subclassed_ = false;
    bool hooked_ = false;
    bool unloaded_ = false;
    UINT taskbarCreatedMessage_ = 0;
};

}  // namespace qm
