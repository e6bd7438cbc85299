#include "support/doubles.h"

#include <algorithm>

namespace qm::test {

namespace {
int FirstButtonAnswer(UINT style) {
    switch (style & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL: return IDYES;
        case MB_RETRYCANCEL: return IDRETRY;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDOK;
    }
}
}  // namespace

int RecordingDialogs::ShowMessage(const MessageBoxRequest& request) {
    messages.push_back(request);
    if (onMessage) onMessage(request);
    if (answers.empty()) return FirstButtonAnswer(request.style);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

int RecordingDialogs::ShowTimed(const TimedBoxRequest& request) {
    timed.push_back(request);
    // Left alone, a box presses its timeout button; a one-button box's only button means OK.
    if (timedAnswers.empty()) return (request.style & MB_TYPEMASK) == MB_OKCANCEL ? request.timeoutButton : IDOK;
    const int answer = timedAnswers.front();
    timedAnswers.pop_front();
    return answer;
}

bool RecordingUiHost::ShellTrayAdd() {
    calls.push_back(L"ShellTrayAdd");
    return trayAddResult;
}

bool RecordingUiHost::RegisterHotKey(HWND, int id, UINT modifiers, UINT virtualKey) {
    calls.push_back(L"RegisterHotKey " + std::to_wstring(id) + L" " + std::to_wstring(modifiers) + L" " +
                    std::to_wstring(virtualKey));
    return hotKeyAccepts ? hotKeyAccepts(modifiers, virtualKey) : hotKeyResult;
}

void RecordingUiHost::ShowHelpModal() {
    calls.push_back(L"ShowHelpModal");
    if (onShowHelp) onShowHelp();
}

void RecordingUiHost::ShowfrmCount(const std::wstring& role, bool timerCheck) {
    calls.push_back(L"ShowfrmCount " + role + (timerCheck ? L" 1" : L" 0"));
}

void RecordingUiHost::ShowCount(const std::wstring& role, bool timerCheck) {
    calls.push_back(L"ShowCount " + role + (timerCheck ? L" 1" : L" 0"));
    if (onShowCount) onShowCount();
}

bool RecordingUiHost::Called(const std::wstring& call) const { return IndexOf(call) >= 0; }

int RecordingUiHost::IndexOf(const std::wstring& call) const {
    const auto it = std::find(calls.begin(), calls.end(), call);
    return it == calls.end() ? -1 : static_cast<int>(it - calls.begin());
}

}  // namespace qm::test
