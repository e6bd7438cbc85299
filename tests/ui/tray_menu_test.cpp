// The tray menu's commands against the real registry and Temp folder, with the windows
// and boxes recorded by the doubles; and the one-run-at-a-time rule.
#include "ui/tray_menu.h"

#include <gtest/gtest.h>

#include "clean/clean_kinds.h"
#include "clean/run_state.h"
#include "cookies/discovery.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/pending_fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

TEST(MenuPosition, ScalesTheCursorAndRoundsHalvesToEven) {
    const struct {
        POINT cursor;
        POINT expected;
    } cases[] = {
        {{100, 50}, {1300, 715}}, {{0, 5}, {0, 72}},  // 71.5 -> 72
        {{1, 15}, {13, 214}},                         // 214.5 -> 214
        {{-10, -5}, {-130, -72}}, {{1920, 1080}, {24960, 15444}},
    };
    for (const auto& c : cases) {
        const POINT position = MenuPosFromCursor(c.cursor);
        EXPECT_EQ(position.x, c.expected.x);
        EXPECT_EQ(position.y, c.expected.y) << c.cursor.y;
    }
}

class TrayMenuTest : public ::testing::Test {
protected:
    TrayMenuTest() : tempVariable(L"Temp", temp.Path()) {}
    static void Set(const wchar_t* key, const wchar_t* name, const wchar_t* value) {
        ScratchRegistry::SetString(HKEY_CURRENT_USER, key, name, value);
    }
    void FillTemp(int files) {
        for (int i = 0; i < files; ++i) test::WriteBytes(temp / (L"t" + std::to_wstring(i) + L".tmp"), "t");
    }

    ScratchRegistry registry;
    test::TempFolder temp{L"qm-tray"};
    test::ScopedEnv tempVariable;
    test::TestApp app;
};

TEST_F(TrayMenuTest, AutoCleanFilesShowsTheTrueCountInTheTrayRole) {
    Set(kCleanPathKey, L"AutoFunction", L"Yes");
    Set(kCleanPathKey, L"TempFiles", L"Yes");
    FillTemp(5);
    app.ctx.CleanCount = 40;  // left over from an earlier run

    cP_Click(app.ctx, L"AutoClean Files");

    EXPECT_EQ(app.ctx.CleanCount, 5);
    EXPECT_FALSE(test::PathExists(temp / L"t0.tmp"));
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"SetCacheList", L"SetTempList", L"ShowfrmCount Form1 0",
                                                       L"ShowCount Form1 1"}));
    EXPECT_FALSE(app.ctx.frmMain.form.Visible());
    EXPECT_FALSE(RunActive(app.ctx));
}

TEST_F(TrayMenuTest, TrayCleansRefuseWithTheirOwnNoticeAndRemoveNothing) {
    FillTemp(2);
    const struct {
        std::vector<std::pair<const wchar_t*, const wchar_t*>> options;
        const wchar_t* command;
        std::wstring notice;
    } cases[] = {
        {{{L"TempFiles", L"Yes"}}, L"AutoClean Files", L"The AutoClean Box Must Be Checked For This Function To Work!"},
        {{{L"AutoFunction", L"Yes"}}, L"AutoClean Files", L"You Have Not Selected Any Files To Be Cleaned!"},
        {{{L"TempFiles", L"Yes"}}, L"Clean And Shutdown", L"Clean And ShutDown Box Not Checked On Options Form!"},
        {{{L"Shutdown", L"Yes"}, {L"TempFiles", L"yes"}},
         L"Clean And Shutdown",
         L"You Have Not Selected Any Files To Be Cleaned!"},
    };
    for (const auto& c : cases) {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, kCleanPathKey);
        for (const auto& [name, value] : c.options) Set(kCleanPathKey, name, value);
        test::TestApp local;
        cP_Click(local.ctx, c.command);
        ASSERT_EQ(local.dialogs.messages.size(), 1u) << NarrowUtf8(c.notice);
        EXPECT_EQ(local.dialogs.Last().text, c.notice);
        EXPECT_EQ(local.dialogs.Last().title, L"Dorvik Info.....");
        EXPECT_FALSE(local.ui.Called(L"ShowfrmCount Form1 0"));
        EXPECT_TRUE(local.dialogs.timed.empty()) << "no countdown before a refusal";
    }
    EXPECT_TRUE(test::PathExists(temp / L"t0.tmp"));
}

TEST_F(TrayMenuTest, RemoveAllPathsLeftUnansweredRemovesNothing) {
    Set(kProgramKey, L"FirstRun", L"No");
    Set(kRunKey, L"Quillmere", L"C:\\Quillmere.exe");

    cP_Click(app.ctx, L"Remove All Paths");

    ASSERT_EQ(app.dialogs.timed.size(), 1u);
    const auto& question = app.dialogs.timed[0];
    EXPECT_EQ(question.text, L"This Will Remove All Program Paths!\r\n\r\nEvery Setting, Every Kept Cookie List And Your "
                             L"Folder List Will Be Erased, And Quillmere Will No Longer Start With Windows.\r\n\r\n"
                             L"Automatic Return Will Happen In %T Seconds." +
                                 std::wstring(12, L' '));
    EXPECT_EQ(question.seconds, 4);
    EXPECT_EQ(question.timeoutButton, IDCANCEL);
    EXPECT_EQ(question.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2)) << "a warning, Cancel first";
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kRunKey, L"Quillmere"));
    EXPECT_TRUE(app.ui.calls.empty());
}

TEST_F(TrayMenuTest, RemoveAllPathsAnsweredOkRemovesTheSettingsAndEnds) {
    Set(kCleanPathKey, L"TempFiles", L"Yes");
    Set(kRunKey, L"Quillmere", L"C:\\Quillmere.exe");
    Set(kRunKey, L"Other", L"C:\\other.exe");
    app.dialogs.timedAnswers = {IDOK};

    cP_Click(app.ctx, L"Remove All Paths");

    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_TRUE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, L"Software\\Dorvik Software"));
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kRunKey, L"Quillmere"));
    EXPECT_TRUE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kRunKey, L"Other"));
    EXPECT_EQ(app.dialogs.Last().text, L"All Program Paths Have Been Deleted From Registry");
    EXPECT_EQ(app.dialogs.Last().title, L"Dorvik Quillmere Information");
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"ShellTrayRemove", L"UnloadMaxMin", L"UnloadMainForm"}));
}

TEST_F(TrayMenuTest, RemoveAllPathsWithdrawsExactlyTheProgramsRestartPairs) {
    test::ScopedPendingOperations pending;
    const std::wstring others = test::OtherProgramsPending();
    test::ScopedPendingOperations::Write(others);
    test::WriteBytes(temp / L"index.dat", "locked");
    Set(kProgramKey, L"MSTIF", (temp.Path() + L"\\").c_str());
    app.ctx.frmMain.cache.SetItemData(app.ctx.frmMain.cache.AddItem(temp.Path() + L"\\"), kKindIeShellCache);
    AddCleanDat(app.ctx);
    ASSERT_NE(test::ScopedPendingOperations::Read()->Wide(), others);
    app.dialogs.timedAnswers = {IDOK};

    cP_Click(app.ctx, L"Remove All Paths");

    EXPECT_FALSE(ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgramKey));
    EXPECT_EQ(test::ScopedPendingOperations::Read()->Wide(), others);
}

TEST_F(TrayMenuTest, ConfigureProgramShowsTheOptionsTab) {
    app.ctx.frmMain.SSTab1.Select(kTabTemp);
    cP_Click(app.ctx, L"Configure Program");
    EXPECT_TRUE(app.ctx.frmMain.form.Visible());
    EXPECT_EQ(app.ctx.frmMain.SSTab1.SelectedIndex(), kTabOptions);
}

// A request that arrives while a clean runs (through the messages the clean lets run).
TEST_F(TrayMenuTest, DuringARunNoSecondCleanStartsAndExitWaitsForTheRunToEnd) {
    Set(kCleanPathKey, L"AutoFunction", L"Yes");
    Set(kCleanPathKey, L"TempFiles", L"Yes");
    FillTemp(3);
    bool ranInside = false;
    RunExclusive(app.ctx, {L"test", L"run"}, [&] {
        cP_Click(app.ctx, L"AutoClean Files");
        cP_Click(app.ctx, L"Configure Program");
        cP_Click(app.ctx, L"Exit Program");
        ranInside = true;
        EXPECT_TRUE(app.ui.calls.empty());  // neither a clean nor the end yet
        EXPECT_TRUE(app.dialogs.messages.empty());
    });
    EXPECT_TRUE(ranInside);
    EXPECT_TRUE(test::PathExists(temp / L"t0.tmp"));
    EXPECT_FALSE(app.ctx.frmMain.form.Visible());
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"UnloadMainForm"}));
}

TEST(TrayItems, OnlyItemsThatStartNoWorkStayAvailableDuringARun) {
    std::vector<std::wstring> available;
    for (const auto& item : kTrayMenuItems)
        if (!IsPlainSeparator(item.caption) && !IsTitledSeparator(item.caption) &&
            TrayItemAvailable(item.caption, true))
            available.push_back(item.caption);
    EXPECT_EQ(available, (std::vector<std::wstring>{L"Help", L"About", L"Exit Program", L"Last Clean...", L"Close Menu"}));
}

TEST(RunExclusive, AFaultIsReportedAndEndsTheRun) {
    test::TestApp app;
    EXPECT_TRUE(RunExclusive(app.ctx, {L"frmMain", L"cP_Click"}, [] { throw std::runtime_error("disk gone"); }));
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().title, L"Application Error");
    EXPECT_NE(app.dialogs.Last().text.find(L"in Quillmere.frmMain.cP_Click at line "), std::wstring::npos);
    EXPECT_FALSE(RunActive(app.ctx));
    EXPECT_TRUE(RunExclusive(app.ctx, {L"frmMain", L"cP_Click"}, [] {}));
}

TEST(RunTotal, EachStepCountsFromZeroSoNoResetHidesAnEarlierStep) {
    std::int32_t cleanCount = 7;  // an earlier run's count
    RunTotal total(cleanCount);
    total.Add([&] { cleanCount += 5; });
    EXPECT_EQ(cleanCount, 5);
    total.Add([&] {
        cleanCount = 0;  // the cookie clean resets the count itself
        cleanCount += 3;
    });
    total.Add([] {});
    total.Add([&] { cleanCount += 2; });
    EXPECT_EQ(cleanCount, 10);
    EXPECT_EQ(total.Total(), 10);
}

}  // namespace
}  // namespace qm
