// What showing progress costs: "Clean Temp" on the options window (the real windows, the
// question answered, the bar and the result window painted as the run goes) against the
// console program's clean of the same kind of tree, a Temp folder of 20,000 small files in
// 50 folders. Each run cleans a tree of its own; they take turns, twice, and the best of
// each counts. Needs a display (the bench script starts one). Prints both times and the ratio.
//
//   quillmere_window_clean_bench.exe [--files N] [--folders N]
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "bench_trees.h"
#include "cli/console_io.h"
#include "cli/console_run.h"
#include "clean/clean_commands.h"
#include "clean/count_form.h"
#include "clean/deletion_guard.h"
#include "clean/progress_tick.h"
#include "headless_app.h"
#include "ui/desktop_host.h"
#include "ui/main_form.h"

namespace {

using namespace bench;

constexpr int kRounds = 2;

// Standard output and error go to NUL while the console's clean prints its table.
class QuietStandardStreams {
public:
    QuietStandardStreams()
        : out_(::GetStdHandle(STD_OUTPUT_HANDLE)),
          err_(::GetStdHandle(STD_ERROR_HANDLE)),
          nul_(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)) {
        ::SetStdHandle(STD_OUTPUT_HANDLE, nul_.get());
        ::SetStdHandle(STD_ERROR_HANDLE, nul_.get());
    }
    ~QuietStandardStreams() {
        ::SetStdHandle(STD_OUTPUT_HANDLE, out_);
        ::SetStdHandle(STD_ERROR_HANDLE, err_);
    }

private:
    HANDLE out_, err_;
    UniqueFile nul_;
};

void UseTemp(const std::wstring& folder) { ::SetEnvironmentVariableW(L"Temp", folder.c_str()); }

double ConsoleClean(const std::wstring& tree) {
    bench::HeadlessApp app;
    UseTemp(tree);
    qm::CliOptions options;
    options.command = qm::CliCommand::Clean;
    options.kinds = {qm::CleanKind::Temp};
    return Seconds([&] {
        const QuietStandardStreams quiet;
        qm::ConsoleOutput console;
        qm::RunConsoleClean(app.ctx, options, console);
    });
}

// The options window's "Clean Temp", from the click to the result on screen.
double WindowClean(const std::wstring& tree) {
    bench::PrintedDialogs dialogs;  // answers the question with Yes
    qm::FixedOsVersion os{qm::FixedOsVersion::Windows10()};
    qm::SystemPump pump;
    qm::DesktopHost host;
    qm::AppContext ctx{dialogs, os, pump, host};
    host.Attach(ctx);
    qm::BindMainForm(ctx);
    qm::BindCleanCommands(ctx);
    qm::BindCountForm(ctx);
    host.LoadMainForm();
    UseTemp(tree);
    const double seconds = Seconds([&] { ctx.frmMain.Command3.Click(); });
    host.UnloadMainForm();
    return seconds;
}

// What the bar's count of a location costs: the walk that lists the tree without removing.
double CountingAhead(const std::wstring& tree) {
    bench::HeadlessApp app;
    app.ctx.progress.shown = true;
    const qm::GuardVerdict verdict = qm::GuardDeletionRoot(tree, qm::RootKind::Temp);
    if (!verdict.root) return 0;
    return Seconds([&] { qm::CountAhead(app.ctx, verdict.root->Folder()); });
}

}  // namespace

int main() {
    int argc = 0;
    std::unique_ptr<wchar_t*, decltype(&::LocalFree)> arguments(::CommandLineToArgvW(::GetCommandLineW(), &argc),
                                                                 &::LocalFree);
    Shape shape;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = arguments.get()[i];
        if (arg == L"--files" && i + 1 < argc) shape.files = std::max(1, _wtoi(arguments.get()[++i]));
        else if (arg == L"--folders" && i + 1 < argc) shape.folders = std::max(5, _wtoi(arguments.get()[++i]));
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const bench::ScratchUserKey settings;

    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring base = std::wstring(temp) + L"qm-window-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(Long(base).c_str(), nullptr);
    std::wprintf(L"\nClean Temp (%d files in %d folders): the options window against the console program\n",
                 shape.files, shape.folders);

    double console = 1e30, window = 1e30, counting = 1e30;
    int left = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::wstring consoleTree = base + L"\\console" + std::to_wstring(round);
        const std::wstring windowTree = base + L"\\window" + std::to_wstring(round);
        BuildTree(consoleTree, shape);
        BuildTree(windowTree, shape);
        SettleDisk();
        counting = std::min(counting, CountingAhead(windowTree));
        window = std::min(window, WindowClean(windowTree));
        console = std::min(console, ConsoleClean(consoleTree));
        left += CountFiles(Long(consoleTree)) + CountFiles(Long(windowTree));
        PlainDelete(Long(consoleTree), true);
        PlainDelete(Long(windowTree), true);
    }
    ::RemoveDirectoryW(Long(base).c_str());

    Report(L"clean  quillmere-cli clean --temp", console);
    Report(L"clean  options window, Clean Temp", window);
    Report(L"  of it: counting the files ahead", counting);
    const double ratio = window / console;
    Ratio(L"options window time / console time", ratio, L"<= 1.3", ratio <= 1.3);
    if (left != 0) std::wprintf(L"  OUTCOMES DIFFER: %d files left\n", left);
    return left == 0 && ratio <= 1.3 ? 0 : 1;
}
