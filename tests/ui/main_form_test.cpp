// The main window's handlers on its form model: option boxes against the real registry,
// the previews against real folders, hints and activation.
#include "ui/main_form.h"

#include <gtest/gtest.h>

#include "clean/clean_kinds.h"
#include "cookies/discovery.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/pending_fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() : tempVariable(L"Temp", temp.Path()) { BindMainForm(app.ctx); }
    MainFormModel& form() { return app.ctx.frmMain; }
    static std::wstring Stored(const wchar_t* key, const wchar_t* name) {
        std::wstring value;
        return ScratchRegistry::GetString(HKEY_CURRENT_USER, key, name, value) ? value : L"<missing>";
    }

    ScratchRegistry registry;
    test::TempFolder temp{L"qm-main-form"};
    test::ScopedEnv tempVariable;
    test::TestApp app;
};

struct OptionCase {
    CheckBoxModel MainFormModel::*box;
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* ticked;
};

const OptionCase kOptions[] = {
    {&MainFormModel::Check1, kCleanPathKey, L"InternetFiles", L"Yes"},
    {&MainFormModel::Check2, kCleanPathKey, L"TempFiles", L"Yes"},
    {&MainFormModel::Check3, kCleanPathKey, L"AutoFunction", L"Yes"},
    {&MainFormModel::Check4, kCleanPathKey, L"CookieFiles", L"Yes"},
    {&MainFormModel::Check5, kCleanPathKey, L"UserFolder", L"Yes"},
    {&MainFormModel::Check6, kCleanPathKey, L"Shutdown", L"Yes"},
    {&MainFormModel::Check7, kProgramKey, L"CleanDat", L"Yes"},
    {&MainFormModel::Check8, kProgramKey, L"DatMessage", L"No"},
};

TEST_F(MainFormTest, EachBoxWritesItsValueWhenTickedDeletesItWhenClearedAndIgnoresGrey) {
    for (const auto& option : kOptions) {
        SCOPED_TRACE(testing::Message() << "value " << NarrowUtf8(option.name));
        CheckBoxModel& box = form().*option.box;
        box.SetValue(1);
        EXPECT_EQ(Stored(option.key, option.name), option.ticked);
        box.SetValue(2);
        EXPECT_EQ(Stored(option.key, option.name), option.ticked);
        box.SetValue(0);
        EXPECT_EQ(Stored(option.key, option.name), L"<missing>");
        box.SetValue(2);
        EXPECT_EQ(Stored(option.key, option.name), L"<missing>");
    }
}

TEST_F(MainFormTest, RemoveDatFilesSchedulesNothingAndUntickedWithdrawsExactlyTheProgramsPairs) {
    test::ScopedPendingOperations pending;
    const std::wstring others = test::OtherProgramsPending();
    test::ScopedPendingOperations::Write(others);
    test::WriteBytes(temp / L"index.dat", "locked");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"MSTIF", temp.Path() + L"\\");
    form().cache.SetItemData(form().cache.AddItem(temp.Path() + L"\\"), kKindIeShellCache);

    form().Check7.SetValue(1);
    EXPECT_EQ(test::ScopedPendingOperations::Read()->Wide(), others);
    AddCleanDat(app.ctx);  // as the clean that follows does
    ASSERT_NE(test::ScopedPendingOperations::Read()->Wide(), others);
    form().Check7.SetValue(0);
    EXPECT_EQ(test::ScopedPendingOperations::Read()->Wide(), others);
    EXPECT_EQ(Stored(kProgramKey, L"CleanDat"), L"<missing>");
}

TEST_F(MainFormTest, StoredValuesTickOnlyTheirExactSpellingAndStayAsTheyAre) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"InternetFiles", L"yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"TempFiles", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, L"SHUTDOWN", L"Yes");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"DatMessage", L"No");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"YES");

    CheckBoxValue(app.ctx);

    EXPECT_EQ(form().Check1.Value(), 0);
    EXPECT_EQ(form().Check2.Value(), 1);
    EXPECT_EQ(form().Check6.Value(), 1);
    EXPECT_EQ(form().Check7.Value(), 0);
    EXPECT_EQ(form().Check8.Value(), 1);
    EXPECT_EQ(Stored(kCleanPathKey, L"InternetFiles"), L"yes");
    EXPECT_EQ(Stored(kCleanPathKey, L"TempFiles"), L"Yes");
    EXPECT_EQ(Stored(kProgramKey, L"CleanDat"), L"YES");  // unticked unchanged: not written back
}

TEST_F(MainFormTest, TempPreviewCountsEveryFileBelowTemp) {
    for (int i = 0; i < 10; ++i) test::WriteBytes(temp / (L"f" + std::to_wstring(i) + L".tmp"), "x");
    test::MakeFolder(temp / L"sub");
    test::WriteBytes(temp / L"sub\\a.tmp", "a");
    test::WriteBytes(temp / L"sub\\b.tmp", "b");
    form().SSTab1.Select(kTabTemp);
    EXPECT_EQ(form().Label5.Caption(), L"Temp Folder Contains 12 Files");
    EXPECT_EQ(form().Label6.Caption(), L"Files In Use Can Not Be Deleted");
    EXPECT_EQ(form().List2.ListCount(), 12);
    EXPECT_EQ(form().List2.Items().back().text, temp.Path() + L"\\sub\\b.tmp");
}

TEST_F(MainFormTest, TempPreviewOfARefusedTempVariableListsNothing) {
    for (const std::wstring bad : {L"", L"C:\\", L"relative\\temp", L"C:\\Windows"}) {
        test::ScopedEnv variable(L"Temp", bad);
        form().List2.AddItem(L"left over");
        SetTempList(app.ctx);
        EXPECT_EQ(form().List2.ListCount(), 0) << NarrowUtf8(bad);
        EXPECT_EQ(form().Label5.Caption(), L"Temp Folder Contains 0 Files");
    }
}

TEST_F(MainFormTest, ChoosingACacheFolderShowsOnlyItsFamilysPreview) {
    test::WriteBytes(temp / L"one.dat", "1");
    test::WriteBytes(temp / L"two.dat", "2");
    test::WriteBytes(temp / L"sessionstore.jsonlz4", "3");
    const struct {
        std::int32_t kind;
        ListModel MainFormModel::*shown;
        std::wstring count;
        int listed;
    } cases[] = {{0x1005, &MainFormModel::MSIE, L"Microsoft Internet Folder Contains 3 Files", 3},
                 {0x2004, &MainFormModel::NS, L"Netscape Internet Folder Contains 3 Files", 3},
                 {0x4001, &MainFormModel::FireFox, L"FireFox Internet Folder Contains 3 Files", 3},
                 // A Firefox profile shows its session files only, named as the open tabs.
                 {0x4000, &MainFormModel::FireFox,
                  L"FireFox Saved Session (The Open Tabs): 1 Files, Removed By Clean Internet Files", 1},
                 {0x4003, &MainFormModel::FireFox, L"FireFox Internet Folder Contains 3 Files", 3},
                 {0x8002, &MainFormModel::Chromium, L"Chromium Internet Folder Contains 3 Files", 3},
                 {0x1006, &MainFormModel::MSIE, L"Microsoft Internet Folder Contains 3 Files", 3}};
    for (const auto& c : cases) {
        form().cache.Clear();
        form().cache.AddItem(temp.Path() + L"\\");
        form().cache.SetItemData(0, c.kind);
        form().cache.SetListIndex(0);
        EXPECT_EQ(form().Label1.Caption(), c.count);
        EXPECT_EQ(form().cache.ToolTipText(), temp.Path() + L"\\");
        for (auto list : {&MainFormModel::MSIE, &MainFormModel::NS, &MainFormModel::FireFox, &MainFormModel::Chromium})
            EXPECT_EQ((form().*list).Visible(), list == c.shown) << NarrowUtf8(c.count);
        EXPECT_EQ((form().*c.shown).ListCount(), c.listed);
    }
}

TEST_F(MainFormTest, EnteringTheInternetTabPreviewsTheLastCacheFolder) {
    const std::wstring cache = temp / L"Temporary Internet Files";
    test::MakeFolder(cache + L"\\Content.IE5\\AB12CD34");
    for (const wchar_t* name : {L"a[1].htm", L"b[1].gif", L"c[1].js"})
        test::WriteBytes(cache + L"\\Content.IE5\\AB12CD34\\" + name, "x");
    ScratchRegistry::SetString(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Cache", cache);
    form().NS.SetVisible(true);

    form().SSTab1.Select(kTabInternet);

    ASSERT_GT(form().cache.ListCount(), 0);
    const int last = form().cache.ListCount() - 1;
    EXPECT_EQ(form().cache.ListIndex(), last);
    EXPECT_EQ(form().cache.List(last), cache + L"\\");
    EXPECT_TRUE(form().MSIE.Visible());
    EXPECT_FALSE(form().NS.Visible());
    EXPECT_FALSE(form().FireFox.Visible());
    EXPECT_EQ(form().MSIE.ListCount(), 3);
    EXPECT_EQ(form().MSIE.ListIndex(), 0);
    EXPECT_EQ(form().Label1.Caption(), L"Microsoft Internet Folder Contains 3 Files");
}

TEST_F(MainFormTest, HintsFollowThePointer) {
    const std::pair<const ControlModel*, std::wstring> cases[] = {
        {&form().Check1, L"Check To Enable Cleaning Internet Files"},
        {&form().Check6, L"Check To Enable Clean And ShutDown \"OS\""},
        {&form().Check8, L"Check To Stop The Reboot Message When Cleaning"},
        {&form().Command5, L"Click To Clean All Selected Files"},
        {&form().Command7, L"Click To Close This Form"},
        {&form().Frame2, L"Select An Option Below For AutoClean Function"},
    };
    for (const auto& [control, hint] : cases) {
        ShowHintFor(form(), *control);
        EXPECT_EQ(form().Label4.Caption(), hint);
    }
    form().Label14.SetCaption(L"");
    ShowHintFor(form(), form().NS2Saved);
    EXPECT_EQ(form().Label14.Caption(), L"Double Click On \"Cookie\" To Remove From Saved List");
    EXPECT_EQ(form().Command6.ToolTipText(), L"Click to open the program help file!");
    EXPECT_EQ(form().Combo2.ToolTipText(), L"Shows the paths to your temp files!");
}

TEST_F(MainFormTest, ActivationRunsWhenTheWindowIsShownNotOnEveryChange) {
    form().Command13.SetVisible(true);
    form().form.SetVisible(true);
    EXPECT_FALSE(form().Command13.Visible());
    EXPECT_EQ(form().Combo2.Text(), temp.Path());  // the locations were looked up

    form().Command13.SetVisible(true);
    form().form.Move(300, 300);  // still shown: no second activation
    EXPECT_TRUE(form().Command13.Visible());

    form().form.SetVisible(false);
    form().form.SetVisible(true);
    EXPECT_FALSE(form().Command13.Visible());
}

TEST_F(MainFormTest, CloseAndHelpButtonsHideOrOpenHelp) {
    form().form.SetVisible(true);
    form().Command4.Click();
    EXPECT_FALSE(form().form.Visible());
    form().Command11.Click();
    EXPECT_TRUE(app.ui.Called(L"ShowHelp"));
}

}  // namespace
}  // namespace qm
