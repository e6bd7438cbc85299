#pragma once
// Test doubles for the seams: message boxes answered by the test and recorded exactly
// as the user would have seen them, a pump that only counts, and a window host that
// records what start-up and the engine asked of the windows.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/pump.h"
#include "startup/app_context.h"
#include "startup/ui_host.h"

namespace qm::test {

class RecordingDialogs final : public Dialogs {
public:
    std::vector<MessageBoxRequest> messages;
    std::vector<TimedBoxRequest> timed;
    // Answers given in order; when none is queued the first button's answer is given
    // (OK for OK boxes, Yes for Yes/No boxes).
    std::deque<int> answers;
    std::deque<int> timedAnswers;
    // Runs while a box is "open" (for checking state at that moment).
    std::function<void(const MessageBoxRequest&)> onMessage;

    int ShowMessage(const MessageBoxRequest& request) override;
    int ShowTimed(const TimedBoxRequest& request) override;

    const MessageBoxRequest& Last() const { return messages.back(); }
};

class RecordingPump final : public Pump {
public:
    int sleeps = 0;
    DWORD sleptMilliseconds = 0;
    int events = 0;
    std::vector<DWORD> sleepCalls;
    void Sleep(DWORD milliseconds) override {
        ++sleeps;
        sleptMilliseconds += milliseconds;
        sleepCalls.push_back(milliseconds);
    }
    void DoEvents() override { ++events; }
};

// Records calls as short words ("LoadMainForm", "ShowfrmCount Form3 0", ...).
class RecordingUiHost final : public UiHost {
public:
    std::vector<std::wstring> calls;
    bool trayAddResult = true;
    bool hotKeyResult = true;
    std::function<void()> onShowHelp;
    std::function<void()> onShowCount;  // runs when the result is shown

    void LoadMainForm() override { calls.push_back(L"LoadMainForm"); }
    void UnloadMainForm() override { calls.push_back(L"UnloadMainForm"); }
    HWND MainWindow() override { return nullptr; }
    bool ShellTrayAdd() override;
    void ShellTrayRemove() override { calls.push_back(L"ShellTrayRemove"); }
    void SubClass(HWND) override { calls.push_back(L"SubClass"); }
    HWND maxMinWindow = nullptr;  // a test that opens real windows may give a real owner
    HWND MaxMinWindow() override { return maxMinWindow; }
    bool RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) override;
    void UnregisterHotKey(HWND, int id) override { calls.push_back(L"UnregisterHotKey " + std::to_wstring(id)); }
    bool hotKeyRegistered = true;  // what HotKeyRegistered answers
    bool HotKeyRegistered(HWND, int) override { return hotKeyRegistered; }
    // Decides each registration when set (else hotKeyResult does).
    std::function<bool(UINT modifiers, UINT virtualKey)> hotKeyAccepts;
    void Hook(HWND) override { calls.push_back(L"Hook"); }
    void UnloadMaxMin() override { calls.push_back(L"UnloadMaxMin"); }
    void ShowHelp(bool inPlaceOfMain) override { calls.push_back(inPlaceOfMain ? L"ShowHelp" : L"ShowHelp alone"); }
    void ShowHelpModal() override;
    void ShowfrmCount(const std::wstring& role, bool timerCheck) override;
    void ShowCount(const std::wstring& role, bool timerCheck) override;
    void SetCacheList() override { calls.push_back(L"SetCacheList"); }
    void SetTempList() override { calls.push_back(L"SetTempList"); }

    bool Called(const std::wstring& call) const;
    int IndexOf(const std::wstring& call) const;  // -1 when never called
};

// A fresh context wired to the doubles, on the real (test) NT version record.
struct TestApp {
    RecordingDialogs dialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    RecordingPump pump;
    RecordingUiHost ui;
    AppContext ctx{dialogs, os, pump, ui};
};

}  // namespace qm::test
