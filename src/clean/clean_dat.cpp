#include "clean/clean_dat.h"

#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/report_recording.h"
#include "clean/search_delete.h"
#include "cookies/discovery.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kAddSite{L"Clean", L"AddCleanDat"};
constexpr TrapSite kWithdrawSite{L"Clean", L"WithdrawCleanDat"};

constexpr wchar_t kIndexFile[] = L"index.dat";
constexpr wchar_t kOldCopy[] = L"old.txt";

struct RememberedFolders {
    std::wstring cache, cookies, ie5Cache, lowCookies;  // "MSTIF", "MSCookie", "MSTIFIE5", "MSCookieLow"
};

RememberedFolders ReadRememberedFolders() {
    RegOp settings;
    settings.SetKey(kProgramKey);
    return {settings.Text(L"MSTIF"), settings.Text(L"MSCookie"), settings.Text(L"MSTIFIE5"),
            settings.Text(L"MSCookieLow")};
}

// The listed folder, with its backslash, as discovery spells it; held (it cannot be renamed
// or swapped) while the system is asked.
std::wstring HeldFolderPath(const GuardedRoot& root) {
    return QualifyPath(WithoutLongPrefix(root.Folder().LongPath()));
}

void ScheduleIndexDeletion(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder, IeList list) {
    const std::optional<GuardedRoot> root = HoldListedIeFolder(ctx, guard, folder, list);
    if (root) ScheduleForRun(ctx, HeldFolderPath(*root) + kIndexFile);
}

// The cookie folder's index is replaced by the copy the cookie clean left ("old.txt"),
// or deleted when there is none.
void ScheduleCookieIndex(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder) {
    const std::optional<GuardedRoot> root = HoldListedIeFolder(ctx, guard, folder, IeList::CookieStores);
    if (!root) return;
    const std::wstring qualified = HeldFolderPath(*root);
    if (ApiFileExists(qualified + kOldCopy)) ScheduleForRun(ctx, qualified + kOldCopy, qualified + kIndexFile);
    else ScheduleForRun(ctx, qualified + kIndexFile);
}

bool AnyRemembered(const RememberedFolders& folders) {
    return !folders.cache.empty() || !folders.cookies.empty() || !folders.ie5Cache.empty() ||
           !folders.lowCookies.empty();
}

void AddCleanDatNt(AppContext& ctx) {
    const RememberedFolders folders = ReadRememberedFolders();
    if (!AnyRemembered(folders)) return;
    const DeletionGuard guard;
    if (IsWinVista(ctx.os)) ScheduleIndexDeletion(ctx, guard, folders.lowCookies, IeList::CookieStores);
    ScheduleIndexDeletion(ctx, guard, folders.cache, IeList::Caches);
    ScheduleCookieIndex(ctx, guard, folders.cookies);
    ScheduleIndexDeletion(ctx, guard, folders.ie5Cache, IeList::Caches);
}

// The remembered folders that discovery lists now, as it spells them; the others blank.
RememberedFolders ListedOnly(AppContext& ctx, const RememberedFolders& folders) {
    if (!AnyRemembered(folders)) return folders;
    const DeletionGuard guard;
    const auto listed = [&](const std::wstring& folder, IeList list) {
        const std::optional<GuardedRoot> root = HoldListedIeFolder(ctx, guard, folder, list);
        return root ? HeldFolderPath(*root) : std::wstring();
    };
    return {listed(folders.cache, IeList::Caches), listed(folders.cookies, IeList::CookieStores),
            listed(folders.ie5Cache, IeList::Caches), listed(folders.lowCookies, IeList::CookieStores)};
}

// A folder's short form with its backslash; empty when the folder (or its index) is gone,
// so no line with an empty path is ever written.
std::wstring ShortFolderWithIndex(const std::wstring& folder) {
    if (folder.empty() || !ApiFileExists(QualifyPath(folder) + kIndexFile)) return {};
    const std::wstring shortFolder = GetShortPath(folder);
    return shortFolder.empty() ? shortFolder : QualifyPath(shortFolder);
}

std::vector<std::string> WininitLinesFor(const RememberedFolders& folders) {
    std::vector<std::string> lines;
    for (const std::wstring* folder : {&folders.cache, &folders.cookies, &folders.ie5Cache}) {
        const std::wstring shortFolder = ShortFolderWithIndex(*folder);
        if (shortFolder.empty()) continue;
        const std::wstring index = shortFolder + kIndexFile;
        const bool replaceByCopy = folder == &folders.cookies && ApiFileExists(QualifyPath(*folder) + kOldCopy);
        lines.push_back(NarrowAnsi(replaceByCopy ? index + L"=" + shortFolder + kOldCopy : L"Nul=" + index));
    }
    return lines;
}

void AddCleanDat9x(AppContext& ctx, const std::wstring& windowsFolder) {
    if (IsPreview(ctx)) return;  // the console program (which previews) runs on the NT family only
    const std::wstring folder = TrimSpaces(windowsFolder);
    if (folder.empty()) {
        ctx.dialogs.ShowMessage({kNoWindowsFolderText, kTitleInformation, MB_OK | MB_ICONINFORMATION});
        return;
    }
    const std::vector<std::string> lines = WininitLinesFor(ListedOnly(ctx, ReadRememberedFolders()));
    if (lines.empty()) return;
    int added = 0;
    if (!AddWininitLines(QualifyPath(folder) + L"Wininit.ini", lines, added)) {
        ctx.restart.unscheduled += static_cast<int>(lines.size());
        return;
    }
    ctx.restart.restartPending = true;  // added now or already there
}

}  // namespace

std::wstring SystemWindowsFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::optional<GuardedRoot> HoldListedIeFolder(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder,
                                              IeList list) {
    if (folder.empty()) return std::nullopt;
    const ListModel& listed = list == IeList::CookieStores ? ctx.frmMain.cboLoc : ctx.frmMain.cache;
    const std::wstring wanted = QualifyPath(folder);
    const RootKind kind = list == IeList::CookieStores ? RootKind::CookieStore : RootKind::InternetCache;
    for (int index = 0; index < listed.ListCount(); ++index) {
        if ((listed.ItemData(index) & kFamilyMask) != kFamilyMsie) continue;
        if (!EqualsNoCase(QualifyPath(listed.List(index)), wanted)) continue;
        const std::wstring path = WithoutTrailingSeparators(listed.List(index));
        GuardVerdict verdict = guard.Check(path, kind, PathOrigin::Listing);
        if (!verdict.root) return std::nullopt;
        const std::wstring finalPath = verdict.root->Folder().FinalPath();
        if (!finalPath.empty() && !EqualsNoCase(WithoutLongPrefix(finalPath), path)) return std::nullopt;
        return std::move(verdict.root);
    }
    return std::nullopt;
}

Scheduled ScheduleForRun(AppContext& ctx, const std::wstring& source, const std::wstring& destination) {
    if (IsPreview(ctx)) {
        // What the system would be asked for: an existing file or folder that is no link.
        const DWORD attributes = ::GetFileAttributesW(LongPathForm(source).c_str());
        const bool possible = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (possible) ReportScheduled(ctx, source, destination, true);
        return possible ? Scheduled::Added : Scheduled::Skipped;
    }
    const Scheduled result = ScheduleAtRestart(source, destination);
    if (result == Scheduled::Added || result == Scheduled::AlreadyThere) ctx.restart.restartPending = true;
    if (result == Scheduled::Failed) ++ctx.restart.unscheduled;
    if (result != Scheduled::Skipped) ReportScheduled(ctx, source, destination, result != Scheduled::Failed);
    return result;
}

void ReportUnscheduled(AppContext& ctx) {
    if (ctx.restart.unscheduled == 0) return;
    ctx.restart.unscheduled = 0;
    ctx.dialogs.ShowMessage({kNotScheduledText, kTitleInformation, MB_OK | MB_ICONINFORMATION});
}

void AddCleanDat(AppContext& ctx) { AddCleanDat(ctx, SystemWindowsFolder); }

void AddCleanDat(AppContext& ctx, const WindowsFolderLookup& windowsFolder) {
    BeginKind(ctx, CleanKind::Restart);
    TrapStep(ctx.dialogs, kAddSite, [&] {
        if (IsWin9X(ctx.os)) AddCleanDat9x(ctx, windowsFolder());
        else AddCleanDatNt(ctx);
    });
    ReportUnscheduled(ctx);
}

void WithdrawCleanDat(AppContext& ctx) {
    bool withdrawn = true;
    TrapStep(ctx.dialogs, kWithdrawSite, [&] { withdrawn = WithdrawOwnRestartOperations() && withdrawn; });
    TrapStep(ctx.dialogs, kWithdrawSite, [&] { withdrawn = WithdrawOwnWininitLines() && withdrawn; });
    if (!withdrawn) ctx.dialogs.ShowMessage({kNotWithdrawnText, kTitleInformation, MB_OK | MB_ICONINFORMATION});
}

}  // namespace qm
