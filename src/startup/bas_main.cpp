#include "startup/bas_main.h"

#include <exception>
#include <optional>
#include <source_location>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_commands.h"
#include "clean/clean_kinds.h"
#include "clean/clean_lock.h"
#include "clean/clean_log.h"
#include "cookies/discovery.h"
#include "online/auto_update.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "ui/entry_points.h"
#include "ui/hot_key.h"

namespace qm {

namespace {

constexpr wchar_t kDefaultHotKey[] = L"67";         // the letter C
constexpr wchar_t kDefaultAltModifier[] = L"262144";

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'/' || c == L'\t' || c == L'"'; }

// Start-up's own trap: any fault is shown as "Sub Main Error ..." and start-up goes on.
template <class Step>
void MainStep(AppContext& ctx, Step&& step, std::source_location where = std::source_location::current()) {
    try {
        step();
    } catch (...) {
        long number = 5;  // invalid procedure call: a fault without a number of its own
        try {
            throw;
        } catch (const ComponentError& error) {
            number = static_cast<long>(error.Number());
        } catch (...) {
        }
        ctx.dialogs.ShowMessage({L"Sub Main Error " + std::to_wstring(number) + L" " + DescribeCurrentException() +
                                     L" At Line Number " + std::to_wstring(where.line()),
                                 kAppTitle, MB_OK});
    }
}

// A stored whole number; empty or non-numeric text reads as 0.
long long WholeNumber(const std::wstring& text) {
    long long value = 0;
    return TryParseInt(text, value) ? value : 0;
}

bool IsYes(const std::wstring& text) { return text == L"Yes"; }

void SelectFirst(ListModel& list) {
    if (list.ListCount() > 0) list.SetListIndex(0);
}

void RunAutomaticMode(AppContext& ctx) {
    // A clean of the resident program or of the console program is under way: this one is
    // skipped rather than run after it (nobody waits for it, and the next one comes).
    LockBusy busy = LockBusy::AnotherClean;
    const std::optional<CleanLock> lock = CleanLock::Acquire(kCleanLockWait, &busy);
    if (!lock) {
        const wchar_t* text = busy == LockBusy::NotOurs ? kAutoLockNotOursText : kAutoSkippedText;
        ::OutputDebugStringW((std::wstring(text) + L"\n").c_str());
        return;
    }
    const RecordedClean record(ctx, CleanTrigger::Auto);
    MainStep(ctx, [&] { ctx.ui.LoadMainForm(); });
    MainStep(ctx, [&] {
        InitLoc(ctx);
        CacheInitLoc(ctx);
    });
    MainStep(ctx, [&] {
        SelectFirst(ctx.frmMain.cache);
        SelectFirst(ctx.frmMain.cboLoc);
    });
    ctx.pump.Sleep(500);

    RegOp settings;
    settings.SetKey(kCleanPathKey);
    MainStep(ctx, [&] {
        if (!IsYes(settings.Text(L"InternetFiles"))) return;
        bool showResult = false;
        AutoCleanInternetFiles2(ctx, showResult);
    });
    MainStep(ctx, [&] {
        if (IsYes(settings.Text(L"CookieFiles"))) MainCleanCookies(ctx, kRoleMain);
    });
    MainStep(ctx, [&] {
        if (IsYes(settings.Text(L"TempFiles"))) MainCleanTemp(ctx, kRoleMain, false);
    });
    MainStep(ctx, [&] {
        if (IsYes(settings.Text(L"UserFolder"))) MainCleanUser(ctx, kRoleMain, false);
    });
    settings.SetKey(kProgramKey);
    MainStep(ctx, [&] {
        if (IsYes(settings.Text(L"CleanDat"))) AddCleanDat(ctx);
    });
    ctx.pump.Sleep(500);
    MainStep(ctx, [&] { ctx.ui.UnloadMainForm(); });
}

// Every resident start registers the program to start with Windows, without "auto".
void RegisterRunEntry(const std::wstring& programFolder) {
    RegOp run;
    run.SetKey(kRunKey);
    const std::wstring expected = programFolder + L"\\Quillmere.exe";
    if (run.Text(L"Quillmere") != expected) run.SetValue(L"Quillmere", expected);
}

struct HotKeyChoice {
    UINT modifiers = 0;
    std::wstring key;
};

HotKeyChoice ReadHotKeyChoice(AppContext& ctx) {
    HotKeyChoice choice;
    RegOp settings;
    settings.SetKey(kProgramKey);
    MainStep(ctx, [&] {
        choice.key = settings.Text(L"MaxMinKey");
        choice.modifiers = HotKeyModifiers(WholeNumber(settings.Text(L"MaxMinAlt")),
                                           WholeNumber(settings.Text(L"MaxMinShift")),
                                           WholeNumber(settings.Text(L"MaxMinCtrl")));
    });
    MainStep(ctx, [&] {
        if (choice.modifiers != 0) return;
        choice.modifiers = MOD_ALT;
        settings.SetValue(L"MaxMinAlt", kDefaultAltModifier);
    });
    MainStep(ctx, [&] {
        if (!choice.key.empty() && choice.key != L"0") return;
        choice.key = kDefaultHotKey;
        settings.SetValue(L"MaxMinKey", choice.key);
    });
    MainStep(ctx, [&] {
        // A stored key that would fire while the user types (or close windows) is not registered.
        long long key = 0;
        if (!TryParseInt(choice.key, key) || key <= 0 || key > 0xFF) return;
        if (!CapturesTyping({choice.modifiers, static_cast<UINT>(key)})) return;
        ctx.dialogs.ShowMessage({kStoredHotKeyRefusedMessage, kTitleInformation, MB_OK | MB_ICONINFORMATION});
        StoreHotKey(kDefaultCleanHotKey);
        choice = {kDefaultCleanHotKey.modifiers, std::to_wstring(kDefaultCleanHotKey.key)};
    });
    return choice;
}

// Tray icon, subclassing, the global hot key and its hook, then the update check and the
// removal of an earlier update's download, as every resident start does.
void GoResident(AppContext& ctx, const HotKeyChoice& hotKey) {
    MainStep(ctx, [&] {
        if (ctx.ui.ShellTrayAdd()) ctx.ui.SubClass(ctx.ui.MainWindow());
    });
    MainStep(ctx, [&] {
        long long virtualKey = 0;
        const bool numeric = TryParseInt(hotKey.key, virtualKey) && virtualKey > 0 && virtualKey <= 0xFFFF;
        const bool registered =
            numeric && ctx.ui.RegisterHotKey(ctx.ui.MaxMinWindow(), kCleanHotKeyId, hotKey.modifiers,
                                             static_cast<UINT>(virtualKey));
        if (!registered)
            ctx.dialogs.ShowMessage({kHotKeyTakenMessage, kTitleInformation, MB_OK | MB_ICONINFORMATION});
    });
    MainStep(ctx, [&] { ctx.ui.Hook(ctx.ui.MaxMinWindow()); });
    // Only now, and in the background: a slow or silent web site holds up neither the icon,
    // the hot key nor anything the user does next.
    MainStep(ctx, [&] { CheckForProgramUpdates(ctx); });
    MainStep(ctx, [&] { RemoveUpdateLeftovers(ctx); });
}

void RunResidentMode(AppContext& ctx, const StartupArguments& arguments) {
    MainStep(ctx, [&] { RegisterRunEntry(arguments.programFolder); });
    const HotKeyChoice hotKey = ReadHotKeyChoice(ctx);

    RegOp settings;
    settings.SetKey(kProgramKey);
    std::wstring firstRun;
    MainStep(ctx, [&] { firstRun = settings.Text(L"FirstRun"); });

    if (firstRun == L"No") {
        MainStep(ctx, [&] {
            ctx.ui.LoadMainForm();
            ctx.frmMain.form.SetVisible(false);
        });
        GoResident(ctx, hotKey);
        return;
    }
    MainStep(ctx, [&] { ctx.ui.ShowHelpModal(); });
    MainStep(ctx, [&] { settings.SetValue(L"FirstRun", L"No"); });
    MainStep(ctx, [&] { ctx.ui.LoadMainForm(); });
    GoResident(ctx, hotKey);
    MainStep(ctx, [&] { ctx.frmMain.form.SetVisible(true); });
}

}  // namespace

bool IsAutomaticCommandLine(std::wstring_view arguments) { return ToLower(GetCommandLine(arguments)) == L"auto"; }

std::wstring GetCommandLine(std::wstring_view arguments, int maxWords) {
    std::wstring word;
    int words = 0;
    size_t i = 0;
    while (i < arguments.size()) {
        while (i < arguments.size() && IsSeparator(arguments[i])) ++i;
        if (i >= arguments.size()) break;
        if (words >= maxWords) break;  // a further word would begin
        const size_t start = i;
        while (i < arguments.size() && !IsSeparator(arguments[i])) ++i;
        word.assign(arguments.substr(start, i - start));
        ++words;
    }
    return word;
}

UINT HotKeyModifiers(long long alt, long long shift, long long ctrl) {
    UINT modifiers = 0;
    if (alt > 0) modifiers |= MOD_ALT;
    if (ctrl > 0) modifiers |= MOD_CONTROL;
    if (shift > 0) modifiers |= MOD_SHIFT;
    return modifiers;
}

RunMode Main(AppContext& ctx, const StartupArguments& arguments) {
    ctx.flags.webCancel = false;
    ctx.HotKeyCleaning = false;
    ctx.flags.updateAtStart = false;
    const bool automatic = IsAutomaticCommandLine(arguments.commandLine);
    ctx.SetUnattended(automatic);

    MainStep(ctx, [&] { CleanUp(ctx); });

    if (automatic) {
        RunAutomaticMode(ctx);
        return RunMode::Automatic;
    }
    RunResidentMode(ctx, arguments);
    return RunMode::Resident;
}

}  // namespace qm
