// The "Cookies" tab through the real window under Xvfb: keeping by double click and Enter,
// dropping by Delete and Enter, each changing the stored list exactly.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "support/doubles.h"
#include "support/desktop_app.h"
#include "support/fixtures.h"
#include "ui/desktop_host.h"
#include "ui/main_form.h"
#include "ui/main_window.h"

namespace qm {
namespace {

using test::ScratchRegistry;

constexpr int kLstCookieId = 310, kNs2SavedId = 312;

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

    // Shows the tab on one cookies.txt location.
    void Open(const std::wstring& cookiesTxt) {
        host.LoadMainForm();
        ctx.frmMain.form.SetVisible(true);
        ctx.frmMain.SSTab1.Select(kTabCookies);
        auto& locations = ctx.frmMain.cboLoc;
        locations.Clear();
        locations.SetItemData(locations.AddItem(cookiesTxt), kKindNetscapeCookieFile);
        locations.SetListIndex(0);
        test::PumpMessages(100, {}, Main());
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
        const LPARAM at = MAKELPARAM(item.left + 4, item.top + 2);
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

}  // namespace
}  // namespace qm
