// The browser-cache cleans: the location selected in the cache list ("Clean Internet") and
// every location of the list (AutoClean). Each location is a deletion root and passes the
// guard first; what the automatic clean finds in use is removed at the program's next start
// when the user asked for that ("CleanDat").
#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/deletion_guard.h"
#include "clean/firefox_sessions.h"
#include "clean/next_start_deletes.h"
#include "clean/progress_tick.h"
#include "clean/report_recording.h"
#include "clean/search_delete.h"
#include "cookies/discovery.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kMainSite{L"Clean", L"MainCleanInternetFiles"};
constexpr TrapSite kAutoSite{L"Clean", L"AutoCleanInternetFiles2"};
constexpr wchar_t kContentIe5[] = L"Content.IE5";

// Where a browser family shows what is left of its cache.
struct BrowserView {
    ListModel MainFormModel::*list;
    const wchar_t* searchTag;
    const wchar_t* labelPrefix;
};
constexpr BrowserView kMsieView{&MainFormModel::MSIE, L"MSIE", L"Microsoft Internet Folder Contains "};
constexpr BrowserView kNetscapeView{&MainFormModel::NS, L"NS2", L"Netscape Internet Folder Contains "};
constexpr BrowserView kFireFoxView{&MainFormModel::FireFox, L"FireFox", L"FireFox Internet Folder Contains "};
constexpr BrowserView kChromiumView{&MainFormModel::Chromium, L"Chromium", L"Chromium Internet Folder Contains "};

// Today's cache folders (the Chromium family's, Firefox's cache2) hold nothing but cache:
// they are emptied whole, folders and all. What the running browser holds stays and is
// listed as what is left.
// Internet Explorer's INetCache likewise: its index lives elsewhere, so nothing there is
// kept for the restart (and "MSTIF" keeps naming the classic cache folder).
bool IsWholeCacheFolder(std::int32_t kind) {
    return (kind & kFamilyMask) == kFamilyChromium || kind == kKindFireFoxCache2 || kind == kKindIeINetCache;
}
const BrowserView& WholeCacheView(std::int32_t kind) {
    switch (kind & kFamilyMask) {
        case kFamilyChromium: return kChromiumView;
        case kFamilyMsie: return kMsieView;
        default: return kFireFoxView;
    }
}

void ClearList(AppContext& ctx, const BrowserView& view) {
    ListModel& list = ctx.frmMain.*view.list;
    list.Clear();
    list.Refresh();
}

void ShowList(AppContext& ctx, const BrowserView& view) {
    ListModel& list = ctx.frmMain.*view.list;
    list.SetVisible(true);
    list.Refresh();
    ctx.frmMain.Label1.SetCaption(view.labelPrefix + std::to_wstring(list.ListCount()) + L" Files");
}

// Lists what is left of the location in the browser's list and says how much in Label1.
void ShowRemaining(AppContext& ctx, const BrowserView& view, const WalkFolder& top, const std::wstring& folder) {
    ClearList(ctx, view);
    auto& search = ctx.SearchSpec;
    search.StartAt(folder);
    SearchForFiles(ctx, top, search.StartPath, view.searchTag);
    ShowList(ctx, view);
}

void RememberCacheFolder(const std::wstring& folder) {
    RegOp settings;
    settings.SetKey(kProgramKey);
    settings.SetValue(L"MSTIF", folder);
}

bool RestartCleaningWanted() {
    RegOp settings;
    settings.SetKey(kProgramKey);
    return settings.Text(L"CleanDat") == L"Yes";
}

bool IsRemovedFile(const DeleteEvent& event) { return event.kind == ItemKind::File && event.reason == SkipReason::None; }

// A Firefox location whose every file goes: an old "...\Cache" folder. Any other Firefox
// location but cache2 is a profile, which loses its session files only.
bool IsFireFoxCacheFolder(std::int32_t kind, const std::wstring& location) {
    std::wstring path = location;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return kind == kKindFireFoxProfiles && EndsWithNoCase(path, L"cache");
}

std::optional<GuardedRoot> GuardLocation(AppContext& ctx, const DeletionGuard& guard, const std::wstring& location,
                                         bool tellUser) {
    GuardVerdict verdict = guard.Check(location, RootKind::InternetCache, PathOrigin::Listing);
    if (!verdict.root) ReportRefusedRoot(ctx, RootKind::InternetCache, verdict.refusal, location);
    if (!verdict.root && tellUser)
        ctx.dialogs.ShowMessage({NotCleanedHeading(RootKind::InternetCache) + kCrLf + kCrLf +
                                     RefusalText(RootKind::InternetCache, verdict.refusal, location),
                                 kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return std::move(verdict.root);
}

// Deletes the session files of a profile; deleted() after each file that went, and lists
// the ones that stayed (never anything else of the profile) as what is left. Returns the
// exact paths of those that stayed because another program had them open.
template <class OnDeleted>
std::vector<std::wstring> CleanSessionFiles(AppContext& ctx, const WalkFolder& profile, OnDeleted&& deleted) {
    ClearList(ctx, kFireFoxView);
    std::vector<std::wstring> inUse;
    DeletePass pass(ctx);
    pass.OnEvent([&](const DeleteEvent& event) {
        if (event.reason == SkipReason::InUse) inUse.emplace_back(event.path);
    });
    ForEachSessionFile(profile, [&](const WalkFolder& folder, const ListedEntry& file) {
        if (pass.DeleteFile(folder, file.name, file.attributes)) return deleted();
        (ctx.frmMain.*kFireFoxView.list).AddItem(std::wstring(file.name));
    });
    ShowList(ctx, kFireFoxView);
    return inUse;
}

// ---- The automatic clean: counts directly, notes what is in use for the next start --------

struct AutoRun {
    AppContext& ctx;
    bool laterInUse;  // "CleanDat": files in use now go at the program's next start
    std::vector<std::wstring> inUse = {};

    // Notes the files found in use so far for the next start.
    void Later() {
        if (laterInUse) RemoveAtNextStart(ctx, inUse);
        inUse.clear();
    }

    // Counts each removed file; a file in use may wait for the next start.
    DeletePass CountingPass() {
        DeletePass pass(ctx);
        pass.OnEvent([this](const DeleteEvent& event) {
            if (event.kind != ItemKind::File) return;
            if (event.reason == SkipReason::None) ++ctx.CleanCount;
            else if (event.reason == SkipReason::InUse) inUse.emplace_back(event.path);
        });
        return pass;
    }

    // Each file and folder is visited once: a second walk would report again what stayed
    // (and a preview, which removes nothing, everything).
    void InternetExplorer(const WalkFolder& top, const std::wstring& folder) {
        RememberCacheFolder(folder);
        DeletePass pass = CountingPass();
        pass.DeleteFiles(top, false);
        ClearList(ctx, kMsieView);
        for (const auto& sub : pass.Subfolders(top)) {
            if (!sub.IsLink() && EndsWith(sub.longPath, kContentIe5)) {
                ContentIe5(pass, top, sub);
                continue;
            }
            pass.RemoveSubfolder(top, sub, OnFailedSubfolder::GoOn);
            ++ctx.CleanCount;  // counted whether or not it went
        }
        Later();
        ShowRemaining(ctx, kMsieView, top, folder);
    }

    // "Content.IE5" holds the index file: it stays, its files and buckets go. A bucket that
    // stays (a file in it in use) goes with the next clean.
    void ContentIe5(DeletePass& pass, const WalkFolder& top, const ListedFolder& listed) {
        const std::optional<WalkFolder> content = pass.Enter(top, listed, FolderAccess::List);
        if (!content) return;
        pass.DeleteFiles(*content, false);
        for (const auto& bucket : pass.Subfolders(*content))
            if (pass.RemoveSubfolder(*content, bucket, OnFailedSubfolder::GoOn) == 0) ++ctx.CleanCount;
    }

    // A Netscape location or an old Firefox cache folder: every file.
    void EveryFile(const WalkFolder& top, const std::wstring& folder, const BrowserView& view) {
        CountingPass().DeleteFiles(top, true);
        Later();
        ShowRemaining(ctx, view, top, folder);
    }

    void FireFoxSessions(const WalkFolder& profile) {
        inUse = CleanSessionFiles(ctx, profile, [&] { ++ctx.CleanCount; });
        Later();
    }

    // Nothing waits for the next start: the browser that holds a file will use the cache
    // again, and the next clean takes what it lets go.
    void WholeCache(const WalkFolder& top, const std::wstring& folder, const BrowserView& view) {
        DeletePass pass(ctx);
        pass.OnEvent([this](const DeleteEvent& event) {
            if (IsRemovedFile(event)) ++ctx.CleanCount;
        });
        pass.Empty(top, OnFailedSubfolder::GoOn);
        ShowRemaining(ctx, view, top, folder);
    }
};

// A Firefox profile gives only its session files; every other location is walked whole.
bool WalkedWhole(std::int32_t kind, const std::wstring& location) {
    return (kind & kFamilyMask) != kFamilyFireFox || IsWholeCacheFolder(kind) || IsFireFoxCacheFolder(kind, location);
}

// ---- The "Clean Internet" command: the progress tick, nothing scheduled --------------------

// A pass that moves the progress bar for each removed file.
DeletePass TickingPass(AppContext& ctx) {
    DeletePass pass(ctx);
    pass.OnEvent([&ctx](const DeleteEvent& event) {
        if (IsRemovedFile(event)) ProgressTick(ctx);
    });
    return pass;
}

void CleanInternetExplorerNow(AppContext& ctx, const WalkFolder& top, const std::wstring& folder) {
    RememberCacheFolder(folder);
    DeletePass pass = TickingPass(ctx);
    pass.DeleteFiles(top, false);
    ClearList(ctx, kMsieView);
    for (const auto& sub : pass.Subfolders(top)) {
        const bool removed = pass.RemoveSubfolder(top, sub, OnFailedSubfolder::GoOn) == 0;
        if (removed && sub.Name() == kContentIe5) ProgressTick(ctx);
    }
    ShowRemaining(ctx, kMsieView, top, folder);
}

void CleanFireFoxNow(AppContext& ctx, const WalkFolder& top, const std::wstring& folder, bool cacheFolder) {
    if (!cacheFolder) {
        CleanSessionFiles(ctx, top, [&] { ProgressTick(ctx); });
        return;
    }
    TickingPass(ctx).DeleteFiles(top, true);
    ShowRemaining(ctx, kFireFoxView, top, folder);
}

void CleanWholeCacheNow(AppContext& ctx, const WalkFolder& top, const std::wstring& folder, const BrowserView& view) {
    TickingPass(ctx).Empty(top, OnFailedSubfolder::GoOn);
    ShowRemaining(ctx, view, top, folder);
}

}  // namespace

void MainCleanInternetFiles(AppContext& ctx, const std::wstring& location) {
    BeginKind(ctx, CleanKind::Internet);
    const ListModel& cache = ctx.frmMain.cache;
    const int selected = cache.ListIndex();
    if (selected < 0) return;
    const std::int32_t kind = cache.ItemData(selected);
    const std::int32_t family = kind & kFamilyMask;
    // A Netscape location has no clean of its own here; the run still ends on the result window.
    if (family != kFamilyMsie && family != kFamilyFireFox && family != kFamilyChromium) return;

    std::optional<GuardedRoot> root;
    TrapStep(ctx.dialogs, kMainSite, [&] { root = GuardLocation(ctx, DeletionGuard(), location, true); });
    if (!root) return;
    const std::wstring folder = QualifyPath(location);
    TrapStep(ctx.dialogs, kMainSite, [&] {
        if (WalkedWhole(kind, location)) CountAhead(ctx, root->Folder());
        if (IsWholeCacheFolder(kind)) CleanWholeCacheNow(ctx, root->Folder(), folder, WholeCacheView(kind));
        else if (family == kFamilyMsie) CleanInternetExplorerNow(ctx, root->Folder(), folder);
        else CleanFireFoxNow(ctx, root->Folder(), folder, IsFireFoxCacheFolder(kind, location));
    });
    root.reset();
    TrapStep(ctx.dialogs, kMainSite, [&] { ctx.ui.ShowCount(kRoleMain, false); });
}

void AutoCleanInternetFiles2(AppContext& ctx, bool& showResult) {
    BeginKind(ctx, CleanKind::Internet);
    ListModel& cache = ctx.frmMain.cache;
    std::optional<DeletionGuard> guard;  // made for the first location: it asks for every system folder
    AutoRun run{ctx, false};
    TrapStep(ctx.dialogs, kAutoSite, [&] { run.laterInUse = RestartCleaningWanted(); });
    for (int index = 0; index < cache.ListCount(); ++index) {
        cache.SetListIndex(index);
        const std::int32_t kind = cache.ItemData(index);
        const std::int32_t family = kind & kFamilyMask;
        const std::wstring location = cache.List(index);
        if (family != kFamilyMsie && family != kFamilyNetscape && family != kFamilyFireFox &&
            family != kFamilyChromium)
            continue;
        TrapStep(ctx.dialogs, kAutoSite, [&] {
            if (!guard) guard.emplace();
            std::optional<GuardedRoot> root = GuardLocation(ctx, *guard, location, showResult);
            if (!root) return;
            const std::wstring folder = QualifyPath(location);
            if (WalkedWhole(kind, location)) CountAhead(ctx, root->Folder());
            if (IsWholeCacheFolder(kind)) run.WholeCache(root->Folder(), folder, WholeCacheView(kind));
            else if (family == kFamilyMsie) run.InternetExplorer(root->Folder(), folder);
            else if (family == kFamilyNetscape) run.EveryFile(root->Folder(), folder, kNetscapeView);
            else if (IsFireFoxCacheFolder(kind, location)) run.EveryFile(root->Folder(), folder, kFireFoxView);
            else run.FireFoxSessions(root->Folder());
        });
    }
    if (showResult) TrapStep(ctx.dialogs, kAutoSite, [&] { ctx.ui.ShowCount(kRoleMain, true); });
}

}  // namespace qm
