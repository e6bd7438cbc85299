#include "ui/main_form.h"

#include <array>

#include "base/app_error.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/firefox_sessions.h"
#include "clean/search_delete.h"
#include "cookies/cookie_viewer.h"
#include "cookies/discovery.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"
#include "startup/reg_op.h"
#include "ui/entry_points.h"
#include "ui/folder_editor.h"

namespace qm {

namespace {

constexpr TrapSite kActivateSite{L"frmMain", L"Form_Activate"};
constexpr TrapSite kCacheSite{L"frmMain", L"cache_Click"};
constexpr TrapSite kTabSite{L"frmMain", L"SSTab1_Click"};

constexpr wchar_t kYes[] = L"Yes";
constexpr wchar_t kFrameHint[] = L"Select An Option Below For AutoClean Function";
constexpr wchar_t kSavedListHint[] = L"Double Click On \"Cookie\" To Remove From Saved List";

// One option box: where its value lives, how it is written, and its hint.
struct OptionBox {
    CheckBoxModel MainFormModel::*box;
    const wchar_t* key;
    const wchar_t* writtenName;  // the name written when ticked (and deleted when not)
    const wchar_t* readName;     // the name read back (the registry ignores the difference)
    const wchar_t* tickedValue;
    const wchar_t* hint;
    TrapSite site;  // the click handler named in a fault report
};

constexpr std::array<OptionBox, 8> kOptionBoxes{{
    {&MainFormModel::Check1, kCleanPathKey, L"InternetFiles", L"InternetFiles", kYes,
     L"Check To Enable Cleaning Internet Files", {L"frmMain", L"Check1_Click"}},
    {&MainFormModel::Check2, kCleanPathKey, L"TempFiles", L"TempFiles", kYes,
     L"Check To Enable Cleaning Temp Files", {L"frmMain", L"Check2_Click"}},
    {&MainFormModel::Check3, kCleanPathKey, L"AutoFunction", L"AutoFunction", kYes,
     L"Check To Enable AutoClean Function", {L"frmMain", L"Check3_Click"}},
    {&MainFormModel::Check4, kCleanPathKey, L"CookieFiles", L"CookieFiles", kYes,
     L"Check To Enable Cleaning Cookie Files", {L"frmMain", L"Check4_Click"}},
    {&MainFormModel::Check5, kCleanPathKey, L"UserFolder", L"UserFolder", kYes,
     L"Check To Enable Cleaning Your Designated Folders", {L"frmMain", L"Check5_Click"}},
    {&MainFormModel::Check6, kCleanPathKey, L"Shutdown", L"ShutDown", kYes,
     L"Check To Enable Clean And ShutDown \"OS\"", {L"frmMain", L"Check6_Click"}},
    {&MainFormModel::Check7, kProgramKey, L"CleanDat", L"CleanDat", kYes,
     L"Check To Enable Cleaning Your Dat Files", {L"frmMain", L"Check7_Click"}},
    {&MainFormModel::Check8, kProgramKey, L"DatMessage", L"DatMessage", L"No",
     L"Check To Stop The Reboot Message When Cleaning", {L"frmMain", L"Check8_Click"}},
}};

// The order in which CheckBoxValue sets the boxes (each set may write its value back).
constexpr std::array<CheckBoxModel MainFormModel::*, 8> kRefreshOrder{
    &MainFormModel::Check8, &MainFormModel::Check6, &MainFormModel::Check5, &MainFormModel::Check1,
    &MainFormModel::Check2, &MainFormModel::Check3, &MainFormModel::Check7, &MainFormModel::Check4};

struct ButtonHint {
    ButtonModel MainFormModel::*button;
    const wchar_t* toolTip;
    const wchar_t* hint;
};

constexpr std::array<ButtonHint, 3> kButtonHints{{
    {&MainFormModel::Command5, L"Click to clean all selected options!", L"Click To Clean All Selected Files"},
    {&MainFormModel::Command6, L"Click to open the program help file!", L"Click To Open Quillmere Help File"},
    {&MainFormModel::Command7, L"Click to close this form!", L"Click To Close This Form"},
}};

const OptionBox& OptionFor(const CheckBoxModel MainFormModel::*box) {
    for (const auto& option : kOptionBoxes)
        if (option.box == box) return option;
    return kOptionBoxes[0];
}

// A ticked box writes its value, an unticked one deletes it, the grey state changes nothing.
void StoreOption(AppContext& ctx, const OptionBox& option) {
    const int value = (ctx.frmMain.*option.box).Value();
    if (value != 0 && value != 1) return;
    RegOp settings;
    settings.SetKey(option.key);
    if (value == 1) {
        settings.SetValue(option.writtenName, option.tickedValue);
        return;
    }
    settings.DeleteValue(option.writtenName);
    // Without "Remove Dat Files" the restart-time entries already scheduled are withdrawn.
    if (option.box == &MainFormModel::Check7) WithdrawCleanDat(ctx);
}

void SelectFirst(ListModel& list) {
    if (list.ListCount() > 0) list.SetListIndex(0);
}

// The stacked previews show one list at a time.
void ShowOnly(MainFormModel& form, ListModel& shown) {
    for (ListModel* list : {&form.MSIE, &form.NS, &form.FireFox, &form.Chromium}) list->SetVisible(list == &shown);
}

struct Preview {
    ListModel MainFormModel::*list;
    const wchar_t* tag;
    const wchar_t* countPrefix;    // the count line after choosing a folder
    const wchar_t* refreshPrefix;  // the count line while the tab refreshes every folder
};

// The preview of a family, or nullptr for a kind of no known family.
const Preview* PreviewFor(std::int32_t kind) {
    static constexpr Preview kMsie{&MainFormModel::MSIE, L"MSIE", L"Microsoft Internet Folder Contains ",
                                   L"Internet Folder Contains "};
    static constexpr Preview kNetscape{&MainFormModel::NS, L"NS2", L"Netscape Internet Folder Contains ",
                                       L"Netscape Internet Folder Contains "};
    static constexpr Preview kFireFox{&MainFormModel::FireFox, L"FireFox", L"FireFox Internet Folder Contains ",
                                      L"FireFox Internet Folder Contains "};
    static constexpr Preview kChromium{&MainFormModel::Chromium, L"Chromium", L"Chromium Internet Folder Contains ",
                                       L"Chromium Internet Folder Contains "};
    switch (kind & kFamilyMask) {
        case kFamilyChromium: return &kChromium;
        case kFamilyMsie: return &kMsie;
        case kFamilyNetscape: return &kNetscape;
        case kFamilyFireFox: return &kFireFox;
        default: return nullptr;
    }
}

// Lists what a clean of folder would remove into list: of a Firefox profile, its session
// files only (nothing else of it is listed).
void FillPreview(AppContext& ctx, ListModel& list, const std::wstring& folder, std::int32_t kind, const wchar_t* tag) {
    list.Clear();
    list.Refresh();
    if (kind == kKindFireFoxDefault) {
        for (const auto& name : SessionFileNames(folder)) list.AddItem(name);
        list.Refresh();
        return;
    }
    auto& search = ctx.SearchSpec;
    search.StartAt(QualifyPath(folder));
    SearchForFiles(ctx, search.StartPath, tag);
    list.Refresh();
}

std::wstring FilesText(const wchar_t* prefix, const ListModel& list) {
    return prefix + std::to_wstring(list.ListCount()) + L" Files";
}

// The count line of a cache location. A Firefox profile's files are its saved session: the
// tabs Firefox would reopen, which the user must know go too.
std::wstring PreviewCountText(const wchar_t* prefix, std::int32_t kind, const ListModel& list) {
    if (kind != kKindFireFoxDefault) return FilesText(prefix, list);
    return std::wstring(kFirefoxSessionCountPrefix) + std::to_wstring(list.ListCount()) + kFirefoxSessionCountSuffix;
}

void SelectFirstIfShown(ListModel& list) {
    if (list.Visible()) SelectFirst(list);
}

void ComboTip(ListModel& combo) { combo.SetToolTipText(combo.Text()); }

}  // namespace

void CheckBoxValue(AppContext& ctx) {
    auto& form = ctx.frmMain;
    RegOp cleanPath;
    cleanPath.SetKey(kCleanPathKey);
    RegOp program;
    program.SetKey(kProgramKey);
    // Every value is read first: setting a box writes its value back.
    std::array<std::wstring, kOptionBoxes.size()> stored;
    for (size_t i = 0; i < kOptionBoxes.size(); ++i) {
        const auto& option = kOptionBoxes[i];
        stored[i] = (option.key == kCleanPathKey ? cleanPath : program).Text(option.readName);
    }
    for (auto box : kRefreshOrder) {
        const OptionBox& option = OptionFor(box);
        const size_t index = static_cast<size_t>(&option - kOptionBoxes.data());
        (form.*box).SetValue(stored[index] == option.tickedValue ? 1 : 0);
    }
}

void Form_Load(AppContext& ctx) { ctx.frmMain.form.Move(0, 0); }

void Form_Activate(AppContext& ctx) {
    auto& form = ctx.frmMain;
    TrapStep(ctx.dialogs, kActivateSite, [&] { CheckBoxValue(ctx); });
    form.Label2.SetCaption(L"Locations of Folders To Be Cleaned");
    form.Command13.SetVisible(false);
    form.Command17.SetCaption(L"Help");
    form.Command15.SetCaption(L"Clean Folders");
    TrapStep(ctx.dialogs, kActivateSite, [&] {
        InitLoc(ctx);
        for (ListModel* combo : {&form.Combo1, &form.Combo2, &form.Combo3}) SelectFirst(*combo);
        ComboTip(form.Combo1);
    });
    TrapStep(ctx.dialogs, kActivateSite, [&] {
        CacheInitLoc(ctx);
        SelectFirst(form.cache);
        SelectFirst(form.cboLoc);
    });
}

void SSTab1_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    TrapStep(ctx.dialogs, kTabSite, [&] {
        switch (form.SSTab1.SelectedIndex()) {
            case kTabOptions:
                CheckBoxValue(ctx);
                form.Label13.SetVisible(false);
                form.Label2.SetVisible(true);
                for (ListModel* combo : {&form.Combo1, &form.Combo2, &form.Combo3}) SelectFirst(*combo);
                break;
            case kTabInternet: SetCacheList(ctx); break;
            case kTabTemp: SetTempList(ctx); break;
            case kTabCookies:
                ctx.flags.cookieTabReady = true;
                SetCookieList(ctx);
                break;
            case kTabYourFolder: ActivateList(ctx); break;
            default: break;
        }
    });
}

void cache_Click(AppContext& ctx) {
    auto& form = ctx.frmMain;
    TrapStep(ctx.dialogs, kCacheSite, [&] {
        form.cache.SetToolTipText(form.cache.Text());
        const int selected = form.cache.ListIndex();
        if (selected < 0) return;
        const Preview* preview = PreviewFor(form.cache.ItemData(selected));
        if (!preview) return;
        ListModel& list = form.*preview->list;
        ShowOnly(form, list);
        FillPreview(ctx, list, form.cache.List(selected), form.cache.ItemData(selected), preview->tag);
        form.Label1.SetCaption(L"");
        form.Label1.SetCaption(PreviewCountText(preview->countPrefix, form.cache.ItemData(selected), list));
        CheckBoxValue(ctx);
    });
    SelectFirstIfShown(form.MSIE);
    SelectFirstIfShown(form.FireFox);
    SelectFirstIfShown(form.Chromium);
}

void SetCacheList(AppContext& ctx) {
    auto& form = ctx.frmMain;
    for (ListModel* list : {&form.cache, &form.MSIE, &form.FireFox, &form.NS, &form.Chromium}) list->Clear();
    form.currentKind = 0;
    CacheInitLoc(ctx);

    // Each family's preview shows the last folder of that family; the count line tells
    // about the folder previewed last.
    const int count = form.cache.ListCount();
    for (int i = 0; i < count; ++i) {
        const Preview* preview = PreviewFor(form.cache.ItemData(i));
        if (!preview) continue;
        ListModel& list = form.*preview->list;
        FillPreview(ctx, list, form.cache.List(i), form.cache.ItemData(i), preview->tag);
        form.Label1.SetCaption(PreviewCountText(preview->refreshPrefix, form.cache.ItemData(i), list));
        ShowOnly(form, list);
    }
    if (count == 0) return;

    // The last folder ends selected; selecting it previews it again (cache_Click).
    const int last = count - 1;
    if (ContainsNoCase(form.cache.List(last), L"Temporary Internet Files")) {
        ShowOnly(form, form.MSIE);
        form.cache.SetListIndex(last);
        if (form.cache.Visible()) form.cache.SetFocus();
        SelectFirst(form.MSIE);
        return;
    }
    form.cache.SetListIndex(last);
    if (form.cache.Visible()) form.cache.SetFocus();
    if (form.FireFox.Visible()) SelectFirst(form.FireFox);
    if (form.Chromium.Visible()) SelectFirst(form.Chromium);
    if (form.NS.Visible() && last < form.NS.ListCount()) form.NS.SetListIndex(last);
}

void SetTempList(AppContext& ctx) {
    auto& form = ctx.frmMain;
    form.List2.Clear();
    // A Temp variable that the guard refuses (empty, a drive root, a system folder) is
    // never listed: the preview then shows no files rather than a whole drive.
    const std::wstring temp = GuardedTempFolder();
    if (!temp.empty()) {
        auto& search = ctx.SearchSpec;
        search.StartAt(QualifyPath(temp));
        SearchForFiles2(ctx, search.StartPath);
    }
    form.List2.Refresh();
    CheckBoxValue(ctx);
    form.Label5.SetCaption(FilesText(L"Temp Folder Contains ", form.List2));
    form.Label6.SetCaption(L"Files In Use Can Not Be Deleted");
}

void ShowHintFor(MainFormModel& form, const ControlModel& control) {
    if (&control == &form.Frame2) {
        form.Label4.SetCaption(kFrameHint);
        return;
    }
    for (const auto& option : kOptionBoxes)
        if (&control == &(form.*option.box)) form.Label4.SetCaption(option.hint);
    for (const auto& button : kButtonHints)
        if (&control == &(form.*button.button)) form.Label4.SetCaption(button.hint);
    if (&control == &form.MSSaved || &control == &form.NS2Saved || &control == &form.FireFoxSaved)
        form.Label14.SetCaption(kSavedListHint);
    if (&control == &form.lstCookie) form.Label12.SetCaption(kKeepHint);
}

void BindMainForm(AppContext& ctx) {
    auto& form = ctx.frmMain;
    for (const auto& option : kOptionBoxes) {
        (form.*option.box).Click.Connect([&ctx, &option] {
            TrapStep(ctx.dialogs, option.site, [&] { StoreOption(ctx, option); });
        });
    }
    for (const auto& button : kButtonHints) (form.*button.button).SetToolTipText(button.toolTip);
    form.Combo1.SetToolTipText(L"Shows the paths to your Internet Files!");
    form.Combo2.SetToolTipText(L"Shows the paths to your temp files!");
    form.Combo3.SetToolTipText(L"Shows the paths to your cookie files!");
    for (ListModel* combo : {&form.Combo1, &form.Combo2, &form.Combo3})
        combo->Click.Connect([combo] { ComboTip(*combo); });

    form.cache.Click.Connect([&ctx] { cache_Click(ctx); });
    BindCookieViewer(ctx);
    form.SSTab1.Click.Connect([&ctx] { SSTab1_Click(ctx); });
    for (ButtonModel* close : {&form.Command2, &form.Command4, &form.Command7, &form.Command10})
        close->Click.Connect([&form] { form.form.SetVisible(false); });
    form.Command18.Click.Connect([&ctx] { Command18_Click(ctx); });
    BindFolderEditor(ctx);
    for (ButtonModel* help : {&form.Command6, &form.Command9, &form.Command11, &form.Command12, &form.Command17})
        help->Click.Connect([&ctx] { ShowHelpWindow(ctx, true); });

    // Activation work runs when the window goes from hidden to shown.
    form.form.Changed.Connect([&ctx, shown = form.form.Visible()]() mutable {
        const bool visible = ctx.frmMain.form.Visible();
        if (visible && !shown) {
            shown = true;
            Form_Activate(ctx);
        }
        shown = visible;
    });
}

}  // namespace qm
