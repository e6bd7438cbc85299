// The Temp clean and the user-folder clean.
#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/deletion_guard.h"
#include "clean/held_delete.h"
#include "clean/progress_tick.h"
#include "clean/report_recording.h"
#include "clean/search_delete.h"
#include "clean/sys_check.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kTempSite{L"Clean", L"MainCleanTemp"};
constexpr TrapSite kUserSite{L"Clean", L"MainCleanUser"};
constexpr int kLastUserFolderNumber = 1000;

std::wstring ProcessTempVariable() {
    const DWORD needed = ::GetEnvironmentVariableW(L"Temp", nullptr, 0);
    if (needed == 0) return {};
    std::wstring value(needed, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"Temp", value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

// Tells the user, in an interactive run, why a root was left as it was.
void TellNotCleaned(AppContext& ctx, const std::wstring& role, RootKind kind, RootRefusal refusal,
                    const std::wstring& path) {
    ReportRefusedRoot(ctx, kind, refusal, path);
    if (role != kRoleMain) return;
    ctx.dialogs.ShowMessage({NotCleanedHeading(kind) + kCrLf + kCrLf + RefusalText(kind, refusal, path), kTitleInfo,
                             MB_OK | MB_ICONINFORMATION});
}

// Fills List2 and the Temp labels with what survived the clean.
void ShowTempSurvivors(AppContext& ctx, const std::wstring& temp) {
    auto& form = ctx.frmMain;
    form.List2.Clear();
    form.List2.Refresh();
    auto& search = ctx.SearchSpec;
    search.StartAt(QualifyPath(temp));
    SearchForFiles2(ctx, search.StartPath);
    const std::wstring count = std::to_wstring(form.List2.ListCount());
    form.Label5.SetCaption(L"Temp Folder Contains " + count + L" Files");
    form.Label6.SetCaption(L"The " + count + L" Files Remaining Are In Use");
}

}  // namespace

std::wstring GuardedTempFolder() {
    const std::wstring temp = ProcessTempVariable();
    return GuardDeletionRoot(temp, RootKind::Temp).root ? temp : std::wstring{};
}

void MainCleanTemp(AppContext& ctx, const std::wstring& role, bool /*unused*/) {
    BeginKind(ctx, CleanKind::Temp);
    const std::wstring temp = ProcessTempVariable();
    // Without an answer from the guard nothing is deleted.
    GuardVerdict verdict;
    if (!TrapStep(ctx.dialogs, kTempSite, [&] { verdict = GuardDeletionRoot(temp, RootKind::Temp); })) return;
    if (!verdict.root) {
        TellNotCleaned(ctx, role, RootKind::Temp, verdict.refusal, temp);
        return;
    }

    // Files (each counted), then the subfolders, each removed one counting once more.
    const WalkFolder& top = verdict.root->Folder();
    CountAhead(ctx, top);
    DeletePass pass(ctx);
    pass.OnEvent([&ctx](const DeleteEvent& event) {
        if (event.kind == ItemKind::File && event.reason == SkipReason::None) ProgressTick(ctx);
    });
    TrapStep(ctx.dialogs, kTempSite, [&] { pass.DeleteFiles(top, false); });
    TrapStep(ctx.dialogs, kTempSite, [&] {
        for (const auto& folder : pass.Subfolders(top))
            if (pass.RemoveSubfolder(top, folder, OnFailedSubfolder::GoOn) == 0) ProgressTick(ctx);
    });
    verdict.root.reset();

    if (role != kRoleMain) return;
    TrapStep(ctx.dialogs, kTempSite, [&] { ShowTempSurvivors(ctx, temp); });
}

void MainCleanUser(AppContext& ctx, const std::wstring& role, bool /*passthrough*/) {
    BeginKind(ctx, CleanKind::Folders);
    std::optional<DeletionGuard> guard;  // made for the first folder: it asks for every system folder
    RegOp settings;
    settings.SetKey(kUserFolderKey);
    for (int number = 0; number <= kLastUserFolderNumber; ++number) {
        std::wstring folder;
        TrapStep(ctx.dialogs, kUserSite, [&] { folder = settings.Text(L"File" + std::to_wstring(number)); });
        if (folder.empty() || folder == L"0") {
            if (number == 0 && role == kRoleMain)
                ctx.dialogs.ShowMessage({L"You Do Not Have Any Folders Selected!", kTitleInfo, MB_OK | MB_ICONINFORMATION});
            return;
        }
        // The status is not looked at: one folder that cannot be emptied must not stop the next.
        TrapStep(ctx.dialogs, kUserSite, [&] {
            if (!guard) guard.emplace();
            const std::wstring trimmed = DelTreeFolder(folder);
            auto verdict = guard->Check(trimmed, RootKind::UserFolder);
            if (!verdict.root) {
                TellNotCleaned(ctx, role, RootKind::UserFolder, verdict.refusal, folder);
                return;
            }
            CountAhead(ctx, verdict.root->Folder());
            DelTree(ctx, *verdict.root, trimmed != folder);
        });
    }
}

}  // namespace qm
