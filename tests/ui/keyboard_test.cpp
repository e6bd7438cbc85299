// Every window by keyboard, through the program's own loop (its dialog-key path): Tab
// reaches every control, each has a name a screen reader can say, and the focus is shown.
// About and the update notice answer Enter and Esc as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cookies/discovery.h"
#include "help/help_window.h"
#include "online/about_window.h"
#include "online/update_notice.h"
#include "startup/reg_op.h"
#include "support/desktop_app.h"
#include "support/keyboard.h"
#include "ui/entry_points.h"
#include "ui/folder_editor.h"
#include "ui/hot_key_window.h"
#include "ui/last_clean_window.h"
#include "ui/main_form.h"
#include "ui/main_window.h"

namespace qm {
namespace {

using test::ScratchRegistry;

class KeyboardTest : public ::testing::Test, protected test::DesktopApp {
protected:
    KeyboardTest() : DesktopApp(L"qm-keys") {}

    test::PumpStep Loop() {
        return [this](DWORD milliseconds) {
            const ULONGLONG until = ::GetTickCount64() + milliseconds;
            MSG message;
            while (::GetTickCount64() < until) {
                if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    ::Sleep(5);
                    continue;
                }
                if (host.PreTranslate(message)) continue;
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        };
    }

    static std::string Describe(HWND control) {
        wchar_t type[64] = {};
        ::GetClassNameW(control, type, 64);
        std::string name;
        for (const wchar_t c : std::wstring(type)) name += static_cast<char>(c);
        return name + " #" + std::to_string(::GetDlgCtrlID(control));
    }

    // Tab goes round every control of root, each named; focus rectangles are shown.
    void ExpectReachableAndNamed(HWND root, const std::string& what) {
        ASSERT_TRUE(root) << what;
        const std::vector<HWND> cycle = test::TabCycle(root, Loop());
        for (const HWND stop : test::TabStops(root))
            EXPECT_NE(std::find(cycle.begin(), cycle.end(), stop), cycle.end())
                << what << ": Tab never reaches " << Describe(stop);
        for (const HWND control : cycle) {
            EXPECT_EQ(::GetAncestor(control, GA_ROOT), root) << what << ": the focus left the window";
            EXPECT_FALSE(test::AccessibleName(control).empty()) << what << ": " << Describe(control) << " has no name";
        }
        EXPECT_EQ(::SendMessageW(root, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0) << what << ": focus hidden";
    }
};

TEST_F(KeyboardTest, MainWindowEveryTabReachesAndNamesEveryControl) {
    const std::wstring cookies = temp / L"cookies.txt";
    test::WriteBytes(cookies, "# Netscape HTTP Cookie File\na.com\tFALSE\t/\tFALSE\t4294967295\tA\tv\n");
    host.LoadMainForm();
    auto& form = ctx.frmMain;
    form.form.SetVisible(true);
    struct Case {
        const char* what;
        int tab;
        bool folderStored;
    } cases[] = {{"Options", kTabOptions, false},        {"Internet", kTabInternet, false},
                 {"Temp", kTabTemp, false},              {"Cookies", kTabCookies, false},
                 {"Your Folder, browse", kTabYourFolder, false}, {"Your Folder, list", kTabYourFolder, true}};
    for (const auto& c : cases) {
        if (c.folderStored) ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", temp.Path());
        form.SSTab1.Select(c.tab);
        if (c.tab == kTabCookies) {
            form.cboLoc.Clear();
            form.cboLoc.SetItemData(form.cboLoc.AddItem(cookies), kKindNetscapeCookieFile);
            form.cboLoc.SetListIndex(0);
        }
        Loop()(100);
        ExpectReachableAndNamed(Main(), c.what);
    }
}

TEST_F(KeyboardTest, HotKeyChooserHelpAndLastCleanReachAndNameEveryControl) {
    ShowHotKeySetter(ctx);
    ExpectReachableAndNamed(::FindWindowW(kHotKeyWindowClass, kHotKeyWindowCaption), "hot key chooser");
    ShowHelpWindow(ctx, false);
    ExpectReachableAndNamed(::FindWindowW(kHelpWindowClass, nullptr), "help");
    ShowLastCleanWindow(ctx);
    ExpectReachableAndNamed(::FindWindowW(kLastCleanWindowClass, kLastCleanTitle), "last clean");
}

TEST_F(KeyboardTest, AboutByKeyboardTabEnterAndEsc) {
    ShowAbout(ctx);
    const HWND about = ::FindWindowW(kAboutWindowClass, nullptr);
    ExpectReachableAndNamed(about, "About");
    const HWND website = ::GetNextDlgTabItem(about, nullptr, FALSE);
    ::SetFocus(website);
    test::PressKey(VK_RETURN, Loop());  // off line here: the link says so
    ASSERT_EQ(dialogs.timed.size(), 1u) << "Enter follows the focused link";
    EXPECT_NE(dialogs.timed[0].text.find(L"You Must Be Connected"), std::wstring::npos);
    test::PressKey(VK_ESCAPE, Loop());
    EXPECT_FALSE(::IsWindow(about)) << "Esc is Close Form";
}

TEST_F(KeyboardTest, UpdateNoticeByKeyboardTabEnterAndEsc) {
    ctx.update.hasOffer = true;
    ctx.update.offered.displayName = L"Quillmere";
    ctx.update.offered.versionText = L"5.0.1";
    struct Case {
        const char* what;
        WPARAM key;
        bool asked;  // the update's question came up
    } cases[] = {{"Enter takes the update", VK_RETURN, true}, {"Esc lets it go", VK_ESCAPE, false}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        dialogs.answers = {IDNO};
        ShowUpdateNotice(ctx);
        const HWND notice = ::FindWindowW(kUpdateNoticeClass, nullptr);
        ExpectReachableAndNamed(notice, c.what);
        ::SetFocus(::GetNextDlgTabItem(notice, nullptr, FALSE));
        test::PressKey(c.key, Loop());
        for (int i = 0; i < 100 && ::IsWindow(notice); ++i) Loop()(20);
        EXPECT_FALSE(::IsWindow(notice)) << c.what;
        EXPECT_EQ(!dialogs.messages.empty(), c.asked) << c.what;
    }
}

// A key as the system's input gives it, with its modifiers held ("ctrl", "shift").
void SendKey(WORD key, bool control = false, bool shift = false) {
    std::vector<INPUT> inputs;
    const auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (control) add(VK_CONTROL, false);
    if (shift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (shift) add(VK_SHIFT, true);
    if (control) add(VK_CONTROL, true);
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Every page reached by Ctrl+Tab, then Tab, Shift+Tab, arrows, Space and letters, pressed
// through the system's input from a thread of the test while this one runs the program's
// loop. After each key the window answers within 5 s with the focus on a visible control of
// it and the focus rectangle shown (a window Space opened is closed again). A window that
// never answers again ends the run: the test fails instead of waiting for good.
TEST_F(KeyboardTest, EveryPageByCtrlTabThenAnyKeysKeepsTheFocusVisibleAndTheWindowAnswering) {
    host.LoadMainForm();
    auto& form = ctx.frmMain;
    form.form.SetVisible(true);
    form.SSTab1.Select(kTabOptions);
    const HWND main = Main();
    ::SetForegroundWindow(main);
    ::SetFocus(::GetNextDlgTabItem(main, nullptr, FALSE));
    Loop()(100);
    struct Key {
        WORD key;
        bool control, shift;
    };
    constexpr WORD kLetter = 'Q';
    const Key afterEachPage[] = {{VK_TAB, false, false}, {VK_TAB, false, false}, {VK_SPACE, false, false},
                                 {VK_TAB, false, false}, {VK_TAB, false, false}, {kLetter, false, false},
                                 {VK_TAB, false, true},  {VK_TAB, false, true},  {VK_TAB, false, true},
                                 {VK_DOWN, false, false}, {VK_RIGHT, false, false}, {kLetter, false, false},
                                 {VK_UP, false, false},  {VK_LEFT, false, false}, {VK_SPACE, false, false}};
    const DWORD windowThread = ::GetCurrentThreadId();
    std::vector<std::string> faults;
    std::atomic<bool> done{false};
    std::thread driver([&] {
        const auto check = [&](const std::string& what) {
            DWORD_PTR state = 0;
            if (!::SendMessageTimeoutW(main, WM_QUERYUISTATE, 0, 0, SMTO_NORMAL, 5000, &state)) {
                std::fprintf(stderr, "%s: the window stopped answering\n", what.c_str());
                std::fflush(stderr);
                ::ExitProcess(3);
            }
            GUITHREADINFO thread{};
            thread.cbSize = sizeof(thread);
            ::GetGUIThreadInfo(windowThread, &thread);
            const HWND focus = thread.hwndFocus;
            const HWND root = focus ? ::GetAncestor(focus, GA_ROOT) : nullptr;
            if (root && root != main && ::IsWindowVisible(focus)) {  // Space opened a window (help, a picker)
                ::PostMessageW(root, WM_CLOSE, 0, 0);
                for (int i = 0; i < 50 && ::IsWindowVisible(root); ++i) ::Sleep(20);
                ::SetForegroundWindow(main);
                ::Sleep(100);
                return;
            }
            if (!focus || !::IsWindowVisible(focus) || root != main)
                faults.push_back(what + ": the focus is on " + (focus ? Describe(focus) : "nothing") +
                                 (focus && !::IsWindowVisible(focus) ? ", unseen" : ""));
            if (state & UISF_HIDEFOCUS) faults.push_back(what + ": focus rectangle hidden");
        };
        for (int page = 1; page <= 5; ++page) {
            SendKey(VK_TAB, true);
            ::Sleep(100);
            check("page " + std::to_string(page % 5) + ", Ctrl+Tab");
            for (size_t i = 0; i < std::size(afterEachPage); ++i) {
                const Key& key = afterEachPage[i];
                SendKey(key.key, key.control, key.shift);
                ::Sleep(60);
                check("page " + std::to_string(page % 5) + ", key " + std::to_string(i));
            }
        }
        done = true;
    });
    for (int i = 0; i < 3000 && !done; ++i) Loop()(20);
    driver.join();
    for (const std::string& fault : faults) ADD_FAILURE() << fault;
}

}  // namespace
}  // namespace qm
