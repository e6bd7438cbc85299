#include "cookies/cookie_viewer.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/cookie_clean.h"
#include "clean/run_state.h"
#include "cookies/cookie_display.h"
#include "cookies/database_cookies.h"
#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "cookies/msie_cookies.h"
#include "cookies/ns_cookies.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"

namespace qm {

namespace {

constexpr TrapSite kLocSite{L"frmMain", L"cboLoc_Click"};
constexpr TrapSite kKeepSite{L"frmMain", L"lstCookie_DblClick"};
constexpr TrapSite kDropSite{L"frmMain", L"SavedList_DblClick"};
constexpr TrapSite kResetSite{L"frmMain", L"Command13_Click"};
constexpr TrapSite kFillSite{L"frmMain", L"SetCookieList"};
constexpr TrapSite kShowSite{L"frmMain", L"lstCookie_Click"};
constexpr TrapSite kDeleteSite{L"frmMain", L"btnDel_Click"};
constexpr std::int32_t kKindCookiesShellFolder = 0x1004;
constexpr size_t kLongestShownLine = 4096;

// A family as the tab shows it.
struct FamilyView {
    std::int32_t family;
    const wchar_t* tag;
    ListModel MainFormModel::*keptBox;
    const wchar_t* key;
    const wchar_t* dateCaption;
};
constexpr FamilyView kFamilies[] = {
    {kFamilyMsie, L"MSIE", &MainFormModel::MSSaved, kMsieSavedKey, L"Date Cookie Created"},
    {kFamilyNetscape, L"NS2", &MainFormModel::NS2Saved, kNsSavedKey, L"Date Cookie Expires"},
    {kFamilyFireFox, L"FireFox", &MainFormModel::FireFoxSaved, kFireFoxSavedKey, L"Date Cookie Expires"},
    {kFamilyChromium, L"Chromium", &MainFormModel::ChromiumSaved, kChromiumSavedKey, L"Date Cookie Expires"},
};

const FamilyView* ViewOfKind(std::int32_t kind) {
    for (const auto& view : kFamilies)
        if (view.family == (kind & kFamilyMask)) return &view;
    return nullptr;
}

const FamilyView* ViewOfTag(const std::wstring& tag) {
    for (const auto& view : kFamilies)
        if (tag == view.tag) return &view;
    return nullptr;
}

const FamilyView* ViewOfBox(AppContext& ctx, const ListModel& box) {
    for (const auto& view : kFamilies)
        if (&(ctx.frmMain.*view.keptBox) == &box) return &view;
    return nullptr;
}

// The selected location's kind, with cboLoc's tooltip set to its path; nothing selected: -1.
std::int32_t TakeLocation(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.currentKind = 0;
    const int selected = form.cboLoc.ListIndex();
    if (selected < 0) return -1;
    form.cboLoc.SetToolTipText(form.cboLoc.List(selected));
    form.currentKind = form.cboLoc.ItemData(selected);
    return form.currentKind;
}

// Loads a kept box from the stored list; false when the list is damaged (the box stays empty).
bool LoadKeptBox(AppContext& ctx, const FamilyView& view) {
    ListModel& box = ctx.frmMain.*view.keptBox;
    box.Clear();
    const KeptList list = ReadKeptList(view.key);
    for (const auto& entry : list.entries) box.AddItem(entry);
    ctx.cookies.keptBoxDamaged = list.Damaged();
    return !list.Damaged();
}

void SelectNear(ListModel& list, int index) {
    if (list.ListCount() == 0) {
        list.SetListIndex(-1);
        return;
    }
    list.SetListIndex(std::clamp(index, 0, list.ListCount() - 1));
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.find_last_of(L'\\') + 1);
        }
        path.resize(path.size() * 2);
    }
}

// A copy of the Internet Explorer cookie index beside the program, made when a cookie is kept.
void CopyCookieIndex() {
    RegOp settings;
    settings.SetKey(kProgramKey);
    const std::wstring folder = settings.Text(L"MSCookie");
    const std::wstring program = ProgramFolder();
    if (folder.empty() || program.empty()) return;
    ::CopyFileW((QualifyPath(folder) + L"index.dat").c_str(), (program + L"MSCookie.txt").c_str(), FALSE);
}

void SetKeepingState(MainFormModel& form, bool keeping) {
    for (ButtonModel* button : {&form.Command8, &form.Command9, &form.Command10}) button->SetVisible(!keeping);
    form.Command13.SetVisible(keeping);
}

// Scans the selected location into lstCookie and shows its family's kept list.
void FillForLocation(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.List1.SetVisible(true);
    form.List8.SetVisible(true);
    const std::int32_t kind = TakeLocation(ctx);
    if (kind >= 0) {
        const std::wstring path = form.cboLoc.List(form.cboLoc.ListIndex());
        form.lstCookie.Clear();
        for (const auto& view : kFamilies) (form.*view.keptBox).Clear();
        if (const FamilyView* view = ViewOfKind(kind)) {
            ctx.cookies.familyTag = view->tag;
            ctx.cookies.databaseShown = false;
            if (const auto schema = DatabaseSchemaOf(kind)) {
                DatabaseScan(ctx, path, *schema);
            } else if (view->family == kFamilyMsie) {
                if (MSIEScan(ctx, path) > 0) MSIEScan2(ctx, path);
            } else {
                NS2Scan(ctx, path);
            }
            for (const auto& other : kFamilies) (form.*other.keptBox).SetVisible(&other == view);
            LoadKeptBox(ctx, *view);
            for (auto& label : form.Label19) label.SetCaption(view->dateCaption);
        }
        ShowCookieCounts(ctx);
        form.lstCookie.Refresh();
    }
    form.List1.SetVisible(false);
    form.List8.SetVisible(false);
}

void TellNotKept(AppContext& ctx, KeptChange change) {
    if (change != KeptChange::Damaged && change != KeptChange::Failed) return;
    ctx.dialogs.ShowMessage({change == KeptChange::Damaged
                                 ? std::wstring(kKeptListUnreadable) + L"." + kCrLf + kCrLf + L"It Was Not Changed."
                                 : std::wstring(L"The Saved Cookie List Could Not Be Written."),
                             kTitleInfo, MB_OK | MB_ICONINFORMATION});
}

}  // namespace

ListModel* VisibleKeptBox(AppContext& ctx) {
    const FamilyView* view = ViewOfTag(ctx.cookies.familyTag);
    return view ? &(ctx.frmMain.*view->keptBox) : nullptr;
}

void ShowCookieCounts(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.Label12.SetCaption(kCookieFolderCaption + std::to_wstring(form.lstCookie.ListCount()) + L" Cookies");
    const FamilyView* view = ViewOfTag(ctx.cookies.familyTag);
    if (!view) return;
    if (ctx.cookies.keptBoxDamaged) {
        form.Label14.SetCaption(kKeptListUnreadable);
        return;
    }
    const ListModel& box = form.*view->keptBox;
    form.Label14.SetCaption(kSavedCaption + std::to_wstring(box.ListCount()) + L" Cookies");
}

void cboLoc_Click(AppContext& ctx) {
    if (ctx.cookies.viewerQuiet) return;
    // A click before the tab was ever shown only arms it.
    if (!ctx.flags.cookieTabReady) {
        ctx.flags.cookieTabReady = true;
        return;
    }
    TrapStep(ctx.dialogs, kLocSite, [&] { FillForLocation(ctx); });
}

void lstCookie_Click(AppContext& ctx) {
    if (ctx.cookies.viewerQuiet) return;
    TrapStep(ctx.dialogs, kShowSite, [&] {
        auto& form = ctx.frmMain;
        // Discovery refills the location box on every activation: until a location is chosen
        // again, the lines shown belong to none.
        if (form.cboLoc.ListIndex() < 0) return;
        if (ctx.cookies.familyTag == L"MSIE") {
            MsieClick(ctx, QualifyPath(form.cboLoc.Text()));
            return;
        }
        const int selected = form.lstCookie.ListIndex();
        if (ctx.cookies.databaseShown) {
            DatabaseClick(ctx);
            if (selected < 0) return;
        } else {
            NsClick(ctx);
            const auto& lines = ctx.cookies.cookieTxt.lines;
            if (selected < 0) return;
            const auto index = static_cast<size_t>(form.lstCookie.ItemData(selected));
            if (index >= lines.size() || lines[index].text.size() > kLongestShownLine) return;
        }
        while (form.tabKV.TabCount() > 1) form.tabKV.RemoveLastTab();
        if (form.tabKV.TabCount() == 0) form.tabKV.AddTab(std::wstring(kRecordTabCaption) + L"1");
        form.tabKV.Select(0);
    });
}

void tabKV_Click(AppContext& ctx) {
    if (ctx.cookies.viewerQuiet) return;
    auto& form = ctx.frmMain;
    if (ctx.cookies.familyTag == L"MSIE") {
        ShowMsieRecord(ctx, form.tabKV.SelectedIndex());
        return;
    }
    if (ctx.cookies.databaseShown) {
        DatabaseClick(ctx);
        return;
    }
    const int selected = form.lstCookie.ListIndex();
    const auto& lines = ctx.cookies.cookieTxt.lines;
    if (selected < 0) return;
    const auto index = static_cast<size_t>(form.lstCookie.ItemData(selected));
    if (index < lines.size() && lines[index].text.size() <= kLongestShownLine) ParseNS2(ctx, lines[index].text);
}

void lstCookie_ItemCheck(AppContext& ctx, int index) {
    auto& list = ctx.frmMain.lstCookie;
    auto& state = ctx.cookies;
    if (index < 0 || index >= list.ListCount()) return;
    if ((::GetKeyState(VK_SHIFT) & 0x8000) && state.rangeAnchor >= 0) {
        const int anchor = std::min(state.rangeAnchor, list.ListCount() - 1);
        const bool check = state.lastCheckState;
        state.rangeAnchor = -1;  // the lines set here raise ItemCheck themselves: no second range
        for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i) list.SetChecked(i, check);
    }
    state.lastCheckState = list.Checked(index);
    state.rangeAnchor = index;
    UpdateDeletion(ctx);
}

std::wstring DeleteCheckedQuestion(int count) {
    return L"Delete " + std::to_wstring(count) + (count == 1 ? L" Selected Cookie?" : L" Selected Cookies?") + kCrLf +
           kCrLf + L"Cookies You Keep Are Not Deleted.";
}

void btnDel_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    const int checked = form.lstCookie.SelCount();
    if (checked == 0 || form.cboLoc.ListIndex() < 0) return;
    // A clean like any other: it holds the clean lock from the question on, and is ignored
    // while another clean runs.
    bool yes = false;
    int deleted = 0;
    RunExclusiveClean(ctx, kDeleteSite, CleanTrigger::Viewer, [&] {
        yes = ctx.dialogs.ShowMessage({DeleteCheckedQuestion(checked), kTitleRemoval,
                                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2}) == IDYES;
        if (!yes) return;
        deleted = DeleteCheckedCookies(ctx);
        FillForLocation(ctx);  // the list shows the store as it is now
    });
    if (yes && deleted < checked)
        ctx.dialogs.ShowMessage({L"Not Deleted: " + std::to_wstring(checked - deleted) + L" Of The " +
                                     std::to_wstring(checked) + L" Selected Cookies (Kept Or In Use).",
                                 kTitleInfo, MB_OK | MB_ICONINFORMATION});
}

void btnClear_Click(AppContext& ctx) {
    auto& list = ctx.frmMain.lstCookie;
    for (int i = 0; i < list.ListCount(); ++i) list.SetChecked(i, false);
    ctx.cookies.rangeAnchor = -1;
    UpdateDeletion(ctx);
}

void lstCookie_DblClick(AppContext& ctx) {
    TrapStep(ctx.dialogs, kKeepSite, [&] {
        auto& form = ctx.frmMain;
        const std::int32_t kind = TakeLocation(ctx);
        const FamilyView* view = ViewOfKind(kind);
        const int selected = form.lstCookie.ListIndex();
        if (kind < 0 || !view || selected < 0) return;
        const KeptChange change = KeepCookieLine(view->key, form.lstCookie.List(selected));
        TellNotKept(ctx, change);
        if (change != KeptChange::Done) return;

        SetKeepingState(form, true);
        LoadKeptBox(ctx, *view);
        form.lstCookie.RemoveItem(selected);
        SelectNear(form.lstCookie, selected);
        ShowCookieCounts(ctx);
        form.lstCookie.Refresh();
        if (view->family == kFamilyMsie) CopyCookieIndex();
    });
}

void SavedList_DblClick(AppContext& ctx, ListModel& keptBox) {
    TrapStep(ctx.dialogs, kDropSite, [&] {
        const FamilyView* view = ViewOfBox(ctx, keptBox);
        const int selected = keptBox.ListIndex();
        if (!view || selected < 0) return;
        const KeptChange change = DropKeptEntry(view->key, selected, keptBox.List(selected));
        TellNotKept(ctx, change);
        LoadKeptBox(ctx, *view);
        SelectNear(keptBox, selected);
        ShowCookieCounts(ctx);
    });
}

void Command13_Click(AppContext& ctx) {
    TrapStep(ctx.dialogs, kResetSite, [&] {
        if (TakeLocation(ctx) < 0) return;
        SetKeepingState(ctx.frmMain, false);
        FillForLocation(ctx);
    });
}

void SetCookieList(AppContext& ctx) {
    TrapStep(ctx.dialogs, kFillSite, [&] {
        auto& form = ctx.frmMain;
        form.cboLoc.Clear();
        form.lstCookie.Clear();
        for (const auto& view : kFamilies) (form.*view.keptBox).Clear();
        InitLoc(ctx);
        bool anyMsieCookie = false;
        for (int i = 0; i < form.cboLoc.ListCount(); ++i) {
            form.cboLoc.SetListIndex(i);  // fills the tab for it (cboLoc_Click)
            if ((form.cboLoc.ItemData(i) & kFamilyMask) == kFamilyMsie && form.lstCookie.ListCount() > 0)
                anyMsieCookie = true;
        }
        if (anyMsieCookie) return;
        const std::wstring cookies = SystemSpecialFolder(CSIDL_COOKIES);
        if (cookies.empty() || !FileExists(cookies + L"index.dat")) return;
        for (const auto& item : form.cboLoc.Items())
            if (item.text == cookies) return;
        form.cboLoc.SetItemData(form.cboLoc.AddItem(cookies), kKindCookiesShellFolder);
    });
}

void BindCookieViewer(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.cboLoc.Click.Connect([&ctx] { cboLoc_Click(ctx); });
    form.lstCookie.Click.Connect([&ctx] { lstCookie_Click(ctx); });
    form.lstCookie.ItemCheck.Connect([&ctx](int index) { lstCookie_ItemCheck(ctx, index); });
    form.lstCookie.DblClick.Connect([&ctx] { lstCookie_DblClick(ctx); });
    form.tabKV.Click.Connect([&ctx] { tabKV_Click(ctx); });
    for (const auto& view : kFamilies) {
        ListModel& box = form.*view.keptBox;
        box.DblClick.Connect([&ctx, &box] { SavedList_DblClick(ctx, box); });
    }
    form.Command13.Click.Connect([&ctx] { Command13_Click(ctx); });
    form.btnDel.Click.Connect([&ctx] { btnDel_Click(ctx); });
    form.btnClear.Click.Connect([&ctx] { btnClear_Click(ctx); });
    form.Command13.SetVisible(false);
}

}  // namespace qm
