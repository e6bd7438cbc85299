// The cookie clean: every cookie of every store in cboLoc goes except the kept ones.
// Internet Explorer keeps one file per cookie, so its unkept cookies are deleted file by
// file, each by the exact path its listing gave; the Netscape family keeps all cookies of a
// profile in one cookies.txt, so its unkept lines are marked and the file is replaced in one
// step. Cookie databases (the Chromium family, today's Firefox) lose their unkept rows inside
// one transaction, and only when the browser does not hold them. A kept list that cannot be
// read spares its whole family.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/cookie_clean.h"
#include "clean/deletion_guard.h"
#include "clean/progress_tick.h"
#include "clean/search_delete.h"
#include "cookies/database_cookies.h"
#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "cookies/msie_cookies.h"
#include "cookies/ns_cookies.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kSite{L"Clean", L"MainCleanCookies"};
constexpr int kFilesPerPump = 50;

bool FoundAfterFirst(std::wstring_view text, std::wstring_view part) {
    const size_t at = text.find(part);
    return at != std::wstring_view::npos && at > 0;
}

// The three kept lists, each read once per run.
struct KeptFamilies {
    struct Family {
        const wchar_t* key;
        std::optional<KeptIdentities> kept;  // nothing: the list is damaged, the family is spared
        bool told = false;
    };
    std::vector<Family> families;

    KeptFamilies() {
        for (const wchar_t* key : {kMsieSavedKey, kNsSavedKey, kFireFoxSavedKey, kChromiumSavedKey}) {
            const KeptList list = ReadKeptList(key);
            families.push_back({key, list.Damaged() ? std::nullopt : std::optional(IdentitiesOf(list.entries))});
        }
    }
    Family* Of(std::int32_t kind) {
        const wchar_t* key = KeptListKeyOf(kind);
        for (auto& family : families)
            if (family.key == key) return &family;
        return nullptr;
    }
};

void TellOnce(AppContext& ctx, KeptFamilies::Family& family) {
    if (family.told) return;
    family.told = true;
    ctx.dialogs.ShowMessage({KeptListDamagedText(family.key), kTitleInfo, MB_OK | MB_ICONINFORMATION});
}

std::optional<GuardedRoot> GuardStore(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder) {
    // The folder itself is judged: "link\" could otherwise be read as the folder it leads to.
    GuardVerdict verdict = guard.Check(WithoutTrailingSeparators(folder), RootKind::CookieStore);
    if (!verdict.root)
        ctx.dialogs.ShowMessage({NotCleanedHeading(RootKind::CookieStore) + kCrLf + kCrLf +
                                     RefusalText(RootKind::CookieStore, verdict.refusal, folder),
                                 kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return std::move(verdict.root);
}

// A listed cookie file: its exact long path and name.
struct ListedCookieFile {
    std::wstring path;
    std::wstring name;
    DWORD attributes = 0;
};

// The cookie files of a store as the reader lists them ("*.txt*", or "*.dat*" when that finds
// nothing), links and folders left out.
std::vector<ListedCookieFile> ListCookieFiles(const WalkFolder& folder) {
    std::vector<ListedCookieFile> txt, dat;
    folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder() || entry.IsLink()) return;
        const std::wstring name(entry.name);
        if (!FoundAfterFirst(name, L"@")) return;
        if (MatchSpec(name, L"*.txt*")) txt.push_back({folder.ChildPath(name), name, entry.attributes});
        else if (MatchSpec(name, L"*.dat*")) dat.push_back({folder.ChildPath(name), name, entry.attributes});
    });
    return txt.empty() ? dat : txt;
}

// Copies the store's index file to "old.txt" for the restart-time replacement; a stale copy
// never stays behind a failed one.
void CopyIndexForRestart(const WalkFolder& folder) {
    const std::wstring index = folder.ChildPath(L"index.dat");
    const std::wstring copy = folder.ChildPath(L"old.txt");
    if (::GetFileAttributesW(index.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (!::CopyFileW(index.c_str(), copy.c_str(), FALSE)) {
        ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(copy.c_str());
    }
}

void CleanMsieStore(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store, const KeptIdentities& kept) {
    auto root = GuardStore(ctx, guard, store);
    if (!root) return;
    const WalkFolder& folder = root->Folder();
    RegOp settings;
    settings.SetKey(kProgramKey);
    settings.SetValue(L"MSCookie", QualifyPath(store));

    int seen = 0;
    for (const auto& file : ListCookieFiles(folder)) {
        if (!IsKeptCookieFile(file.path, file.name, kept) && DeleteWithForce(FileItem{file.path, file.attributes}))
            ProgressTick(ctx);
        if (++seen % kFilesPerPump == 0) ctx.pump.DoEvents();
    }
    CopyIndexForRestart(folder);
}

void CleanCookieTxt(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store,
                    const KeptIdentities& kept) {
    // The file's folder stands for the store: it must be a folder a clean may change.
    const size_t slash = store.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    if (!GuardStore(ctx, guard, store.substr(0, slash + 1))) return;
    NS2Scan(ctx, store);
    const int marked = MarkUnkeptCookies(ctx, kept.identities);
    if (marked == 0 || NS2Write(ctx) != CookieWrite::Written) return;
    for (int i = 0; i < marked; ++i) ProgressTick(ctx);
}

// Only SQLite changes the database (and its own journal): no folder is emptied and no file
// replaced, so the folder guard is not asked; discovery reached the file through plain
// folders only, and the database module refuses a link, a file that is no SQLite database
// and a database of another schema. Returns false when the browser held it.
bool CleanCookieDatabase(AppContext& ctx, const std::wstring& store, std::int32_t kind, CookieSchema schema,
                         const KeptIdentities& kept) {
    if (ProfileInUse(store, kind)) return false;
    const DatabaseClean result = DeleteUnkeptCookies(store, schema, [&](std::string_view host, std::string_view name) {
        return kept.identities.count(DatabaseCookieIdentity(host, name)) > 0;
    });
    ProgressTicks(ctx, result.deleted);
    return result.outcome != DatabaseOutcome::Locked;
}

// The chosen files of a store, each by the name its listing gave, never a kept one.
int DeleteChosenMsieFiles(AppContext& ctx, const std::wstring& store, const std::set<std::wstring>& names,
                          const KeptIdentities& kept) {
    const auto root = GuardStore(ctx, DeletionGuard{}, store);
    if (!root) return 0;
    int deleted = 0;
    for (const auto& file : ListCookieFiles(root->Folder()))
        if (names.count(file.name) && !IsKeptCookieFile(file.path, file.name, kept) &&
            DeleteWithForce(FileItem{file.path, file.attributes}))
            ++deleted;
    return deleted;
}

// The chosen lines of the cookies.txt the viewer read, marked and written in one replace.
int DeleteChosenCookieTxtLines(AppContext& ctx, const std::wstring& store, const std::vector<ListItem>& chosen,
                               const KeptIdentities& kept) {
    const size_t slash = store.find_last_of(L"\\/");
    if (slash == std::wstring::npos || !GuardStore(ctx, DeletionGuard{}, store.substr(0, slash + 1))) return 0;
    auto& lines = ctx.cookies.cookieTxt.lines;
    if (ctx.cookies.cookieTxt.path != store) return 0;
    int marked = 0;
    for (const auto& item : chosen) {
        const auto index = static_cast<size_t>(item.data);
        if (index >= lines.size() || lines[index].deleted || kept.identities.count(CookieIdentity(item.text))) continue;
        lines[index].deleted = true;
        ++marked;
    }
    return marked > 0 && NS2Write(ctx) == CookieWrite::Written ? marked : 0;
}

// The chosen rows of a database, in one transaction, unless the browser holds it.
int DeleteChosenDatabaseRows(AppContext& ctx, const std::wstring& store, std::int32_t kind, CookieSchema schema,
                             const std::vector<ListItem>& chosen, const KeptIdentities& kept) {
    std::set<std::wstring> identities;
    for (const auto& item : chosen) identities.insert(CookieIdentity(item.text));
    DatabaseClean result{DatabaseOutcome::Locked};
    if (!ProfileInUse(store, kind))
        result = DeleteUnkeptCookies(store, schema, [&](std::string_view host, std::string_view name) {
            const std::wstring identity = DatabaseCookieIdentity(host, name);
            return kept.identities.count(identity) > 0 || identities.count(identity) == 0;
        });
    if (result.outcome == DatabaseOutcome::Locked)
        ctx.dialogs.ShowMessage({BrowserRunningText(kind), kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return result.deleted;
}

// Selecting a location during the clean must not run the viewer.
class ViewerQuiet {
public:
    explicit ViewerQuiet(CookieState& state) : state_(state), was_(state.viewerQuiet) { state_.viewerQuiet = true; }
    ~ViewerQuiet() { state_.viewerQuiet = was_; }
    ViewerQuiet(const ViewerQuiet&) = delete;
    ViewerQuiet& operator=(const ViewerQuiet&) = delete;

private:
    CookieState& state_;
    bool was_;
};

}  // namespace

std::wstring KeptListDamagedText(const std::wstring& key) {
    const std::wstring name = key.substr(key.find_last_of(L'\\') + 1);
    return L"The List Of Kept Cookies \"" + name + L"\" Could Not Be Read." + kCrLf + kCrLf +
           L"No Cookie Of That Browser Was Deleted.";
}

int DeleteCheckedCookies(AppContext& ctx) {
    auto& form = ctx.frmMain;
    const int location = form.cboLoc.ListIndex();
    if (location < 0) return 0;
    const std::int32_t kind = form.cboLoc.ItemData(location);
    const std::wstring store = form.cboLoc.List(location);
    std::vector<ListItem> chosen;
    for (int i = 0; i < form.lstCookie.ListCount(); ++i)
        if (form.lstCookie.Checked(i)) chosen.push_back(form.lstCookie.Items()[static_cast<size_t>(i)]);
    const wchar_t* key = KeptListKeyOf(kind);
    if (chosen.empty() || !key) return 0;
    const KeptList keptList = ReadKeptList(key);
    if (keptList.Damaged()) {
        ctx.dialogs.ShowMessage({KeptListDamagedText(key), kTitleInfo, MB_OK | MB_ICONINFORMATION});
        return 0;
    }
    const KeptIdentities kept = IdentitiesOf(keptList.entries);
    if (const auto schema = DatabaseSchemaOf(kind)) return DeleteChosenDatabaseRows(ctx, store, kind, *schema, chosen, kept);
    if ((kind & kFamilyMask) != kFamilyMsie) return DeleteChosenCookieTxtLines(ctx, store, chosen, kept);
    std::set<std::wstring> names;
    for (const auto& item : chosen) names.insert(item.text.substr(0, item.text.find(L'\t')));
    return DeleteChosenMsieFiles(ctx, store, names, kept);
}

bool IsKeptCookieFile(const std::wstring& path, const std::wstring& name, const KeptIdentities& kept) {
    if (kept.identities.count(CookieIdentity(name))) return true;  // kept by its bare name
    CookieState loaded;
    if (LoadCookieFile(loaded, path).outcome == CookieLoad::Records)
        if (const auto record = DecodeMsieRecord(loaded.text))
            return kept.identities.count(CookieIdentity(MsieCookieLine(name, record->record.name, {}))) > 0;
    // A file that does not decode now (being rewritten, too large, unreadable) is spared when
    // any kept entry names its file.
    return kept.stems.count(std::wstring(CookieStem(name))) > 0;
}

void MainCleanCookies(AppContext& ctx, const std::wstring& role) {
    TrapStep(ctx.dialogs, kSite, [&] { InitLoc(ctx); });
    CleanCookieStores(ctx, role == kRoleMain && !ctx.Unattended());
}

void CleanCookieStores(AppContext& ctx, bool tellRunningBrowsers) {
    auto& form = ctx.frmMain;
    ViewerQuiet quiet(ctx.cookies);
    ctx.CleanCount = 0;
    form.List7.Clear();
    if (form.cboLoc.ListCount() == 0) return;

    KeptFamilies families;
    std::optional<DeletionGuard> guard;  // made when a store needs it: it asks for every system folder
    const auto guardNow = [&guard]() -> const DeletionGuard& {
        if (!guard) guard.emplace();
        return *guard;
    };
    std::set<std::int32_t> toldRunning;  // each running browser is named once
    for (int i = 0; i < form.cboLoc.ListCount(); ++i) {
        TrapStep(ctx.dialogs, kSite, [&] {
            form.cboLoc.SetListIndex(i);
            const std::int32_t kind = form.cboLoc.ItemData(i);
            const std::wstring store = form.cboLoc.List(i);
            KeptFamilies::Family* family = families.Of(kind);
            if (!family) return;
            if (!family->kept) {
                TellOnce(ctx, *family);
                return;
            }
            if (const auto schema = DatabaseSchemaOf(kind)) {
                const bool cleaned = CleanCookieDatabase(ctx, store, kind, *schema, *family->kept);
                if (!cleaned && tellRunningBrowsers && toldRunning.insert(kind).second)
                    ctx.dialogs.ShowMessage({BrowserRunningText(kind), kTitleInfo, MB_OK | MB_ICONINFORMATION});
            } else if ((kind & kFamilyMask) == kFamilyMsie) CleanMsieStore(ctx, guardNow(), store, *family->kept);
            else CleanCookieTxt(ctx, guardNow(), store, *family->kept);
        });
    }
}

}  // namespace qm
