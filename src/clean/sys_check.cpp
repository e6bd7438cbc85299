#include "clean/sys_check.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <unordered_set>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/search_delete.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kSysCheckSite{L"SystemFolderCheck", L"SysCheck"};
constexpr int kDriveRootId = -1;

// Shell folder ids 12 to 15 are not asked for.
constexpr int kFirstTableRange[] = {0, 11};
constexpr int kSecondTableRange[] = {16, 48};

// Folders that no shortcut ever accepts, whatever their names hold.
constexpr int kNeverAcceptedIds[] = {kDriveRootId,        CSIDL_WINDOWS,       CSIDL_SYSTEM,
                                     CSIDL_SYSTEMX86,     CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                                     CSIDL_PROFILE};

// fullPath is absolute and normalised. The long-path form is used only where needed:
// some systems (Wine) do not expand short names behind the "\\?\" prefix.
std::wstring ExpandShortNames(const std::wstring& fullPath) {
    const std::wstring asked = fullPath.size() < MAX_PATH ? fullPath : UnicodeFid(fullPath);
    const DWORD needed = ::GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (needed == 0) return fullPath;  // missing: nothing to expand
    std::wstring expanded(needed, L'\0');
    const DWORD length = ::GetLongPathNameW(asked.c_str(), expanded.data(), needed);
    if (length == 0 || length >= needed) return fullPath;
    expanded.resize(length);
    return WithoutLongPrefix(expanded);
}

template <class Lookup>
std::vector<std::wstring> BuildTable(Lookup&& lookup) {
    std::vector<std::wstring> table{L"C:\\"};
    for (const auto& range : {kFirstTableRange, kSecondTableRange})
        for (int id = range[0]; id <= range[1]; ++id) table.push_back(ToUpper(lookup(id)));
    return table;
}

// Where a folder really is: its final path, with links and substitutions resolved.
std::optional<std::wstring> FinalPathOfFolder(const std::wstring& path) {
    UniqueFile folder(::CreateFileW(UnicodeFid(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return std::nullopt;
    std::wstring finalPath = FinalPathOf(folder.get());
    if (finalPath.empty()) return std::nullopt;
    return finalPath;
}

// The folders above a final path, nearest first, down to the drive root ("\\?\C:\").
std::vector<std::wstring> FoldersAbove(std::wstring path) {
    std::vector<std::wstring> above;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    for (size_t slash = path.find_last_of(L'\\'); slash != std::wstring::npos && slash > 4;
         slash = path.find_last_of(L'\\')) {
        path.resize(slash);
        above.push_back(path.back() == L':' ? path + L'\\' : path);
    }
    return above;
}

std::optional<FileIdentity> IdentityOfPath(const std::wstring& path) {
    const std::wstring longForm = LongPathForm(path);
    return longForm.empty() ? std::nullopt : IdentityOf(longForm);
}

bool HoldsShortcutName(const std::wstring& path) {
    return Contains(path, L"Temporary Internet Files") || Contains(path, L"Temp") || Contains(path, L"Cookies");
}

bool IsProtectedIdentity(const ProtectedFolders& protectedFolders, const FileIdentity& identity) {
    return !protectedFolders.TableIdsOf(identity).empty() || protectedFolders.HoldsProtected(identity);
}

// A shortcut may pass a folder by its real path's name, but never one of the folders that
// matter most, and a shell folder only by its own name ("Templates", "Cookies"): "Temp"
// somewhere above the Desktop does not make it a Temp folder.
bool ShortcutAccepts(const ProtectedFolders& protectedFolders, const std::wstring& fullPath,
                     const std::optional<FileIdentity>& identity) {
    if (!HoldsShortcutName(fullPath) || IsDriveRoot(fullPath)) return false;
    if (!identity) return true;  // nothing there to protect
    if (protectedFolders.HoldsProtected(*identity)) return false;
    const auto ids = protectedFolders.TableIdsOf(*identity);
    const std::wstring path = WithoutTrailingSeparators(fullPath);
    if (!ids.empty() && !HoldsShortcutName(path.substr(path.find_last_of(L'\\') + 1))) return false;
    return std::none_of(ids.begin(), ids.end(), [](int id) {
        return std::find(std::begin(kNeverAcceptedIds), std::end(kNeverAcceptedIds), id) != std::end(kNeverAcceptedIds);
    });
}

bool IsSystemFolder(const ProtectedFolders& protectedFolders, const std::wstring& fullPath,
                    const std::optional<FileIdentity>& identity) {
    if (IsDriveRoot(fullPath)) return true;
    return identity && IsProtectedIdentity(protectedFolders, *identity);
}

// "." and ".." resolved, "/" turned into "\"; the text as given when it cannot be resolved.
std::wstring Normalised(const std::wstring& path) {
    const std::wstring full = FullPathName(ReplaceAll(path, L"/", L"\\"));
    return full.empty() ? path : full;
}

}  // namespace

std::vector<std::wstring> SystemFolderTable(UiHost& ui) {
    return BuildTable([&](int id) { return GetFolderPath(ui, id); });
}

std::vector<std::wstring> SystemFolderTable() {
    return BuildTable([](int id) {
        // The lookup of GetFolderPath without an owner window; virtual folders give nothing.
        wchar_t buffer[MAX_PATH + 1] = {};
        if (::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return std::wstring();
        return CutAtNul(buffer);
    });
}

const std::vector<int>& SystemFolderTableIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> list{kDriveRootId};
        for (const auto& range : {kFirstTableRange, kSecondTableRange})
            for (int id = range[0]; id <= range[1]; ++id) list.push_back(id);
        return list;
    }();
    return ids;
}

std::wstring ComparablePath(const std::wstring& path) {
    if (path.empty()) return {};
    const std::wstring slashed = ReplaceAll(path, L"/", L"\\");
    const std::wstring longForm = LongPathForm(slashed);
    std::wstring comparable = longForm.empty() ? slashed : ExpandShortNames(WithoutLongPrefix(longForm));
    while (!comparable.empty() && comparable.back() == L'\\') comparable.pop_back();
    return ToUpper(comparable);
}

ProtectedFolders::ProtectedFolders(const std::vector<std::wstring>& table) {
    const auto& ids = SystemFolderTableIds();
    // The entries share most of the folders above them (the profile, the drive): each path
    // is opened once, which makes the table several times quicker to build.
    std::unordered_set<std::wstring> pathsAbove;
    for (size_t i = 0; i < table.size() && i < ids.size(); ++i) {
        if (table[i].empty()) continue;
        const auto identity = IdentityOfPath(table[i]);
        if (!identity) continue;  // not there: nothing to protect
        tableFolders_.emplace_back(*identity, ids[i]);
        // The folders above it, by where it really is (links and drives resolved) and, where
        // that differs, by the path as given too: the system may name a drive letter that is
        // already gone.
        const std::wstring given = UnicodeFid(table[i]);
        const auto finalPath = FinalPathOfFolder(table[i]);
        std::vector<std::wstring> above = FoldersAbove(finalPath ? *finalPath : given);
        if (finalPath && !EqualsNoCase(WithoutTrailingSeparators(*finalPath), WithoutTrailingSeparators(given))) {
            const auto asGiven = FoldersAbove(given);
            above.insert(above.end(), asGiven.begin(), asGiven.end());
        }
        for (const auto& folder : above) {
            if (!pathsAbove.insert(ToUpper(folder)).second) continue;
            const auto aboveIdentity = IdentityOf(folder);
            if (aboveIdentity && !HoldsProtected(*aboveIdentity)) ancestors_.push_back(*aboveIdentity);
        }
    }
}

std::vector<int> ProtectedFolders::TableIdsOf(const FileIdentity& folder) const {
    std::vector<int> ids;
    for (const auto& [identity, id] : tableFolders_)
        if (IsSameFile(identity, folder)) ids.push_back(id);
    return ids;
}

bool ProtectedFolders::HoldsProtected(const FileIdentity& folder) const {
    return std::any_of(ancestors_.begin(), ancestors_.end(),
                       [&](const FileIdentity& ancestor) { return IsSameFile(ancestor, folder); });
}

bool IsRefusedSystemFolder(const ProtectedFolders& protectedFolders, const std::wstring& realPath,
                           const FileIdentity& identity) {
    const std::wstring fullPath = WithoutLongPrefix(realPath);
    return !ShortcutAccepts(protectedFolders, fullPath, identity) &&
           IsSystemFolder(protectedFolders, fullPath, identity);
}

void SysCheck(AppContext& ctx, std::wstring& path, bool& isSystem) {
    TrapStep(ctx.dialogs, kSysCheckSite, [&] {
        const ProtectedFolders protectedFolders(SystemFolderTable(ctx.ui));
        const std::wstring fullPath = Normalised(path);
        const auto identity = IdentityOfPath(fullPath);
        // The shortcuts by name read where the folder really is (links and junctions on the
        // way resolved), never the spelling; nothing there, nothing resolved: no shortcut.
        const std::wstring realPath = identity ? WithoutLongPrefix(FinalPathOfFolder(fullPath).value_or(L"")) : fullPath;
        if (ShortcutAccepts(protectedFolders, realPath, identity)) return;
        path = ToUpper(path);
        if (!IsSystemFolder(protectedFolders, fullPath, identity)) return;
        isSystem = true;
        auto& label = ctx.frmMain.Label15;
        label.SetCaption(L"Warning.....Warning !!!");
        ctx.dialogs.ShowMessage({L"You Have Selected A System Folder" + std::wstring(kCrLf) + kCrLf +
                                     L"Make Another Selection!",
                                 kTitleInfo, MB_OK | MB_ICONSTOP});
        label.SetCaption(L"Select Folder And Click Save");
    });
}

}  // namespace qm
