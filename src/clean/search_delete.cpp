#include "clean/search_delete.h"

#include <iterator>
#include <utility>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/progress_tick.h"
#include "cookies/msie_cookies.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

constexpr TrapSite kSearchSite{L"Clean", L"SearchForFiles"};
constexpr TrapSite kSearch2Site{L"Clean", L"SearchForFiles2"};

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

std::optional<WalkFolder> OpenByName(const std::wstring& path) {
    const std::optional<GatedPath> gated = GatePath(path);
    return gated ? WalkFolder::OpenTop(*gated) : std::nullopt;
}

enum class SearchList { None, Msie, FireFox, Netscape, Chromium, TempFiles };

SearchList ListForTag(const std::wstring& tag) {
    if (tag == L"MSIE") return SearchList::Msie;
    if (tag == L"FireFox") return SearchList::FireFox;
    if (tag == L"NS2") return SearchList::Netscape;
    if (tag == L"Chromium") return SearchList::Chromium;
    return SearchList::None;
}

void AddMatch(AppContext& ctx, SearchList list, const std::wstring& folder, const std::wstring& name) {
    auto& form = ctx.frmMain;
    switch (list) {
        case SearchList::Msie:
            form.MSIE.AddItem(name);
            frmMainMsieClick(ctx, folder, name);
            break;
        case SearchList::FireFox: form.FireFox.AddItem(name); break;
        case SearchList::Netscape: form.NS.AddItem(name); break;
        case SearchList::Chromium: form.Chromium.AddItem(name); break;
        case SearchList::TempFiles: form.List2.AddItem(folder + name); break;
        case SearchList::None: break;
    }
}

// One folder of a search: folder is the caller's spelling and ends in a backslash.
// Subfolders are searched as they are met, depth first.
void SearchLevel(AppContext& ctx, const std::wstring& folder, const WalkFolder& walked, SearchList list,
                 const TrapSite& site) {
    auto& search = ctx.SearchSpec;
    walked.ForEachEntry([&](const ListedEntry& entry) {
        TrapStep(ctx.dialogs, site, [&] {
            const std::wstring name(entry.name);
            if (entry.IsFolder()) {
                // Dot-named folders (".", "..", ".cache") are never entered, nor are links.
                if (name[0] == L'.' || !search.Recurse || entry.IsLink()) return;
                if (auto child = walked.OpenChild(entry)) SearchLevel(ctx, folder + name + L'\\', *child, list, site);
            } else if (MatchSpec(name, search.FileSpec)) {
                ++search.FilesMatched;
                AddMatch(ctx, list, folder, name);
            }
        });
        ++search.EntriesSeen;
    }, /*withDotEntries=*/true);
}

void Search(AppContext& ctx, const std::wstring& folder, SearchList list, const TrapSite& site) {
    if (folder.empty()) return;
    auto top = OpenByName(folder);
    if (!top) return;
    // Listed paths are the folder + the name, so the folder must end in a backslash.
    SearchLevel(ctx, QualifyPath(folder), *top, list, site);
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
    if (path.empty()) return {};
    if (StartsWith(path, kLongPrefix)) return path;
    const std::wstring full = FullPathName(path);
    return full.empty() ? full : UnicodeFid(full);
}

std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (StartsWith(path, kLongUncPrefix)) return L"\\\\" + path.substr(std::size(kLongUncPrefix) - 1);
    if (StartsWith(path, kLongPrefix)) return path.substr(std::size(kLongPrefix) - 1);
    return path;
}

bool IsFullPath(const std::wstring& path) {
    const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    std::wstring_view rest = path;
    if (StartsWith(rest, kLongUncPrefix)) return rest.size() > std::size(kLongUncPrefix) - 1;
    if (StartsWith(rest, kLongPrefix) || StartsWith(rest, L"\\\\.\\")) rest.remove_prefix(4);
    else if (StartsWith(rest, L"\\\\")) return rest.size() > 2;
    return rest.size() >= 3 && isLetter(rest[0]) && rest[1] == L':' && (rest[2] == L'\\' || rest[2] == L'/');
}

bool IsDriveRoot(const std::wstring& path) {
    std::wstring full = WithoutLongPrefix(LongPathForm(path));
    while (!full.empty() && full.back() == L'\\') full.pop_back();
    if (full.size() == 2 && full[1] == L':') return true;
    if (!StartsWith(full, L"\\\\")) return false;
    // "\\server\share" is the root of a network drive.
    const size_t serverEnd = full.find(L'\\', 2);
    return serverEnd == std::wstring::npos || full.find(L'\\', serverEnd + 1) == std::wstring::npos;
}

void SearchForFiles(AppContext& ctx, const std::wstring& folder, const std::wstring& tag) {
    Search(ctx, folder, ListForTag(tag), kSearchSite);
}

void SearchForFiles(AppContext& ctx, const WalkFolder& held, const std::wstring& folder, const std::wstring& tag) {
    SearchLevel(ctx, QualifyPath(folder), held, ListForTag(tag), kSearchSite);
}

void SearchForFiles2(AppContext& ctx, const std::wstring& folder) {
    Search(ctx, folder, SearchList::TempFiles, kSearch2Site);
}

std::int32_t DelTree(AppContext& ctx, GuardedRoot& root, bool removeRoot) {
    DeletePass pass(ctx);
    pass.OnEvent([&ctx](const DeleteEvent& event) {
        if (event.kind == ItemKind::File && event.reason == SkipReason::None) ProgressTick(ctx);
    });
    const WalkFolder& folder = root.Folder();
    const std::int32_t status = pass.Empty(folder, OnFailedSubfolder::Stop);
    if (status != 0 || !removeRoot) return status;
    return pass.RemoveEmptied(folder);
}

std::wstring DelTreeFolder(const std::wstring& folder) {
    std::wstring trimmed = folder;
    if (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    return trimmed;
}

std::int32_t DelTree(AppContext& ctx, const std::wstring& folder, const std::wstring& root, bool /*passthrough*/) {
    const std::wstring trimmed = DelTreeFolder(folder);
    auto verdict = GuardDeletionRoot(trimmed, RootKind::UserFolder);
    if (!verdict.root) return -1;
    return DelTree(ctx, *verdict.root, trimmed != root);
}

std::wstring GetShortPath(const std::wstring& path) {
    // Paths past the classic limit need the long form, whose prefix the answer keeps.
    const bool useLongForm = path.size() >= MAX_PATH;
    const std::wstring asked = useLongForm ? LongPathForm(path) : path;
    if (asked.empty()) return {};
    std::wstring shortPath(MAX_PATH, L'\0');
    DWORD length = ::GetShortPathNameW(asked.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length >= shortPath.size()) {
        shortPath.assign(length, L'\0');
        length = ::GetShortPathNameW(asked.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
        if (length >= shortPath.size()) return {};
    }
    shortPath.resize(length);
    return useLongForm ? WithoutLongPrefix(shortPath) : shortPath;
}

}  // namespace qm
