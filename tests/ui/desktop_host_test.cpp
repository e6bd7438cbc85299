// The real windows under Xvfb: the main window's tabs and controls bound to the form
// model, the result window, the tray callback and the end of the logon.
#include "ui/desktop_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "clean/clean_commands.h"
#include "clean/count_form.h"
#include "clean/run_state.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/desktop_app.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"
#include "ui/count_window.h"
#include "ui/folder_editor.h"
#include "ui/last_clean_window.h"
#include "ui/main_form.h"
#include "ui/tray_menu.h"

namespace qm {
namespace {

using test::ScratchRegistry;

std::wstring Text(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

// The first visible child of a class (and a caption, when given), at any depth.
HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* caption = nullptr) {
    struct Search {
        const wchar_t *className, *caption;
        HWND found = nullptr;
    } search{className, caption};
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) {
            auto& s = *reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            ::GetClassNameW(child, name, 64);
            if (_wcsicmp(name, s.className) != 0 || !::IsWindowVisible(child)) return TRUE;
            if (s.caption && Text(child) != s.caption) return TRUE;
            s.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Clicks "Browse..." and, from a second thread while the system's folder picker runs, types
// the folder into the picker and presses its OK button (Cancel when there is no name box).
void PickWithTheSystemPicker(HWND browse, const std::wstring& folder) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([&] {
        HWND picker = nullptr;
        for (int tries = 0; tries < 200 && !picker; ++tries) {
            ::Sleep(50);
            ::EnumThreadWindows(
                uiThread,
                [](HWND window, LPARAM found) {
                    wchar_t name[16] = {};
                    ::GetClassNameW(window, name, 16);
                    if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
                    *reinterpret_cast<HWND*>(found) = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&picker));
        }
        if (!picker) return;
        ::Sleep(300);  // the picker fills its view first
        if (const HWND name = FindChild(picker, L"Edit")) {
            ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
            ::SendMessageW(::GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
        } else {
            ::SendMessageW(picker, WM_COMMAND, IDCANCEL, 0);
        }
    });
    ::SendMessageW(browse, BM_CLICK, 0, 0);
    driver.join();
}

bool Shown(HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

class DesktopHostTest : public ::testing::Test, protected test::DesktopApp {
protected:
    DesktopHostTest() : DesktopApp(L"qm-windows") { BindCountForm(ctx); }
};

TEST_F(DesktopHostTest, MainWindowLoadsHiddenAtTheTopLeftWithItsTitleAndFiveTabs) {
    int shows = 0;
    ctx.frmMain.form.Changed.Connect([&] { shows += ::IsWindowVisible(Main()) ? 1 : 0; });
    host.LoadMainForm();
    EXPECT_EQ(shows, 0);  // not even for a moment
    EXPECT_FALSE(::IsWindowVisible(Main()));
    EXPECT_EQ(Text(Main()), L"Dorvik Quillmere Program");
    RECT frame{};
    ::GetWindowRect(Main(), &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(::GetWindow(Main(), GW_OWNER), nullptr) << "unowned: a task-bar button of its own";

    const HWND tabs = host.MainView()->Tabs();
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 5);
    const wchar_t* captions[] = {L"Options", L"Internet", L"Temp", L"Cookies", L"Your Folder"};
    for (int i = 0; i < 5; ++i) {
        wchar_t caption[32] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 32;
        ::SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(caption, captions[i]);
    }
}

TEST_F(DesktopHostTest, EachTabShowsItsOwnPageWithTheControlsOfThatTab) {
    host.LoadMainForm();
    const struct {
        int tab;
        int control;
        const wchar_t* caption;
    } cases[] = {{kTabOptions, 205, L"Clean Your Folder"}, {kTabOptions, 105, L"AutoClean Now"},
                 {kTabInternet, 101, L"Clean Internet"},   {kTabTemp, 103, L"Clean Temp"},
                 {kTabCookies, 108, L"Clean Cookies"},     {kTabYourFolder, 115, L"Clean Folders"}};
    for (const auto& c : cases) {
        ctx.frmMain.SSTab1.Select(c.tab);
        for (int page = 0; page < 5; ++page) EXPECT_EQ(Shown(host.MainView()->Page(page)), page == c.tab);
        EXPECT_EQ(::GetParent(Control(c.control)), host.MainView()->Page(c.tab));
        EXPECT_EQ(Text(Control(c.control)), c.caption);
        EXPECT_EQ(::SendMessageW(host.MainView()->Tabs(), TCM_GETCURSEL, 0, 0), c.tab);
    }
    EXPECT_FALSE(Shown(Control(413)));  // Label13 starts hidden
}

// At every scaling the controls stay on their pages and the captions of buttons and
// option boxes fit their controls.
TEST_F(DesktopHostTest, NothingIsClippedAtAnyScaling) {
    host.LoadMainForm();
    for (const UINT dpi : {96u, 144u, 192u}) {
        RECT suggested{};
        ::GetWindowRect(Main(), &suggested);
        ::SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        for (int page = 0; page < 5; ++page) {
            RECT pageRect{};
            ::GetWindowRect(host.MainView()->Page(page), &pageRect);
            for (HWND child = ::GetWindow(host.MainView()->Page(page), GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                wchar_t name[32] = {};
                ::GetClassNameW(child, name, 32);
                RECT r{};
                ::GetWindowRect(child, &r);
                const int id = ::GetDlgCtrlID(child);
                if (std::wstring(name) == L"ComboBox") r.bottom = r.top + MulDiv(24, static_cast<int>(dpi), 96);
                EXPECT_TRUE(r.left >= pageRect.left && r.right <= pageRect.right && r.top >= pageRect.top &&
                            r.bottom <= pageRect.bottom)
                    << "dpi " << dpi << " page " << page << " control " << id;
                const bool button = id >= 101 && id <= 118, box = id >= 201 && id <= 208;
                if (!button && !box) continue;
                const HDC dc = ::GetDC(child);
                const HGDIOBJ old = ::SelectObject(dc,
                                                   reinterpret_cast<HGDIOBJ>(::SendMessageW(child, WM_GETFONT, 0, 0)));
                const std::wstring caption = Text(child);
                SIZE extent{};
                ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
                ::SelectObject(dc, old);
                ::ReleaseDC(child, dc);
                const int room = (r.right - r.left) - MulDiv(box ? 20 : 8, static_cast<int>(dpi), 96);
                EXPECT_LE(extent.cx, room) << "dpi " << dpi << " control " << id;
            }
        }
    }
}

TEST_F(DesktopHostTest, CtrlTabMovesBetweenTheTabs) {
    host.LoadMainForm();
    ctx.frmMain.SSTab1.Select(kTabOptions);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    const auto press = [&](bool shift) {
        keys[VK_CONTROL] = 0x80;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys);
        MSG message{Control(201), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        return host.PreTranslate(message);
    };
    EXPECT_TRUE(press(false));
    EXPECT_EQ(ctx.frmMain.SSTab1.SelectedIndex(), kTabInternet);
    EXPECT_TRUE(press(true));
    EXPECT_TRUE(press(true));
    EXPECT_EQ(ctx.frmMain.SSTab1.SelectedIndex(), kTabYourFolder);
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
}

TEST_F(DesktopHostTest, ClickingAnOptionBoxStoresItAndTheBoxFollowsTheModel) {
    host.LoadMainForm();
    ::SendMessageW(Control(202), BM_CLICK, 0, 0);
    EXPECT_EQ(ctx.frmMain.Check2.Value(), 1);
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles"));
    ::SendMessageW(Control(202), BM_CLICK, 0, 0);
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles"));

    ctx.frmMain.Check8.SetValue(1);
    EXPECT_EQ(::SendMessageW(Control(208), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(DesktopHostTest, ThePointerOverAnOptionWritesItsHintAndTheFrameBringsBackTheGroupText) {
    host.LoadMainForm();
    const HWND page = host.MainView()->Page(kTabOptions);
    const LPARAM mouseMove = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    ::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(203)), mouseMove);
    EXPECT_EQ(Text(Control(404)), L"Check To Enable AutoClean Function");
    ::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(Control(105)), mouseMove);
    EXPECT_EQ(Text(Control(404)), L"Click To Clean All Selected Files");

    RECT frame{};
    ::GetWindowRect(Control(500), &frame);
    ::SetCursorPos(frame.left + 4, frame.bottom - 4);  // inside the frame, on no control
    ::SendMessageW(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(page), mouseMove);
    EXPECT_EQ(Text(Control(404)), L"Select An Option Below For AutoClean Function");
}

TEST_F(DesktopHostTest, ListsFollowTheirModelOnceMessagesRun) {
    host.LoadMainForm();
    for (int i = 0; i < 12; ++i) ctx.frmMain.List2.AddItem(L"C:\\temp\\file" + std::to_wstring(i));
    test::PumpMessages(200);
    EXPECT_EQ(::SendMessageW(Control(305), LB_GETCOUNT, 0, 0), 12);
    ctx.frmMain.List2.RemoveItem(0);
    ctx.frmMain.List2.AddItem(L"C:\\temp\\last");
    test::PumpMessages(200);
    ASSERT_EQ(::SendMessageW(Control(305), LB_GETCOUNT, 0, 0), 12);
    wchar_t line[64] = {};
    ::SendMessageW(Control(305), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(line, L"C:\\temp\\file1");
    ::SendMessageW(Control(305), LB_GETTEXT, 11, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(line, L"C:\\temp\\last");

    ctx.frmMain.List2.AddItem(L"C:\\temp\\" + std::wstring(300, L'x'));  // wider than the list
    test::PumpMessages(200);
    RECT list{};
    ::GetClientRect(Control(305), &list);
    EXPECT_GT(::SendMessageW(Control(305), LB_GETHORIZONTALEXTENT, 0, 0), list.right);
}

TEST_F(DesktopHostTest, CloseBoxHidesAndParksTheWindowTopLeft) {
    host.LoadMainForm();
    ctx.frmMain.form.Move(1500, 1500);
    ctx.frmMain.form.SetVisible(true);
    ::SendMessageW(Main(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(ctx.frmMain.form.Visible());
    EXPECT_FALSE(::IsWindowVisible(Main()));
    RECT frame{};
    ::GetWindowRect(Main(), &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_TRUE(::IsWindow(Main()));  // hidden, not destroyed

    ctx.frmMain.form.SetVisible(true);
    ::SendMessageW(Main(), WM_COMMAND, IDCANCEL, 0);  // Escape
    EXPECT_FALSE(::IsWindowVisible(Main()));
}

// Whatever the options window's state, the menu opens (its owner is the hidden window).
TEST_F(DesktopHostTest, ATrayClickOpensTheMenuWithItsItems) {
    host.LoadMainForm();
    host.SubClass(Main());
    static int items = -1;
    static bool exitAvailable = false;
    static UINT defaultItem = 0;
    for (const int show : {SW_HIDE, SW_SHOW, SW_MINIMIZE}) {
        ctx.frmMain.form.SetVisible(show != SW_HIDE);
        ::ShowWindow(Main(), show);
        items = -1;
        // Runs inside the menu's own loop: looks at the open menu, then closes it.
        ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            const HWND menuWindow = ::FindWindowW(L"#32768", nullptr);
            const HMENU menu = menuWindow ? reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0))
                                          : nullptr;
            items = menu ? ::GetMenuItemCount(menu) : 0;
            exitAvailable = menu && !(::GetMenuState(menu, TrayMenuCommandId(L"Exit Program"), MF_BYCOMMAND) & MF_GRAYED);
            defaultItem = menu ? ::GetMenuDefaultItem(menu, FALSE, 0) : 0;
            ::EndMenu();
        });
        ::SendMessageW(Main(), kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
        EXPECT_EQ(items, static_cast<int>(kTrayMenuItems.size())) << "show " << show;
        EXPECT_TRUE(exitAvailable) << "show " << show;
        EXPECT_EQ(defaultItem, TrayMenuCommandId(kTrayDefaultItem)) << "shown bold, run by a double click";
        test::PumpMessages(100);
    }

    items = -1;  // a button pressed but not released does nothing
    ::SendMessageW(Main(), kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    EXPECT_EQ(items, -1);
    test::PumpMessages(400);
}

// The options window and help have task-bar buttons (unowned, WS_EX_APPWINDOW); minimised,
// each comes back by its tray command and by the message of its task-bar button, restored
// and in front. Tray "Help" leaves the options window as it was.
TEST_F(DesktopHostTest, EveryMinimisedWindowComesBackByItsTrayCommandAndItsTaskBarButton) {
    host.LoadMainForm();
    const auto help = [&] { return ctx.frmHelp ? ctx.frmHelp->Handle() : nullptr; };
    const struct {
        const wchar_t* command;
        std::function<HWND()> window;
    } windows[] = {{L"Configure Program", [&] { return Main(); }}, {L"Help", help}};
    const struct {
        const char* name;
        std::function<void(const wchar_t* command, HWND window)> restore;
    } ways[] = {{"tray command", [&](const wchar_t* command, HWND) { cP_Click(ctx, command); }},
                {"task-bar button", [](const wchar_t*, HWND window) {
                     ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
                     ::SetForegroundWindow(window);
                 }}};
    for (const auto& w : windows) {
        for (const auto& way : ways) {
            cP_Click(ctx, w.command);
            test::PumpMessages(100);
            const HWND window = w.window();
            ASSERT_TRUE(::IsWindowVisible(window)) << w.command;
            EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr) << w.command;
            EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) << w.command;
            ::ShowWindow(window, SW_MINIMIZE);
            ASSERT_TRUE(::IsIconic(window)) << w.command;

            way.restore(w.command, window);
            test::PumpMessages(100);
            EXPECT_FALSE(::IsIconic(window)) << w.command << " by " << way.name;
            EXPECT_TRUE(::IsWindowVisible(window)) << w.command << " by " << way.name;
            EXPECT_EQ(::GetForegroundWindow(), window) << w.command << " by " << way.name;
        }
    }
    EXPECT_TRUE(::IsWindowVisible(Main())) << "tray Help left the options window as it was";
    ::SendMessageW(help(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(Main()));
}

// Remove All Paths with help open: help closes (storing its size) before the settings go,
// so nothing writes the program key back.
TEST_F(DesktopHostTest, RemoveAllPathsWithHelpOpenLeavesNoProgramKey) {
    host.LoadMainForm();
    cP_Click(ctx, L"Help");
    ASSERT_TRUE(ctx.frmHelp && ::IsWindow(ctx.frmHelp->Handle()));
    dialogs.timedAnswers = {IDOK};
    cP_Click(ctx, L"Remove All Paths");
    test::PumpMessages(200);
    EXPECT_TRUE(host.Unloaded());
    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
}

TEST_F(DesktopHostTest, TheResultWindowShowsTheCountWithoutTakingTheFocusAndReturns) {
    host.LoadMainForm();
    ctx.frmMain.form.SetVisible(true);
    ASSERT_EQ(::GetForegroundWindow(), Main());
    ctx.CleanCount = 12;
    host.ShowfrmCount(L"Form1", false);
    host.ShowCount(L"Form1", false);
    const HWND count = ::FindWindowW(kCountWindowClass, nullptr);
    ASSERT_NE(count, nullptr);
    EXPECT_TRUE(::IsWindowVisible(count));
    EXPECT_EQ(Text(::GetDlgItem(count, 1)), L"12");
    EXPECT_EQ(Text(::GetDlgItem(count, 2)), L"Files Cleaned");
    EXPECT_EQ(::GetForegroundWindow(), Main());

    host.ShowCount(L"frmMain", true);
    EXPECT_FALSE(ctx.frmMain.form.Visible());
    test::PumpMessages(5000, [&] { return ctx.frmMain.form.Visible(); });
    EXPECT_TRUE(ctx.frmMain.form.Visible());
    EXPECT_FALSE(::IsWindowVisible(count));

    // Clicked, the result goes at once and Last Clean opens.
    host.ShowCount(L"frmMain", true);
    ::SendMessageW(count, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(::IsWindowVisible(count));
    EXPECT_TRUE(ctx.frmMain.form.Visible());
    EXPECT_NE(::FindWindowW(kLastCleanWindowClass, nullptr), nullptr);
}

TEST_F(DesktopHostTest, EndOfSessionEndsTheProgramOnceTheRunningWorkHasUnwound) {
    const HWND main = Main();  // not subclassed: no notification area, as when the icon could not be added
    RunExclusive(ctx, {L"test", L"run"}, [&] {
        EXPECT_EQ(::SendMessageW(main, WM_QUERYENDSESSION, 0, 0), TRUE);
        EXPECT_FALSE(host.Unloaded());
    });
    EXPECT_TRUE(host.Unloaded());
    EXPECT_FALSE(::IsWindow(main));
    EXPECT_FALSE(ctx.frmMain.form.Loaded());
}

// The "Your Folder" tab through its real controls and the system's folder picker: a folder
// with a non-ASCII name is stored without a trailing separator and later cleaned, a second
// copy, a drive root and the Windows folder are refused, and Delete removes the stored one.
TEST_F(DesktopHostTest, TheFolderEditorStoresRefusesAndRemovesThroughItsRealControls) {
    const std::wstring odd = temp / L"Dossier \u00e9t\u00e9 \u65e5\u672c %;";
    test::MakeFolder(odd + L"\\inner");
    test::WriteBytes(odd + L"\\a.txt", "a");
    test::WriteBytes(odd + L"\\inner\\b.txt", "b");
    BindCleanCommands(ctx);
    host.LoadMainForm();
    ctx.frmMain.form.SetVisible(true);
    ctx.frmMain.SSTab1.Select(kTabYourFolder);
    test::PumpMessages(200);
    const HWND page = host.MainView()->Page(kTabYourFolder);
    const auto stored = [] {
        std::wstring first;
        return ScratchRegistry::GetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", first) ? first : L"<none>";
    };
    const auto click = [&](const wchar_t* caption) {
        const HWND button = FindChild(page, L"Button", caption);
        ASSERT_NE(button, nullptr) << caption;
        ::SendMessageW(button, BM_CLICK, 0, 0);
        test::PumpMessages(100);
    };
    const struct {
        std::wstring folder, picked;
        size_t messages;  // questions and refusals, each answered with its first button
    } cases[] = {{odd, odd, 2}, {odd + L"\\", odd, 2}, {L"C:\\", L"C:\\", 2}, {L"C:\\windows", L"C:\\windows", 2}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        if (Text(FindChild(page, L"Button", L"Add Folder")) == L"Add Folder") click(L"Add Folder");
        PickWithTheSystemPicker(FindChild(page, L"Button", L"Browse..."), c.folder);
        EXPECT_EQ(ctx.frmMain.Dir1.Text(), c.picked);
        click(L"Save Folder");
        EXPECT_EQ(dialogs.messages.size(), c.messages) << c.folder;
        EXPECT_EQ(stored(), odd) << c.folder;
    }
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kUserFolderKey, L"File1"));

    click(L"Clean Folders");
    test::PumpMessages(3000, [&] { return !test::PathExists(odd + L"\\a.txt"); });
    EXPECT_EQ(test::ListTree(odd), L"") << "emptied";
    EXPECT_TRUE(test::PathExists(odd)) << "the folder itself stays";

    ctx.frmMain.form.SetVisible(true);  // the clean hid the window
    test::PumpMessages(200);
    click(L"Show List");
    const HWND list = host.MainView()->Control(314);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
    ::SendMessageW(list, LB_SETCURSEL, 0, 0);
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(314, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    ::SetFocus(list);
    ::SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
    test::PumpMessages(200);
    EXPECT_EQ(stored(), L"<none>");
    EXPECT_EQ(ctx.frmMain.Command16.Caption(), L"Save Folder") << "the last one gone: browse mode";
}

}  // namespace
}  // namespace qm
