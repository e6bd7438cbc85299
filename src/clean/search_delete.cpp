#include "clean/search_delete.h"

#include <iterator>
#include <utility>

#include "base/app_error.h"
#include "base/handles.h"
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

bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLinkFolder(DWORD attributes) { return IsDirectory(attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The status of a failed step: the system's error number, never 0.
std::int32_t FailureStatus(DWORD error = ::GetLastError()) {
    return error != ERROR_SUCCESS ? static_cast<std::int32_t>(error) : static_cast<std::int32_t>(ERROR_GEN_FAILURE);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (path.size() > 1 && path.back() == L'\\' && path[path.size() - 2] != L':') path.pop_back();
    return path;
}

// Calls visit for every entry of the folder (longFolder ends in a backslash), the dot
// entries included, with attributes as the listing reports them. Large fetches and no
// short names keep the per-entry cost down. False when the folder cannot be listed.
template <class Visit>
bool ForEachEntry(const std::wstring& longFolder, Visit&& visit) {
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(::FindFirstFileExW((longFolder + L"*").c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return false;
    do {
        visit(entry);
    } while (::FindNextFileW(find.get(), &entry));
    return true;
}

// Sets the attributes of what is met to normal; returns the attributes it now has.
DWORD ResetAttributes(const std::wstring& longPath, DWORD attributes) {
    if (!(attributes & kResettableAttributes)) return attributes;
    if (!::SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL)) return attributes;
    return IsDirectory(attributes) ? (attributes & ~kResettableAttributes) : FILE_ATTRIBUTE_NORMAL;
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

struct Subfolder {
    std::wstring name;
    DWORD attributes;
};

// Deletes the files of one folder and collects its subfolders for afterwards, so that
// only one listing is open at a time. onRemoved runs after each removed file.
template <class OnRemoved>
bool DeleteFilesOf(const std::wstring& longFolder, std::vector<Subfolder>& subfolders, OnRemoved&& onRemoved) {
    std::wstring path = longFolder;
    return ForEachEntry(longFolder, [&](const WIN32_FIND_DATAW& entry) {
        if (IsDotEntry(entry.cFileName)) return;
        if (IsDirectory(entry.dwFileAttributes)) {
            subfolders.push_back({entry.cFileName, entry.dwFileAttributes});
            return;
        }
        path.resize(longFolder.size());
        path += entry.cFileName;
        if (DeleteFileResetting(path, entry.dwFileAttributes)) onRemoved();
    });
}

std::int32_t RemoveLinkStatus(const std::wstring& longPath) { return RemoveLink(longPath) ? 0 : FailureStatus(); }

// DelTree below its checks: folder is the caller's spelling (compared with root),
// longFolder the same folder in long form; neither ends in a backslash.
std::int32_t DelTreeLevel(AppContext& ctx, const std::wstring& folder, const std::wstring& longFolder,
                          const std::wstring& root, bool passthrough) {
    std::vector<Subfolder> subfolders;
    if (!DeleteFilesOf(longFolder + L'\\', subfolders, [&] { ProgressTick(ctx); })) return FailureStatus();
    for (const auto& sub : subfolders) {
        const std::wstring longSub = longFolder + L'\\' + sub.name;
        const std::int32_t status = IsLinkFolder(sub.attributes)
                                        ? RemoveLinkStatus(longSub)
                                        : DelTreeLevel(ctx, folder + L'\\' + sub.name, longSub, root, passthrough);
        if (status != 0) return status;
    }
    if (folder != root && !::RemoveDirectoryW(longFolder.c_str())) return FailureStatus();
    return 0;
}

bool DeleteFolderTree(const std::wstring& longFolder, DWORD attributes) {
    // Force: a read-only folder is opened up before its content goes.
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(longFolder.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::vector<Subfolder> subfolders;
    DeleteFilesOf(longFolder + L'\\', subfolders, [] {});
    for (const auto& sub : subfolders) {
        const std::wstring longSub = longFolder + L'\\' + sub.name;
        if (IsLinkFolder(sub.attributes)) RemoveLink(longSub);
        else DeleteFolderTree(longSub, sub.attributes);
    }
    return ::RemoveDirectoryW(longFolder.c_str()) != FALSE;
}

void CollectFiles(const std::wstring& folder, std::vector<FileItem>& list, bool includeSubfolders) {
    const std::wstring longFolder = UnicodeFid(JoinPath(folder, L""));
    std::vector<Subfolder> subfolders;
    ForEachEntry(longFolder, [&](const WIN32_FIND_DATAW& entry) {
        if (IsDotEntry(entry.cFileName)) return;
        if (IsDirectory(entry.dwFileAttributes)) {
            subfolders.push_back({entry.cFileName, entry.dwFileAttributes});
            return;
        }
        const DWORD attributes = ResetAttributes(longFolder + entry.cFileName, entry.dwFileAttributes);
        list.push_back({JoinPath(folder, entry.cFileName), attributes});
    });
    if (!includeSubfolders) return;
    for (const auto& sub : subfolders) {
        if (IsLinkFolder(sub.attributes)) continue;
        ResetAttributes(longFolder + sub.name, sub.attributes);
        CollectFiles(JoinPath(folder, sub.name), list, true);
    }
}

enum class SearchList { None, Msie, FireFox, Netscape, TempFiles };

SearchList ListForTag(const std::wstring& tag) {
    if (tag == L"MSIE") return SearchList::Msie;
    if (tag == L"FireFox") return SearchList::FireFox;
    if (tag == L"NS2") return SearchList::Netscape;
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
        case SearchList::TempFiles: form.List2.AddItem(folder + name); break;
        case SearchList::None: break;
    }
}

// One folder of a search: folder is the caller's spelling and ends in a backslash.
// Subfolders are searched as they are met, depth first.
void SearchLevel(AppContext& ctx, const std::wstring& folder, const std::wstring& longFolder, SearchList list,
                 const TrapSite& site) {
    auto& search = ctx.SearchSpec;
    ForEachEntry(longFolder, [&](const WIN32_FIND_DATAW& entry) {
        TrapStep(ctx.dialogs, site, [&] {
            const std::wstring name = entry.cFileName;
            if (IsDirectory(entry.dwFileAttributes)) {
                // Dot-named folders (".", "..", ".cache") are never entered, nor are links.
                if (name[0] != L'.' && search.Recurse && !IsLinkFolder(entry.dwFileAttributes))
                    SearchLevel(ctx, folder + name + L'\\', longFolder + name + L'\\', list, site);
            } else if (MatchSpec(name, search.FileSpec)) {
                ++search.FilesMatched;
                AddMatch(ctx, list, folder, name);
            }
        });
        ++search.EntriesSeen;
    });
}

void Search(AppContext& ctx, const std::wstring& folder, SearchList list, const TrapSite& site) {
    if (folder.empty()) return;
    std::wstring longFolder = LongPathForm(folder);
    if (longFolder.empty()) return;
    if (longFolder.back() != L'\\') longFolder += L'\\';
    // Listed paths are the folder + the name, so the folder must end in a backslash.
    SearchLevel(ctx, QualifyPath(folder), longFolder, list, site);
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

std::int32_t DelTree(AppContext& ctx, const std::wstring& folder, const std::wstring& root, bool passthrough) {
    std::wstring trimmed = TrimSpaces(folder);
    if (trimmed.empty()) return -1;
    if (trimmed.back() == L'\\') trimmed.pop_back();
    if (trimmed.find(L'\\') == std::wstring::npos) return -1;
    // Other spellings of a drive root ("C:\\", "C:\Windows\..") are refused like "C:\".
    if (IsDriveRoot(trimmed)) return -1;
    const std::wstring longFolder = LongPathForm(trimmed);
    const DWORD attributes = ::GetFileAttributesW(longFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !IsDirectory(attributes)) return -1;
    if (IsLinkFolder(attributes)) return trimmed == root ? -1 : RemoveLinkStatus(longFolder);
    return DelTreeLevel(ctx, trimmed, longFolder, root, passthrough);
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

void SelectFiles(const std::wstring& path, std::vector<FileItem>& list, bool includeSubfolders) {
    IgnoreErrors([&] {
        const std::wstring longFolder = LongPathForm(path);
        if (longFolder.empty()) return;
        const DWORD attributes = ::GetFileAttributesW(longFolder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !IsDirectory(attributes) || IsLinkFolder(attributes)) return;
        ResetAttributes(longFolder, attributes);
        CollectFiles(WithoutTrailingBackslash(WithoutLongPrefix(longFolder)), list, includeSubfolders);
    });
}

bool DeleteWithForce(const FileItem& file) { return DeleteFileResetting(UnicodeFid(file.path), file.attributes); }

std::vector<FolderItem> SubFolders(const std::wstring& path) {
    std::vector<FolderItem> folders;
    IgnoreErrors([&] {
        std::wstring longFolder = LongPathForm(path);
        if (longFolder.empty()) return;
        if (longFolder.back() != L'\\') longFolder += L'\\';
        const std::wstring folder = WithoutLongPrefix(longFolder);
        ForEachEntry(longFolder, [&](const WIN32_FIND_DATAW& entry) {
            if (IsDirectory(entry.dwFileAttributes) && !IsDotEntry(entry.cFileName))
                folders.push_back({folder + entry.cFileName, entry.dwFileAttributes});
        });
    });
    return folders;
}

bool DeleteWithForce(const FolderItem& folder) {
    const std::wstring longFolder = LongPathForm(folder.path);
    if (longFolder.empty()) return false;
    if (folder.IsLink()) return RemoveLink(longFolder);
    return DeleteFolderTree(longFolder, folder.attributes);
}

bool RemoveLink(const std::wstring& path) {
    const std::wstring longPath = LongPathForm(path);
    if (longPath.empty()) return false;
    UniqueFile link(::CreateFileW(longPath.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return false;
    // Where the system opened the target instead of the link (Wine does), deleting
    // through this handle would remove the target: only a handle on the link may go.
    FILE_ATTRIBUTE_TAG_INFO opened{};
    if (!::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &opened, sizeof(opened)) ||
        !(opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::SetLastError(ERROR_NOT_A_REPARSE_POINT);
        return false;
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(link.get(), FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
}

}  // namespace qm
