#pragma once
// The system-folder guard: system folders (and the folders that hold them) are refused as
// targets of the destructive cleans, in whatever spelling they are given. Folders are
// compared by identity (volume and file ID), so a substituted drive, a junction on the
// way and 8.3 names all lead to the same answer.
#include <optional>
#include <string>
#include <vector>

#include "clean/folder_walk.h"

namespace qm {

class AppContext;
class UiHost;

// "C:\" and the shell folders 0 to 11 and 16 to 48, upper case (empty where unknown),
// looked up with the main window as owner, as the user-folder editor does.
std::vector<std::wstring> SystemFolderTable(UiHost& ui);
// The same folders looked up without a window, for the cleans that run without one.
std::vector<std::wstring> SystemFolderTable();
// The shell folder id of each table entry, in table order; -1 for the drive root.
const std::vector<int>& SystemFolderTableIds();

// A spelling-independent form for comparing folders: absolute, "\" separators, "." and
// ".." resolved, short (8.3) names of existing folders expanded, no trailing
// backslash, upper case. "" for an empty path.
std::wstring ComparablePath(const std::wstring& path);

// The folders of the table as they exist now, known by identity, and every folder above them.
class ProtectedFolders {
public:
    explicit ProtectedFolders(const std::vector<std::wstring>& table);
    static ProtectedFolders Load() { return ProtectedFolders(SystemFolderTable()); }

    // The shell folder ids of the table entries that this folder is (-1: the drive root entry).
    std::vector<int> TableIdsOf(const FileIdentity& folder) const;
    // True when the folder holds a protected folder somewhere below it.
    bool HoldsProtected(const FileIdentity& folder) const;

private:
    std::vector<std::pair<FileIdentity, int>> tableFolders_;
    std::vector<FileIdentity> ancestors_;
};

// The editor's judgement without telling anyone: true when a folder may not be a user folder.
// realPath is where the folder really is (the final path of the handle the caller holds,
// links and junctions resolved; "" when the system cannot tell) and identity its identity.
// Folders whose real path holds "Temporary Internet Files", "Temp" or "Cookies" (exact case)
// pass, unless they are a drive root, a profile, the Windows, system or program folders, or
// hold a protected one; any other folder is refused when it is a protected folder or holds one.
bool IsRefusedSystemFolder(const ProtectedFolders& protectedFolders, const std::wstring& realPath,
                           const FileIdentity& identity);

// The user-folder editor's check: as IsRefusedSystemFolder; a path that gets past the
// shortcuts is upper-cased in the caller's variable, and when refused isSystem is set and the
// user is told (Label15 shows a warning while the box is up). isSystem is left as it was otherwise.
void SysCheck(AppContext& ctx, std::wstring& path, bool& isSystem);

}  // namespace qm
