#include "clean/deletion_guard.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "base/text.h"
#include "clean/search_delete.h"

namespace qm {

namespace {

// Device namespaces name volumes and devices, never a plain folder to empty.
bool IsDeviceSpelling(const std::wstring& path) {
    return StartsWithNoCase(path, L"\\\\?\\Volume{") || StartsWithNoCase(path, L"\\\\?\\GLOBALROOT") ||
           StartsWith(path, L"\\\\.\\");
}

// The root of its volume, however it was reached: the system names it "\" without a volume.
bool IsVolumeRoot(const WalkFolder& folder) {
    wchar_t name[4] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(folder.Handle(), name, 4, VOLUME_NAME_NONE);
    return length == 1 && name[0] == L'\\';
}

int ShellFolderAllowedAsRoot(RootKind kind) {
    switch (kind) {
        case RootKind::InternetCache: return CSIDL_INTERNET_CACHE;
        case RootKind::CookieStore: return CSIDL_COOKIES;
        default: return -2;  // no table folder at all
    }
}

const wchar_t* Subject(RootKind kind) {
    switch (kind) {
        case RootKind::Temp: return L"The Temp Variable";
        case RootKind::UserFolder: return L"Your Folder";
        case RootKind::InternetCache: return L"The Cache Location";
        case RootKind::CookieStore: return L"The Cookie Location";
    }
    return L"The Folder";
}

}  // namespace

GuardVerdict DeletionGuard::Check(const std::wstring& path, RootKind kind, PathOrigin origin) const {
    if (TrimSpaces(path).empty()) return {RootRefusal::Empty, std::nullopt};
    if (IsDeviceSpelling(path)) return {RootRefusal::DriveRoot, std::nullopt};
    if (!IsFullPath(path)) return {RootRefusal::NotFullPath, std::nullopt};
    if (IsDriveRoot(path)) return {RootRefusal::DriveRoot, std::nullopt};
    const std::optional<GatedPath> gated = GatePath(path, origin);
    if (!gated) return {RootRefusal::NotExact, std::nullopt};
    return Check(*gated, kind);
}

GuardVerdict DeletionGuard::Check(const GatedPath& path, RootKind kind) const {
    if (IsDriveRoot(path.Path())) return {RootRefusal::DriveRoot, std::nullopt};
    if (IsLinkByName(path.LongPath())) return {RootRefusal::Link, std::nullopt};
    auto folder = WalkFolder::OpenTop(path, FolderAccess::Delete);
    if (!folder) {
        const bool link = ::GetLastError() == kErrorNotTheListedFolder;
        return {link ? RootRefusal::Link : RootRefusal::CannotOpen, std::nullopt};
    }
    const RootRefusal refusal = JudgeRoot(protected_, *folder, kind);
    if (refusal != RootRefusal::None) return {refusal, std::nullopt};
    return {RootRefusal::None, GuardedRoot(std::move(*folder))};
}

RootRefusal JudgeRoot(const ProtectedFolders& protectedFolders, const WalkFolder& folder, RootKind kind) {
    if (IsVolumeRoot(folder)) return RootRefusal::DriveRoot;
    const FileIdentity& identity = folder.Identity();
    if (protectedFolders.HoldsProtected(identity)) return RootRefusal::Protected;
    if (kind == RootKind::UserFolder)
        return IsRefusedSystemFolder(protectedFolders, folder.FinalPath(), identity) ? RootRefusal::Protected
                                                                                : RootRefusal::None;
    const auto ids = protectedFolders.TableIdsOf(identity);
    const int allowed = ShellFolderAllowedAsRoot(kind);
    const bool refused = std::any_of(ids.begin(), ids.end(), [&](int id) { return id != allowed; });
    return refused ? RootRefusal::Protected : RootRefusal::None;
}

bool IsProtectedRoot(const ProtectedFolders& protectedFolders, const WalkFolder& folder) {
    return JudgeRoot(protectedFolders, folder, RootKind::InternetCache) != RootRefusal::None &&
           JudgeRoot(protectedFolders, folder, RootKind::CookieStore) != RootRefusal::None;
}

std::wstring RefusalText(RootKind kind, RootRefusal refusal, const std::wstring& path) {
    const std::wstring subject = Subject(kind);
    const std::wstring named = kCrLf + std::wstring(kCrLf) + path;
    switch (refusal) {
        case RootRefusal::None: return {};
        case RootRefusal::Empty: return subject + L" Is Empty.";
        case RootRefusal::NotFullPath: return subject + L" Is Not A Full Path:" + named;
        case RootRefusal::DriveRoot: return subject + L" Names The Root Of A Drive:" + named;
        case RootRefusal::Link: return subject + L" Names A Link To Another Folder:" + named;
        case RootRefusal::CannotOpen: return subject + L" Names A Folder That Cannot Be Opened:" + named;
        case RootRefusal::NotExact:
            return subject + L" Is Not Written As Windows Names The Folder (Blanks Or Dots At The End Of A Name," +
                   L" \".\" Or \"..\"):" + named;
        case RootRefusal::Protected: return subject + L" Names A System Folder:" + named;
    }
    return {};
}

std::wstring NotCleanedHeading(RootKind kind) {
    switch (kind) {
        case RootKind::Temp: return L"Your Temp Folder Was Not Cleaned.";
        case RootKind::UserFolder: return L"One Of Your Folders Was Not Cleaned.";
        case RootKind::InternetCache: return L"A Browser Cache Was Not Cleaned.";
        case RootKind::CookieStore: return L"A Cookie Store Was Not Cleaned.";
    }
    return {};
}

}  // namespace qm
