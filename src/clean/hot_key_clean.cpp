// The clean started by the global hot key: the kinds chosen for the automatic clean, with a
// user at the keyboard, ending on the result window and its reboot reminder.
#include "base/app_error.h"
#include "base/dialogs.h"
#include "clean/clean_kinds.h"
#include "clean/run_state.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kSite{L"Module1", L"HotKeyClean"};

bool IsYes(RegOp& settings, const wchar_t* name) { return settings.Text(name) == L"Yes"; }

// The refusals end the hot-key run here: no result window follows, so no reminder may wait.
bool Refuse(AppContext& ctx, const wchar_t* text) {
    ctx.HotKeyCleaning = false;
    ctx.dialogs.ShowMessage({text, kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return false;
}

}  // namespace

bool HotKeyClean(AppContext& ctx) {
    RegOp choices;
    choices.SetKey(kCleanPathKey);
    if (!IsYes(choices, L"AutoFunction"))
        return Refuse(ctx, L"The AutoClean Box Must Be Checked For This Function To Work!");
    const bool internet = IsYes(choices, L"InternetFiles");
    const bool cookies = IsYes(choices, L"CookieFiles");
    const bool temp = IsYes(choices, L"TempFiles");
    const bool userFolders = IsYes(choices, L"UserFolder");
    if (!internet && !cookies && !temp && !userFolders)
        return Refuse(ctx, L"You Have Not Selected Any Files To Be Cleaned!");

    TrapStep(ctx.dialogs, kSite, [&] { ctx.ui.ShowfrmCount(kRoleCentred, false); });
    TrapStep(ctx.dialogs, kSite, [&] { ctx.ui.SetCacheList(); });
    TrapStep(ctx.dialogs, kSite, [&] { ctx.ui.SetTempList(); });

    RunTotal total(ctx.CleanCount);
    const auto step = [&](bool chosen, auto&& clean) {
        if (chosen) total.Add([&] { TrapStep(ctx.dialogs, kSite, clean); });
    };
    step(internet, [&] {
        bool showResult = false;
        AutoCleanInternetFiles2(ctx, showResult);
    });
    step(cookies, [&] { MainCleanCookies(ctx, kRoleMain); });
    step(temp, [&] { MainCleanTemp(ctx, kRoleMain, false); });
    step(userFolders, [&] { MainCleanUser(ctx, kRoleMain, false); });
    ctx.CleanCount = total.Total();
    TrapStep(ctx.dialogs, kSite, [&] { ctx.ui.ShowCount(kRoleCentred, false); });
    ctx.CleanCount = 0;

    TrapStep(ctx.dialogs, kSite, [&] {
        RegOp settings;
        settings.SetKey(kProgramKey);
        if (IsYes(settings, L"CleanDat")) AddCleanDat(ctx);
    });
    return true;
}

}  // namespace qm
