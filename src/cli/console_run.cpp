#include "cli/console_run.h"

#include <optional>

#include "base/app_error.h"
#include "base/program_version.h"
#include "base/text.h"
#include "cli/console_io.h"
#include "cli/report_format.h"
#include "clean/clean_kinds.h"
#include "clean/clean_lock.h"
#include "clean/clean_log.h"
#include "clean/progress_tick.h"
#include "clean/report_recording.h"
#include "cookies/discovery.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kSite{L"quillmere-cli", L"RunConsoleClean"};
constexpr std::chrono::milliseconds kProgressInterval{100};

void RunKind(AppContext& ctx, CleanKind kind) {
    switch (kind) {
        case CleanKind::Internet: {
            bool showResult = false;
            AutoCleanInternetFiles2(ctx, showResult);
            break;
        }
        case CleanKind::Cookies: MainCleanCookies(ctx, kRoleMain); break;
        case CleanKind::Temp: MainCleanTemp(ctx, kRoleMain, false); break;
        case CleanKind::Folders: MainCleanUser(ctx, kRoleMain, false); break;
        case CleanKind::Restart: AddCleanDat(ctx); break;
    }
}

bool NeedsDiscovery(const std::vector<CleanKind>& kinds) {
    for (CleanKind kind : kinds)
        // The restart's index files are scheduled only in the stores discovery lists.
        if (kind == CleanKind::Internet || kind == CleanKind::Cookies || kind == CleanKind::Restart) return true;
    return false;
}

// The progress line: the kind under way and what the report holds so far.
class ProgressLine {
public:
    ProgressLine(ConsoleOutput& console, const CleanReport& report) : console_(console), report_(report) {}

    void Show(CleanKind kind, bool force) {
        if (!throttle_.Due(RepaintThrottle::Clock::now()) && !force) return;
        const ReportTotals& totals = report_.Totals();
        console_.Progress((report_.Preview() ? L"Previewing " : L"Cleaning ") + std::wstring(CleanKindName(kind)) +
                          L": " + std::to_wstring(totals.files) + L" files (" + FormatSize(totals.bytes) + L"), " +
                          std::to_wstring(totals.cookies) + L" cookies");
    }

private:
    ConsoleOutput& console_;
    const CleanReport& report_;
    RepaintThrottle throttle_{kProgressInterval};
};

// Boxes the run answered without showing them: their texts go to standard error, and an
// unexpected fault (the "Application Error" box) counts as a failure of the run.
void PassOnUnshownBoxes(AppContext& ctx, CleanReport& report, ConsoleOutput& console) {
    const std::wstring faultPrefix = std::wstring(kTitleAppError) + L": ";
    for (const auto& box : ctx.dialogs.Unshown()) {
        console.Message(ReplaceAll(ReplaceAll(box, L"\r\n\r\n", L" "), L"\r\n", L" "));
        if (StartsWith(box, faultPrefix)) report.Failed(ItemType::Store, L"", FirstLine(box.substr(faultPrefix.size())));
    }
}

// Points ctx at the report for the run's length.
class ReportInstalled {
public:
    ReportInstalled(AppContext& ctx, CleanReport& report) : ctx_(ctx) { ctx_.report = &report; }
    ~ReportInstalled() { ctx_.report = nullptr; }
    ReportInstalled(const ReportInstalled&) = delete;
    ReportInstalled& operator=(const ReportInstalled&) = delete;

private:
    AppContext& ctx_;
};

}  // namespace

std::vector<CleanKind> SelectedCleanKinds() {
    RegOp cleanPath;
    cleanPath.SetKey(kCleanPathKey);
    RegOp program;
    program.SetKey(kProgramKey);
    const auto yes = [](RegOp& settings, const wchar_t* name) { return settings.Text(name) == L"Yes"; };
    std::vector<CleanKind> kinds;
    if (yes(cleanPath, L"InternetFiles")) kinds.push_back(CleanKind::Internet);
    if (yes(cleanPath, L"CookieFiles")) kinds.push_back(CleanKind::Cookies);
    if (yes(cleanPath, L"TempFiles")) kinds.push_back(CleanKind::Temp);
    if (yes(cleanPath, L"UserFolder")) kinds.push_back(CleanKind::Folders);
    if (yes(program, L"CleanDat")) kinds.push_back(CleanKind::Restart);
    return kinds;
}

int RunConsoleClean(AppContext& ctx, const CliOptions& options, ConsoleOutput& console) {
    // A preview holds the lock too: it reads what a clean would be changing.
    LockBusy busy = LockBusy::AnotherClean;
    const std::optional<CleanLock> lock = CleanLock::Acquire(kCleanLockWait, &busy);
    if (!lock) {
        console.Message(busy == LockBusy::NotOurs ? kLockNotOursText : kAnotherCleanText);
        return kExitAnotherClean;
    }
    ctx.SetUnattended(true);
    const std::vector<CleanKind> kinds = options.kinds.empty() ? SelectedCleanKinds() : options.kinds;
    CleanReport report(options.command == CliCommand::Preview);
    ReportInstalled installed(ctx, report);
    ReportingDeletes deletes(ctx, report);  // a preview's delete calls only try
    RecordedClean record(ctx, CleanTrigger::Console);
    ProgressLine progress(console, report);
    report.onRecord = [&](const ReportItem& item) { progress.Show(item.kind, false); };

    if (kinds.empty()) console.Message(L"The options select no clean: name the kinds to clean (see --help).");
    if (NeedsDiscovery(kinds)) {
        console.Progress(L"Finding browsers...");
        TrapStep(ctx.dialogs, kSite, [&] {
            InitLoc(ctx);
            CacheInitLoc(ctx);
        });
    }
    for (CleanKind kind : kinds) {
        report.Begin(kind);
        progress.Show(kind, true);
        TrapStep(ctx.dialogs, kSite, [&] { RunKind(ctx, kind); });
    }
    console.EndProgress();
    PassOnUnshownBoxes(ctx, report, console);

    const int exitCode = report.ExitCode();
    const ReportHeading heading = record.Finish(kinds);
    if (options.json) console.OutUtf8(FormatReportJson(report, heading, exitCode));
    else console.Out(FormatReportTable(report, heading));
    return exitCode;
}

}  // namespace qm
