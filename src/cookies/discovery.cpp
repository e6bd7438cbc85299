#include "cookies/discovery.h"

#include <windows.h>

#include <iterator>
#include <memory>
#include <optional>
#include <source_location>
#include <vector>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/deletion_guard.h"
#include "clean/folder_walk.h"
#include "clean/search_delete.h"
#include "cookies/current_browsers.h"
#include "cookies/msie_cookies.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr wchar_t kModule[] = L"IdentifyBrowsers";

constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kCookiePathKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Special Paths\\Cookies";
constexpr wchar_t kNetscapeUsersKey[] = L"Software\\Netscape\\Netscape Navigator\\Users";
constexpr wchar_t kNetscapeCookiesKey[] = L"Software\\Netscape\\Netscape Navigator\\Cookies";
constexpr wchar_t kRealSdkCookiesKey[] = L"Software\\RealNetworks\\RealMediaSDK\\6.0\\Preferences\\CookiesPath";
constexpr wchar_t kRealInternetCookiesKey[] = L"Software\\RealNetworks\\Internet\\Cookies";

constexpr wchar_t kSystemRootCookies[] = L"%SystemRoot%\\Cookies";
constexpr wchar_t kSystemRootTemporaryFiles[] = L"%SystemRoot%\\Temporary Internet Files";
constexpr wchar_t kCookiesTxt[] = L"cookies.txt";

constexpr int kCsidlAppData = 26;
constexpr int kCsidlProgramFiles = 38;
constexpr int kCsidlCommonFiles = 43;

// ---- Walking a folder tree -------------------------------------------------------------

// What a depth-first walk does with the entries it meets.
struct FolderVisitor {
    std::function<bool(const std::wstring& name)> descendInto;  // which subfolders are searched
    std::function<void(const std::wstring& path)> enterFolder;  // a subfolder, before its entries
    std::function<void(const std::wstring& folder, const std::wstring& name)> onFile;  // optional
};

// Walks the folders below root (held open as top) depth first, in enumeration order, as a
// recursive search would, but without recursion (trees may be arbitrarily deep), on the
// engine's one folder walk. A link (junction, symbolic link, mount point) is never entered: profiles hold
// junctions that point back at their parents, and following them would loop without end.
void WalkBelow(WalkFolder top, const std::wstring& root, const FolderVisitor& visitor) {
    struct Entry {
        std::wstring name;
        bool isFolder;
        ListedFolder listed;  // for folders: what proves it is the one listed when entered
    };
    struct Level {
        WalkFolder folder;
        std::wstring display;  // the folder as the visitor sees it, with a trailing "\"
        std::vector<Entry> entries;
        size_t next = 0;
    };
    std::vector<std::unique_ptr<Level>> levels;
    const auto open = [&levels](std::optional<WalkFolder> folder, const std::wstring& display) {
        if (!folder) return;
        auto level = std::make_unique<Level>(Level{std::move(*folder), QualifyPath(display), {}, 0});
        level->folder.ForEachEntry([&](const ListedEntry& entry) {
            level->entries.push_back({std::wstring(entry.name), entry.IsFolder(),
                                      entry.IsFolder() ? level->folder.Keep(entry) : ListedFolder{}});
        });
        levels.push_back(std::move(level));
    };

    open(std::move(top), root);
    while (!levels.empty()) {
        Level& level = *levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const Entry& entry = level.entries[level.next++];
        if (entry.isFolder) {
            if (entry.listed.IsLink() || !visitor.descendInto(entry.name)) continue;
            // Only a folder the walk enters is shown to the visitor: never an Outlook or
            // Office folder, nor one swapped since it was listed.
            std::optional<WalkFolder> folder = level.folder.OpenChild(entry.listed);
            if (!folder) continue;
            const std::wstring child = level.display + entry.name;
            visitor.enterFolder(child);
            open(std::move(folder), child);
        } else if (visitor.onFile) {
            visitor.onFile(level.display, entry.name);
        }
    }
}

// The protected folders as they are when a list is rebuilt, loaded once for the whole run;
// a candidate added on its own loads them for itself.
const ProtectedFolders* runProtected = nullptr;

class ProtectedForRun {
public:
    ProtectedForRun() : previous_(runProtected) { runProtected = &folders_; }
    ~ProtectedForRun() { runProtected = previous_; }
    ProtectedForRun(const ProtectedForRun&) = delete;
    ProtectedForRun& operator=(const ProtectedForRun&) = delete;
    const ProtectedFolders& Folders() const { return folders_; }

private:
    ProtectedFolders folders_ = ProtectedFolders::Load();
    const ProtectedFolders* previous_;
};

// A discovery root held open, when it passes the gate and is no link, no drive root and
// neither is nor holds a protected folder (the user's profile, Documents, ...): such a root
// is never searched, so nothing below it becomes a location to empty.
std::optional<WalkFolder> OpenDiscoveryRoot(const std::wstring& root) {
    const std::optional<GatedPath> gated = GatePath(root);
    if (!gated || IsDriveRoot(root)) return std::nullopt;
    std::optional<WalkFolder> folder = WalkFolder::OpenTop(*gated);
    if (!folder) return std::nullopt;
    std::optional<ProtectedFolders> loaded;
    const ProtectedFolders& protectedNow = runProtected ? *runProtected : loaded.emplace(ProtectedFolders::Load());
    if (IsProtectedRoot(protectedNow, *folder)) return std::nullopt;
    return folder;
}

bool IsNotDotName(const std::wstring& name) { return name.empty() || name[0] != L'.'; }
bool IsNotDotEntry(const std::wstring& name) { return name != L"." && name != L".."; }

// ---- Normalising candidates -------------------------------------------------------------

// Registry texts may arrive folded into bytes and carry a NUL and garbage after it.
std::wstring CleanedText(const std::wstring& text) { return ApiTextStrip(Unicode2ASCII(text)); }

// Environment references such as "%SystemRoot%" expanded; a failed expansion keeps the text.
std::wstring ExpandReferences(const std::wstring& path) {
    if (!Contains(path, L"%")) return path;
    std::wstring buffer(path.size() + 512, L'\0');
    DWORD written = ::ExpandEnvironmentStringsW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written > buffer.size()) {
        buffer.assign(written, L'\0');
        written = ::ExpandEnvironmentStringsW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (written == 0 || written > buffer.size()) return path;
    return ApiTextStrip(buffer);
}

// A cookies.txt path stands for the folder that holds it.
std::wstring FolderOfCookiesTxt(const std::wstring& path) {
    std::wstring folder = path;
    if (EndsWithNoCase(folder, kCookiesTxt)) folder.resize(folder.size() - std::size(kCookiesTxt) + 1);
    return QualifyPath(folder);
}

// Only a full path below a drive or share root is searched: a value such as "cookies.txt",
// "C:" or "." would start a walk from wherever the current folder is, and "C:\" one of the
// whole drive, whose every "...cache" folder would become a cache location to empty.
// The folder must also pass the gate ("X." could be read as "X", a link): every location
// found below it is then the exact path its listings gave.
bool IsSearchableFolder(const std::wstring& folder) {
    return IsFullPath(folder) && !IsDriveRoot(folder) && GatePath(folder).has_value();
}

// The first steps that AddNS2 and frmMainAddNS2 share; false when nothing is left to search.
bool PrepareNetscapeCandidate(AppContext& ctx, std::wstring& path) {
    if (path.empty()) return false;
    path = CleanedText(path);
    if (path.empty()) return false;
    ctx.pump.DoEvents();
    path = ExpandReferences(path);
    return IsSearchableFolder(FolderOfCookiesTxt(path));
}

// ---- Adding entries ----------------------------------------------------------------------

// Only a path that passes the gate enters a list.
void AddLocation(AppContext& ctx, ListModel& list, ListModel* mirror, std::wstring path, std::int32_t kind) {
    const std::optional<GatedPath> gated = GatePath(path, PathOrigin::Listing);
    const DWORD attributes = gated ? ::GetFileAttributesW(gated->LongPath().c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) path = QualifyPath(path);
    if (list.FindNoCase(path) >= 0) return;
    const int added = list.AddItem(path);
    if (mirror) mirror->AddItem(path);
    list.SetItemData(added, kind);
    ctx.pump.DoEvents();
}

// Internet Explorer cookie location: a folder holding cookie files, or one whose path
// names cookies.
void ScanMsieFolder(AppContext& ctx, const std::wstring& folder, std::int32_t kind) {
    const std::wstring path = QualifyPath(folder);
    const int found = MSIEScan(ctx, path);
    if (found > 0 || Contains(path, L"Cookies")) AddOneLoc(ctx, path, kind);
}

// "<profile>\Cache" below root (which ends in "\"), in any letter case.
bool IsProfileCacheFolder(const std::wstring& root, const std::wstring& path) {
    if (path.size() <= root.size() || !StartsWith(path, root)) return false;
    const std::wstring_view rest = std::wstring_view(path).substr(root.size());
    const size_t slash = rest.find(L'\\');
    return slash != std::wstring_view::npos && slash > 0 && EqualsNoCase(rest.substr(slash + 1), L"Cache");
}

// A cache folder in a Netscape-family tree below root: a "...cache" folder, or a "*.default"
// profile. Below Firefox's Roaming profiles only a profile's own "Cache" is one: deeper
// "...cache" folders ("storage\default\<site>\cache") hold web sites' data.
void NoteNetscapeCache(AppContext& ctx, const std::wstring& root, const std::wstring& path, std::int32_t kind) {
    const bool isCache =
        kind == kKindFireFoxProfiles ? IsProfileCacheFolder(root, path) : EndsWithNoCase(path, L"cache");
    if (isCache) frmMainAddOneLoc(ctx, path, kind);
    if (EndsWithNoCase(path, L".default")) frmMainAddOneLoc(ctx, path, kKindFireFoxDefault);
}

// ---- The candidates both lists are built from ---------------------------------------------

struct CandidateHandlers {
    void (*addMsie)(AppContext&, std::wstring&, std::int32_t);
    void (*addNetscape)(AppContext&, std::wstring&, std::int32_t);
    // A browser folder found (Combo1); nothing for the cache list.
    std::function<void(const std::wstring& folder)> browserFolder;
    // Where the Netscape "Users" and "Cookies" keys are read.
    HKEY netscapeRoot;
    const wchar_t* procedure;
};

void VisitCandidates(AppContext& ctx, const CandidateHandlers& handlers, const SpecialFolderLookup& specialFolder) {
    const TrapSite site{kModule, handlers.procedure};
    // Each step is trapped on its own: a fault is reported and the next candidate still runs.
    const auto step = [&](auto&& body, std::source_location where = std::source_location::current()) {
        TrapStep(ctx.dialogs, site, body, where);
    };
    const auto browserFolderIfExists = [&](const std::wstring& path) {
        if (ApiFolderExists(path)) handlers.browserFolder(path);
    };
    // Each candidate goes to its add routine, which normalises it in place.
    const auto msie = [&](std::wstring path, std::int32_t kind, bool listFolder) {
        handlers.addMsie(ctx, path, kind);
        if (listFolder) browserFolderIfExists(path);
    };
    const auto netscape = [&](std::wstring path, std::int32_t kind) {
        handlers.addNetscape(ctx, path, kind);
        browserFolderIfExists(path);
    };

    std::optional<RegOp> reg;
    step([&] { reg.emplace(); });
    if (!reg) return;
    step([&] {
        reg->SetKey(kShellFoldersKey);
        msie(reg->Text(L"Cache"), kKindIeShellCache, true);
    });
    step([&] { msie(reg->Text(L"Cookies"), kKindIeShellCookies, false); });
    step([&] {
        reg->SetKey(kCookiePathKey);
        msie(reg->Text(L"Directory"), kKindIeCookiePath, true);
    });
    step([&] { msie(kSystemRootCookies, kKindIeCookiePath, true); });
    step([&] { msie(kSystemRootTemporaryFiles, kKindIeTemporaryFiles, true); });
    step([&] {
        reg->SetRoot(handlers.netscapeRoot);
        reg->SetKey(kNetscapeUsersKey);
        const std::wstring user = ApiTextStrip(reg->Text(L"CurrentUser"));
        if (user.empty()) return;
        reg->SetKey(std::wstring(kNetscapeUsersKey) + L"\\" + user);
        std::wstring path = reg->Text(L"DirRoot");
        handlers.addNetscape(ctx, path, kKindNetscapeDirRoot);
        if (!path.empty()) handlers.browserFolder(path);
    });
    step([&] {
        reg->SetKey(kNetscapeCookiesKey);
        netscape(reg->Text(L"Cookie File"), kKindNetscapeCookieFile);
    });
    step([&] {
        reg->SetRoot(HKEY_LOCAL_MACHINE);
        reg->SetKey(kRealSdkCookiesKey);
        netscape(reg->Text(L""), kKindRealNetworks);
    });
    step([&] {
        reg->SetKey(kRealInternetCookiesKey);
        const std::wstring path = reg->Text(L"");
        reg.reset();
        netscape(path, kKindRealNetworks);
    });
    reg.reset();

    const auto underSpecialFolder = [&](int csidl, const wchar_t* relative, std::int32_t kind) {
        step([&] {
            const std::wstring base = specialFolder(csidl);
            if (base.empty()) return;
            std::wstring folder = QualifyPath(base) + relative;
            if (!ApiFolderExists(folder)) return;
            handlers.addNetscape(ctx, folder, kind);
            handlers.browserFolder(folder);
        });
    };
    underSpecialFolder(kCsidlAppData, L"Mozilla\\FireFox\\Profiles", kKindFireFoxProfiles);
    underSpecialFolder(kCsidlProgramFiles, L"Netscape\\Users", kKindNetscapeUsers);
    underSpecialFolder(kCsidlCommonFiles, L"Netscape\\Users", kKindNetscapeUsers);
}

std::wstring EnvironmentValue(const wchar_t* name) {
    const DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) return {};
    std::wstring value(needed, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(written < needed ? written : 0);
    return value;
}

}  // namespace

std::wstring SystemSpecialFolder(int csidl) { return ApiSpecialFolder(csidl); }

void InitLoc(AppContext& ctx) { InitLoc(ctx, SystemSpecialFolder); }

void InitLoc(AppContext& ctx, const SpecialFolderLookup& specialFolder) {
    auto& form = ctx.frmMain;
    form.cboLoc.Clear();
    form.Combo1.Clear();
    form.Combo2.Clear();
    form.Combo3.Clear();

    const ProtectedForRun protectedFolders;
    const auto browserFolder = [&form](const std::wstring& folder) { form.Combo1.AddItem(folder); };
    VisitCandidates(ctx, {&AddMSIE, &AddNS2, browserFolder, HKEY_CURRENT_USER, L"InitLoc"}, specialFolder);
    TrapStep(ctx.dialogs, {kModule, L"InitLoc"}, [&] {
        for (const auto& database : CurrentCookieDatabases(specialFolder, &protectedFolders.Folders()))
            AddOneLoc(ctx, database.path, database.kind);
    });

    const std::wstring temp = EnvironmentValue(L"Temp");
    if (!temp.empty()) form.Combo2.AddItem(temp);
}

void CacheInitLoc(AppContext& ctx) { CacheInitLoc(ctx, SystemSpecialFolder); }

void CacheInitLoc(AppContext& ctx, const SpecialFolderLookup& specialFolder) {
    ctx.frmMain.cache.Clear();
    const ProtectedForRun protectedFolders;
    const auto noList = [](const std::wstring&) {};
    VisitCandidates(ctx, {&frmMainAddMSIE, &frmMainAddNS2, noList, HKEY_LOCAL_MACHINE, L"CacheInitLoc"},
                    specialFolder);
    TrapStep(ctx.dialogs, {kModule, L"CacheInitLoc"}, [&] {
        for (const auto& folder : CurrentCacheFolders(specialFolder, &protectedFolders.Folders()))
            frmMainAddOneLoc(ctx, folder.path, folder.kind);
        // Today's Internet Explorer cache: the "Cache" shell folder named "INetCache".
        RegOp reg;
        reg.SetKey(kShellFoldersKey);
        std::wstring cache = QualifyPath(ExpandReferences(CleanedText(reg.Text(L"Cache"))));
        const std::wstring inetCache = L"\\INetCache\\";
        const std::optional<GatedPath> gated = GatePath(cache);
        if (gated && IsSearchableFolder(cache) && EndsWithNoCase(cache, inetCache) && !IsLinkByName(gated->LongPath()))
            frmMainAddOneLoc(ctx, cache, kKindIeINetCache);
    });
}

void AddMSIE(AppContext& ctx, std::wstring& path, std::int32_t kind) {
    path = CleanedText(path);
    if (IsBlankPath(path)) return;
    ctx.pump.DoEvents();
    path = QualifyPath(ExpandReferences(path));
    if (!IsSearchableFolder(path)) return;
    std::optional<WalkFolder> root = OpenDiscoveryRoot(path);
    if (!root) return;

    ScanMsieFolder(ctx, path, kind);
    WalkBelow(std::move(*root), path,
              {IsNotDotName,
               [&](const std::wstring& folder) {
                   ctx.pump.DoEvents();
                   ScanMsieFolder(ctx, folder, kind);
               },
               nullptr});
}

void AddNS2(AppContext& ctx, std::wstring& path, std::int32_t kind) {
    if (!PrepareNetscapeCandidate(ctx, path)) return;
    path = FolderOfCookiesTxt(path);
    std::optional<WalkFolder> root = OpenDiscoveryRoot(path);
    if (!root) return;

    WalkBelow(std::move(*root), path,
              {IsNotDotEntry, [&](const std::wstring&) { ctx.pump.DoEvents(); },
               [&](const std::wstring& folder, const std::wstring& name) {
                   if (EqualsNoCase(name, kCookiesTxt)) AddOneLoc(ctx, folder + kCookiesTxt, kind);
               }});
}

void AddOneLoc(AppContext& ctx, std::wstring path, std::int32_t kind) {
    AddLocation(ctx, ctx.frmMain.cboLoc, &ctx.frmMain.Combo3, std::move(path), kind);
}

void frmMainAddMSIE(AppContext& ctx, std::wstring& path, std::int32_t kind) {
    path = CleanedText(path);
    if (IsBlankPath(path)) return;
    // Expanded here too, so "%SystemRoot%\Temporary Internet Files" is found when it exists.
    path = ExpandReferences(path);
    if (ContainsNoCase(path, L"Temporary Internet Files") && IsSearchableFolder(path) && OpenDiscoveryRoot(path))
        frmMainAddOneLoc(ctx, path, kind);
}

void frmMainAddNS2(AppContext& ctx, std::wstring& path, std::int32_t kind) {
    if (!PrepareNetscapeCandidate(ctx, path)) return;
    const std::wstring root = FolderOfCookiesTxt(path);
    std::optional<WalkFolder> held = OpenDiscoveryRoot(root);
    if (!held) return;
    NoteNetscapeCache(ctx, root, path, kind);
    path = root;

    WalkBelow(std::move(*held), path,
              {IsNotDotEntry,
               [&](const std::wstring& folder) {
                   ctx.pump.DoEvents();
                   NoteNetscapeCache(ctx, root, folder, kind);
               },
               nullptr});
}

void frmMainAddOneLoc(AppContext& ctx, std::wstring path, std::int32_t kind) {
    AddLocation(ctx, ctx.frmMain.cache, nullptr, std::move(path), kind);
}

std::wstring Unicode2ASCII(const std::wstring& text) {
    if (text.empty() || text.size() % 2 != 0) return text;
    for (size_t i = 1; i < text.size(); i += 2)
        if (text[i] != L'\0') return text;
    std::wstring folded;
    folded.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) folded += text[i];
    return folded;
}

}  // namespace qm
