#include "ui/folder_editor.h"

#include <algorithm>

#include "base/app_error.h"
#include "base/dialogs.h"
#include "base/text.h"
#include "clean/deletion_guard.h"
#include "clean/search_delete.h"
#include "clean/sys_check.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kSiteActivate{L"frmMain", L"ActivateList"};
constexpr TrapSite kSite16{L"frmMain", L"Command16_Click"};
constexpr TrapSite kSiteDir1{L"frmMain", L"Dir1_Change"};
constexpr TrapSite kSiteRemove{L"frmMain", L"List5_DblClick"};

constexpr wchar_t kAddFolder[] = L"Add Folder";
constexpr wchar_t kShowList[] = L"Show List";
constexpr wchar_t kCloseForm[] = L"Close Form";
constexpr wchar_t kSaveFolder[] = L"Save Folder";

bool EndsList(const std::wstring& value) { return value.empty() || value == L"0"; }

int Ask(AppContext& ctx, const std::wstring& text, UINT style, const wchar_t* title = kTitleInfo) {
    return ctx.dialogs.ShowMessage({text, title, style});
}

// The files of a folder, by name; nothing when it cannot be listed.
void ShowFilesOf(ListModel& files, const std::wstring& folder) {
    files.Clear();
    if (folder.empty()) return;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = LongPathForm(folder) + L"\\*";
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.AddItem(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// "Save Folder" waits for a folder to save.
void EnableSave(MainFormModel& form) {
    form.Command16.SetEnabled(form.Command16.Caption() != kSaveFolder || !form.Dir1.Text().empty());
}

void EnterBrowseMode(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.List5.SetVisible(false);
    form.Label16.SetVisible(false);
    form.Dir1.SetVisible(true);
    form.Browse.SetVisible(true);
    form.File1.SetVisible(true);
    form.Label15.SetCaption(kBrowseStatus);
    form.Command16.SetCaption(kSaveFolder);
    form.Command18.SetCaption(kShowList);
    EnableSave(form);
    Dir1_Change(ctx);
}

void SelectStored(AppContext& ctx, int index) {
    auto& form = ctx.frmMain;
    if (form.List5.ListCount() == 0) return;
    form.List5.SetListIndex(std::clamp(index, 0, form.List5.ListCount() - 1));
    List5_Click(ctx);
}

bool AlreadyStored(const std::vector<std::wstring>& stored, const std::wstring& chosen) {
    const std::wstring wanted = ComparablePath(chosen);
    return std::any_of(stored.begin(), stored.end(),
                       [&](const std::wstring& folder) { return ComparablePath(folder) == wanted; });
}

// The questions, the system-folder check and the guard; the path as it is to be stored, or "".
std::wstring ConfirmedFolder(AppContext& ctx, std::wstring chosen) {
    const std::wstring question = L"You Have Selected" + std::wstring(kCrLf) + kCrLf + kCrLf + L"\"" +
                                  ToUpper(chosen) + L"\"" + kCrLf + kCrLf + kCrLf + L"Is This The Folder You Wanted?";
    if (Ask(ctx, question, MB_YESNO | MB_ICONQUESTION) != IDYES) return L"";
    bool isSystem = false;
    SysCheck(ctx, chosen, isSystem);  // tells the user itself
    if (isSystem) return L"";
    const GuardVerdict verdict = GuardDeletionRoot(chosen, RootKind::UserFolder);
    if (verdict.refusal != RootRefusal::None) {
        Ask(ctx, RefusalText(RootKind::UserFolder, verdict.refusal, chosen), MB_OK | MB_ICONSTOP);
        return L"";
    }
    return WithoutTrailingSeparators(chosen);  // with one, the clean would remove the folder itself
}

void SaveFolder(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.form.SetVisible(false);
    form.form.Move(0, 0);
    form.Command18.SetCaption(kShowList);
    std::vector<std::wstring> stored = StoredUserFolders();
    const auto showAgain = [&] { form.form.SetVisible(true); };
    if (stored.empty() &&
        Ask(ctx, L"Have You Read The Warning About These Folders In The Help File!", MB_YESNO | MB_ICONSTOP) != IDYES)
        return showAgain();
    showAgain();
    form.List6.Clear();
    const std::wstring chosen = ConfirmedFolder(ctx, form.Dir1.Text());
    if (chosen.empty()) return;
    if (AlreadyStored(stored, chosen)) {
        Ask(ctx, L"You Have Already Selected This Folder", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (static_cast<int>(stored.size()) >= kMostUserFolders) {
        Ask(ctx, kTooManyFoldersMessage, MB_OK | MB_ICONINFORMATION);
        return;
    }
    stored.push_back(chosen);
    if (!StoreUserFolders(stored)) Ask(ctx, kFolderListNotRewrittenMessage, MB_OK | MB_ICONSTOP);
    form.form.Refresh();
}

}  // namespace

std::vector<std::wstring> StoredUserFolders() {
    RegOp settings;
    settings.SetKey(kUserFolderKey);
    std::vector<std::wstring> folders;
    for (int number = 0; number < kMostUserFolders; ++number) {
        std::wstring folder = settings.Text(L"File" + std::to_wstring(number));
        if (EndsList(folder)) break;
        folders.push_back(std::move(folder));
    }
    return folders;
}

bool StoreUserFolders(const std::vector<std::wstring>& folders) {
    RegOp settings;
    settings.SetKey(kUserFolderKey);
    settings.DeleteKey();
    HKEY left = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUserFolderKey, 0, KEY_READ, &left) == ERROR_SUCCESS) {
        ::RegCloseKey(left);
        return false;  // the old list is still there: writing over it could mix two lists
    }
    if (folders.empty()) return true;
    settings.SetKey(kUserFolderKey);
    for (size_t i = 0; i < folders.size(); ++i) settings.SetValue(L"File" + std::to_wstring(i), folders[i]);
    return true;
}

void ActivateList(AppContext& ctx) {
    auto& form = ctx.frmMain;
    TrapStep(ctx.dialogs, kSiteActivate, [&] {
        const std::vector<std::wstring> stored = StoredUserFolders();
        if (stored.empty()) return EnterBrowseMode(ctx);
        form.Dir1.SetVisible(false);
        form.Browse.SetVisible(false);
        form.List5.Clear();
        for (const std::wstring& folder : stored) form.List5.AddItem(folder);
        form.List5.SetVisible(true);
        form.Label16.SetVisible(true);
        form.File1.SetVisible(true);
        SelectStored(ctx, 0);
        form.Label15.SetCaption(kListStatus);
        form.Command18.SetCaption(kCloseForm);
        form.Command16.SetCaption(kAddFolder);
        EnableSave(form);
    });
}

void Command16_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    if (form.Command16.Caption() == kAddFolder) {
        TrapStep(ctx.dialogs, kSite16, [&] {
            form.Dir1.SetText(L"");  // nothing is chosen until the picker says so
            EnterBrowseMode(ctx);
            form.Browse.Click();  // the window opens the folder picker
        });
        return;
    }
    if (form.Dir1.Text().empty()) return;
    TrapStep(ctx.dialogs, kSite16, [&] { SaveFolder(ctx); });
}

void Command18_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    if (form.Command18.Caption() == kShowList) return ActivateList(ctx);
    form.form.SetVisible(false);
    form.form.Move(0, 0);
}

void Dir1_Change(AppContext& ctx) {
    TrapStep(ctx.dialogs, kSiteDir1, [&] { ShowFilesOf(ctx.frmMain.File1, ctx.frmMain.Dir1.Text()); });
}

void List5_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    const int selected = form.List5.ListIndex();
    if (selected < 0) return;
    TrapStep(ctx.dialogs, kSiteDir1, [&] { ShowFilesOf(form.File1, form.List5.List(selected)); });
}

void List5_DblClick(AppContext& ctx) {
    auto& form = ctx.frmMain;
    TrapStep(ctx.dialogs, kSiteRemove, [&] {
        const int selected = form.List5.ListIndex();
        if (selected < 0) return;
        if (Ask(ctx, L"This Will Remove The Selected Item, Continue?", MB_OKCANCEL | MB_ICONQUESTION, kTitleRemoval) != IDOK)
            return;
        std::vector<std::wstring> remaining;
        for (int i = 0; i < form.List5.ListCount(); ++i)
            if (i != selected) remaining.push_back(form.List5.List(i));
        if (!StoreUserFolders(remaining)) {
            Ask(ctx, kFolderListNotRewrittenMessage, MB_OK | MB_ICONSTOP);
            return;
        }
        form.List5.RemoveItem(selected);
        if (remaining.empty()) return EnterBrowseMode(ctx);
        SelectStored(ctx, selected - 1);
    });
}

void BindFolderEditor(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.Command16.Click.Connect([&ctx] { Command16_Click(ctx); });
    form.Dir1.Changed.Connect([&ctx, shown = std::wstring()]() mutable {
        if (ctx.frmMain.Dir1.Text() == shown) return;  // visibility, not the folder, changed
        shown = ctx.frmMain.Dir1.Text();
        EnableSave(ctx.frmMain);
        Dir1_Change(ctx);
    });
    form.List5.Click.Connect([&ctx] { List5_Click(ctx); });
}

}  // namespace qm
