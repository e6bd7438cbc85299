#pragma once
// The program's real windows inside a test: a scratch registry, a Temp folder of its own,
// boxes answered by the test, and the desktop host attached with the main form bound.
// Window tests derive from it next to ::testing::Test, so its members are theirs.
#include "base/os_version.h"
#include "base/pump.h"
#include "startup/app_context.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "ui/desktop_host.h"

namespace qm::test {

class DesktopApp {
protected:
    explicit DesktopApp(const wchar_t* tempName);
    ~DesktopApp();  // unloads the windows
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    HWND Control(int id) { return host.MainView()->Control(id); }
    HWND Main() { return host.MainWindow(); }

    ScratchRegistry registry;
    TempFolder temp;
    ScopedEnv tempVariable;
    RecordingDialogs dialogs;
    FixedOsVersion os{FixedOsVersion::Windows10()};
    SystemPump pump;
    DesktopHost host;
    AppContext ctx{dialogs, os, pump, host};
};

}  // namespace qm::test
