#include "cookies/cookie_viewer.h"

#include <gtest/gtest.h>

#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "ui/main_form.h"

namespace qm {
namespace {

using test::Moment;

test::MsieRecordSpec Named(const std::string& name, const std::string& value) {
    test::MsieRecordSpec record;
    record.name = name;
    record.value = value;
    record.Expires(Moment(2026, 12, 7, 13, 0, 1)).Created(Moment(2020, 1, 2, 3, 4, 5));
    return record;
}

class CookieViewerTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TempFolder root{L"viewer"};
    test::TestApp app;
    std::wstring folder = root / L"Cookies\\";

    void SetUp() override {
        app.ctx.cookies.utcNow = [] { return Moment(2026, 12, 7, 12, 0, 0); };
        BindMainForm(app.ctx);
        app.ctx.flags.cookieTabReady = true;
        test::MakeFolder(root / L"Cookies");
    }
    void Show(const std::wstring& path, std::int32_t kind) {
        auto& locations = app.ctx.frmMain.cboLoc;
        locations.SetItemData(locations.AddItem(path), kind);
        locations.SetListIndex(locations.ListCount() - 1);
    }
};

TEST_F(CookieViewerTest, AnInternetExplorerStoreShowsItsCookiesRecordsAndKeptList) {
    test::WriteBytes(folder + L"me@three[1].txt",
                     test::MsieFileText({Named("one", "1"), Named("two", "2"), Named("three", "3")}));
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kMsieSavedKey, L"0", L"me@old[1].txt\tid\tx");
    Show(folder, kKindIeShellCookies);
    auto& form = app.ctx.frmMain;
    EXPECT_TRUE(app.dialogs.messages.empty());
    ASSERT_EQ(form.lstCookie.ListCount(), 1);
    EXPECT_EQ(form.lstCookie.List(0).substr(0, 20), L"me@three[1].txt\tone\t");
    EXPECT_EQ(form.Label12.Caption(), L"Cookie Folder Contains 1 Cookies");
    EXPECT_EQ(form.Label14.Caption(), L"You Have Saved 1 Cookies");
    EXPECT_EQ(form.Label19[0].Caption(), L"Date Cookie Created");
    EXPECT_TRUE(form.MSSaved.Visible());
    EXPECT_FALSE(form.NS2Saved.Visible());
    EXPECT_EQ(form.cboLoc.ToolTipText(), folder);

    ASSERT_EQ(form.tabKV.TabCount(), 3);
    EXPECT_EQ(form.tabKV.Caption(2), L"Key/Value &3");
    form.tabKV.Select(2);
    EXPECT_EQ(form.txtName.Text(), L"three");
    EXPECT_EQ(form.txtValue.Text(), L"3");
    EXPECT_EQ(form.txtLife.Text(), L"0 days 1 hour 0 minutes 1 second");

    // Keeping the only cookie empties the list; the stored list gains it, exactly as shown.
    const std::wstring line = form.lstCookie.List(0);
    form.lstCookie.DblClick();
    EXPECT_EQ(form.lstCookie.ListCount(), 0);
    EXPECT_EQ(ReadKeptList(kMsieSavedKey).entries, (std::vector<std::wstring>{L"me@old[1].txt\tid\tx", line}));
    EXPECT_EQ(form.Label14.Caption(), L"You Have Saved 2 Cookies");
    form.lstCookie.DblClick();  // nothing left to keep
    EXPECT_EQ(ReadKeptList(kMsieSavedKey).entries.size(), 2u);
}

TEST_F(CookieViewerTest, ADamagedKeptListIsShownAsSuchAndNeverRewritten) {
    test::WriteBytes(root / L"cookies.txt", "a.com\tFALSE\t/\tFALSE\t4294967295\tA\tv\n");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kFireFoxSavedKey, L"0", L"b.com\tB\tNever");
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kFireFoxSavedKey, L"1", 3);
    Show(root / L"cookies.txt", kKindFireFoxProfiles);
    auto& form = app.ctx.frmMain;
    EXPECT_EQ(form.Label14.Caption(), kKeptListUnreadable);
    form.lstCookie.SetListIndex(0);
    form.lstCookie.DblClick();
    EXPECT_EQ(form.lstCookie.ListCount(), 1);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    std::wstring kept;
    EXPECT_FALSE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, kFireFoxSavedKey, L"2", kept));
}

// Discovery runs again whenever the window is activated and empties the location box first;
// a click on the old lines meanwhile has no store to read and shows nothing, never an error.
TEST_F(CookieViewerTest, AClickWhileNoLocationIsChosenShowsNothing) {
    test::WriteBytes(folder + L"me@three[1].txt", test::MsieFileText({Named("one", "1")}));
    Show(folder, kKindIeShellCookies);
    auto& form = app.ctx.frmMain;
    ASSERT_EQ(form.lstCookie.ListCount(), 1);
    form.cboLoc.Clear();
    form.lstCookie.SetListIndex(0);
    form.lstCookie.Click();
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(CookieViewerTest, ClicksDuringTheCookieCleanDoNotRunTheViewer) {
    test::WriteBytes(root / L"cookies.txt", "a.com\tFALSE\t/\tFALSE\t4294967295\tA\tv\n");
    app.ctx.cookies.viewerQuiet = true;
    Show(root / L"cookies.txt", kKindNetscapeCookieFile);
    EXPECT_EQ(app.ctx.frmMain.lstCookie.ListCount(), 0);
    EXPECT_EQ(app.ctx.frmMain.Label12.Caption(), L"");
}

}  // namespace
}  // namespace qm
