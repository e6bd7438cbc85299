// The hot-key clean: its two refusals, the order and true total of its steps, and what it
// leaves behind for the result window.
#include <gtest/gtest.h>

#include "clean/clean_kinds.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

class HotKeyCleanTest : public ::testing::Test {
protected:
    HotKeyCleanTest() : tempVariable(L"Temp", temp.Path()) { app.ctx.HotKeyCleaning = true; }

    void Choose(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"Yes");
    }
    void Fill(const std::wstring& folder, int files) {
        for (int i = 0; i < files; ++i) test::WriteBytes(folder + L"\\f" + std::to_wstring(i) + L".tmp", "x");
    }
    ScratchRegistry registry;
    test::TempFolder temp{L"qm-hotkey-temp"};
    test::TempFolder user{L"qm-hotkey-user"};
    test::ScopedEnv tempVariable;
    test::TestApp app;
};

TEST_F(HotKeyCleanTest, RefusalsAreShownOnceAndCleanNothing) {
    const struct {
        std::vector<const wchar_t*> chosen;
        std::wstring text;
    } cases[] = {
        {{L"TempFiles", L"UserFolder"}, L"The AutoClean Box Must Be Checked For This Function To Work!"},
        {{L"AutoFunction"}, L"You Have Not Selected Any Files To Be Cleaned!"},
    };
    for (const auto& c : cases) {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, kCleanPathKey);
        test::TestApp local;
        local.ctx.HotKeyCleaning = true;
        for (const wchar_t* name : c.chosen) ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"Yes");
        Fill(temp.Path(), 2);

        EXPECT_FALSE(HotKeyClean(local.ctx));

        ASSERT_EQ(local.dialogs.messages.size(), 1u) << c.text;
        EXPECT_EQ(local.dialogs.Last().text, c.text);
        EXPECT_EQ(local.dialogs.Last().title, L"Dorvik Info.....");
        EXPECT_FALSE(local.ctx.HotKeyCleaning) << "no stray reminder on a later result window";
        EXPECT_TRUE(local.ui.calls.empty());
        EXPECT_TRUE(test::PathExists(temp / L"f1.tmp"));
    }
}

TEST_F(HotKeyCleanTest, ResultWindowShowsTheSumOfTheChosenSteps) {
    Choose({L"AutoFunction", L"TempFiles", L"UserFolder"});
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", user.Path());
    Fill(temp.Path(), 3);
    Fill(user.Path(), 4);
    int countAtResult = -1;
    app.ui.onShowCount = [&] { countAtResult = app.ctx.CleanCount; };

    EXPECT_TRUE(HotKeyClean(app.ctx));

    EXPECT_EQ(countAtResult, 7) << "three Temp files and four of the user folder";
    EXPECT_EQ(app.ctx.CleanCount, 0) << "the count is reset after the result";
    const auto& calls = app.ui.calls;
    ASSERT_GE(app.ui.IndexOf(L"ShowfrmCount Form3 0"), 0);
    EXPECT_LT(app.ui.IndexOf(L"ShowfrmCount Form3 0"), app.ui.IndexOf(L"SetCacheList"));
    EXPECT_EQ(calls.back(), L"ShowCount Form3 0");
    EXPECT_FALSE(test::PathExists(temp / L"f0.tmp"));
    EXPECT_FALSE(test::PathExists(user / L"f3.tmp"));
    EXPECT_TRUE(test::PathExists(user.Path())) << "the folder itself stays";
    EXPECT_TRUE(app.ctx.HotKeyCleaning) << "left for the result window's reminder";
}

}  // namespace
}  // namespace qm
