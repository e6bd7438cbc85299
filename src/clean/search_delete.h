#pragma once
// File search and deletion of the cleaning engine: the tree searches that fill the main
// window's previews and the tree delete that empties a folder (on the one deleting routine,
// held_delete.h). All of them go through the one folder walk (folder_walk.h): exact long
// paths, links never entered, each subfolder proved to be the one listed before it is entered.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "clean/deletion_guard.h"
#include "clean/folder_walk.h"
#include "clean/held_delete.h"

namespace qm {

class AppContext;

// Lists what remains below folder (which ends in a backslash) by SearchSpec. The tag
// chooses the list that receives the bare file names: "MSIE" (each file is also handed
// to the Internet Explorer cookie reader), "FireFox", "NS2"; any other tag only counts.
void SearchForFiles(AppContext& ctx, const std::wstring& folder, const std::wstring& tag);
// The same below a folder the caller holds (a cleaned root), spelled folder in the lists.
void SearchForFiles(AppContext& ctx, const WalkFolder& held, const std::wstring& folder, const std::wstring& tag);
// The same walk; frmMain's List2 receives the full paths.
void SearchForFiles2(AppContext& ctx, const std::wstring& folder);

// Empties a folder that passed the guard, counting each removed file through the progress
// tick, and removes every folder of it (the root too when removeRoot). Stops at the first
// subfolder that cannot be removed, leaving the later ones untouched. Returns 0 or the
// system's error number of the step that failed.
std::int32_t DelTree(AppContext& ctx, GuardedRoot& root, bool removeRoot);
// The same for a folder judged here as a user folder: one trailing backslash is cut from
// folder, and the folder itself is removed when that differs from root (a folder stored
// with a trailing backslash goes too). -1 when the guard refuses it (a folder written with
// leading or trailing blanks among others: it is never trimmed into another folder).
// passthrough is handed down unchanged.
std::int32_t DelTree(AppContext& ctx, const std::wstring& folder, const std::wstring& root, bool passthrough);
// folder as DelTree judges it: without one trailing backslash.
std::wstring DelTreeFolder(const std::wstring& folder);

// The short (8.3) form of an existing path; "" when the path does not exist.
std::wstring GetShortPath(const std::wstring& path);

// The form of a path that the wide file functions take at any length ("\\?\C:\..."),
// made absolute first so that "/" and "." / ".." segments are resolved.
std::wstring LongPathForm(const std::wstring& path);
// A path without its long-path prefix, as users see it.
std::wstring WithoutLongPrefix(const std::wstring& path);
// True for a path that names a folder by itself: "X:\..." or "\\server\share\..." (also behind
// "\\?\"); "C:", "C:name" and "\name" depend on a current drive or folder.
bool IsFullPath(const std::wstring& path);
// True for the root of a drive or network share in any spelling ("C:\", "c:/", "C:\Windows\..").
bool IsDriveRoot(const std::wstring& path);

}  // namespace qm
