#include "ui/tray_menu.h"

#include <cstdint>
#include <optional>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/run_state.h"
#include "clean/timed_message_box.h"
#include "shutdown/clean_shutdown.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "ui/entry_points.h"
#include "ui/last_clean_window.h"

namespace qm {

namespace {

constexpr TrapSite kMenuSite{L"frmMain", L"cP_Click"};

constexpr wchar_t kNothingSelected[] = L"You Have Not Selected Any Files To Be Cleaned!";
constexpr int kQuestionSeconds = 4;
constexpr wchar_t kRemoveAllPathsQuestion[] =
    L"This Will Remove All Program Paths!\r\n\r\nEvery Setting, Every Kept Cookie List And Your Folder List Will Be "
    L"Erased, And Quillmere Will No Longer Start With Windows.";

// Whole-number division rounding halves to even, for a positive divisor.
std::int64_t DivideRoundingHalfEven(std::int64_t value, std::int64_t divisor) {
    const bool negative = value < 0;
    const std::int64_t magnitude = negative ? -value : value;
    std::int64_t quotient = magnitude / divisor;
    const std::int64_t twiceRemainder = 2 * (magnitude % divisor);
    if (twiceRemainder > divisor || (twiceRemainder == divisor && quotient % 2 != 0)) ++quotient;
    return negative ? -quotient : quotient;
}

void Notice(AppContext& ctx, const wchar_t* text, const wchar_t* title = kTitleInfo) {
    ctx.dialogs.ShowMessage({text, title, MB_OK | MB_ICONINFORMATION});
}

bool IsYes(RegOp& settings, const wchar_t* name) { return settings.Text(name) == L"Yes"; }

bool AnyCleanSelected(RegOp& cleanPath) {
    for (const wchar_t* name : {L"InternetFiles", L"CookieFiles", L"TempFiles", L"UserFolder"})
        if (IsYes(cleanPath, name)) return true;
    return false;
}

// The selected cleans of a tray run, shown in the tray's place and colour. Each step
// counts from zero and the result shows their sum; the restart-time instructions are
// written when "Remove Dat Files" is on, as for every other combined run.
void RunSelectedCleans(AppContext& ctx, RegOp& cleanPath, const std::wstring& stepRole, bool timerCheck) {
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.SetCacheList(); });
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.SetTempList(); });
    RunTotal total(ctx.CleanCount);
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.ShowfrmCount(kRoleTray, false); });
    const auto step = [&](const wchar_t* option, auto&& clean) {
        if (!IsYes(cleanPath, option)) return;
        total.Add([&] { TrapStep(ctx.dialogs, kMenuSite, clean); });
    };
    step(L"InternetFiles", [&] {
        bool showResult = false;
        AutoCleanInternetFiles2(ctx, showResult);
    });
    step(L"CookieFiles", [&] { MainCleanCookies(ctx, stepRole); });
    step(L"TempFiles", [&] { MainCleanTemp(ctx, stepRole, false); });
    step(L"UserFolder", [&] { MainCleanUser(ctx, stepRole, false); });
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.ShowCount(kRoleTray, timerCheck); });
    TrapStep(ctx.dialogs, kMenuSite, [&] {
        RegOp program;
        program.SetKey(kProgramKey);
        if (IsYes(program, L"CleanDat")) AddCleanDat(ctx);
    });
}

void AutoCleanFiles(AppContext& ctx) {
    RegOp cleanPath;
    cleanPath.SetKey(kCleanPathKey);
    if (!IsYes(cleanPath, L"AutoFunction")) {
        Notice(ctx, L"The AutoClean Box Must Be Checked For This Function To Work!");
        return;
    }
    if (!AnyCleanSelected(cleanPath)) {
        Notice(ctx, kNothingSelected);
        return;
    }
    RunSelectedCleans(ctx, cleanPath, kRoleMain, true);
}

void CleanAndShutdown(AppContext& ctx) {
    // The option is checked before the countdown: a countdown that ends in "not checked"
    // teaches the user to ignore it.
    RegOp cleanPath;
    cleanPath.SetKey(kCleanPathKey);
    if (!IsYes(cleanPath, L"Shutdown")) {
        Notice(ctx, L"Clean And ShutDown Box Not Checked On Options Form!");
        return;
    }
    if (!AnyCleanSelected(cleanPath)) {
        Notice(ctx, kNothingSelected);
        return;
    }
    if (AskTimedQuestion(ctx, L"Clean And Shutdown Will Begin In %T Seconds!", ctx.ui.MainWindow(), kQuestionSeconds,
                         IDOK) != IDOK)
        return;
    RunSelectedCleans(ctx, cleanPath, kRoleStep, false);
    ctx.pump.Sleep(1000);
    bool shuttingDown = false;
    TrapStep(ctx.dialogs, kMenuSite, [&] { shuttingDown = CleanShutDown(ctx); });
    // A refused request has been reported: the program stays resident rather than leave
    // the computer on without it.
    if (!shuttingDown) return;
    ctx.pump.Sleep(200);
    RequestExit(ctx);
}

// Removes every trace of the program's settings and ends it. A question that destroys
// settings answers Cancel when nobody answers.
void RemoveAllPaths(AppContext& ctx) {
    const std::wstring question = std::wstring(kRemoveAllPathsQuestion) + kCrLf + kCrLf +
                                  L"Automatic Return Will Happen In %T Seconds." + std::wstring(12, L' ');
    if (AskTimedQuestion(ctx, question, ctx.ui.MainWindow(), kQuestionSeconds, IDCANCEL, kTimedBoxWarningStyle) !=
        IDOK)
        return;
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.ShellTrayRemove(); });
    TrapStep(ctx.dialogs, kMenuSite, [&] { ctx.ui.UnloadMaxMin(); });
    // The help window stores its size as it closes: it closes before the settings go, not
    // after, when it would write the program key back.
    TrapStep(ctx.dialogs, kMenuSite, [&] {
        if (ctx.frmHelp) ctx.frmHelp->Destroy();
    });
    for (int i = 0; i < 50; ++i) {
        ctx.pump.DoEvents();
        ctx.pump.Sleep(10);
    }
    // The withdrawal goes first: it may need the folders remembered in the settings.
    TrapStep(ctx.dialogs, kMenuSite, [&] { WithdrawCleanDat(ctx); });
    TrapStep(ctx.dialogs, kMenuSite, [&] {
        RegOp program;
        program.SetKey(kProgramKey);
        program.DeleteKey();
    });
    TrapStep(ctx.dialogs, kMenuSite, [&] {
        RegOp run;
        run.SetKey(kRunKey);
        run.DeleteValue(L"Quillmere");
    });
    ctx.pump.Sleep(200);
    Notice(ctx, L"All Program Paths Have Been Deleted From Registry", kTitleInformation);
    RequestExit(ctx);
}

void ConfigureProgram(AppContext& ctx) {
    ctx.frmMain.form.ShowInFront();
    ctx.frmMain.SSTab1.Select(kTabOptions);
}

void CheckForUpdatesOnRequest(AppContext& ctx) {
    ctx.flags.manualUpdateCheck = true;
    CheckForProgramUpdates(ctx);
}

struct WorkCommand {
    std::wstring_view caption;
    void (*run)(AppContext&);
    // A clean: it holds the lock that keeps other processes' cleans apart, and is logged.
    std::optional<CleanTrigger> cleans;
};

constexpr WorkCommand kWorkCommands[] = {
    {L"Configure Program", &ConfigureProgram},        {L"Check For Program Updates", &CheckForUpdatesOnRequest},
    {L"Select HotKey", &ShowHotKeySetter},            {L"Remove All Paths", &RemoveAllPaths},
    {L"Clean And Shutdown", &CleanAndShutdown, CleanTrigger::Shutdown},
    {L"AutoClean Files", &AutoCleanFiles, CleanTrigger::Tray},
};

}  // namespace

POINT MenuPosFromCursor(POINT cursor) {
    return {cursor.x * 13, static_cast<LONG>(DivideRoundingHalfEven(std::int64_t{cursor.y} * 143, 10))};
}

bool TrayItemAvailable(std::wstring_view caption, bool runActive) {
    if (!runActive) return true;
    return caption == L"Help" || caption == L"About" || caption == L"Last Clean..." || caption == L"Exit Program" ||
           caption == L"Close Menu";
}

void cP_Click(AppContext& ctx, const std::wstring& caption) {
    if (caption == L"Exit Program") {
        RequestExit(ctx);
        return;
    }
    if (caption == L"Help") return ShowHelpWindow(ctx, false);
    if (caption == L"About") return ShowAboutWindow(ctx);
    if (caption == L"Last Clean...") return ShowLastCleanWindow(ctx);
    if (caption == L"Close Menu" || !TrayItemAvailable(caption, RunActive(ctx))) return;

    // Everything else is work: one at a time, and none while a clean runs.
    for (const auto& [itemCaption, command, cleans] : kWorkCommands) {
        if (caption != itemCaption) continue;
        const auto work = [&] { command(ctx); };
        if (cleans) RunExclusiveClean(ctx, kMenuSite, *cleans, work);
        else RunExclusive(ctx, kMenuSite, work);
    }
}

}  // namespace qm
