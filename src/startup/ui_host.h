#pragma once
// The program's windows as start-up and the cleaning engine call them. The real host
// creates Win32 windows bound to the form models; tests use a recording double.
#include <windows.h>

#include <string>

namespace qm {

class UiHost {
public:
    virtual ~UiHost() = default;

    // frmMain: created once (hidden); its load handler runs on creation.
    virtual void LoadMainForm() = 0;
    // Unloading the main window unloads every window and ends the message loop.
    virtual void UnloadMainForm() = 0;
    virtual HWND MainWindow() = 0;

    // Notification icon: true when the icon was added (ShellTrayAdd's 1).
    virtual bool ShellTrayAdd() = 0;
    virtual void ShellTrayRemove() = 0;
    virtual void SubClass(HWND mainWindow) = 0;

    // The hidden window that receives the clean hot key (frmMaxMin).
    virtual HWND MaxMinWindow() = 0;
    virtual bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) = 0;
    virtual void UnregisterHotKey(HWND window, int id) = 0;
    // Whether hot key id of window is registered now (start-up may have failed to).
    virtual bool HotKeyRegistered(HWND window, int id) = 0;
    virtual void Hook(HWND maxMinWindow) = 0;
    // Unloads frmMaxMin: the hot key is released and its hook removed.
    virtual void UnloadMaxMin() = 0;

    // The help text, shown modally: returns when the user closes it.
    virtual void ShowHelpModal() = 0;
    // The help text in a window of its own, without blocking: in place of the main window
    // (hidden until help closes), or alone (the main window stays as it is).
    virtual void ShowHelp(bool inPlaceOfMain) = 0;

    // The progress and result window frmCount.
    virtual void ShowfrmCount(const std::wstring& role, bool timerCheck) = 0;
    virtual void ShowCount(const std::wstring& role, bool timerCheck) = 0;

    // Refill the main window's cache and Temp previews.
    virtual void SetCacheList() = 0;
    virtual void SetTempList() = 0;
};

}  // namespace qm
