#pragma once
// The "Cookies" tab: choosing a location shows its cookies in lstCookie and the family's kept
// list beside them; selecting a cookie shows its fields; double click (or Enter) keeps a
// cookie, double click (or Enter or Delete) on a kept entry drops it. Keeping and dropping
// change the stored list (kept_cookies.h) and the boxes are reloaded from it.
#include <string>

namespace qm {

class AppContext;
class ListModel;

inline constexpr wchar_t kCookieFolderCaption[] = L"Cookie Folder Contains ";
inline constexpr wchar_t kSavedCaption[] = L"You Have Saved ";
inline constexpr wchar_t kKeepHint[] = L"Double Click On File To Save A \"Cookie\"";
inline constexpr wchar_t kKeptListUnreadable[] = L"The Saved Cookie List Could Not Be Read";

// Connects the tab's handlers to the form model. Call once, from the main form's binding.
void BindCookieViewer(AppContext& ctx);

void cboLoc_Click(AppContext& ctx);
// Shows the cookie selected in lstCookie.
void lstCookie_Click(AppContext& ctx);
void tabKV_Click(AppContext& ctx);
void lstCookie_ItemCheck(AppContext& ctx, int index);
// Keeps the selected cookie.
void lstCookie_DblClick(AppContext& ctx);
// Drops the selected entry of a kept list (MSSaved, NS2Saved or FireFoxSaved).
void SavedList_DblClick(AppContext& ctx, ListModel& keptBox);
// "Delete": deletes the checked cookies from their store after a question naming how many.
void btnDel_Click(AppContext& ctx);
// "Deselect": unchecks every line.
void btnClear_Click(AppContext& ctx);
// The question btnDel asks before deleting count cookies.
std::wstring DeleteCheckedQuestion(int count);
// "Reset Lists".
void Command13_Click(AppContext& ctx);
// Fills the tab: finds the locations again and shows each in turn; the last stays selected.
void SetCookieList(AppContext& ctx);
// The kept list box shown for the current family, or nullptr.
ListModel* VisibleKeptBox(AppContext& ctx);
// Both count labels from the current lists.
void ShowCookieCounts(AppContext& ctx);

}  // namespace qm
