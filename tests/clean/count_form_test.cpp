// The progress and result window on its form model: roles, the return step and its
// reminders, and the placement near the tray click.
#include "clean/count_form.h"

#include <gtest/gtest.h>

#include "clean/clean_report.h"
#include "clean/run_state.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

class CountFormTest : public ::testing::Test {
protected:
    CountFormTest() { BindCountForm(app.ctx); }
    CountFormModel& count() { return app.ctx.frmCount; }

    ScratchRegistry registry;
    test::TestApp app;
};

TEST_F(CountFormTest, EachRoleHasItsPlaceAndColourAndOnlyKnownRolesShowAResult) {
    const struct {
        const wchar_t* role;
        CountPlacement placement;
        COLORREF colour;
        bool shown;
    } cases[] = {{L"Form1", CountPlacement::NearTrayClick, 12640511, true},
                 {L"frmMain", CountPlacement::Centred, 8421504, true},
                 {L"Form3", CountPlacement::Centred, 8421504, true},
                 {L"Form2", CountPlacement::Unchanged, 8421504, false}};
    for (const auto& c : cases) {
        test::TestApp local;
        local.ctx.CleanCount = 17;
        ShowCount(local.ctx, c.role, true);
        const auto& view = local.ctx.frmCount;
        EXPECT_EQ(view.placement, c.placement) << NarrowUtf8(c.role);
        EXPECT_EQ(view.BackColor, c.colour) << NarrowUtf8(c.role);
        EXPECT_EQ(view.form.Visible(), c.shown) << NarrowUtf8(c.role);
        EXPECT_EQ(view.Timer1.Enabled(), c.shown) << NarrowUtf8(c.role);
        EXPECT_EQ(view.Label1.Caption(), c.shown ? L"17" : L"Cleaning");
        EXPECT_EQ(view.Label2.Visible(), c.shown);
        EXPECT_EQ(view.Timer1.Tag, c.shown ? c.role : L"");
    }
}

TEST_F(CountFormTest, StartOfRunShowsCleaningAndAnEmptyBar) {
    app.ctx.frmMain.form.SetVisible(true);
    app.ctx.frmCount.ProgressBar1.SetValue(85);  // where the last run left it
    ShowfrmCount(app.ctx, L"frmMain", true);
    EXPECT_EQ(count().Label1.Caption(), L"Cleaning");
    EXPECT_FALSE(count().Label2.Visible());
    EXPECT_TRUE(count().ProgressBar1.Visible());
    EXPECT_EQ(count().ProgressBar1.Value(), 0);
    EXPECT_TRUE(app.ctx.progress.shown);
    EXPECT_FALSE(app.ctx.frmMain.form.Visible());
    EXPECT_FALSE(count().Timer1.Enabled());
}

// The count is of files only, with the user's separators; folders, space and cookies below it.
TEST_F(CountFormTest, TheResultCountsFilesAndNamesFoldersSpaceAndCookiesBelow) {
    const struct {
        int files, folders;
        std::uint64_t bytesEach;
        int cookies;
        const wchar_t *count, *details;
    } cases[] = {
        {20000, 50, 64 * 1024, 0, L"20,000", L"50 Folders, 1.2 GB Freed"},
        {1, 1, 512, 0, L"1", L"1 Folder, 512 B Freed"},
        {0, 0, 0, 8, L"0", L"0 Folders, 0 B Freed, 8 Cookies Deleted"},
        {2, 0, 1024, 1, L"2", L"0 Folders, 2.0 KB Freed, 1 Cookie Deleted"},
    };
    for (const auto& c : cases) {
        test::TestApp local;
        CleanReport report(false);
        local.ctx.report = &report;
        for (int i = 0; i < c.files; ++i) report.Removed(ItemType::File, L"C:\\t\\f", c.bytesEach);
        for (int i = 0; i < c.folders; ++i) report.Removed(ItemType::Folder, L"C:\\t\\d");
        for (int i = 0; i < c.cookies; ++i) report.CookieRemoved(L"C:\\c.sqlite", L"example.com", L"id");
        local.ctx.CleanCount = c.files + c.folders + c.cookies;  // what the old count showed
        const ResultText result = CountResult(local.ctx);
        EXPECT_EQ(result.count, c.count);
        EXPECT_EQ(result.details, c.details);
        local.ctx.report = nullptr;
    }
}

TEST_F(CountFormTest, ReturnStepRemindsAsSettingsAndRoleSay) {
    const struct {
        const wchar_t* role;
        bool timerCheck;
        bool hotKey;
        const wchar_t* cleanDat;
        const wchar_t* datMessage;
        bool restartPending;  // something of the run waits for the restart
        std::vector<int> reminders;  // seconds of each box shown
        bool mainBack;
    } cases[] = {
        {L"frmMain", true, false, L"Yes", nullptr, true, {4}, true},
        {L"frmMain", true, false, L"Yes", nullptr, false, {}, true},
        {L"frmMain", false, false, L"Yes", nullptr, true, {}, false},
        {L"Form1", false, false, L"Yes", nullptr, true, {4}, false},
        {L"Form1", false, false, L"Yes", nullptr, false, {}, false},
        {L"frmMain", true, false, L"Yes", L"No", true, {}, true},
        {L"frmMain", true, false, L"yes", nullptr, true, {}, true},
        {L"frmMain", true, true, L"Yes", nullptr, true, {4, 5}, true},
        {L"frmMain", true, true, L"Yes", nullptr, false, {}, true},
        {L"Form3", true, true, L"Yes", nullptr, true, {5}, false},
    };
    for (const auto& c : cases) {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, kProgramKey);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", c.cleanDat);
        if (c.datMessage) ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"DatMessage", c.datMessage);
        test::TestApp local;
        BindCountForm(local.ctx);
        local.ctx.HotKeyCleaning = c.hotKey;
        local.ctx.restart.restartPending = c.restartPending;
        ShowCount(local.ctx, c.role, c.timerCheck);
        local.ctx.frmCount.Timer1.Timer();

        std::vector<int> shown;
        for (const auto& box : local.dialogs.timed) {
            shown.push_back(box.seconds);
            EXPECT_EQ(box.text, kRebootReminder);
            EXPECT_TRUE(box.singleButton);
        }
        EXPECT_EQ(shown, c.reminders) << NarrowUtf8(c.role) << c.timerCheck << c.hotKey;
        EXPECT_EQ(local.ctx.frmMain.form.Visible(), c.mainBack) << NarrowUtf8(c.role);
        EXPECT_FALSE(local.ctx.frmCount.form.Visible());
        EXPECT_FALSE(local.ctx.frmCount.Timer1.Enabled());
        EXPECT_FALSE(local.ctx.HotKeyCleaning);
        EXPECT_FALSE(local.ctx.frmCount.bMsgShow);
        EXPECT_FALSE(local.ctx.restart.restartPending);
    }
}

TEST_F(CountFormTest, ReturnStepWaitsWhileARunIsActive) {
    ShowCount(app.ctx, L"frmMain", true);
    RunExclusive(app.ctx, {L"test", L"run"}, [&] { count().Timer1.Timer(); });
    EXPECT_TRUE(count().form.Visible());
    EXPECT_TRUE(count().Timer1.Enabled());
    EXPECT_FALSE(app.ctx.frmMain.form.Visible());
    count().Timer1.Timer();
    EXPECT_FALSE(count().form.Visible());
    EXPECT_TRUE(app.ctx.frmMain.form.Visible());
}

TEST(PlaceNearTrayClick, CentresOnTheClickWithItsBottomOnTheWorkAreaAndStaysInside) {
    const RECT primary{0, 0, 1280, 984};        // task bar 40 pixels high at the bottom
    const RECT leftMonitor{-1920, 0, 0, 1040};  // a second monitor left of the first
    const SIZE size{200, 96};
    const struct {
        POINT click;
        RECT area;
        POINT expected;
    } cases[] = {
        {{640, 1000}, primary, {540, 888}},
        {{20, 1000}, primary, {0, 888}},       // kept off the left edge
        {{1275, 1000}, primary, {1080, 888}},  // and the right one
        {{-900, 1060}, leftMonitor, {-1000, 944}},
    };
    for (const auto& c : cases) {
        const POINT at = PlaceNearTrayClick(c.click, size, c.area);
        EXPECT_EQ(at.x, c.expected.x) << c.click.x;
        EXPECT_EQ(at.y, c.expected.y) << c.click.x;
    }
}

}  // namespace
}  // namespace qm
