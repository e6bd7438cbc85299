// Process entry: builds the application context on the real seams, runs start-up and,
// in resident mode, the message loop until the main window unloads.
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "base/dialogs.h"
#include "base/os_version.h"
#include "base/pump.h"
#include "clean/clean_commands.h"
#include "clean/count_form.h"
#include "online/update_check.h"
#include "online/web.h"
#include "shutdown/shutdown_calls.h"
#include "startup/app_context.h"
#include "startup/bas_main.h"
#include "startup/file_helpers.h"
#include "startup/single_instance.h"
#include "ui/desktop_host.h"
#include "ui/main_form.h"

namespace {

std::wstring ProgramFolder() {
    const std::wstring path = qm::RunningProgramPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

int RunMessageLoop(qm::DesktopHost& host) {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (host.PreTranslate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // The resident program's update check at start, made in a process of its own.
    if (std::wstring_view(commandLine ? commandLine : L"") == qm::kFetchVersionArgument) {
        qm::WinHttpWeb web;
        return qm::WriteFetchedVersion(web);
    }
    // A second resident start shows the first copy's options window instead: two copies
    // would mean two tray icons and a hot key the second could not have.
    std::optional<qm::ResidentInstance> resident;
    if (!qm::IsAutomaticCommandLine(commandLine ? commandLine : L"")) {
        resident = qm::ResidentInstance::Claim();
        if (!resident) {
            qm::AskResidentToShowOptions();
            return 0;
        }
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    qm::SystemDialogs dialogs;
    qm::SystemOsVersion os;
    qm::SystemPump pump;
    qm::DesktopHost host;
    qm::AppContext ctx(dialogs, os, pump, host);
    ctx.web = std::make_shared<qm::WinHttpWeb>();
    ctx.update.startCheckHelper = qm::RunningProgramPath();
    qm::SystemShutdownCalls shutdownCalls;
    ctx.shutdown = &shutdownCalls;
    host.Attach(ctx);
    qm::BindCleanCommands(ctx);
    qm::BindMainForm(ctx);
    qm::BindCountForm(ctx);

    const qm::RunMode mode = qm::Main(ctx, {commandLine ? commandLine : L"", ProgramFolder()});
    if (mode == qm::RunMode::Automatic || host.Unloaded()) return 0;
    return RunMessageLoop(host);
}
