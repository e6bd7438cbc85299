#include "startup/bas_main.h"

#include <gtest/gtest.h>

#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

TEST(GetCommandLine, TakesTheLastWordAcrossEverySeparator) {
    EXPECT_EQ(GetCommandLine(L"/AUTO"), L"AUTO");
    EXPECT_EQ(GetCommandLine(L"\"auto\""), L"auto");
    EXPECT_EQ(GetCommandLine(L"x auto"), L"auto");
    EXPECT_EQ(GetCommandLine(L"auto x"), L"x");
    EXPECT_EQ(GetCommandLine(L"-auto"), L"-auto");
    EXPECT_EQ(GetCommandLine(L"a\t/\" b"), L"b");
    EXPECT_EQ(GetCommandLine(L""), L"");
    EXPECT_EQ(GetCommandLine(L"  / \" "), L"");
}

TEST(GetCommandLine, StopsAtTheWordLimit) {
    EXPECT_EQ(GetCommandLine(L"1 2 3 4 5 6 7 8 9 10 11 12"), L"10");
    EXPECT_EQ(GetCommandLine(L"1 2 3", 2), L"2");
    EXPECT_EQ(GetCommandLine(L"1 2", 2), L"2");
}

TEST(HotKeyModifiers, FollowsTheModifierTable) {
    EXPECT_EQ(HotKeyModifiers(1, 0, 0), 1u);
    EXPECT_EQ(HotKeyModifiers(0, 1, 0), 4u);
    EXPECT_EQ(HotKeyModifiers(1, 1, 0), 5u);
    EXPECT_EQ(HotKeyModifiers(0, 0, 1), 2u);
    EXPECT_EQ(HotKeyModifiers(262144, 0, 1), 3u);
    EXPECT_EQ(HotKeyModifiers(0, 1, 1), 6u);
    EXPECT_EQ(HotKeyModifiers(1, 1, 1), 7u);
    EXPECT_EQ(HotKeyModifiers(0, 0, 0), 0u);
    EXPECT_EQ(HotKeyModifiers(-1, 0, 0), 0u);  // only a number above 0 means "used"
}

class MainTest : public ::testing::Test {
protected:
    std::wstring Setting(const std::wstring& key, const std::wstring& name) {
        std::wstring value;
        return ScratchRegistry::GetString(HKEY_CURRENT_USER, key, name, value) ? value : L"<missing>";
    }
    RunMode Start(const std::wstring& commandLine) { return Main(app.ctx, {commandLine, L"C:\\Apps\\Quill"}); }

    ScratchRegistry registry;
    test::TestApp app;
};

TEST_F(MainTest, FirstResidentStartWritesDefaultsShowsHelpThenTheMainWindow) {
    bool firstRunWrittenDuringHelp = true;
    app.ui.onShowHelp = [&] { firstRunWrittenDuringHelp = Setting(kProgramKey, L"FirstRun") != L"<missing>"; };

    EXPECT_EQ(Start(L""), RunMode::Resident);

    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), L"C:\\Apps\\Quill\\Quillmere.exe");
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinAlt"), L"262144");
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinKey"), L"67");
    EXPECT_EQ(Setting(kProgramKey, L"FirstRun"), L"No");
    EXPECT_FALSE(firstRunWrittenDuringHelp);
    const auto& calls = app.ui.calls;
    ASSERT_TRUE(app.ui.Called(L"ShowHelpModal"));
    EXPECT_LT(app.ui.IndexOf(L"ShowHelpModal"), app.ui.IndexOf(L"ShellTrayAdd"));
    EXPECT_LT(app.ui.IndexOf(L"ShellTrayAdd"), app.ui.IndexOf(L"SubClass"));
    EXPECT_LT(app.ui.IndexOf(L"SubClass"), app.ui.IndexOf(L"RegisterHotKey 1 1 67"));
    EXPECT_LT(app.ui.IndexOf(L"RegisterHotKey 1 1 67"), app.ui.IndexOf(L"Hook"));
    EXPECT_EQ(calls.back(), L"Hook");
    EXPECT_TRUE(app.ctx.frmMain.form.Visible());
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(MainTest, LaterStartLivesInTheNotificationAreaOnly) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinCtrl", L"2");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinShift", L"4");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinKey", L"75");

    EXPECT_EQ(Start(L"resident"), RunMode::Resident);

    EXPECT_FALSE(app.ui.Called(L"ShowHelpModal"));
    EXPECT_TRUE(app.ui.Called(L"RegisterHotKey 1 6 75"));
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinAlt"), L"<missing>");  // a modifier was set
    EXPECT_FALSE(app.ctx.frmMain.form.Visible());
    EXPECT_EQ(app.ui.calls.front(), L"LoadMainForm");
}

TEST_F(MainTest, EmptyOrNonNumericModifiersReadAsZero) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinAlt", L"");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinShift", L"abc");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinKey", L"0");

    Start(L"");

    EXPECT_TRUE(app.ui.Called(L"RegisterHotKey 1 1 67"));
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinAlt"), L"262144");
    EXPECT_EQ(Setting(kProgramKey, L"MaxMinKey"), L"67");
    EXPECT_TRUE(app.dialogs.messages.empty());  // type mismatches are skipped silently
}

TEST_F(MainTest, TakenHotKeyIsReportedOnceAndStartUpGoesOn) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    app.ui.hotKeyResult = false;

    Start(L"");

    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, kHotKeyTakenMessage);
    EXPECT_EQ(app.dialogs.Last().title, L"Dorvik Quillmere Information");
    EXPECT_EQ(app.dialogs.Last().style & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(app.ui.Called(L"Hook"));
}

TEST_F(MainTest, NonNumericHotKeyFailsRegistrationWithTheSameMessage) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MaxMinKey", L"C");

    Start(L"");

    EXPECT_FALSE(app.ui.Called(L"RegisterHotKey 1 1 67"));
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, kHotKeyTakenMessage);
}

TEST_F(MainTest, RunValueIsRewrittenOnlyWhenItDiffers) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"FirstRun", L"No");
    // Same text stored as another type: an unchanged value keeps its type.
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kRunKey, L"Quillmere", L"C:\\Apps\\Quill\\Quillmere.exe",
                               REG_EXPAND_SZ);
    Start(L"");
    DWORD type = 0;
    std::wstring value;
    ASSERT_TRUE(ScratchRegistry::GetString(HKEY_CURRENT_USER, kRunKey, L"Quillmere", value, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));

    ScratchRegistry::SetString(HKEY_CURRENT_USER, kRunKey, L"Quillmere", L"D:\\Old\\Quillmere.exe auto");
    test::TestApp second;
    Main(second.ctx, {L"", L"C:\\Apps\\Quill"});
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), L"C:\\Apps\\Quill\\Quillmere.exe");
}

TEST_F(MainTest, AutomaticModeWithNothingSelectedOnlyLoadsWaitsAndUnloads) {
    for (const wchar_t* name : {L"InternetFiles", L"CookieFiles", L"TempFiles", L"UserFolder"})
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"yes");  // wrong case: off
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"YES");

    EXPECT_EQ(Start(L"/AUTO"), RunMode::Automatic);

    ASSERT_FALSE(app.ui.calls.empty());
    EXPECT_EQ(app.ui.calls.front(), L"LoadMainForm");
    EXPECT_EQ(app.ui.calls.back(), L"UnloadMainForm");
    EXPECT_FALSE(app.ui.Called(L"ShellTrayAdd"));
    EXPECT_FALSE(app.ui.Called(L"ShowfrmCount Form3 0"));
    EXPECT_EQ(app.pump.sleepCalls, (std::vector<DWORD>{500, 500}));
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_EQ(Setting(kRunKey, L"Quillmere"), L"<missing>");  // automatic mode registers nothing
    EXPECT_EQ(Setting(kProgramKey, L"FirstRun"), L"<missing>");
}

TEST_F(MainTest, AutomaticModeCleansTheTempFolderWhenSelected) {
    test::TempFolder temp(L"qm-auto-temp");
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    test::WriteBytes(temp / L"junk.tmp", "junk");
    test::MakeFolder(temp / L"sub");
    test::WriteBytes(temp / L"sub\\more.tmp", "more");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");

    Start(L"x auto");

    EXPECT_FALSE(test::PathExists(temp / L"junk.tmp"));
    EXPECT_FALSE(test::PathExists(temp / L"sub"));
    EXPECT_TRUE(test::PathExists(temp.Path()));
    EXPECT_EQ(app.ctx.CleanCount, 3);  // two files and one folder
}

}  // namespace
}  // namespace qm
