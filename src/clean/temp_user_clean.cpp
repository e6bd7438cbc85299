// The Temp clean and the user-folder clean.
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/progress_tick.h"
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

bool IsLinkFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Why the Temp variable must not be emptied; "" when it may. A misconfigured variable
// (TEMP=C:\) must never empty a drive or a system folder.
std::wstring TempRefusal(const std::wstring& temp) {
    const std::wstring named = kCrLf + std::wstring(kCrLf) + temp;
    if (TrimSpaces(temp).empty()) return L"The Temp Variable Is Empty.";
    if (::PathIsRelativeW(temp.c_str())) return L"The Temp Variable Is Not A Full Path:" + named;
    if (IsDriveRoot(temp)) return L"The Temp Variable Names The Root Of A Drive:" + named;
    if (IsLinkFolder(temp)) return L"The Temp Variable Names A Link To Another Folder:" + named;
    if (IsProtectedFolder(SystemFolderTable(), temp)) return L"The Temp Variable Names A System Folder:" + named;
    return {};
}

// Fills List2 and the Temp labels with what survived the clean.
void ShowTempSurvivors(AppContext& ctx, const std::wstring& temp) {
    auto& form = ctx.frmMain;
    form.List2.Clear();
    form.List2.Refresh();
    auto& search = ctx.SearchSpec;
    search.StartPath = QualifyPath(temp);
    search.FileSpec = L"*.*";
    search.Recurse = true;
    search.FilesMatched = 0;
    search.EntriesSeen = 0;
    SearchForFiles2(ctx, search.StartPath);
    const std::wstring count = std::to_wstring(form.List2.ListCount());
    form.Label5.SetCaption(L"Temp Folder Contains " + count + L" Files");
    form.Label6.SetCaption(L"The " + count + L" Files Remaining Are In Use");
}

}  // namespace

std::wstring GuardedTempFolder() {
    const std::wstring temp = ProcessTempVariable();
    return TempRefusal(temp).empty() ? temp : std::wstring{};
}

void MainCleanTemp(AppContext& ctx, const std::wstring& role, bool /*unused*/) {
    const bool fromMainWindow = role == kRoleMain;
    const std::wstring temp = ProcessTempVariable();
    std::wstring refusal;
    // Without an answer from the guard nothing is deleted.
    if (!TrapStep(ctx.dialogs, kTempSite, [&] { refusal = TempRefusal(temp); })) return;
    if (!refusal.empty()) {
        if (fromMainWindow)
            ctx.dialogs.ShowMessage({L"Your Temp Folder Was Not Cleaned." + std::wstring(kCrLf) + kCrLf + refusal,
                                     kTitleInfo, MB_OK | MB_ICONINFORMATION});
        return;
    }

    // Files first (each counted), then the subfolders, each removed one counting once.
    std::vector<FileItem> files;
    TrapStep(ctx.dialogs, kTempSite, [&] { SelectFiles(temp, files, true); });
    TrapStep(ctx.dialogs, kTempSite, [&] {
        for (const auto& file : files)
            if (DeleteWithForce(file)) ProgressTick(ctx);
    });
    TrapStep(ctx.dialogs, kTempSite, [&] {
        for (const auto& folder : SubFolders(temp))
            if (DeleteWithForce(folder)) ProgressTick(ctx);
    });

    if (!fromMainWindow) return;
    TrapStep(ctx.dialogs, kTempSite, [&] { ShowTempSurvivors(ctx, temp); });
}

void MainCleanUser(AppContext& ctx, const std::wstring& role, bool passthrough) {
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
        TrapStep(ctx.dialogs, kUserSite, [&] { DelTree(ctx, folder, folder, passthrough); });
    }
}

}  // namespace qm
