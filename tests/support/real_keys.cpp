#include "support/real_keys.h"

#include "support/fixtures.h"

namespace qm::test {

namespace {
constexpr wchar_t kTargetTitle[] = L"Quillmere key target";
}

// No system menu: a released Alt would otherwise open its keyboard menu loop and wait.
KeyTarget::KeyTarget()
    : window_(::CreateWindowExW(0, L"STATIC", kTargetTitle, WS_POPUP | WS_BORDER | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, nullptr, nullptr)) {
    ::SetForegroundWindow(window_.get());
    PumpMessages(200);
}

bool KeyTarget::Press(const std::wstring& keys, int times) const {
    std::wstring script = L"/usr/bin/xdotool search --name '^" + std::wstring(kTargetTitle) +
                          L"$' windowfocus; sleep 0.3; /usr/bin/xdotool key";
    for (int i = 0; i < times; ++i) script += L" " + keys;
    // Waits for xdotool: the presses must reach the window before the caller goes on.
    return RunUnixScriptToEnd(script);
}

}  // namespace qm::test
