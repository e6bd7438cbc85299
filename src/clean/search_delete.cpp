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

// Attributes that "set to normal" clears; the others cannot be set by a caller anyway.
constexpr DWORD kResettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The status of a failed step: the system's error number, never 0.
std::int32_t FailureStatus(DWORD error = ::GetLastError()) {
    return error != ERROR_SUCCESS ? static_cast<std::int32_t>(error) : static_cast<std::int32_t>(ERROR_GEN_FAILURE);
}

// Sets the attributes of what is met to normal; returns the attributes it now has.
DWORD ResetAttributes(const std::wstring& longPath, DWORD attributes) {
    if (!(attributes & kResettableAttributes)) return attributes;
    if (!::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL)) return attributes;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? (attributes & ~kResettableAttributes) : FILE_ATTRIBUTE_NORMAL;
}

// "Reset the attributes, then delete", with one call per file where that changes
// nothing: only read-only blocks a delete, and a file that stays is reset afterwards,
// so what remains ends with the same attributes either way.
bool DeleteFileResetting(const std::wstring& longPath, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::DeleteFileW(longPath.c_str())) return true;
    if ((attributes & kResettableAttributes) && !(attributes & FILE_ATTRIBUTE_READONLY)) {
        const DWORD error = ::GetLastError();
        ::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::SetLastError(error);
    }
    return false;
}

// How a tree is emptied: DelTree stops at the first subfolder that stays; a delete with
// force goes on with the others and removes what it can.
enum class OnFailedSubfolder { Stop, GoOn };

template <class OnRemoved>
std::int32_t RemoveTree(const ListedFolder& listed, OnFailedSubfolder rule, OnRemoved& onRemoved);

// Deletes the files of a folder, then its subfolders one after another (so that only one
// listing per level is read at a time). onRemoved runs after each removed file.
template <class OnRemoved>
std::int32_t EmptyTree(const WalkFolder& folder, OnFailedSubfolder rule, OnRemoved& onRemoved) {
    std::vector<ListedFolder> subfolders;
    const bool listed = folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder()) subfolders.push_back(folder.Keep(entry));
        else if (DeleteFileResetting(folder.ChildPath(entry.name), entry.attributes)) onRemoved();
    });
    if (!listed) return FailureStatus();
    std::int32_t firstFailure = 0;
    for (const auto& subfolder : subfolders) {
        const std::int32_t status = RemoveTree(subfolder, rule, onRemoved);
        if (status == 0) continue;
        if (rule == OnFailedSubfolder::Stop) return status;
        if (firstFailure == 0) firstFailure = status;
    }
    return firstFailure;
}

// A link goes as a link; a folder is entered only when it is still the one listed.
template <class OnRemoved>
std::int32_t RemoveTree(const ListedFolder& listed, OnFailedSubfolder rule, OnRemoved& onRemoved) {
    if (listed.IsLink()) return RemoveLink(listed.longPath) ? 0 : FailureStatus();
    auto folder = WalkFolder::OpenListed(listed);
    if (!folder) return FailureStatus();
    const std::int32_t status = EmptyTree(*folder, rule, onRemoved);
    if (status != 0 && rule == OnFailedSubfolder::Stop) return status;
    folder->Release();
    return RemoveEmptiedFolder(listed.longPath) ? 0 : FailureStatus();
}

void CollectFiles(const WalkFolder& folder, std::vector<FileItem>& list, bool includeSubfolders) {
    std::vector<ListedFolder> subfolders;
    folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder()) {
            subfolders.push_back(folder.Keep(entry));
            return;
        }
        std::wstring path = folder.ChildPath(entry.name);
        const DWORD attributes = ResetAttributes(path, entry.attributes);
        list.push_back({std::move(path), attributes});
    });
    if (!includeSubfolders) return;
    for (const auto& subfolder : subfolders) {
        auto child = WalkFolder::OpenListed(subfolder);
        if (!child) continue;
        ResetAttributes(subfolder.longPath, subfolder.attributes);
        CollectFiles(*child, list, true);
    }
}

std::optional<WalkFolder> OpenByName(const std::wstring& path) {
    const std::wstring longFolder = LongPathForm(path);
    return longFolder.empty() ? std::nullopt : WalkFolder::OpenTop(longFolder);
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

void SearchForFiles2(AppContext& ctx, const std::wstring& folder) {
    Search(ctx, folder, SearchList::TempFiles, kSearch2Site);
}

std::int32_t DelTree(AppContext& ctx, GuardedRoot& root, bool removeRoot) {
    auto tick = [&] { ProgressTick(ctx); };
    WalkFolder& folder = root.Folder();
    const std::int32_t status = EmptyTree(folder, OnFailedSubfolder::Stop, tick);
    if (status != 0 || !removeRoot) return status;
    const std::wstring longPath = folder.LongPath();
    folder.Release();
    return RemoveEmptiedFolder(longPath) ? 0 : FailureStatus();
}

std::wstring DelTreeFolder(const std::wstring& folder) {
    std::wstring trimmed = TrimSpaces(folder);
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

void SelectFiles(const WalkFolder& folder, std::vector<FileItem>& list, bool includeSubfolders) {
    IgnoreErrors([&] {
        ResetAttributes(folder.LongPath(), ::GetFileAttributesW(folder.LongPath().c_str()));
        CollectFiles(folder, list, includeSubfolders);
    });
}

void SelectFiles(const std::wstring& path, std::vector<FileItem>& list, bool includeSubfolders) {
    if (auto folder = OpenByName(path)) SelectFiles(*folder, list, includeSubfolders);
}

bool DeleteWithForce(const FileItem& file) { return DeleteFileResetting(file.path, file.attributes); }

std::vector<ListedFolder> SubFolders(const WalkFolder& folder) {
    std::vector<ListedFolder> folders;
    IgnoreErrors([&] {
        folder.ForEachEntry([&](const ListedEntry& entry) {
            if (entry.IsFolder()) folders.push_back(folder.Keep(entry));
        });
    });
    return folders;
}

std::vector<ListedFolder> SubFolders(const std::wstring& path) {
    auto folder = OpenByName(path);
    return folder ? SubFolders(*folder) : std::vector<ListedFolder>{};
}

bool DeleteWithForce(const ListedFolder& folder) {
    auto uncounted = [] {};
    return RemoveTree(folder, OnFailedSubfolder::GoOn, uncounted) == 0;
}

}  // namespace qm
