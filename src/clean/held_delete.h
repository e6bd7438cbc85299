#pragma once
// The one deleting routine of every clean: Temp, the browser caches, the Internet Explorer
// cookie files, the user's folders, the Firefox session files and start-up's tidy-up.
//
// Every file is removed while the walk holds the folder it was listed in (a folder that
// passed the guard, or a subfolder proved to be the one listed): it is opened relative to
// that folder's handle by its listed name and deleted through its own handle. Nothing is
// ever deleted by a path resolved again, so a folder swapped for a junction, or "X." read
// as "X", cannot send a delete elsewhere. A listed subfolder is entered only when it is
// still the folder listed; one that is not is skipped and reported.
//
// Two seams, both set on the AppContext (AppContext::deletes):
//  - Remover: the only calls that remove anything. PlatformRemover() removes; a preview puts
//    in one that only records, and everything else (guard, walk, which files go, which
//    folders are spared) stays the same code.
//  - DeleteObserver: told of every item removed or left, and why.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clean/folder_walk.h"

namespace qm {

class AppContext;

enum class ItemKind { File, Folder, Link };

// Why an item stays.
enum class SkipReason {
    None,                // removed
    InUse,               // another program holds it (a sharing or lock violation)
    AccessDenied,        // the system refuses it to this user
    NotEmpty,            // a folder that still holds something that stayed or was spared
    SparedFolder,        // an Outlook or Office folder: never entered
    NotTheListedFolder,  // swapped, moved or turned into a link since it was listed
    Failed,              // any other failure of the system
};

struct DeleteEvent {
    std::wstring_view path;  // exact long path, as listed
    ItemKind kind;
    SkipReason reason;  // None: removed
    DWORD error;        // the system's error number where it gave one
};

class DeleteObserver {
public:
    virtual ~DeleteObserver() = default;
    virtual void Seen(const DeleteEvent& event) = 0;
};

// The seam of the removing calls. Each returns 0 when the item is gone (or, for a preview,
// would be), else the system's error number.
class Remover {
public:
    virtual ~Remover() = default;
    // A file listed in a held folder, by its listed name; listedAttributes as listed.
    virtual DWORD RemoveFile(const WalkFolder& folder, std::wstring_view name, DWORD listedAttributes) = 0;
    // A directory link listed in a held folder: the link, never its target.
    virtual DWORD RemoveLink(const WalkFolder& folder, std::wstring_view name) = 0;
    // A held folder whose content has been dealt with, through its own handle.
    virtual DWORD RemoveFolder(const WalkFolder& folder) = 0;
};
// A file listed in a held folder, opened as the platform's remover opens it to delete it
// (a file only, a link as itself); a preview opens it so to learn whether the delete would
// be let through, and the file's size.
UniqueFile OpenListedFileForDelete(const WalkFolder& folder, std::wstring_view name);
// Removes for real: NtCreateFile relative to the held folder (FILE_OPEN_REPARSE_POINT) with
// FILE_DELETE_ON_CLOSE, the file going as that handle closes; a read-only file is opened
// plainly, its bit cleared through its handle, then FileDispositionInformation.
Remover& PlatformRemover();

// Where a clean's removals go; set by a preview or a report, the platform's otherwise.
struct DeleteSeams {
    Remover* remover = nullptr;          // nullptr: PlatformRemover()
    DeleteObserver* observer = nullptr;  // told of every event, after the clean's own reaction
};

enum class OnFailedSubfolder { Stop, GoOn };

// Which files of a tree go; relative is the path below the top folder ("sub\name").
using FileChoice = std::function<bool(std::wstring_view relative)>;

// One clean's deleting pass. Walks iteratively (any depth, no recursion).
class DeletePass {
public:
    // Removes through ctx.deletes (the platform unless a preview set a remover).
    explicit DeletePass(AppContext& ctx);
    DeletePass(Remover& remover, DeleteObserver* observer) : remover_(remover), observer_(observer) {}

    // The clean's own reaction to each event (counting, scheduling for the restart).
    DeletePass& OnEvent(std::function<void(const DeleteEvent&)> react) {
        react_ = std::move(react);
        return *this;
    }

    // Deletes the files of a held folder that choose picks (all when empty) and, when
    // recurse, those of its subfolders; links are never entered, no folder is removed.
    void DeleteFiles(const WalkFolder& top, bool recurse, const FileChoice& choose = {});
    // Empties a held folder: its files, then each subfolder with everything in it. Stop ends
    // at the first subfolder that stays, leaving the later ones untouched; GoOn removes what
    // it can. 0, or the system's error number of the step that failed.
    std::int32_t Empty(const WalkFolder& folder, OnFailedSubfolder rule);
    // A held folder's subfolders as listed (links too); Outlook's and Office's folders, which
    // every pass leaves whole wherever it meets them, are reported and left out.
    std::vector<ListedFolder> Subfolders(const WalkFolder& folder);
    // A subfolder listed in a held folder, opened to be walked; one that is no longer the
    // folder listed is reported, and nothing is returned (the last error says why).
    std::optional<WalkFolder> Enter(const WalkFolder& parent, const ListedFolder& listed, FolderAccess access);
    // A subfolder listed in a held folder, with everything in it; a link goes as a link.
    // 0 when it is gone.
    std::int32_t RemoveSubfolder(const WalkFolder& parent, const ListedFolder& listed, OnFailedSubfolder rule);
    // The held folder itself, once emptied. 0 when it is gone.
    std::int32_t RemoveEmptied(const WalkFolder& folder);
    // One file listed in a held folder, by its listed name. True when it is gone.
    bool DeleteFile(const WalkFolder& folder, std::wstring_view name, DWORD listedAttributes = 0);
    // The files the pass would meet in a held folder and its subfolders (links not entered,
    // Outlook's and Office's folders left out), found by the same walk without removing or
    // reporting anything.
    std::uint64_t CountFiles(const WalkFolder& top);

private:
    struct Frame;
    // The walk behind DeleteFiles, Empty and RemoveSubfolder.
    std::int32_t Walk(const WalkFolder& top, bool recurse, bool removeFolders, OnFailedSubfolder rule,
                      const FileChoice& choose);
    bool Spared(const ListedFolder& listed);
    void Tell(std::wstring_view path, ItemKind kind, SkipReason reason, DWORD error);
    std::int32_t Outcome(std::wstring_view path, ItemKind kind, DWORD error);

    Remover& remover_;
    DeleteObserver* observer_ = nullptr;
    std::function<void(const DeleteEvent&)> react_;
    AppContext* progressOf_ = nullptr;  // the run whose progress bar follows the files dealt with
    std::optional<std::uint64_t> counted_;  // set while the pass only counts
};

}  // namespace qm
