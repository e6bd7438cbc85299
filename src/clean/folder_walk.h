#pragma once
// The one way the cleaning engine goes through folders. A folder is held open while it is
// walked, its entries are listed through that handle, and a subfolder is entered only after
// the handle opened on it proves that it is still the folder the listing reported: not a
// link, the same file ID, and its final path the parent's final path plus the listed name.
// Paths are exact long forms ("\\?\" + the listed names) and never resolved again by name,
// so "X." can never turn into "X" (which may be a link) on the way to a delete call.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"
#include "base/relative_files.h"

namespace qm {

// The error a walk leaves when a folder is a link or no longer the folder that was listed
// (ERROR_REPARSE_POINT_ENCOUNTERED, which not every SDK names).
inline constexpr DWORD kErrorNotTheListedFolder = 4395;
// The error a walk leaves for an Outlook or Office folder it does not enter (an
// application's own number).
inline constexpr DWORD kErrorSparedFolder = 0x20000001;

// The Outlook and Office folders (attachments opened from mail, often the only edited
// copy): "Content.Outlook", "Content.MSO", "Content.Word" and "OLK..." folders. No walk
// enters one: not a clean's, a search's or discovery's.
bool IsOutlookOrOfficeFolder(std::wstring_view name);

// What makes a file or folder the one it is, whatever the spelling of its path (a
// substituted drive, a junction on the way, 8.3 names): its volume and its file ID.
struct FileIdentity {
    DWORD volumeSerial = 0;
    ULONGLONG fileIndex = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// True when two identities name the same file. Wine numbers a volume by the drive letter
// the path was opened through, so that two letters for one folder (a substituted drive)
// would seem to be two volumes: there only the file IDs are compared, which can only make a
// protected folder match more often.
bool IsSameFile(const FileIdentity& a, const FileIdentity& b);

// The path the system knows an opened file by ("\\?\C:\..."); "" where it cannot tell (Wine
// cannot for paths past the classic length).
std::wstring FinalPathOf(HANDLE handle);
// True when the listing of a path shows a link. Where the system opens a link's target
// instead of the link (Wine), only this still tells.
bool IsLinkByName(const std::wstring& longPath);

// Where a path came from: discovery's list (its locations, made of shell folders, index
// files and listed names), or given otherwise (settings, the registry, the environment).
enum class PathOrigin { Given, Listing };

// A full path from outside data that passed the one gate (GatePath): written exactly as the
// system names it, so that nothing on the way can turn it into another folder ("X." into "X",
// "a\..\b" into "b", "NUL.txt" into a device). Only the gate makes one; the guard, the walk
// and every clean take one. Its long form is "\\?\" + the path as written, never resolved again.
class GatedPath {
public:
    // The path as given ("/" read as "\").
    const std::wstring& Path() const { return path_; }
    // "\\?\C:\..." or "\\?\UNC\server\share\...".
    const std::wstring& LongPath() const { return longPath_; }
    // A location of discovery's list: a folder opened from it must still be where it was listed
    // (its final path is the path itself), so that a parent swapped for a link is never followed.
    bool IsListed() const { return origin_ == PathOrigin::Listing; }

private:
    friend std::optional<GatedPath> GatePath(const std::wstring& path, PathOrigin origin);
    GatedPath(std::wstring path, std::wstring longPath, PathOrigin origin)
        : path_(std::move(path)), longPath_(std::move(longPath)), origin_(origin) {}
    std::wstring path_;
    std::wstring longPath_;
    PathOrigin origin_;
};

// The one gate for every path that comes from outside data (index files, settings, the
// registry, the environment, shell folders, discovery's list). It refuses, never trims or
// resolves: a path that is not full, a "." or ".." component, an empty component, a component
// ending in "." or " ", a device name ("CON", "NUL.txt"), a stream (":"), a wildcard or control
// character, or a path GetFullPathNameW would change. Nothing when refused.
std::optional<GatedPath> GatePath(const std::wstring& path, PathOrigin origin = PathOrigin::Given);

// The identity of whatever path opens (links followed); nothing when it cannot be opened.
std::optional<FileIdentity> IdentityOf(const std::wstring& path);

// One entry of a listing, valid during the visit only.
struct ListedEntry {
    std::wstring_view name;
    DWORD attributes = 0;
    ULONGLONG fileIndex = 0;  // 0 where the file system does not tell

    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// A subfolder kept from a listing for later: enough to open it and prove it is the same.
struct ListedFolder {
    std::wstring longPath;         // exact: the parent's long path + "\" + the listed name
    DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
    ULONGLONG fileIndex = 0;
    std::wstring parentFinalPath;  // what the system called the parent when it was listed ("" unknown)
    DWORD volumeSerial = 0;

    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // The name it was listed by.
    std::wstring_view Name() const { return std::wstring_view(longPath).substr(longPath.find_last_of(L'\\') + 1); }
};

// What a walk will do with the folders it holds: only list them, or also remove what is in
// them and, once emptied, the folder itself (through the held handle, which then carries
// the right to delete and to clear a read-only bit).
enum class FolderAccess { List, Delete };

// A folder held open for its walk. The handle does not share delete access, so nobody can
// rename or remove the folder (or put a link in its place) while it is held.
class WalkFolder {
public:
    // Opens a top folder; nothing when it is missing, not a folder or a link, or (a listed
    // path) when its final path is not the path itself: a folder above it turned into a link
    // since it was listed (the last error is then kErrorNotTheListedFolder).
    static std::optional<WalkFolder> OpenTop(const GatedPath& path, FolderAccess access = FolderAccess::List);
    // Opens a folder kept from a listing by its long path, when it is still that folder.
    static std::optional<WalkFolder> OpenListed(const ListedFolder& listed, FolderAccess access = FolderAccess::List);

    // A subfolder listed in this folder, opened relative to this folder's handle by its
    // listed name, when it is still the one listed (see OpenListed) and no Outlook or
    // Office folder.
    std::optional<WalkFolder> OpenChild(const ListedFolder& listed, FolderAccess access = FolderAccess::List) const;
    std::optional<WalkFolder> OpenChild(const ListedEntry& entry, FolderAccess access = FolderAccess::List) const {
        return OpenChild(Keep(entry), access);
    }
    // An entry kept for after the listing.
    ListedFolder Keep(const ListedEntry& entry) const;

    // Calls visit(const ListedEntry&) for every entry, in the order the file system reports
    // them; "." and ".." only when asked. False when the folder could not be listed.
    template <class Visit>
    bool ForEachEntry(Visit&& visit, bool withDotEntries = false) const;
    // The same for the entries whose names match mask (the system's wildcards "*" and "?",
    // any letter case) only: no other entry is read. The system keeps the first mask a
    // handle was listed with, so a held folder is listed either whole or by one mask.
    template <class Visit>
    bool ForEachEntryMatching(std::wstring_view mask, Visit&& visit) const;

    // The exact long path of an entry of this folder.
    std::wstring ChildPath(std::wstring_view name) const;
    const std::wstring& LongPath() const { return longPath_; }
    // "" where the system cannot tell.
    const std::wstring& FinalPath() const { return finalPath_; }
    const FileIdentity& Identity() const { return identity_; }
    HANDLE Handle() const { return handle_.get(); }
    // True when the handle may remove the folder (opened for FolderAccess::Delete and granted).
    bool MayRemove() const { return removeRefusal_ == ERROR_SUCCESS; }
    // Else why not: the system's answer to the open for removing (a sharing violation where
    // another program holds the folder), ERROR_ACCESS_DENIED when it was opened to list only.
    DWORD RemoveRefusal() const { return removeRefusal_; }

private:
    WalkFolder(std::wstring longPath, UniqueFile handle, std::wstring finalPath, FileIdentity identity,
               DWORD removeRefusal)
        : longPath_(std::move(longPath)), handle_(std::move(handle)), finalPath_(std::move(finalPath)),
          identity_(identity), removeRefusal_(removeRefusal) {}
    static std::optional<WalkFolder> Open(const std::wstring& longPath, const ListedFolder* listed,
                                          const WalkFolder* parent, FolderAccess access);
    // Fills buffer with the next entries (those matching mask, unless it is empty); false at
    // the end or on failure.
    bool ReadEntries(std::vector<unsigned char>& buffer, bool restart, std::wstring_view mask) const;
    template <class Visit>
    bool VisitEntries(Visit& visit, bool withDotEntries, std::wstring_view mask) const;

    std::wstring longPath_;
    UniqueFile handle_;
    std::wstring finalPath_;
    FileIdentity identity_;
    DWORD removeRefusal_ = ERROR_ACCESS_DENIED;
};

// The folder calls of the walk, replaceable by tests: a point between listing a folder and
// opening a subfolder of it (to swap the subfolder for a link or another folder), and the
// attribute and removal calls for held folders (Wine keeps no read-only bit on folders,
// Windows refuses to remove one).
class WalkHooks {
public:
    virtual ~WalkHooks() = default;
    // Before any folder is opened: a top folder, or a subfolder listed earlier.
    virtual void BeforeDescend(const std::wstring& /*longPath*/) {}
    virtual DWORD FolderAttributes(const WalkFolder& folder);
    virtual bool SetFolderAttributes(const WalkFolder& folder, DWORD attributes) {
        return SetAttributesThroughHandle(folder.Handle(), attributes);
    }
    virtual bool RemoveFolder(const WalkFolder& folder) { return DeleteThroughHandle(folder.Handle()); }
};
// Installs hooks for the lifetime of the object (tests only); the platform's calls otherwise.
class ScopedWalkHooks {
public:
    explicit ScopedWalkHooks(WalkHooks& hooks);
    ~ScopedWalkHooks();
    ScopedWalkHooks(const ScopedWalkHooks&) = delete;
    ScopedWalkHooks& operator=(const ScopedWalkHooks&) = delete;

private:
    WalkHooks* previous_;
};
WalkHooks& CurrentWalkHooks();

// Removes a held, emptied folder through its own handle, clearing a read-only bit first
// (Explorer marks every customised folder read-only). It is gone once the handle closes.
bool RemoveEmptiedFolder(const WalkFolder& folder);

// A directory link listed in a held folder, opened as the link (for deletion), and whether a
// handle is really on a link: where the system opens the target instead (Wine does), it is not,
// and the last error says so.
UniqueFile OpenListedLink(const WalkFolder& folder, std::wstring_view name);
bool IsOpenedLink(const UniqueFile& link);
// Removes a directory link listed in a held folder, the link itself and never its target.
// False when the link stays (also where the system cannot open the link apart from its
// target, as Wine).
bool RemoveLink(const WalkFolder& folder, std::wstring_view name);
// The same for a link named by its exact long path.
bool RemoveLink(const std::wstring& longPath);

template <class Visit>
bool WalkFolder::ForEachEntry(Visit&& visit, bool withDotEntries) const {
    return VisitEntries(visit, withDotEntries, {});
}

template <class Visit>
bool WalkFolder::ForEachEntryMatching(std::wstring_view mask, Visit&& visit) const {
    return !mask.empty() && VisitEntries(visit, false, mask);
}

template <class Visit>
bool WalkFolder::VisitEntries(Visit& visit, bool withDotEntries, std::wstring_view mask) const {
    std::vector<unsigned char> buffer(64 * 1024);
    bool any = false;
    for (bool restart = true; ReadEntries(buffer, restart, mask); restart = false) {
        any = true;
        for (size_t offset = 0;;) {
            const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + offset);
            const std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
            if (withDotEntries || (name != L"." && name != L".."))
                visit(ListedEntry{name, info.FileAttributes, static_cast<ULONGLONG>(info.FileId.QuadPart)});
            if (info.NextEntryOffset == 0) break;
            offset += info.NextEntryOffset;
        }
    }
    return any || ::GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace qm
