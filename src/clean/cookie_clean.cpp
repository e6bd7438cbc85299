// The cookie clean: every cookie of every store in cboLoc goes except the kept ones.
// Internet Explorer keeps one file per cookie, so its unkept cookies are deleted file by
// file, each by the exact path its listing gave; the Netscape family keeps all cookies of a
// profile in one cookies.txt, so its unkept lines are marked and the file is replaced in one
// step. Cookie databases (the Chromium family, today's Firefox) lose their unkept rows inside
// one transaction, and only when the browser does not hold them. A kept list that cannot be
// read spares its whole family.
#include <functional>
#include <future>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/cookie_clean.h"
#include "clean/deletion_guard.h"
#include "clean/held_delete.h"
#include "clean/progress_tick.h"
#include "clean/report_recording.h"
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
// An index larger than this is not copied (a cookie folder's index is a few hundred KB).
constexpr std::uint64_t kMaxIndexCopySize = 64ull << 20;

// Why a cookie database stayed as it was, or was cleaned only in part, in the run's report.
constexpr wchar_t kDatabaseNotExpected[] = L"not changed: no cookie database of the expected kind, or damaged";
constexpr wchar_t kDatabaseForeignSchema[] =
    L"not changed: it holds a trigger, a view or a table its browser never creates";
constexpr wchar_t kDatabaseNotItsOwnFile[] =
    L"not changed: it or its \"-journal\" or \"-wal\" is a folder, a link or a file with other names";
constexpr wchar_t kDatabaseWriteFailed[] = L"not changed: writing it failed, so nothing was deleted";
constexpr wchar_t kDatabaseNotCompacted[] =
    L"cookies removed, but compacting the database failed: its free space may still hold older copies";

// The four kept lists, each read once per run.
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

// The kept lists, read on a thread of their own from the start of the clean: a list of
// thousands of entries keeps the registry busy for tens of milliseconds, in which a cookie
// database is opened, locked and checked. Of waits for the reading.
class KeptFamiliesReading {
public:
    KeptFamiliesReading() : reading_(std::async(std::launch::async, [] { return KeptFamilies(); })) {}

    // kind must have a kept list (KeptListKeyOf).
    KeptFamilies::Family& Of(std::int32_t kind) {
        if (!families_) families_.emplace(reading_.get());
        return *families_->Of(kind);
    }

private:
    std::future<KeptFamilies> reading_;
    std::optional<KeptFamilies> families_;
};
using FamilyOf = std::function<KeptFamilies::Family&()>;

// A family whose kept list cannot be read is spared whole: the store is reported, and the
// user told once per family. True when spared.
bool Spared(AppContext& ctx, const std::wstring& store, KeptFamilies::Family& family) {
    if (family.kept) return false;
    ReportRefused(ctx, ItemType::Store, store, FirstLine(KeptListDamagedText(family.key)));
    if (!family.told) {
        family.told = true;
        ctx.dialogs.ShowMessage({KeptListDamagedText(family.key), kTitleInfo, MB_OK | MB_ICONINFORMATION});
    }
    return true;
}

std::optional<GuardedRoot> GuardStore(AppContext& ctx, const DeletionGuard& guard, const std::wstring& folder) {
    // The folder itself is judged: "link\" could otherwise be read as the folder it leads to.
    GuardVerdict verdict = guard.Check(WithoutTrailingSeparators(folder), RootKind::CookieStore, PathOrigin::Listing);
    if (!verdict.root) {
        ReportRefusedRoot(ctx, RootKind::CookieStore, verdict.refusal, folder);
        ctx.dialogs.ShowMessage({NotCleanedHeading(RootKind::CookieStore) + kCrLf + kCrLf +
                                     RefusalText(RootKind::CookieStore, verdict.refusal, folder),
                                 kTitleInfo, MB_OK | MB_ICONINFORMATION});
    }
    return std::move(verdict.root);
}

// The folder of a cookies.txt stands for the store: it must be a folder a clean may change.
// The file is then replaced relative to that folder, held.
std::optional<GuardedRoot> GuardCookieTxtFolder(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store) {
    const size_t slash = store.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::nullopt;
    return GuardStore(ctx, guard, store.substr(0, slash + 1));
}

// A listed cookie file: its exact long path and name.
struct ListedCookieFile {
    std::wstring path;
    std::wstring name;
    DWORD attributes = 0;
};

// The cookie files of a store, by the viewer's own rule (IsMsieCookieFileName,
// IsSparedCookieFolder): the clean deletes no file the viewer never showed. Links and
// folders are left out.
std::vector<ListedCookieFile> ListCookieFiles(const WalkFolder& folder) {
    std::vector<ListedCookieFile> files;
    if (IsSparedCookieFolder(folder.LongPath())) return files;
    folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder() || entry.IsLink() || !IsMsieCookieFileName(entry.name)) return;
        files.push_back({folder.ChildPath(entry.name), std::wstring(entry.name), entry.attributes});
    });
    return files;
}

// Copies the store's index file to "old.txt" for the restart-time replacement, inside the
// held store folder; a stale copy never stays behind a failed one.
void CopyIndexForRestart(DeletePass& pass, const WalkFolder& folder) {
    constexpr wchar_t kIndex[] = L"index.dat";
    constexpr wchar_t kCopy[] = L"old.txt";
    const UniqueFile index =
        OpenRelative(folder.Handle(), kIndex, GENERIC_READ, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
    if (!index) return;
    const BoundedRead read = ReadOpenFile(index.get(), kMaxIndexCopySize);
    if (!read.complete || ReplaceWholeFile(folder.Handle(), kCopy, read.bytes) != 0) pass.DeleteFile(folder, kCopy);
}

void CleanMsieStore(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store, const KeptIdentities& kept) {
    if (IsSparedCookieFolder(store)) return ReportKept(ctx, ItemType::Folder, store, kSparedFolderReason);
    auto root = GuardStore(ctx, guard, store);
    if (!root) return;
    const WalkFolder& folder = root->Folder();
    RegOp settings;
    settings.SetKey(kProgramKey);
    settings.SetValue(L"MSCookie", QualifyPath(store));

    DeletePass pass(ctx);
    int seen = 0;
    for (const auto& file : ListCookieFiles(folder)) {
        if (IsKeptCookieFile(file.path, file.name, kept)) ReportKept(ctx, ItemType::File, file.path, L"kept cookie");
        else if (pass.DeleteFile(folder, file.name, file.attributes)) ProgressTick(ctx);
        if (++seen % kFilesPerPump == 0) ctx.pump.DoEvents();
    }
    if (!IsPreview(ctx)) CopyIndexForRestart(pass, folder);
}

// A cookies.txt read, marked by choose and written back in one replace, inside its folder held
// through the guard. An interactive run is told why a file it had to change stayed unchanged.
struct CookieTxtRewrite {
    bool read = false;
    CookieTxtTable table;
    int marked = 0;
    std::optional<CookieWrite> written;  // nothing when no line was marked
};

CookieTxtRewrite RewriteCookieTxt(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store,
                                  const ChooseCookieLine& choose, bool interactive) {
    CookieTxtRewrite rewrite;
    const auto root = GuardCookieTxtFolder(ctx, guard, store);
    if (!root || !ReadCookieTxt(store, rewrite.table, &root->Folder())) return rewrite;
    rewrite.read = true;
    rewrite.marked = MarkCookieLines(rewrite.table, choose);
    if (rewrite.marked == 0) return rewrite;
    rewrite.written = WriteCookieTxt(ctx, rewrite.table, &root->Folder());
    if (*rewrite.written == CookieWrite::Refused && interactive)
        ctx.dialogs.ShowMessage({CookieTxtUnchangedText(store, rewrite.table.holdsNul, rewrite.table.otherNames),
                                 kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return rewrite;
}

// Parses, marks and writes the file on its own: the viewer's list is scanned again only
// when it shows this file.
void CleanCookieTxt(AppContext& ctx, const DeletionGuard& guard, const std::wstring& store,
                    const KeptIdentities& kept, bool interactive) {
    const CookieTxtRewrite rewrite = RewriteCookieTxt(
        ctx, guard, store, [&](size_t, const std::wstring& identity) { return !kept.identities.count(identity); },
        interactive);
    if (!rewrite.read) return;
    ReportCookieLines(ctx, rewrite.table, rewrite.written == CookieWrite::Written);
    if (!rewrite.written) return;
    const CookieWrite written = *rewrite.written;
    if (written == CookieWrite::Refused)
        ReportRefused(ctx, ItemType::Store, store,
                      FirstLine(CookieTxtUnchangedText(store, rewrite.table.holdsNul, rewrite.table.otherNames)));
    else if (written == CookieWrite::Cancelled)
        ReportRefused(ctx, ItemType::Store, store, FirstLine(kCookieWriteFailedText));
    if (written == CookieWrite::Written) ProgressTicks(ctx, rewrite.marked);
    if (ViewerShowsCookieTxt(ctx, store)) NS2Scan(ctx, store);
}

// Every database that was not cleaned, or cleaned without its compaction, is reported with
// why: nothing that stayed is silent.
void ReportDatabaseOutcome(AppContext& ctx, const std::wstring& store, std::int32_t kind, const DatabaseClean& result) {
    switch (result.outcome) {
        case DatabaseOutcome::Done:
            if (!result.compacted) ReportFailed(ctx, ItemType::Store, store, kDatabaseNotCompacted);
            return;
        case DatabaseOutcome::Missing: return;
        case DatabaseOutcome::Locked:
            return ReportRefused(ctx, ItemType::Store, store, FirstLine(BrowserRunningText(kind)));
        case DatabaseOutcome::ForeignSchema: return ReportRefused(ctx, ItemType::Store, store, kDatabaseForeignSchema);
        case DatabaseOutcome::NotItsOwnFile: return ReportRefused(ctx, ItemType::Store, store, kDatabaseNotItsOwnFile);
        case DatabaseOutcome::WriteFailed: return ReportFailed(ctx, ItemType::Store, store, kDatabaseWriteFailed);
        case DatabaseOutcome::NotADatabase:
        case DatabaseOutcome::WrongSchema:
        case DatabaseOutcome::Damaged: return ReportRefused(ctx, ItemType::Store, store, kDatabaseNotExpected);
    }
}

// Only SQLite changes the database (and its own journal): no folder is emptied and no file
// replaced, so the folder guard is not asked; discovery reached the file through plain
// folders only, and the database module refuses a link, a file that is no SQLite database
// and a database of another schema. Returns false when the browser held it.
// The family's kept list is first asked for with the first row, once the database has been
// opened, locked and checked; a list that cannot be read fails the statement, which is
// rolled back, so that nothing of a spared family goes.
bool CleanCookieDatabase(AppContext& ctx, const std::wstring& store, std::int32_t kind, CookieSchema schema,
                         const FamilyOf& familyOf) {
    if (ProfileInUse(store, kind)) {
        if (Spared(ctx, store, familyOf())) return true;
        ReportRefused(ctx, ItemType::Store, store, FirstLine(BrowserRunningText(kind)));
        return false;
    }
    struct KeptListDamaged {};
    const KeptIdentities* kept = nullptr;
    std::wstring identity;
    CookieRowLog rows(ctx);
    const DatabaseClean result = DeleteUnkeptCookies(
        store, schema,
        [&](std::string_view host, std::string_view name) {
            if (!kept) {
                const auto& family = familyOf();  // waits for the reading
                if (!family.kept) throw KeptListDamaged{};
                kept = &*family.kept;
            }
            DatabaseCookieIdentity(host, name, identity);
            return rows.Note(host, name, kept->identities.count(identity) > 0);
        },
        IsPreview(ctx) ? DatabaseWrite::DryRun : DatabaseWrite::Commit);
    if (Spared(ctx, store, familyOf())) return true;
    ProgressTicks(ctx, result.deleted);
    rows.Report(store, result.outcome == DatabaseOutcome::Done);
    ReportDatabaseOutcome(ctx, store, kind, result);
    return result.outcome != DatabaseOutcome::Locked;
}

// The chosen files of a store, each by the name its listing gave, never a kept one.
int DeleteChosenMsieFiles(AppContext& ctx, const std::wstring& store, const std::set<std::wstring>& names,
                          const KeptIdentities& kept) {
    const auto root = GuardStore(ctx, DeletionGuard{}, store);
    if (!root) return 0;
    DeletePass pass(ctx);
    int deleted = 0;
    for (const auto& file : ListCookieFiles(root->Folder()))
        if (names.count(file.name) && !IsKeptCookieFile(file.path, file.name, kept) &&
            pass.DeleteFile(root->Folder(), file.name, file.attributes))
            ++deleted;
    return deleted;
}

// The chosen cookies of a cookies.txt, read, marked and written in one replace as the clean does.
int DeleteChosenCookieTxtLines(AppContext& ctx, const std::wstring& store, const std::set<std::wstring>& chosen,
                               const KeptIdentities& kept) {
    const CookieTxtRewrite rewrite = RewriteCookieTxt(
        ctx, DeletionGuard{}, store,
        [&](size_t, const std::wstring& identity) {
            return chosen.count(identity) > 0 && kept.identities.count(identity) == 0;
        },
        true);
    return rewrite.written == CookieWrite::Written ? rewrite.marked : 0;
}

// The chosen rows of a database, in one transaction, unless the browser holds it.
int DeleteChosenDatabaseRows(AppContext& ctx, const std::wstring& store, std::int32_t kind, CookieSchema schema,
                             const std::set<std::wstring>& chosen, const KeptIdentities& kept) {
    DatabaseClean result{DatabaseOutcome::Locked};
    std::wstring identity;
    if (!ProfileInUse(store, kind))
        result = DeleteUnkeptCookies(store, schema, [&](std::string_view host, std::string_view name) {
            DatabaseCookieIdentity(host, name, identity);
            return kept.identities.count(identity) > 0 || chosen.count(identity) == 0;
        });
    if (result.outcome == DatabaseOutcome::Locked)
        ctx.dialogs.ShowMessage({BrowserRunningText(kind), kTitleInfo, MB_OK | MB_ICONINFORMATION});
    return result.deleted;
}

// A click let through by the clean's pauses must not run the viewer meanwhile.
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

std::wstring CookieTxtUnchangedText(const std::wstring& path, bool holdsNul, bool otherNames) {
    return L"The Cookie File \"" + path + L"\" Was Not Changed: " +
           (otherNames ? std::wstring(L"It Has Other Names (Hard Links), Under Which Its Cookies Would Stay.")
            : holdsNul ? std::wstring(L"It Holds NUL Bytes, So It May Be No Cookie File.")
                       : L"It Is Larger Than " + std::to_wstring(kMaxCookieTxtSize >> 20) + L" MB.") +
           kCrLf + kCrLf + L"Its Cookies Were Not Deleted.";
}

std::wstring KeptListDamagedText(const std::wstring& key) {
    const std::wstring name = key.substr(key.find_last_of(L'\\') + 1);
    return L"The List Of Kept Cookies \"" + name + L"\" Could Not Be Read." + kCrLf + kCrLf +
           L"No Cookie Of That Browser Was Deleted.";
}

int DeleteCheckedCookies(AppContext& ctx) {
    BeginKind(ctx, CleanKind::Cookies);
    auto& form = ctx.frmMain;
    const int location = form.cboLoc.ListIndex();
    if (location < 0) return 0;
    const std::int32_t kind = form.cboLoc.ItemData(location);
    const std::wstring store = form.cboLoc.List(location);
    // Files go by their names, cookies.txt lines and database rows by their identities.
    const bool files = (kind & kFamilyMask) == kFamilyMsie && !DatabaseSchemaOf(kind);
    std::set<std::wstring> chosen;
    for (const auto& item : form.lstCookie.Items())
        if (item.checked) chosen.insert(files ? item.text.substr(0, item.text.find(L'\t')) : CookieIdentity(item.text));
    const wchar_t* key = KeptListKeyOf(kind);
    if (chosen.empty() || !key) return 0;
    const KeptList keptList = ReadKeptList(key);
    if (keptList.Damaged()) {
        ctx.dialogs.ShowMessage({KeptListDamagedText(key), kTitleInfo, MB_OK | MB_ICONINFORMATION});
        return 0;
    }
    const KeptIdentities kept = IdentitiesOf(keptList.entries);
    if (const auto schema = DatabaseSchemaOf(kind)) return DeleteChosenDatabaseRows(ctx, store, kind, *schema, chosen, kept);
    if (files) return DeleteChosenMsieFiles(ctx, store, chosen, kept);
    return DeleteChosenCookieTxtLines(ctx, store, chosen, kept);
}

bool IsKeptCookieFile(const std::wstring& path, const std::wstring& name, const KeptIdentities& kept) {
    if (kept.identities.count(CookieIdentity(name))) return true;  // kept by its bare name
    CookieState loaded;
    bool decoded = false;
    if (LoadCookieFile(loaded, path).outcome == CookieLoad::Records) {
        // Any kept record spares the whole file: the browser may have put another one first.
        for (const int start : loaded.recordStarts) {
            const auto record = DecodeMsieRecord(std::string_view(loaded.text).substr(static_cast<size_t>(start - 1)));
            if (!record) continue;
            decoded = true;
            if (kept.identities.count(CookieIdentity(MsieCookieLine(name, record->record.name, {})))) return true;
        }
    }
    // A file that does not decode now (being rewritten, too large, unreadable) is spared when
    // any kept entry names its file.
    return !decoded && kept.stems.count(std::wstring(CookieStem(name))) > 0;
}

void MainCleanCookies(AppContext& ctx, const std::wstring& role) {
    BeginKind(ctx, CleanKind::Cookies);
    TrapStep(ctx.dialogs, kSite, [&] { InitLoc(ctx); });
    CleanCookieStores(ctx, role == kRoleMain && !ctx.Unattended());
}

void CleanCookieStores(AppContext& ctx, bool interactive) {
    auto& form = ctx.frmMain;
    ViewerQuiet quiet(ctx.cookies);
    ctx.CleanCount = 0;
    form.List7.Clear();
    if (form.cboLoc.ListCount() == 0) return;

    KeptFamiliesReading families;
    std::optional<DeletionGuard> guard;  // made when a store needs it: it asks for every system folder
    const auto guardNow = [&guard]() -> const DeletionGuard& {
        if (!guard) guard.emplace();
        return *guard;
    };
    std::set<std::int32_t> toldRunning;  // each running browser is named once
    for (int i = 0; i < form.cboLoc.ListCount(); ++i) {
        TrapStep(ctx.dialogs, kSite, [&] {
            const std::int32_t kind = form.cboLoc.ItemData(i);
            const std::wstring store = form.cboLoc.List(i);
            if (!KeptListKeyOf(kind)) return;
            if (const auto schema = DatabaseSchemaOf(kind)) {
                const bool cleaned =
                    CleanCookieDatabase(ctx, store, kind, *schema, [&]() -> auto& { return families.Of(kind); });
                if (!cleaned && interactive && toldRunning.insert(kind).second)
                    ctx.dialogs.ShowMessage({BrowserRunningText(kind), kTitleInfo, MB_OK | MB_ICONINFORMATION});
                return;
            }
            KeptFamilies::Family& family = families.Of(kind);
            if (Spared(ctx, store, family)) return;
            if ((kind & kFamilyMask) == kFamilyMsie) CleanMsieStore(ctx, guardNow(), store, *family.kept);
            else CleanCookieTxt(ctx, guardNow(), store, *family.kept, interactive);
        });
    }
}

}  // namespace qm
