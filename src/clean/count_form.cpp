#include "clean/count_form.h"

#include <algorithm>

#include "base/app_error.h"
#include "base/text.h"
#include "cli/report_format.h"
#include "clean/clean_kinds.h"
#include "clean/progress_tick.h"
#include "clean/run_state.h"
#include "clean/timed_message_box.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kTimerSite{L"frmCount", L"Timer1_Timer"};
constexpr COLORREF kTrayColour = 12640511;  // red 255, green 224, blue 192
constexpr COLORREF kGrey = 8421504;

bool IsShownRole(const std::wstring& role) { return role == kRoleTray || role == kRoleMain || role == kRoleCentred; }

// Loading the window: a fresh bar and labels, as a newly created window has.
void LoadCountForm(CountFormModel& count) {
    if (count.form.Loaded()) return;
    count.ProgressBar1.SetValue(0);
    count.bMsgShow = false;
    count.form.SetLoaded(true);
}

void PlaceByRole(CountFormModel& count, const std::wstring& role) {
    if (role == kRoleTray) {
        count.placement = CountPlacement::NearTrayClick;
        count.BackColor = kTrayColour;
    } else if (role == kRoleMain || role == kRoleCentred) {
        count.placement = CountPlacement::Centred;
        count.BackColor = kGrey;
    } else {
        count.placement = CountPlacement::Unchanged;
    }
}

void BeginView(AppContext& ctx, const std::wstring& role, bool timerCheck) {
    auto& count = ctx.frmCount;
    LoadCountForm(count);
    count.Timer1.Tag.clear();
    count.Label1.SetCaption(L"Cleaning");
    count.Label1.SetVisible(true);
    count.Label2.SetVisible(false);
    count.Label3.SetVisible(false);
    PlaceByRole(count, role);
    if (role == kRoleMain && timerCheck) ctx.frmMain.form.SetVisible(false);
}

void ShowWindowAndBar(AppContext& ctx) {
    auto& count = ctx.frmCount;
    count.form.SetVisible(true);
    count.form.Refresh();  // the view places and colours the window as it shows it
    count.ProgressBar1.SetVisible(true);
    count.ProgressBar1.Refresh();
}

// Only when something of the run really waits for the restart, and the user wants to hear it.
bool ReminderWanted(const AppContext& ctx) {
    if (!ctx.restart.restartPending) return false;
    RegOp settings;
    settings.SetKey(kProgramKey);
    return settings.Text(L"CleanDat") == L"Yes" && settings.Text(L"DatMessage") != L"No";
}

void UnloadCountForm(CountFormModel& count) {
    count.Timer1.SetEnabled(false);
    count.form.SetVisible(false);
    count.form.SetLoaded(false);
    count.bMsgShow = false;
    count.Timer1.Tag.clear();
}

}  // namespace

void ShowfrmCount(AppContext& ctx, const std::wstring& role, bool timerCheck) {
    StartProgress(ctx);
    IgnoreErrors([&] { BeginView(ctx, role, timerCheck); });
    IgnoreErrors([&] { ShowWindowAndBar(ctx); });
}

void ShowCount(AppContext& ctx, const std::wstring& role, bool timerCheck) {
    auto& count = ctx.frmCount;
    BeginView(ctx, role, timerCheck);
    if (role == kRoleTray) count.bMsgShow = true;
    if (!IsShownRole(role)) return;
    EndProgress(ctx);
    ShowWindowAndBar(ctx);
    if (timerCheck) count.Timer1.Tag = role;
    const ResultText result = CountResult(ctx);
    count.Label1.SetCaption(result.count);
    count.Label3.SetCaption(result.details);
    count.ProgressBar1.SetVisible(false);
    count.Label1.SetVisible(true);
    count.Label2.SetVisible(true);
    count.Label3.SetVisible(true);
    count.form.Refresh();
    // Arming again restarts the 3 seconds, as a second result view of a combined run needs.
    count.Timer1.SetEnabled(false);
    count.Timer1.SetEnabled(true);
}

ResultText CountResult(const AppContext& ctx) {
    if (!ctx.report) return {FormatThousands(ctx.CleanCount), L""};
    const ReportTotals& totals = ctx.report->Totals();
    const auto counted = [](std::uint64_t number, const wchar_t* one, const wchar_t* many) {
        return FormatThousands(static_cast<std::int64_t>(number)) + (number == 1 ? one : many);
    };
    std::wstring details = counted(totals.folders, L" Folder, ", L" Folders, ") + FormatSize(totals.bytes) + L" Freed";
    if (totals.cookies > 0) details += L", " + counted(totals.cookies, L" Cookie Deleted", L" Cookies Deleted");
    return {FormatThousands(static_cast<std::int64_t>(totals.files)), details};
}

void Timer1_Timer(AppContext& ctx) {
    if (RunActive(ctx)) return;  // armed still: the next tick comes when the run is over
    RunExclusive(ctx, kTimerSite, [&] {
        auto& count = ctx.frmCount;
        const std::wstring tag = count.Timer1.Tag;
        count.Timer1.SetEnabled(false);
        count.form.SetVisible(false);
        const bool remind = ReminderWanted(ctx);
        ctx.restart.restartPending = false;  // told (or not wanted): the next run starts afresh
        if ((tag == kRoleMain || count.bMsgShow) && remind)
            ShowTimedNotice(ctx, kRebootReminder, nullptr, 4);
        count.bMsgShow = false;
        if (tag == kRoleMain) ctx.frmMain.form.SetVisible(true);
        if (ctx.HotKeyCleaning) {
            if (remind) ShowTimedNotice(ctx, kRebootReminder, nullptr, 5);
            ctx.HotKeyCleaning = false;
        }
        UnloadCountForm(count);
    });
}

void BindCountForm(AppContext& ctx) {
    ctx.frmCount.Timer1.Timer.Connect([&ctx] { Timer1_Timer(ctx); });
}

POINT PlaceNearTrayClick(POINT click, SIZE size, const RECT& workArea) {
    const LONG width = std::min<LONG>(size.cx, workArea.right - workArea.left);
    const LONG height = std::min<LONG>(size.cy, workArea.bottom - workArea.top);
    const LONG left = std::clamp<LONG>(click.x - width / 2, workArea.left, workArea.right - width);
    return {left, workArea.bottom - height};
}

}  // namespace qm
