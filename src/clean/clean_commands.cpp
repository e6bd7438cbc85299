#include "clean/clean_commands.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_dat.h"
#include "clean/clean_kinds.h"
#include "clean/clean_lock.h"
#include "clean/deletion_guard.h"
#include "clean/held_delete.h"
#include "clean/next_start_deletes.h"
#include "clean/restart_operations.h"
#include "cookies/current_browsers.h"
#include "cookies/discovery.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kSite1{L"frmMain", L"Command1_Click"};
constexpr TrapSite kSite3{L"frmMain", L"Command3_Click"};
constexpr TrapSite kSite5{L"frmMain", L"Command5_Click"};
constexpr TrapSite kSite8{L"frmMain", L"Command8_Click"};
constexpr TrapSite kSite15{L"frmMain", L"Command15_Click"};

constexpr std::int32_t kKindMask = 0xFF00;

// Lets the windows settle (repaint, hide) before the disk work starts.
void SettlePause(AppContext& ctx, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        ctx.pump.DoEvents();
        ctx.pump.Sleep(10);
    }
}

int Ask(AppContext& ctx, const std::wstring& text, UINT style, const wchar_t* title = kTitleInfo) {
    return ctx.dialogs.ShowMessage({text, title, style});
}

void HideMain(AppContext& ctx) { ctx.frmMain.form.SetVisible(false); }
void ShowMain(AppContext& ctx) { ctx.frmMain.form.SetVisible(true); }

std::wstring BrowserName(std::int32_t kind) {
    switch (kind & kKindMask) {
        case 0x1000: return L"Microsoft";
        case 0x2000: return L"Netscape";
        case 0x4000: return L"FireFox";
        case 0x8000: return ChromiumBrowserName(kind);
        default: return L"";
    }
}

bool Checked(const CheckBoxModel& box) { return box.Value() == 1; }

std::wstring CleanEverythingQuestion(const MainFormModel& form) {
    const std::array<std::wstring, 5> words = {
        Checked(form.Check1) ? L"Internet" : L"",     Checked(form.Check2) ? L"Temp" : L"",
        Checked(form.Check4) ? L"Cookie" : L"",       Checked(form.Check5) ? L"Your Folders" : L"",
        Checked(form.Check7) ? L"Your Dat Files" : L""};
    std::wstring text = L"You Are About To Clean The Following Folders " + std::wstring(kCrLf) + kCrLf;
    for (const auto& word : words) text += std::wstring(20, L' ') + word + kCrLf + kCrLf;
    return text + L"          Do You Want To Continue?";
}

}  // namespace

void Command1_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    HideMain(ctx);
    ctx.CleanCount = 0;
    const int selected = form.cache.ListIndex();
    const std::int32_t kind = selected >= 0 ? form.cache.ItemData(selected) : 0;
    form.currentKind = kind;
    const std::wstring question = L"You Are About To Clean Your " + BrowserName(kind) + L" Internet Files" + kCrLf +
                                  kCrLf + L"             Do You Want To Continue?";
    if (Ask(ctx, question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ShowMain(ctx);
        return;
    }
    SettlePause(ctx, 25);
    const std::wstring location = form.cache.Text();
    TrapStep(ctx.dialogs, kSite1, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    TrapStep(ctx.dialogs, kSite1, [&] { MainCleanInternetFiles(ctx, location); });
    TrapStep(ctx.dialogs, kSite1, [&] { ctx.ui.SetCacheList(); });
    TrapStep(ctx.dialogs, kSite1, [&] { ctx.ui.ShowCount(kRoleMain, true); });
}

void Command3_Click(AppContext& ctx) {
    HideMain(ctx);
    const std::wstring question = L"You Are About To Clean Your Temp Files" + std::wstring(kCrLf) + kCrLf +
                                  L"          Do You Want To Continue?";
    if (Ask(ctx, question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ShowMain(ctx);
        return;
    }
    SettlePause(ctx, 25);
    // The Temp page's list is filled with what stays once the clean is over; filling it with
    // everything first would only cost time.
    ctx.CleanCount = 0;
    TrapStep(ctx.dialogs, kSite3, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    TrapStep(ctx.dialogs, kSite3, [&] { MainCleanTemp(ctx, kRoleMain, true); });
    TrapStep(ctx.dialogs, kSite3, [&] { ctx.ui.ShowCount(kRoleMain, true); });
}

void Command8_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.currentKind = 0;
    HideMain(ctx);
    const std::wstring question = L"You Are About To Clean All Your Cookies!" + std::wstring(kCrLf) + kCrLf +
                                  L"       Do You Wish To Continue?";
    if (Ask(ctx, question, MB_OKCANCEL | MB_ICONQUESTION, kTitleInformation) != IDOK) {
        ShowMain(ctx);
        return;
    }
    SettlePause(ctx, 10);
    TrapStep(ctx.dialogs, kSite8, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    TrapStep(ctx.dialogs, kSite8, [&] { MainCleanCookies(ctx, kRoleMain); });
    TrapStep(ctx.dialogs, kSite8, [&] { ctx.ui.ShowCount(kRoleMain, true); });
    if (form.form.Visible() && form.cboLoc.ListCount() > 0) form.cboLoc.SetFocus();
}

void Command15_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    HideMain(ctx);
    form.form.Move(0, 0);
    const std::wstring question = L"You Are About To Clean Your User Folders" + std::wstring(kCrLf) + kCrLf +
                                  L"          Do You Want To Continue?";
    const int answer = Ask(ctx, question, MB_YESNO | MB_ICONSTOP);
    form.List6.Clear();
    form.List7.Clear();
    if (answer != IDYES) {
        ShowMain(ctx);
        return;
    }
    SettlePause(ctx, 10);
    ctx.CleanCount = 0;
    TrapStep(ctx.dialogs, kSite15, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    TrapStep(ctx.dialogs, kSite15, [&] { MainCleanUser(ctx, kRoleMain, true); });
    TrapStep(ctx.dialogs, kSite15, [&] { ctx.ui.ShowCount(kRoleMain, true); });
}

void Command5_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    HideMain(ctx);
    if (!Checked(form.Check1) && !Checked(form.Check2) && !Checked(form.Check4) && !Checked(form.Check5)) {
        Ask(ctx, L"You Have Not Selected Any Files To Be Cleaned!", MB_OK | MB_ICONINFORMATION);
        ShowMain(ctx);
        return;
    }
    if (Ask(ctx, CleanEverythingQuestion(form), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ShowMain(ctx);
        return;
    }
    RunTotal total(ctx.CleanCount);
    HideMain(ctx);
    form.List6.Clear();
    form.List7.Clear();
    TrapStep(ctx.dialogs, kSite5, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    // Each box is read again now: the user may have changed it while the question was open.
    if (Checked(form.Check1)) {
        total.Add([&] {
            TrapStep(ctx.dialogs, kSite5, [&] {
                bool showResult = true;
                AutoCleanInternetFiles2(ctx, showResult);
            });
        });
    }
    if (Checked(form.Check2))
        total.Add([&] { TrapStep(ctx.dialogs, kSite5, [&] { MainCleanTemp(ctx, kRoleStep, true); }); });
    if (Checked(form.Check4))
        total.Add([&] { TrapStep(ctx.dialogs, kSite5, [&] { MainCleanCookies(ctx, kRoleStep); }); });
    if (Checked(form.Check5))
        total.Add([&] { TrapStep(ctx.dialogs, kSite5, [&] { MainCleanUser(ctx, kRoleStep, true); }); });
    TrapStep(ctx.dialogs, kSite5, [&] { ctx.ui.ShowCount(kRoleMain, true); });
    TrapStep(ctx.dialogs, kSite5, [&] {
        RegOp settings;
        settings.SetKey(kProgramKey);
        if (settings.Text(L"CleanDat") == L"Yes") AddCleanDat(ctx);
    });
}

void BindCleanCommands(AppContext& ctx) {
    // A click while another run (or another process's clean) is active is ignored: one
    // clean at a time. The lock is held from the question on, so a yes is never refused.
    const auto bind = [&ctx](ButtonModel& button, const TrapSite& site, void (*command)(AppContext&)) {
        button.Click.Connect([&ctx, &site, command] { RunExclusiveClean(ctx, site, CleanTrigger::Window, [&] { command(ctx); }); });
    };
    auto& form = ctx.frmMain;
    bind(form.Command1, kSite1, &Command1_Click);
    bind(form.Command3, kSite3, &Command3_Click);
    bind(form.Command5, kSite5, &Command5_Click);
    bind(form.Command8, kSite8, &Command8_Click);
    bind(form.Command15, kSite15, &Command15_Click);
}

namespace {

struct OldCopyPlace {
    std::wstring folder;
    IeList list;
};

// The remembered folders that hold an "old.txt" the restart is not to move: only a look.
std::vector<OldCopyPlace> OldCopyCandidates(AppContext& ctx) {
    RegOp settings;
    settings.SetKey(kProgramKey);
    std::vector<OldCopyPlace> places;
    const auto consider = [&](const wchar_t* name, IeList list) {
        const std::wstring folder = settings.Text(name);
        if (folder.empty() || !ApiFileExists(QualifyPath(folder) + L"old.txt")) return;
        // Still waiting to replace the cookie index at the next restart.
        if (IsOwnPendingMoveSource(QualifyPath(folder) + L"old.txt")) return;
        places.push_back({folder, list});
    };
    if (IsWinVista(ctx.os)) consider(L"MSCookieLow", IeList::CookieStores);
    consider(L"MSTIF", IeList::Caches);
    consider(L"MSCookie", IeList::CookieStores);
    consider(L"MSTIFIE5", IeList::Caches);
    return places;
}

// Removes the "old.txt" copies the cookie clean left, each only in a folder that discovery
// lists now as an Internet Explorer store (a setting merely names a folder), held through the
// guard, as every clean deletes.
void RemoveOldCopies(AppContext& ctx) {
    const std::vector<OldCopyPlace> places = OldCopyCandidates(ctx);
    if (places.empty()) return;
    InitLoc(ctx);
    CacheInitLoc(ctx);
    const DeletionGuard guard;
    for (const auto& place : places)
        if (const std::optional<GuardedRoot> root = HoldListedIeFolder(ctx, guard, place.folder, place.list))
            DeletePass(ctx).DeleteFile(root->Folder(), L"old.txt");
}

}  // namespace

void CleanUp(AppContext& ctx) {
    IgnoreErrors([&] {
        ForgetCarriedOutRestartOperations();
        // It deletes as a clean does, so it waits its turn like one; when another clean runs,
        // the next start does it.
        const std::optional<CleanLock> lock = CleanLock::Acquire();
        if (!lock) return;
        RemoveNotedFiles(ctx);
        RemoveOldCopies(ctx);
    });
}

}  // namespace qm
