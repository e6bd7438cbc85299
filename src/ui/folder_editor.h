#pragma once
// The folder editor of the "Your Folder" tab: the user's own folders whose contents the
// "Your Folder" clean removes. List mode shows the stored folders (double click or Delete
// removes one); browse mode shows the folder chosen with the system's folder picker and its
// files, and saves it after the questions and the deletion guard.
#include <string>
#include <vector>

namespace qm {

class AppContext;

// The clean reads "File0" to "File1000": no more may be stored.
inline constexpr int kMostUserFolders = 1001;

inline constexpr wchar_t kBrowseStatus[] = L"Select Folder And Click Save";
// The label of the list of the files of the folder shown.
inline constexpr wchar_t kFilesOfFolderCaption[] = L"Files In This Folder";
inline constexpr wchar_t kListStatus[] = L"Double Click On File To Remove From List";
inline constexpr wchar_t kTooManyFoldersMessage[] =
    L"You Already Have 1001 Folders Selected, Remove One Before Adding Another!";
inline constexpr wchar_t kFolderListNotRewrittenMessage[] =
    L"Your Folder List Could Not Be Rewritten, Nothing Was Changed!";

// "File0", "File1", ... up to the first empty or "0" value (at most kMostUserFolders).
std::vector<std::wstring> StoredUserFolders();
// Replaces the whole stored list; false (nothing written) when the old list could not be removed.
bool StoreUserFolders(const std::vector<std::wstring>& folders);

// List mode with the stored folders, or browse mode when none is stored.
void ActivateList(AppContext& ctx);
// "Add Folder" enters browse mode; "Save Folder" saves the chosen folder.
void Command16_Click(AppContext& ctx);
// "Show List" shows the list; "Close Form" hides the window.
void Command18_Click(AppContext& ctx);
// The chosen folder changed (the picker or code): its files are listed.
void Dir1_Change(AppContext& ctx);
// A stored folder was selected: its files are listed.
void List5_Click(AppContext& ctx);
// Removes the selected stored folder after the question (double click and the Delete key).
void List5_DblClick(AppContext& ctx);

// Connects the editor's handlers to the main window's form model.
void BindFolderEditor(AppContext& ctx);

}  // namespace qm
