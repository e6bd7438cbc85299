#include "clean/sys_check.h"

#include <windows.h>
#include <shlobj.h>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/search_delete.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kSysCheckSite{L"SystemFolderCheck", L"SysCheck"};

// Shell folder ids 12 to 15 are not asked for.
constexpr int kFirstTableRange[] = {0, 11};
constexpr int kSecondTableRange[] = {16, 48};

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

bool IsSameOrAncestor(const std::wstring& candidate, const std::wstring& protectedFolder) {
    if (protectedFolder.size() < candidate.size() || !StartsWith(protectedFolder, candidate)) return false;
    return protectedFolder.size() == candidate.size() || protectedFolder[candidate.size()] == L'\\';
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

std::wstring ComparablePath(const std::wstring& path) {
    if (path.empty()) return {};
    const std::wstring slashed = ReplaceAll(path, L"/", L"\\");
    const std::wstring longForm = LongPathForm(slashed);
    std::wstring comparable = longForm.empty() ? slashed : ExpandShortNames(WithoutLongPrefix(longForm));
    while (!comparable.empty() && comparable.back() == L'\\') comparable.pop_back();
    return ToUpper(comparable);
}

bool IsProtectedFolder(const std::vector<std::wstring>& table, const std::wstring& path) {
    const std::wstring candidate = ComparablePath(path);
    if (candidate.empty()) return false;
    for (const auto& folder : table) {
        const std::wstring comparable = ComparablePath(folder);
        if (!comparable.empty() && IsSameOrAncestor(candidate, comparable)) return true;
    }
    return false;
}

void SysCheck(AppContext& ctx, std::wstring& path, bool& isSystem) {
    TrapStep(ctx.dialogs, kSysCheckSite, [&] {
        if (Contains(path, L"Temporary Internet Files") || Contains(path, L"Temp") || Contains(path, L"Cookies"))
            return;
        path = ToUpper(path);
        if (!IsProtectedFolder(SystemFolderTable(ctx.ui), path)) return;
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
