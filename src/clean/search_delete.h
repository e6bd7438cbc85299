#pragma once
// File search and deletion of the cleaning engine: the tree searches that fill the main
// window's previews, the tree delete that empties a folder, the file collector, and the
// "delete with force" operations the cleans share.
//
// No walk ever enters a directory that is a reparse point (junction, symbolic link,
// mount point): such a directory is removed as a link, its target is never touched.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

class AppContext;

// Lists what remains below folder (which ends in a backslash) by SearchSpec. The tag
// chooses the list that receives the bare file names: "MSIE" (each file is also handed
// to the Internet Explorer cookie reader), "FireFox", "NS2"; any other tag only counts.
void SearchForFiles(AppContext& ctx, const std::wstring& folder, const std::wstring& tag);
// The same walk; frmMain's List2 receives the full paths.
void SearchForFiles2(AppContext& ctx, const std::wstring& folder);

// Empties folder's tree, counting each removed file through the progress tick, and
// removes every folder of it except root. Stops at the first subfolder that cannot be
// removed, leaving the later ones untouched. Returns 0, -1 when the folder is refused
// (empty, a bare drive, not a folder, a link kept as root) or the system's error number
// of the removal that failed. passthrough is handed down unchanged.
std::int32_t DelTree(AppContext& ctx, const std::wstring& folder, const std::wstring& root, bool passthrough);

// The short (8.3) form of an existing path; "" when the path does not exist.
std::wstring GetShortPath(const std::wstring& path);

// A file collected by SelectFiles: its full path and its attributes after the reset.
struct FileItem {
    std::wstring path;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

// A direct subfolder of a folder: its full path and the attributes the listing reported.
struct FolderItem {
    std::wstring path;
    DWORD attributes = FILE_ATTRIBUTE_DIRECTORY;
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// Appends every file of path (and, when asked, of its subfolders, depth first; a
// folder's files before its subfolders) to list, resetting the attributes of every file
// and folder met to normal. Errors are skipped.
void SelectFiles(const std::wstring& path, std::vector<FileItem>& list, bool includeSubfolders);

// Deletes one file, resetting a read-only attribute first. False when it stays.
bool DeleteWithForce(const FileItem& file);

// The direct subfolders of path, links included, in the order the file system reports.
std::vector<FolderItem> SubFolders(const std::wstring& path);

// Deletes a folder with everything in it that can go; a link is removed as a link.
// A folder that still holds an item in use stays (with the rest of its content gone).
// True when the folder itself is gone.
bool DeleteWithForce(const FolderItem& folder);

// Removes a directory link itself, never its target. False when the link stays (also
// where the system cannot open the link apart from its target, as Wine).
bool RemoveLink(const std::wstring& path);

// The form of a path that the wide file functions take at any length ("\\?\C:\..."),
// made absolute first so that "/" and "." / ".." segments are resolved.
std::wstring LongPathForm(const std::wstring& path);
// A path without its long-path prefix, as users see it.
std::wstring WithoutLongPrefix(const std::wstring& path);
// True for the root of a drive or network share in any spelling ("C:\", "c:/", "C:\Windows\..").
bool IsDriveRoot(const std::wstring& path);

}  // namespace qm
