#pragma once
// The system-folder guard: system folders (and the folders that hold them) are refused
// as targets of the destructive cleans, in whatever spelling they are given.
#include <string>
#include <vector>

namespace qm {

class AppContext;
class UiHost;

// "C:\" and the shell folders 0 to 11 and 16 to 48, upper case (empty where unknown),
// looked up with the main window as owner, as the user-folder editor does.
std::vector<std::wstring> SystemFolderTable(UiHost& ui);
// The same folders looked up without a window, for the cleans that run without one.
std::vector<std::wstring> SystemFolderTable();

// A spelling-independent form for comparing folders: absolute, "\" separators, "." and
// ".." resolved, short (8.3) names of existing folders expanded, no trailing
// backslash, upper case. "" for an empty path.
std::wstring ComparablePath(const std::wstring& path);

// True when path names a folder of the table or a folder that holds one.
bool IsProtectedFolder(const std::vector<std::wstring>& table, const std::wstring& path);

// The user-folder editor's check. Paths holding "Temporary Internet Files", "Temp" or
// "Cookies" pass at once; any other path is upper-cased in the caller's variable and,
// when protected, isSystem is set and the user is told (Label15 shows a warning while
// the box is up). isSystem is left as it was otherwise.
void SysCheck(AppContext& ctx, std::wstring& path, bool& isSystem);

}  // namespace qm
