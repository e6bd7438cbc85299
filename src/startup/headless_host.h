#pragma once
// A window host without windows, for the console program and the benchmarks: the cleans
// update their form models as always; nothing shows them.
#include "base/dialogs.h"
#include "startup/ui_host.h"

namespace qm {

class HeadlessHost final : public UiHost {
public:
    void LoadMainForm() override {}
    void UnloadMainForm() override {}
    HWND MainWindow() override { return nullptr; }
    bool ShellTrayAdd() override { return false; }
    void ShellTrayRemove() override {}
    void SubClass(HWND) override {}
    HWND MaxMinWindow() override { return nullptr; }
    bool RegisterHotKey(HWND, int, UINT, UINT) override { return false; }
    void UnregisterHotKey(HWND, int) override {}
    bool HotKeyRegistered(HWND, int) override { return false; }
    void Hook(HWND) override {}
    void UnloadMaxMin() override {}
    void ShowHelpModal() override {}
    void ShowHelp(bool) override {}
    void ShowfrmCount(const std::wstring&, bool) override {}
    void ShowCount(const std::wstring&, bool) override {}
    void SetCacheList() override {}
    void SetTempList() override {}
};

// Boxes for a program without a desktop: each gets its safe answer, none is ever shown.
class NoDialogs final : public Dialogs {
public:
    int ShowMessage(const MessageBoxRequest& request) override { return SafeAnswer(request.style); }
    int ShowTimed(const TimedBoxRequest& request) override { return SafeAnswer(request); }
};

}  // namespace qm
