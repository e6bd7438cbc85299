// The "Cookies" tab through the real window under Xvfb: keeping by double click and Enter,
// dropping by Delete and Enter, each changing the stored list exactly; the columns at their
// tab stops at 100% and 150%; check boxes with Shift ranges; deleting the checked cookies.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <map>

#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "cookies/msie_cookies.h"
#include "startup/reg_op.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "ui/bound_controls.h"
#include "ui/folder_editor.h"
#include "support/doubles.h"
#include "support/desktop_app.h"
#include "support/fixtures.h"
#include "ui/desktop_host.h"
#include "ui/main_form.h"
#include "ui/main_window.h"

namespace qm {
namespace {

using test::ScratchRegistry;

constexpr int kLstCookieId = 310, kNs2SavedId = 312, kBtnDelId = 119, kBtnClearId = 120, kLabel16Id = 416;

std::map<std::wstring, std::wstring> StoredNs() {
    std::map<std::wstring, std::wstring> values;
    for (int i = 0; i < 10; ++i) {
        std::wstring text;
        if (ScratchRegistry::GetString(HKEY_CURRENT_USER, kNsSavedKey, std::to_wstring(i), text))
            values[std::to_wstring(i)] = text;
    }
    return values;
}

std::string Line(const std::string& domain, const std::string& name) {
    return domain + "\tFALSE\t/\tFALSE\t4294967295\t" + name + "\tv\n";
}

class CookieTabTest : public ::testing::Test, protected test::DesktopApp {
protected:
    CookieTabTest() : DesktopApp(L"qm-cookietab") {}

    // Shows the tab on one location (a cookies.txt unless another kind is given).
    void Open(const std::wstring& store, std::int32_t kind = kKindNetscapeCookieFile) {
        host.LoadMainForm();
        ctx.frmMain.form.SetVisible(true);
        ctx.frmMain.SSTab1.Select(kTabCookies);
        auto& locations = ctx.frmMain.cboLoc;
        locations.Clear();
        locations.SetItemData(locations.AddItem(store), kind);
        locations.SetListIndex(0);
        test::PumpMessages(100, {}, Main());
    }
    // A click on a line's check box, with Shift held when asked.
    void ClickBox(int line, bool shift = false) {
        const HWND list = Control(kLstCookieId);
        RECT item{};
        ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys);
        const LPARAM at = MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2);
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | (shift ? MK_SHIFT : 0), at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        keys[VK_SHIFT] = 0;
        ::SetKeyboardState(keys);
        test::PumpMessages(50, {}, Main());
    }
    std::vector<int> CheckedLines() {
        std::vector<int> lines;
        for (int i = 0; i < ctx.frmMain.lstCookie.ListCount(); ++i)
            if (ctx.frmMain.lstCookie.Checked(i)) lines.push_back(i);
        return lines;
    }
    void Key(HWND control, WPARAM key) {
        ::SetFocus(control);
        ::PostMessageW(control, WM_KEYDOWN, key, 1);
        ::PostMessageW(control, WM_KEYUP, key, 0xC0000001);
        test::PumpMessages(100, {}, Main());
    }
    void DoubleClickLine(HWND list, int line) {
        RECT item{};
        ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
        const LPARAM at = MAKELPARAM(item.left + 60, item.top + 2);  // on the text, past the check box
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        test::PumpMessages(100, {}, Main());
    }

};

TEST_F(CookieTabTest, KeepingAndDroppingThroughTheWindowChangeTheStoredListExactly) {
    const std::wstring file = temp / L"cookies.txt";
    test::WriteBytes(file, "# Netscape HTTP Cookie File\n" + Line("a.com", "A") + Line("b.com", "B") +
                               Line("c.com", "C"));
    // A stored list with a gap: both entries are kept entries and show.
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNsSavedKey, L"0", L"x.com\tX\tNever");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNsSavedKey, L"2", L"y.com\tY\tNever");
    Open(file);
    auto& form = ctx.frmMain;
    ASSERT_EQ(form.lstCookie.ListCount(), 3);
    EXPECT_EQ(::SendMessageW(Control(kNs2SavedId), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(form.Label14.Caption(), L"You Have Saved 2 Cookies");

    DoubleClickLine(Control(kLstCookieId), 1);  // b.com
    EXPECT_EQ(StoredNs(), (std::map<std::wstring, std::wstring>{
                              {L"0", L"x.com\tX\tNever"}, {L"1", L"y.com\tY\tNever"}, {L"2", L"b.com\tB\tNever"}}));
    EXPECT_EQ(form.lstCookie.ListCount(), 2);
    EXPECT_EQ(form.lstCookie.ListIndex(), 1);  // the next line, c.com
    EXPECT_EQ(form.Label12.Caption(), L"Cookie Folder Contains 2 Cookies");
    EXPECT_EQ(form.Label14.Caption(), L"You Have Saved 3 Cookies");
    EXPECT_TRUE(form.Command13.Visible());
    EXPECT_FALSE(form.Command8.Visible());

    Key(Control(kLstCookieId), VK_RETURN);  // keeps c.com
    EXPECT_EQ(StoredNs().at(L"3"), L"c.com\tC\tNever");
    EXPECT_EQ(form.lstCookie.ListCount(), 1);

    // Delete drops the selected kept entry; the rest move up without a gap.
    ::SendMessageW(Control(kNs2SavedId), LB_SETCURSEL, 1, 0);
    ::SendMessageW(::GetParent(Control(kNs2SavedId)), WM_COMMAND, MAKEWPARAM(kNs2SavedId, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Control(kNs2SavedId)));
    Key(Control(kNs2SavedId), VK_DELETE);
    EXPECT_EQ(StoredNs(), (std::map<std::wstring, std::wstring>{
                              {L"0", L"x.com\tX\tNever"}, {L"1", L"b.com\tB\tNever"}, {L"2", L"c.com\tC\tNever"}}));
    EXPECT_EQ(form.NS2Saved.ListIndex(), 1);
    Key(Control(kNs2SavedId), VK_RETURN);  // drops b.com
    EXPECT_EQ(StoredNs(), (std::map<std::wstring, std::wstring>{{L"0", L"x.com\tX\tNever"}, {L"1", L"c.com\tC\tNever"}}));
    EXPECT_EQ(form.Label14.Caption(), L"You Have Saved 2 Cookies");

    // "Reset Lists" brings the dropped cookie back to the list.
    ::SendMessageW(Control(113), BM_CLICK, 0, 0);
    EXPECT_EQ(form.lstCookie.ListCount(), 3);
    EXPECT_TRUE(form.Command8.Visible());
    EXPECT_TRUE(dialogs.messages.empty());
}

// Where the columns of a line begin, in pixels from the first: the control is drawn into
// a bitmap and runs of ink separated by a blank of at least gap pixels start a column.
std::vector<int> ColumnStarts(HWND list, int line, int gap) {
    RECT client{}, item{};
    ::GetClientRect(list, &client);
    ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    ::GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    const DWORD background = pixels[item.top * client.right + client.right - 2] & 0xFFFFFF;
    std::vector<int> starts;
    int blank = gap;
    for (int x = 0; x < client.right - 2; ++x) {
        bool ink = false;
        for (int y = item.top; y < item.bottom && !ink; ++y) ink = (pixels[y * client.right + x] & 0xFFFFFF) != background;
        if (ink && blank >= gap) starts.push_back(x);
        blank = ink ? 0 : blank + 1;
    }
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    return starts;
}

TEST_F(CookieTabTest, CookieListsShowTheirColumnsAtTheTabStopsAndWholeLinesAtEveryScale) {
    const std::wstring file = temp / L"cookies.txt";
    test::WriteBytes(file, "# Netscape HTTP Cookie File\n" + Line("x.com", "X") +
                               "a\tFALSE\t/\tFALSE\t1924991999\tb\tv\n");
    Open(file);
    auto& form = ctx.frmMain;
    ASSERT_EQ(form.lstCookie.ListCount(), 2);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kNsSavedKey, L"0", form.lstCookie.List(1));
    form.cboLoc.SetListIndex(0);
    test::PumpMessages(100, {}, Main());
    struct Case {
        UINT dpi;
        int list;
    } cases[] = {{96, kLstCookieId}, {96, kNs2SavedId}, {144, kLstCookieId}, {144, kNs2SavedId}};
    for (const auto& c : cases) {
        RECT suggested{0, 0, 0, 0};
        ::SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&suggested));
        test::PumpMessages(50, {}, Main());
        const HWND list = Control(c.list);
        const int line = c.list == kLstCookieId ? 1 : 0;  // an unselected line
        std::vector<int> stops;
        {
            const HDC dc = ::GetDC(list);
            const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
            stops = PixelTabStops(dc, {110, 195});
            ::SelectObject(dc, old);
            ::ReleaseDC(list, dc);
        }
        // "a", "b" and the date, with lstCookie's check box just before the "a".
        const std::vector<int> starts = ColumnStarts(list, line, stops[0] / 4);
        const std::string what = std::to_string(c.dpi) + " dpi, list " + std::to_string(c.list);
        ASSERT_EQ(starts.size(), 3u) << what;
        EXPECT_GE(starts[1], stops[0]) << what;
        EXPECT_NEAR(starts[2] - starts[1], stops[1] - stops[0], 3) << what;
        // Scrolling reaches past the date (tabs expanded), and the whole line fits the list.
        RECT client{};
        ::GetClientRect(list, &client);
        const int extent = static_cast<int>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
        EXPECT_GT(extent, starts.back()) << what;
        EXPECT_LE(extent, client.right) << what << ": a whole line is seen";
    }
}

// Closes the first dialog box that comes up owned by owner, from another thread, so that a
// modal picker opened on the test's thread ends; true when one came up within the time.
class DialogCloser {
public:
    explicit DialogCloser(HWND owner)
        : thread_([this, owner] {
              for (int i = 0; i < 400 && !found_; ++i) {
                  ::Sleep(25);
                  for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", nullptr));)
                      if (::GetWindow(w, GW_OWNER) == owner && ::IsWindowVisible(w)) {
                          found_ = true;
                          ::PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
                      }
              }
          }) {}
    bool Found() {
        thread_.join();
        return found_;
    }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

TEST_F(CookieTabTest, YourFolderShowsLabel16AndAddFolderOpensThePickerWithSaveWaitingForAFolder) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", temp.Path());
    host.LoadMainForm();
    auto& form = ctx.frmMain;
    form.form.SetVisible(true);
    form.SSTab1.Select(kTabYourFolder);
    test::PumpMessages(50, {}, Main());
    const HWND label = Control(kLabel16Id);
    wchar_t text[256] = {};
    ::GetWindowTextW(label, text, 256);
    EXPECT_EQ(std::wstring(text), L"Make Sure This List Is Correct Before Cleaning\r\nThe Lower List Shows Contents of Folders");
    EXPECT_TRUE(::IsWindowVisible(label));

    DialogCloser closer(Main());
    ::SendMessageW(Control(116), BM_CLICK, 0, 0);  // "Add Folder"; the picker is cancelled
    EXPECT_TRUE(closer.Found()) << "Add Folder opens the folder picker";
    test::PumpMessages(50, {}, Main());
    EXPECT_FALSE(::IsWindowVisible(label)) << "browse mode hides the list and its heading";
    EXPECT_EQ(form.Command16.Caption(), L"Save Folder");
    EXPECT_FALSE(::IsWindowEnabled(Control(116))) << "nothing chosen: nothing to save";
    form.Dir1.SetText(temp.Path());  // as the picker does when a folder is chosen
    test::PumpMessages(50, {}, Main());
    EXPECT_TRUE(::IsWindowEnabled(Control(116)));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(CookieTabTest, CheckBoxesCheckShiftRangesAndDriveTheDeletionButtons) {
    const std::wstring file = temp / L"cookies.txt";
    std::string lines = "# Netscape HTTP Cookie File\n";
    for (const char* domain : {"a.com", "b.com", "c.com", "d.com", "e.com", "f.com"}) lines += Line(domain, "N");
    test::WriteBytes(file, lines);
    Open(file);
    auto& form = ctx.frmMain;
    ASSERT_EQ(form.lstCookie.ListCount(), 6);
    EXPECT_FALSE(form.btnDel.Enabled());

    ClickBox(1);
    EXPECT_EQ(CheckedLines(), std::vector<int>{1});
    EXPECT_TRUE(form.btnDel.Enabled());
    EXPECT_EQ(form.btnDel.ToolTipText(), L"Delete Selected Cookie");
    ClickBox(4, true);
    EXPECT_EQ(CheckedLines(), (std::vector<int>{1, 2, 3, 4})) << "Shift checks the range";
    EXPECT_EQ(form.btnDel.ToolTipText(), L"Delete Selected Cookies");
    Key(Control(kLstCookieId), VK_SPACE);  // the current line, 4
    EXPECT_EQ(CheckedLines(), (std::vector<int>{1, 2, 3}));
    ClickBox(0);
    ClickBox(2, true);  // unchecking 2 after checking 0 checks 0 to 2: the state of the last check
    EXPECT_EQ(CheckedLines(), (std::vector<int>{0, 1, 2, 3}));

    ::SendMessageW(Control(kBtnClearId), BM_CLICK, 0, 0);
    test::PumpMessages(50, {}, Main());
    EXPECT_TRUE(CheckedLines().empty());
    EXPECT_FALSE(form.btnDel.Enabled());
    EXPECT_FALSE(form.btnClear.Enabled());
}

// One store of each kind with the cookies a to d, c kept: b, c and d are checked, b and d go.
TEST_F(CookieTabTest, DeleteRemovesTheCheckedCookiesButNeverAKeptOneFromEveryKindOfStore) {
    const auto ieFile = [](char c) { return std::wstring(L"user@") + static_cast<wchar_t>(c) + L".example[1].txt"; };
    const std::wstring txt = temp / L"cookies.txt", ie = temp / L"ie\\", database = temp / L"Cookies";
    struct Case {
        const char* what;
        std::wstring store;
        std::int32_t kind;
        const wchar_t* keptKey;
        std::wstring kept;
        std::function<bool(char)> has;  // the store still holds that cookie
    } cases[] = {
        {"cookies.txt", txt, kKindNetscapeCookieFile, kNsSavedKey, L"c.com\tC\tNever",
         [&](char c) { return test::ReadBytes(txt).find("\n" + std::string(1, c) + ".com\t") != std::string::npos; }},
        {"Internet Explorer files", ie, kKindIeCookiePath, kMsieSavedKey, L"user@c.example[1].txt\tC\tx",
         [&](char c) { return test::PathExists(ie + ieFile(c)); }},
        {"Chromium database", database, kKindChrome, kChromiumSavedKey, L"c.com\tC\tx", [&](char c) {
             const auto left = test::CookiesLeft(database, "cookies", "host_key");
             return std::find(left.begin(), left.end(), std::string(1, c) + ".com\t" + char(c - 32)) != left.end();
         }}};
    std::string lines = "# Netscape HTTP Cookie File\n";
    std::vector<test::CookieRow> rows;
    ::CreateDirectoryW(ie.c_str(), nullptr);
    for (const char c : std::string("abcd")) {
        const std::string host = std::string(1, c) + ".com", name(1, static_cast<char>(c - 32));
        lines += Line(host, name);
        rows.push_back({host, name, "v", ""});
        test::MsieRecordSpec record;
        record.name = name;
        test::WriteBytes(ie + ieFile(c), test::MsieFileText({record}));
    }
    test::WriteBytes(txt, lines);
    test::WriteChromiumCookies(database, rows);

    for (const auto& c : cases) {
        dialogs.messages.clear();
        ScratchRegistry::SetString(HKEY_CURRENT_USER, c.keptKey, L"0", c.kept);
        Open(c.store, c.kind);
        auto& list = ctx.frmMain.lstCookie;
        ASSERT_EQ(list.ListCount(), 4) << c.what;
        for (int i = 0; i < 4; ++i) {
            const std::wstring& text = list.List(i);  // "b.com\t..." or "user@b.example[1].txt\t..."
            const size_t at = text.find(L'@');
            if (text[at == std::wstring::npos ? 0 : at + 1] != L'a') ClickBox(i);
        }
        ASSERT_EQ(CheckedLines().size(), 3u) << c.what;
        ::SendMessageW(Control(kBtnDelId), BM_CLICK, 0, 0);
        test::PumpMessages(100, {}, Main());
        ASSERT_EQ(dialogs.messages.size(), 2u) << c.what;
        EXPECT_EQ(dialogs.messages[0].text, L"Delete 3 Selected Cookies?\r\n\r\nCookies You Keep Are Not Deleted.");
        EXPECT_EQ(dialogs.messages[0].style & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
        EXPECT_EQ(dialogs.messages[1].text, L"Not Deleted: 1 Of The 3 Selected Cookies (Kept Or In Use).");
        EXPECT_TRUE(c.has('a') && c.has('c')) << c.what;
        EXPECT_FALSE(c.has('b') || c.has('d')) << c.what;
        EXPECT_EQ(list.ListCount(), 2) << c.what << ": the list shows the store as it is now";
    }
}

}  // namespace
}  // namespace qm
