#include "ui/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "cookies/cookie_viewer.h"
#include "startup/app_context.h"
#include "startup/system_info.h"
#include "ui/dpi.h"
#include "ui/folder_editor.h"
#include "ui/folder_picker.h"
#include "ui/main_form.h"

namespace qm {

namespace {

constexpr wchar_t kPageClass[] = L"QuillmerePage";
constexpr int kTabControlId = 600;
constexpr int kPageWidth = 700, kPageHeight = 430;  // at 96 DPI
constexpr int kMargin = 8;
constexpr int kContentWidth = kPageWidth - 2 * kMargin;
// The cookie lists' columns (file or host, name, date), in dialog units.
const std::vector<int> kCookieTabStops{110, 195};
constexpr int kOpacity = 220;

// Control ids: option boxes 201-208, buttons 101-118, lists 301-318, labels 401-416.
constexpr int CheckId(int number) { return 200 + number; }
constexpr int CommandId(int number) { return 100 + number; }
constexpr int LabelId(int number) { return 400 + number; }
enum ListId : int {
    kCacheId = 301, kMsieId, kNsId, kFireFoxId, kList2Id, kCombo1Id, kCombo2Id, kCombo3Id,
    kCboLocId, kLstCookieId, kMsSavedId, kNs2SavedId, kFireFoxSavedId, kList5Id, kFile1Id, kDir1Id,
    kChromiumId, kChromiumSavedId
};
// The cookie viewer's record tabs, detail boxes, count label and deletion buttons.
constexpr int kTabKvId = 601, kFirstDetailId = 701, kLblHttpOnlyId = 707, kLblCookieCntId = 417, kBtnDelId = 119, kBtnClearId = 120;
constexpr int kFrame2Id = 500;

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kListBox = LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                           WS_TABSTOP;
constexpr DWORD kDropDown = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
// Lists whose keys (Delete) reach the page as WM_VKEYTOITEM.
constexpr DWORD kKeyedListBox = kListBox | LBS_WANTKEYBOARDINPUT;
constexpr DWORD kDetailBox = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

// The bottom row of buttons every page has.
constexpr int kButtonTop = kPageHeight - 38, kButtonHeight = 28;
constexpr RECT ButtonAt(int left, int width) { return {left, kButtonTop, left + width, kButtonTop + kButtonHeight}; }
constexpr RECT Box(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

}  // namespace

// One page of the tab control: a plain child window that hands its controls' notifications
// and the pointer's whereabouts to the main window.
class MainWindow::PageView final : public Window {
public:
    PageView(MainWindow& main, int index) : main_(main), index_(index) {
        Create({kPageClass, L"", WS_CHILD | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, 0, 0, main.Handle()});
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_COMMAND:
                main_.OnPageCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
                return 0;
            case WM_NOTIFY:
                main_.binder_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
                return 0;
            case WM_DRAWITEM:
                return main_.binder_->OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            case WM_VKEYTOITEM:
                return main_.OnListKey(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            case WM_SETCURSOR:  // wParam: the window under the pointer, a control or the page
                main_.OnPagePointer(index_, reinterpret_cast<HWND>(wParam));
                break;
            default: break;
        }
        return Default(message, wParam, lParam);
    }

private:
    MainWindow& main_;
    int index_;
};

// Unowned, so that it has a task-bar button while shown (an owned window gets none under
// Wine even with WS_EX_APPWINDOW), and the user can bring it back after minimising it.
MainWindow::MainWindow(AppContext& ctx) : ctx_(ctx) {
    Create({kMainWindowClass, kMainWindowTitle,
            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
            WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, 600, 440, nullptr});
    dpi_ = WindowDpi(Handle());
    binder_ = std::make_unique<ControlBinder>(Handle(), Handle());
    tabs_ = CreateControl(Handle(), WC_TABCONTROLW, L"", WS_CLIPSIBLINGS | WS_TABSTOP, kTabControlId, 0, 0, 10, 10);
    auto& tabs = ctx_.frmMain.SSTab1;
    for (int i = 0; i < tabs.TabCount(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(tabs.Caption(i).c_str());
        ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    BuildPages();
    Bind();
    Layout();
    MakeTransparent(ctx_.os, Handle(), kOpacity);
    ShowKeyboardCues(Handle());
    ShowPage(tabs.SelectedIndex() < 0 ? kTabOptions : tabs.SelectedIndex());
}

MainWindow::~MainWindow() { subscriptions_.clear(); }

HWND MainWindow::Page(int tab) const { return pages_.at(static_cast<size_t>(tab))->Handle(); }

HWND MainWindow::Control(int id) const {
    for (const auto& placed : placed_)
        if (::GetDlgCtrlID(placed.control) == id) return placed.control;
    return id == kTabControlId ? tabs_ : nullptr;
}

HWND MainWindow::Add(int page, const wchar_t* className, DWORD style, int id, RECT design, const wchar_t* text) {
    const HWND control = CreateControl(Page(page), className, text, style, id, 0, 0, 0, 0);
    placed_.push_back({control, page, design});
    return control;
}

void MainWindow::BuildPages() {
    for (int i = 0; i < static_cast<int>(pages_.size()); ++i)
        pages_[static_cast<size_t>(i)] = std::make_unique<PageView>(*this, i);
    BuildOptionsPage();
    BuildInternetPage();
    BuildTempPage();
    BuildCookiesPage();
    BuildYourFolderPage();
}

void MainWindow::BuildOptionsPage() {
    auto& form = ctx_.frmMain;
    frame2_ = Add(kTabOptions, L"BUTTON", BS_GROUPBOX, kFrame2Id, Box(kMargin, 6, 262, kButtonTop - 14));
    binder_->Label(frame2_, form.Frame2);
    CheckBoxModel* boxes[] = {&form.Check1, &form.Check2, &form.Check3, &form.Check4,
                              &form.Check5, &form.Check6, &form.Check7, &form.Check8};
    for (int i = 0; i < 8; ++i)
        binder_->CheckBox(Add(kTabOptions, L"BUTTON", kCheck, CheckId(i + 1), Box(22, 28 + 26 * i, 236, 22)),
                          *boxes[i]);
    binder_->Label(Add(kTabOptions, L"STATIC", kLabel, LabelId(4), Box(22, 244, 240, 44)), form.Label4);

    const int left = 288, width = kContentWidth - 280;
    binder_->Label(Add(kTabOptions, L"STATIC", kLabel, LabelId(2), Box(left, 10, width, 20)), form.Label2);
    struct Location {
        LabelModel* label;
        int labelId;
        ListModel* combo;
        int comboId;
    } locations[] = {{&form.Label3, LabelId(3), &form.Combo1, kCombo1Id},
                     {&form.Label7, LabelId(7), &form.Combo2, kCombo2Id},
                     {&form.Label8, LabelId(8), &form.Combo3, kCombo3Id}};
    int top = 40;
    for (const auto& location : locations) {
        binder_->Label(Add(kTabOptions, L"STATIC", kLabel, location.labelId, Box(left, top, width, 18)),
                       *location.label);
        binder_->List(Add(kTabOptions, WC_COMBOBOXW, kDropDown, location.comboId, Box(left, top + 20, width, 200)),
                      *location.combo, true);
        top += 56;
    }
    binder_->Label(Add(kTabOptions, L"STATIC", kLabel, LabelId(13), Box(left, top, width, 18)), form.Label13);

    binder_->Button(Add(kTabOptions, L"BUTTON", kButton, CommandId(5), ButtonAt(kMargin, 130)), form.Command5);
    binder_->Button(Add(kTabOptions, L"BUTTON", kButton, CommandId(6), ButtonAt(146, 100)), form.Command6);
    binder_->Button(Add(kTabOptions, L"BUTTON", kButton, CommandId(7), ButtonAt(254, 110)), form.Command7);
}

void MainWindow::BuildInternetPage() {
    auto& form = ctx_.frmMain;
    // Each list comes after the label that names it, which is also the order Tab follows.
    Add(kTabInternet, L"STATIC", kLabel, 0, Box(kMargin, 11, 90, 18), form.Label3.Caption().c_str());
    binder_->List(Add(kTabInternet, WC_COMBOBOXW, kDropDown, kCacheId, Box(kMargin + 96, 8, kContentWidth - 96, 240)),
                  form.cache, true);
    binder_->Label(Add(kTabInternet, L"STATIC", kLabel, LabelId(1), Box(kMargin, 38, kContentWidth, 18)), form.Label1);
    // MSIE, NS, FireFox and Chromium share one place; one of them is shown at a time.
    const RECT stacked = Box(kMargin, 58, kContentWidth, kButtonTop - 66);
    binder_->List(Add(kTabInternet, WC_LISTBOXW, kListBox, kMsieId, stacked), form.MSIE, false);
    binder_->List(Add(kTabInternet, WC_LISTBOXW, kListBox, kNsId, stacked), form.NS, false);
    binder_->List(Add(kTabInternet, WC_LISTBOXW, kListBox, kFireFoxId, stacked), form.FireFox, false);
    binder_->List(Add(kTabInternet, WC_LISTBOXW, kListBox, kChromiumId, stacked), form.Chromium, false);
    binder_->Button(Add(kTabInternet, L"BUTTON", kButton, CommandId(1), ButtonAt(kMargin, 130)), form.Command1);
    binder_->Button(Add(kTabInternet, L"BUTTON", kButton, CommandId(11), ButtonAt(146, 100)), form.Command11);
    binder_->Button(Add(kTabInternet, L"BUTTON", kButton, CommandId(2), ButtonAt(254, 110)), form.Command2);
}

void MainWindow::BuildTempPage() {
    auto& form = ctx_.frmMain;
    binder_->Label(Add(kTabTemp, L"STATIC", kLabel, LabelId(5), Box(kMargin, 8, kContentWidth, 18)), form.Label5);
    binder_->List(Add(kTabTemp, WC_LISTBOXW, kListBox, kList2Id, Box(kMargin, 28, kContentWidth, kButtonTop - 58)), form.List2, false);
    binder_->Label(Add(kTabTemp, L"STATIC", kLabel, LabelId(6), Box(kMargin, kButtonTop - 26, kContentWidth, 20)), form.Label6);
    binder_->Button(Add(kTabTemp, L"BUTTON", kButton, CommandId(3), ButtonAt(kMargin, 130)), form.Command3);
    binder_->Button(Add(kTabTemp, L"BUTTON", kButton, CommandId(12), ButtonAt(146, 100)), form.Command12);
    binder_->Button(Add(kTabTemp, L"BUTTON", kButton, CommandId(4), ButtonAt(254, 110)), form.Command4);
}

// Top to bottom: the location, the cookie list with its deletion buttons, the selected
// cookie's fields in two columns, the kept list of the family; each list after the label
// that names it (the order Tab follows too).
void MainWindow::BuildCookiesPage() {
    auto& form = ctx_.frmMain;
    Add(kTabCookies, L"STATIC", kLabel, 0, Box(kMargin, 9, 90, 18), form.Label8.Caption().c_str());
    binder_->List(Add(kTabCookies, WC_COMBOBOXW, kDropDown, kCboLocId, Box(kMargin + 96, 6, kContentWidth - 96, 240)),
                  form.cboLoc, true);
    binder_->Label(Add(kTabCookies, L"STATIC", kLabel, kLblCookieCntId, Box(kMargin, 34, kContentWidth, 16)),
                   form.lblCookieCnt);
    binder_->TabbedList(Add(kTabCookies, WC_LISTBOXW, kKeyedListBox | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                            kLstCookieId, Box(kMargin, 52, kContentWidth, 128)),
                        form.lstCookie, kCookieTabStops);
    binder_->Label(Add(kTabCookies, L"STATIC", kLabel, LabelId(12), Box(kMargin, 187, 400, 18)), form.Label12);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, kBtnDelId, Box(kPageWidth - kMargin - 186, 184, 90, 24)),
                    form.btnDel);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, kBtnClearId, Box(kPageWidth - kMargin - 90, 184, 90, 24)),
                    form.btnClear);

    binder_->Tabs(Add(kTabCookies, WC_TABCONTROLW, WS_TABSTOP, kTabKvId, Box(kMargin, 212, kContentWidth, 24)),
                  form.tabKV);
    struct Detail {
        const wchar_t* caption;
        TextBoxModel* box;
    } details[] = {{L"Name", &form.txtName},     {L"Value", &form.txtValue},   {L"Secure", &form.txtSecure},
                   {L"Created", &form.txtCreated}, {L"Expires", &form.txtExpire}, {L"Lifetime", &form.txtLife}};
    const int column = (kContentWidth - 12) / 2;
    for (int i = 0; i < 6; ++i) {
        const int left = kMargin + (i / 3) * (column + 12), top = 240 + (i % 3) * 22;
        Add(kTabCookies, L"STATIC", kLabel, 0, Box(left, top + 3, 54, 18), details[i].caption);
        binder_->TextBox(Add(kTabCookies, WC_EDITW, kDetailBox, kFirstDetailId + i, Box(left + 56, top, column - 56, 20)),
                         *details[i].box);
    }
    // The details' last line: "HttpOnly: Yes" for a cookie that scripts of the page cannot read.
    binder_->Label(Add(kTabCookies, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLblHttpOnlyId,
                       Box(kMargin + column + 12 + 56, 306, column - 56, 16)),
                   form.lblHttpOnly);
    binder_->Label(Add(kTabCookies, L"STATIC", kLabel, LabelId(14), Box(kMargin, 324, kContentWidth, 18)), form.Label14);
    // MSSaved, NS2Saved, FireFoxSaved and ChromiumSaved share one place; the family's list is shown.
    const RECT stacked = Box(kMargin, 342, kContentWidth, kButtonTop - 348);
    const std::pair<int, ListModel*> keptLists[] = {{kMsSavedId, &form.MSSaved},
                                                    {kNs2SavedId, &form.NS2Saved},
                                                    {kFireFoxSavedId, &form.FireFoxSaved},
                                                    {kChromiumSavedId, &form.ChromiumSaved}};
    for (const auto& [id, list] : keptLists)
        binder_->TabbedList(Add(kTabCookies, WC_LISTBOXW, kKeyedListBox, id, stacked), *list, kCookieTabStops);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, CommandId(8), ButtonAt(kMargin, 130)), form.Command8);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, CommandId(9), ButtonAt(146, 100)), form.Command9);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, CommandId(10), ButtonAt(254, 110)), form.Command10);
    binder_->Button(Add(kTabCookies, L"BUTTON", kButton, CommandId(13), ButtonAt(422, 130)), form.Command13);
}

// The folder editor: the stored folders (list mode) or the chosen folder with its picker
// (browse mode) above the files of the folder shown; the buttons below.
void MainWindow::BuildYourFolderPage() {
    auto& form = ctx_.frmMain;
    binder_->Label(Add(kTabYourFolder, L"STATIC", kLabel, LabelId(15), Box(kMargin, 8, kContentWidth, 18)), form.Label15);
    dir1_ = Add(kTabYourFolder, WC_EDITW, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kDir1Id,
                Box(kMargin, 30, kContentWidth - 114, 24));
    binder_->Button(Add(kTabYourFolder, L"BUTTON", kButton, CommandId(19), Box(kPageWidth - kMargin - 106, 28, 106, 28)),
                    form.Browse);
    binder_->List(Add(kTabYourFolder, WC_LISTBOXW, kListBox | LBS_WANTKEYBOARDINPUT, kList5Id,
                      Box(kMargin, 28, kContentWidth, 120)),
                  form.List5, false);
    binder_->Label(Add(kTabYourFolder, L"STATIC", kLabel, LabelId(16), Box(kMargin, 152, kContentWidth, 32)), form.Label16);
    Add(kTabYourFolder, L"STATIC", kLabel, 0, Box(kMargin, 186, kContentWidth, 18), kFilesOfFolderCaption);
    binder_->List(Add(kTabYourFolder, WC_LISTBOXW, kListBox, kFile1Id, Box(kMargin, 204, kContentWidth, kButtonTop - 210)), form.File1,
                  false);
    binder_->Button(Add(kTabYourFolder, L"BUTTON", kButton, CommandId(15), ButtonAt(kMargin, 130)), form.Command15);
    binder_->Button(Add(kTabYourFolder, L"BUTTON", kButton, CommandId(16), ButtonAt(146, 100)), form.Command16);
    binder_->Button(Add(kTabYourFolder, L"BUTTON", kButton, CommandId(17), ButtonAt(254, 90)), form.Command17);
    binder_->Button(Add(kTabYourFolder, L"BUTTON", kButton, CommandId(18), ButtonAt(352, 110)), form.Command18);
    subscriptions_.push_back(form.Dir1.Changed.Subscribe([this] { MirrorDir1(); }));
    subscriptions_.push_back(form.Browse.Click.Subscribe([this] { ChooseFolder(); }));
    MirrorDir1();
}

void MainWindow::MirrorDir1() {
    const auto& dir1 = ctx_.frmMain.Dir1;
    ::SetWindowTextW(dir1_, dir1.Text().c_str());
    ShowControl(dir1_, dir1.Visible());
}

void MainWindow::ChooseFolder() {
    if (const auto folder = PickFolder(Handle(), ctx_.frmMain.Dir1.Text())) ctx_.frmMain.Dir1.SetText(*folder);
}

void MainWindow::Bind() {
    auto& form = ctx_.frmMain;
    subscriptions_.push_back(form.form.Changed.Subscribe([this] { MirrorForm(); }));
    subscriptions_.push_back(form.form.FrontRequested.Subscribe([this] { BringToFront(Handle()); }));
    subscriptions_.push_back(form.SSTab1.Changed.Subscribe([this] { ShowPage(ctx_.frmMain.SSTab1.SelectedIndex()); }));
}

void MainWindow::Layout() {
    font_ = MessageFont(dpi_);
    const auto font = reinterpret_cast<WPARAM>(font_.get());
    ::SendMessageW(tabs_, WM_SETFONT, font, TRUE);

    // The page area decides the tab control's size, and that the window's.
    RECT tabRect{0, 0, Scale(kPageWidth, dpi_), Scale(kPageHeight, dpi_)};
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    ::OffsetRect(&tabRect, Scale(kMargin, dpi_) - tabRect.left, Scale(kMargin, dpi_) - tabRect.top);
    RECT frame{0, 0, tabRect.right + Scale(kMargin, dpi_), tabRect.bottom + Scale(kMargin, dpi_)};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(tabs_, tabRect.left, tabRect.top, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top, TRUE);

    RECT pageRect = tabRect;
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageRect));
    for (const auto& page : pages_)
        ::SetWindowPos(page->Handle(), HWND_TOP, pageRect.left, pageRect.top, pageRect.right - pageRect.left,
                       pageRect.bottom - pageRect.top, SWP_NOACTIVATE);
    for (const auto& placed : placed_) {
        const RECT& r = placed.design;
        ::MoveWindow(placed.control, Scale(r.left, dpi_), Scale(r.top, dpi_), Scale(r.right - r.left, dpi_),
                     Scale(r.bottom - r.top, dpi_), TRUE);
        ::SendMessageW(placed.control, WM_SETFONT, font, TRUE);
    }
    binder_->FontChanged();
}

void MainWindow::MirrorForm() {
    auto& form = ctx_.frmMain.form;
    const int twipsX = TwipsPerPixelX(), twipsY = TwipsPerPixelY();
    ::SetWindowPos(Handle(), nullptr, form.Left() / (twipsX > 0 ? twipsX : 15), form.Top() / (twipsY > 0 ? twipsY : 15),
                   0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const bool shown = ::IsWindowVisible(Handle()) != FALSE;
    if (form.Visible() == shown) return;
    ::ShowWindow(Handle(), form.Visible() ? SW_SHOW : SW_HIDE);
    if (form.Visible()) ::SetForegroundWindow(Handle());
}

void MainWindow::ShowPage(int tab) {
    if (tab < 0) return;
    if (static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)) != tab)
        ::SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    // The new page first: the focus of a page going out of sight moves to its first control.
    ShowControl(Page(tab), true);
    for (int i = 0; i < static_cast<int>(pages_.size()); ++i)
        if (i != tab) ShowControl(Page(i), false);
}

bool MainWindow::TranslateTabKeys(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || !(::GetKeyState(VK_CONTROL) & 0x8000))
        return false;
    if (!message.hwnd || ::GetAncestor(message.hwnd, GA_ROOT) != Handle()) return false;
    auto& tabs = ctx_.frmMain.SSTab1;
    const int step = (::GetKeyState(VK_SHIFT) & 0x8000) ? tabs.TabCount() - 1 : 1;
    tabs.Select((std::max(tabs.SelectedIndex(), 0) + step) % tabs.TabCount());
    return true;
}

void MainWindow::OnPageCommand(HWND control, UINT code) {
    if (control == Control(kList5Id) && code == LBN_DBLCLK) return List5_DblClick(ctx_);
    binder_->OnCommand(control, code);
}

// The lists that act on Enter as on a double click: lstCookie keeps, a kept list drops.
ListModel* MainWindow::ActionList(HWND control) const {
    auto& form = ctx_.frmMain;
    ControlModel* model = binder_->ModelOf(control);
    for (ListModel* list : {&form.lstCookie, &form.MSSaved, &form.NS2Saved, &form.FireFoxSaved, &form.ChromiumSaved})
        if (model == list) return list;
    return nullptr;
}

void MainWindow::OnEnter(HWND focus) {
    if (ListModel* list = ActionList(focus)) list->DblClick();
}

int MainWindow::OnListKey(HWND control, UINT key) {
    auto& form = ctx_.frmMain;
    if (key == VK_DELETE && control == Control(kList5Id)) {
        List5_DblClick(ctx_);  // Delete removes a stored folder as a double click does
        return -2;
    }
    ListModel* list = ActionList(control);
    if (key == VK_DELETE && list && list != &form.lstCookie) {
        list->DblClick();
        return -2;  // handled
    }
    return -1;  // the list box's own handling
}

void MainWindow::OnPagePointer(int page, HWND control) {
    auto& form = ctx_.frmMain;
    if (ControlModel* model = binder_->ModelOf(control)) {
        ShowHintFor(form, *model);
        return;
    }
    // Over the cookie page itself both count lines come back.
    if (page == kTabCookies && control == Page(page)) {
        ShowCookieCounts(ctx_);
        return;
    }
    // Over the page itself: within the options frame the group's own text comes back.
    if (page != kTabOptions || control != Page(page)) return;
    POINT pointer{};
    ::GetCursorPos(&pointer);
    RECT frame{};
    ::GetWindowRect(frame2_, &frame);
    if (::PtInRect(&frame, pointer)) ShowHintFor(form, form.Frame2);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (interceptor_)
        if (const auto result = interceptor_(message, wParam, lParam)) return *result;
    switch (message) {
        case WM_CLOSE: {  // the close box hides the window and parks it top-left
            auto& form = ctx_.frmMain.form;
            form.SetVisible(false);
            form.Move(0, 0);
            return 0;
        }
        case WM_ACTIVATE:  // as a dialog: the focus comes back where it was, or to the first control
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
                break;
            }
            if (HIWORD(wParam)) break;  // minimised
            if (!lastFocus_ || !::IsChild(Handle(), lastFocus_) || !::IsWindowVisible(lastFocus_) ||
                !::IsWindowEnabled(lastFocus_))
                lastFocus_ = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
            ::SetFocus(lastFocus_ ? lastFocus_ : Handle());
            return 0;
        case WM_COMMAND:  // Escape (from the dialog keys) closes the window as "Close Form" does
            if (LOWORD(wParam) == IDCANCEL) ctx_.frmMain.form.SetVisible(false);
            if (LOWORD(wParam) == IDOK) OnEnter(::GetFocus());
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE)
                ctx_.frmMain.SSTab1.Select(static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
            return 0;
        }
        case ControlBinder::kSyncListsMessage: binder_->SyncLists(); return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        default: break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace qm
