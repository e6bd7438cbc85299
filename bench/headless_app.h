#pragma once
// An application context for benchmarks: no windows, no waiting, and any message box the
// code under test would show printed to the error stream instead of waiting for a user.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/dialogs.h"
#include "base/os_version.h"
#include "base/pump.h"
#include "base/text.h"
#include "startup/app_context.h"
#include "startup/headless_host.h"

namespace bench {

class PrintedDialogs final : public qm::Dialogs {
public:
    int ShowMessage(const qm::MessageBoxRequest& request) override {
        std::fprintf(stderr, "[box] %s: %s\n", qm::NarrowUtf8(request.title).c_str(),
                     qm::NarrowUtf8(request.text).c_str());
        return (request.style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    int ShowTimed(const qm::TimedBoxRequest& request) override {
        std::fprintf(stderr, "[timed box] %s\n", qm::NarrowUtf8(request.text).c_str());
        return IDOK;
    }
};

class IdlePump final : public qm::Pump {
public:
    void Sleep(DWORD) override {}
    void DoEvents() override {}
};

using NoWindows = qm::HeadlessHost;

struct HeadlessApp {
    PrintedDialogs dialogs;
    qm::FixedOsVersion os{qm::FixedOsVersion::Windows10()};
    IdlePump pump;
    NoWindows ui;
    qm::AppContext ctx{dialogs, os, pump, ui};
};

// HKEY_CURRENT_USER redirected to a scratch key of its own for the benchmark's lifetime, so a
// run never touches the user's settings; the key is deleted at the end.
class ScratchUserKey {
public:
    ScratchUserKey() : name_(L"Software\\QuillmereBench" + std::to_wstring(::GetCurrentProcessId())) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
    ~ScratchUserKey() {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    }
    ScratchUserKey(const ScratchUserKey&) = delete;
    ScratchUserKey& operator=(const ScratchUserKey&) = delete;

private:
    std::wstring name_;
    HKEY key_ = nullptr;
};

}  // namespace bench
