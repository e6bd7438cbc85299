#include "clean/folder_walk.h"

#include <winternl.h>

#include <algorithm>

#include "base/text.h"
#include "clean/search_delete.h"
#include "startup/api.h"

// ntdll's listing call, which winternl.h leaves out.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK ioStatus, PVOID information,
                                               ULONG length, FILE_INFORMATION_CLASS informationClass,
                                               BOOLEAN returnSingleEntry, PUNICODE_STRING fileName,
                                               BOOLEAN restartScan);

namespace qm {

namespace {

constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);

WalkHooks platformHooks;
WalkHooks* activeHooks = &platformHooks;

// Listing needs FILE_LIST_DIRECTORY; delete sharing is left out so that the folder stays
// where it is while it is held. A walk that removes also asks for the right to delete the
// folder and to clear its read-only bit through the same handle, and to add a file to it
// (a file replaced in one step is written beside the old one first).
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kRemovingAccess = kFolderAccess | DELETE | FILE_WRITE_ATTRIBUTES | FILE_ADD_FILE;
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kFolderOptions = FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                                 FILE_OPEN_FOR_BACKUP_INTENT;

// What the walk needs of an opened folder.
struct OpenedFolder {
    DWORD attributes = 0;
    FileIdentity identity;
};

std::optional<OpenedFolder> FolderFacts(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return OpenedFolder{info.dwFileAttributes,
                        {info.dwVolumeSerialNumber,
                         (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow}};
}

// The same for a folder opened relative to a held parent, by the two questions that need
// no name (some systems, Wine among them, work out the whole path for the full answer,
// which makes a deep walk quadratic). A subfolder that is no mount point (a reparse point,
// refused) lies on its parent's volume.
std::optional<OpenedFolder> ChildFacts(HANDLE handle, const WalkFolder& parent) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    LARGE_INTEGER index{};
    IO_STATUS_BLOCK io{};
    constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)) ||
        ::NtQueryInformationFile(handle, &io, &index, sizeof(index), kFileInternalInformation) < 0)
        return std::nullopt;
    return OpenedFolder{tag.FileAttributes,
                        {parent.Identity().volumeSerial, static_cast<ULONGLONG>(index.QuadPart)}};
}

// Opens by long path, or relative to a held parent by the last component of the path.
UniqueFile OpenFolderHandle(const std::wstring& longPath, const WalkFolder* parent, DWORD access) {
    if (!parent)
        return UniqueFile(::CreateFileW(longPath.c_str(), access, kFolderSharing, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring_view name = std::wstring_view(longPath).substr(longPath.find_last_of(L'\\') + 1);
    return OpenRelative(parent->Handle(), name, access, kFolderOptions, FILE_OPEN, kFolderSharing);
}

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
    return info;
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber, (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::wstring_view LastComponent(std::wstring_view path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

std::wstring_view ParentOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring_view::npos ? std::wstring_view() : path.substr(0, slash);
}

std::wstring_view WithoutTrailingBackslashes(std::wstring_view path) {
    while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

std::wstring_view WithoutTrailingDotsAndBlanks(std::wstring_view name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.remove_suffix(1);
    return name;
}

// The final path must be the parent's final path plus the listed name. Some systems (Wine)
// report a name without its trailing dots; the file ID has already told that it is the
// listed folder, so only the place is at stake and the name is compared without them.
// Where the system cannot tell a final path, the file ID alone must have matched.
bool IsAtListedPlace(std::wstring_view finalPath, const ListedFolder& listed) {
    if (finalPath.empty() || listed.parentFinalPath.empty()) return listed.fileIndex != 0;
    if (!EqualsNoCase(ParentOf(finalPath), WithoutTrailingBackslashes(listed.parentFinalPath))) return false;
    return EqualsNoCase(WithoutTrailingDotsAndBlanks(LastComponent(finalPath)),
                        WithoutTrailingDotsAndBlanks(LastComponent(listed.longPath)));
}

bool VolumesNumberedByDriveLetter() {
    static const bool wine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

}  // namespace

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

// A name the system reads as a device in any folder ("NUL.txt" and "CON " too).
bool IsDeviceName(std::wstring_view component) {
    std::wstring_view base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (EqualsNoCase(base, device)) return true;
    if (base.size() != 4 || !(StartsWithNoCase(base, L"COM") || StartsWithNoCase(base, L"LPT"))) return false;
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

// One component that names exactly one entry of its folder, as written.
bool IsExactComponent(std::wstring_view component) {
    if (component.empty() || component == L"." || component == L"..") return false;
    if (component.back() == L'.' || component.back() == L' ') return false;
    if (component.find_first_of(L"<>:\"|?*") != std::wstring_view::npos) return false;
    if (std::any_of(component.begin(), component.end(), [](wchar_t c) { return c < 0x20; })) return false;
    return !IsDeviceName(component);
}

// Every component below the drive or share; one trailing separator is allowed.
bool HasExactComponents(std::wstring_view rest, size_t required) {
    if (!rest.empty() && rest.back() == L'\\') rest.remove_suffix(1);
    size_t count = 0;
    for (size_t start = 0; !rest.empty() && start <= rest.size(); ++count) {
        const size_t end = std::min(rest.find(L'\\', start), rest.size());
        if (!IsExactComponent(rest.substr(start, end - start))) return false;
        start = end + 1;
    }
    return count >= required;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

std::optional<GatedPath> GatePath(const std::wstring& path, PathOrigin origin) {
    std::wstring slashed = ReplaceAll(path, L"/", L"\\");
    const bool prefixed = StartsWith(slashed, kLongPrefix);
    const bool share = StartsWith(slashed, kLongUncPrefix) || (!prefixed && StartsWith(slashed, L"\\\\"));
    const size_t bodyStart = StartsWith(slashed, kLongUncPrefix) ? std::size(kLongUncPrefix) - 1
                             : prefixed                        ? std::size(kLongPrefix) - 1
                             : share                           ? 2
                                                               : 0;
    const std::wstring_view body = std::wstring_view(slashed).substr(bodyStart);
    if (share) {
        if (!HasExactComponents(body, 2)) return std::nullopt;  // server and share at least
    } else if (body.size() < 3 || !IsDriveLetter(body[0]) || body[1] != L':' || body[2] != L'\\' ||
               !HasExactComponents(body.substr(3), 0)) {
        return std::nullopt;
    }
    if (!prefixed &&
        !EqualsNoCase(WithoutTrailingSeparators(FullPathName(slashed)), WithoutTrailingSeparators(slashed)))
        return std::nullopt;
    std::wstring longPath = (share ? kLongUncPrefix : kLongPrefix) + std::wstring(body);
    return GatedPath(std::move(slashed), std::move(longPath), origin);
}

std::wstring FinalPathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1);
    }
    return {};
}

bool IsLinkByName(const std::wstring& longPath) {
    const DWORD attributes = ::GetFileAttributesW(longPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsSameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.fileIndex == b.fileIndex && (a.volumeSerial == b.volumeSerial || VolumesNumberedByDriveLetter());
}

std::optional<FileIdentity> IdentityOf(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::nullopt;
    const auto info = InformationOf(file.get());
    if (!info) return std::nullopt;
    return IdentityFrom(*info);
}

std::optional<WalkFolder> WalkFolder::OpenTop(const GatedPath& path, FolderAccess access) {
    CurrentWalkHooks().BeforeDescend(path.LongPath());
    std::optional<WalkFolder> folder = Open(path.LongPath(), nullptr, nullptr, access);
    // Where the system cannot name the folder, it cannot be shown to be still where it was listed.
    if (folder && path.IsListed() &&
        (folder->FinalPath().empty() || !EqualsNoCase(WithoutTrailingBackslashes(folder->FinalPath()),
                                                      WithoutTrailingBackslashes(path.LongPath())))) {
        ::SetLastError(kErrorNotTheListedFolder);
        return std::nullopt;
    }
    return folder;
}

std::optional<WalkFolder> WalkFolder::OpenListed(const ListedFolder& listed, FolderAccess access) {
    if (listed.IsLink()) return std::nullopt;
    CurrentWalkHooks().BeforeDescend(listed.longPath);
    return Open(listed.longPath, &listed, nullptr, access);
}

std::optional<WalkFolder> WalkFolder::OpenChild(const ListedFolder& listed, FolderAccess access) const {
    if (listed.IsLink()) return std::nullopt;
    CurrentWalkHooks().BeforeDescend(listed.longPath);
    return Open(listed.longPath, &listed, this, access);
}

std::optional<WalkFolder> WalkFolder::Open(const std::wstring& longPath, const ListedFolder* listed,
                                           const WalkFolder* parent, FolderAccess access) {
    if (longPath.empty()) return std::nullopt;
    if (listed && IsOutlookOrOfficeFolder(listed->Name())) {
        ::SetLastError(kErrorSparedFolder);
        return std::nullopt;
    }
    // The name is asked too: where the system opens a link's target instead of the link
    // (Wine), only the listing by name still shows the link. Relative to a held parent,
    // so a deep walk does not resolve the whole path again at every level.
    const std::wstring_view name = LastComponent(longPath);
    if (parent ? IsLinkIn(parent->Handle(), name) : IsLinkByName(longPath)) {
        ::SetLastError(kErrorNotTheListedFolder);
        return std::nullopt;
    }
    DWORD removeRefusal = access == FolderAccess::Delete ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    UniqueFile handle = OpenFolderHandle(longPath, parent, removeRefusal ? kFolderAccess : kRemovingAccess);
    if (!handle && !removeRefusal) {
        // A folder the user may empty but not remove (or that another program holds as its
        // current folder) is still emptied.
        removeRefusal = ::GetLastError();
        if (removeRefusal == ERROR_SUCCESS) removeRefusal = ERROR_ACCESS_DENIED;
        handle = OpenFolderHandle(longPath, parent, kFolderAccess);
    }
    if (!handle) return std::nullopt;
    const std::optional<OpenedFolder> opened = parent ? ChildFacts(handle.get(), *parent) : FolderFacts(handle.get());
    // Where the system cannot name the parent (Wine past the classic length) it cannot name
    // the child either: the file ID alone then proves it, as below.
    std::wstring finalPath = parent && parent->FinalPath().empty() ? std::wstring() : FinalPathOf(handle.get());
    bool same = opened && (opened->attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(opened->attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (same && listed) {
        same = opened->identity.volumeSerial == listed->volumeSerial &&
               (listed->fileIndex == 0 || opened->identity.fileIndex == listed->fileIndex) &&
               IsAtListedPlace(finalPath, *listed);
    }
    if (!same) {
        ::SetLastError(kErrorNotTheListedFolder);
        return std::nullopt;
    }
    return WalkFolder(longPath, std::move(handle), std::move(finalPath), opened->identity, removeRefusal);
}

bool IsOutlookOrOfficeFolder(std::wstring_view name) {
    return EqualsNoCase(name, L"Content.Outlook") || EqualsNoCase(name, L"Content.MSO") ||
           EqualsNoCase(name, L"Content.Word") || StartsWithNoCase(name, L"OLK");
}

ListedFolder WalkFolder::Keep(const ListedEntry& entry) const {
    return {ChildPath(entry.name), entry.attributes, entry.fileIndex, finalPath_, identity_.volumeSerial};
}

std::wstring WalkFolder::ChildPath(std::wstring_view name) const {
    std::wstring path;
    path.reserve(longPath_.size() + 1 + name.size());
    path = longPath_;
    if (path.back() != L'\\') path += L'\\';
    path += name;
    return path;
}

bool WalkFolder::ReadEntries(std::vector<unsigned char>& buffer, bool restart, std::wstring_view mask) const {
    if (mask.empty())
        return ::GetFileInformationByHandleEx(handle_.get(),
                                              restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                                              buffer.data(), static_cast<DWORD>(buffer.size())) != FALSE;
    // The Win32 listing calls take no mask on a handle; the system's own call does.
    std::wstring name(mask);
    UNICODE_STRING pattern{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                           static_cast<USHORT>(name.size() * sizeof(wchar_t)), name.data()};
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = NtQueryDirectoryFile(handle_.get(), nullptr, nullptr, nullptr, &status, buffer.data(),
                                                 static_cast<ULONG>(buffer.size()), FileIdBothDirectoryInformation,
                                                 FALSE, &pattern, restart ? TRUE : FALSE);
    if (result >= 0) return true;
    ::SetLastError(result == kStatusNoMoreFiles || result == kStatusNoSuchFile ? ERROR_NO_MORE_FILES
                                                                               : ::RtlNtStatusToDosError(result));
    return false;
}

ScopedWalkHooks::ScopedWalkHooks(WalkHooks& hooks) : previous_(activeHooks) { activeHooks = &hooks; }
ScopedWalkHooks::~ScopedWalkHooks() { activeHooks = previous_; }
WalkHooks& CurrentWalkHooks() { return *activeHooks; }

DWORD WalkHooks::FolderAttributes(const WalkFolder& folder) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(folder.Handle(), FileBasicInfo, &basic, sizeof(basic)))
        return INVALID_FILE_ATTRIBUTES;
    return basic.FileAttributes;
}

bool RemoveEmptiedFolder(const WalkFolder& folder) {
    if (!folder.MayRemove()) {
        ::SetLastError(folder.RemoveRefusal());
        return false;
    }
    WalkHooks& hooks = CurrentWalkHooks();
    const DWORD attributes = hooks.FolderAttributes(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        hooks.SetFolderAttributes(folder, WithoutReadOnly(attributes));
    return hooks.RemoveFolder(folder);
}

bool IsOpenedLink(const UniqueFile& link) {
    if (!link) return false;
    FILE_ATTRIBUTE_TAG_INFO opened{};
    if (!::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &opened, sizeof(opened)) ||
        !(opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::SetLastError(ERROR_NOT_A_REPARSE_POINT);
        return false;
    }
    return true;
}

UniqueFile OpenListedLink(const WalkFolder& folder, std::wstring_view name) {
    return OpenRelative(folder.Handle(), name, DELETE | FILE_READ_ATTRIBUTES,
                        FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT);
}

namespace {

// Deletes a link through a handle opened on it. Where the system opened the target
// instead of the link (Wine does), deleting through this handle would remove the target:
// only a handle on the link may go.
bool RemoveOpenedLink(const UniqueFile& link) { return IsOpenedLink(link) && DeleteThroughHandle(link.get()); }

}  // namespace

bool RemoveLink(const WalkFolder& folder, std::wstring_view name) {
    return RemoveOpenedLink(OpenListedLink(folder, name));
}

bool RemoveLink(const std::wstring& longPath) {
    return RemoveOpenedLink(UniqueFile(::CreateFileW(longPath.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

}  // namespace qm
