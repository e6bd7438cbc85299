// Entry of quillmere-cli.exe, the console program: preview and clean from scripts, the Task
// Scheduler and administrators' tools. Same engine as Quillmere.exe, no window, no network.
#include <windows.h>

#include <string>
#include <vector>

#include "base/os_version.h"
#include "base/program_version.h"
#include "base/pump.h"
#include "cli/cli_options.h"
#include "cli/console_io.h"
#include "cli/console_run.h"
#include "startup/app_context.h"
#include "startup/headless_host.h"

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    qm::ConsoleOutput console;
    const qm::ParsedArguments parsed = qm::ParseCliArguments(arguments);
    if (!parsed.options) {
        console.Message(std::wstring(qm::kCliName) + L": " + parsed.error);
        console.Message(qm::kCliUsageHint);
        return qm::kExitUsage;
    }
    switch (parsed.options->command) {
        case qm::CliCommand::Help: console.Out(qm::CliUsageText()); return qm::kExitDone;
        case qm::CliCommand::Version:
            console.Out(std::wstring(qm::kCliName) + L" " + qm::ProgramVersionText() + L"\n");
            return qm::kExitDone;
        default: break;
    }
    qm::NoDialogs dialogs;
    qm::SystemOsVersion os;
    qm::SystemPump pump;
    qm::HeadlessHost host;
    qm::AppContext ctx(dialogs, os, pump, host);
    return qm::RunConsoleClean(ctx, *parsed.options, console);
}
