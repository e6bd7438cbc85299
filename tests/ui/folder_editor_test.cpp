// The "Your Folder" editor on its form model: the two modes, saving through the questions
// and the deletion guard, refusals, duplicates by normalised path, removal, and a
// non-ASCII folder that is stored and then cleaned.
#include "ui/folder_editor.h"

#include <gtest/gtest.h>

#include "clean/clean_kinds.h"
#include "clean/sys_check.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"
#include "ui/main_form.h"

namespace qm {
namespace {

using test::ScratchRegistry;

class FolderEditorTest : public ::testing::Test {
protected:
    FolderEditorTest() {
        BindMainForm(app.ctx);
        form().form.SetVisible(true);
    }
    MainFormModel& form() { return app.ctx.frmMain; }
    void Store(const std::vector<std::wstring>& folders) {
        for (size_t i = 0; i < folders.size(); ++i)
            ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(i), folders[i]);
    }
    // Chooses a folder in browse mode and saves it; the boxes are answered with the first button.
    void Save(const std::wstring& folder) {
        ActivateList(app.ctx);
        if (form().Command16.Caption() == L"Add Folder") Command16_Click(app.ctx);
        form().Dir1.SetText(folder);
        Command16_Click(app.ctx);
    }
    std::vector<std::wstring> Texts() {
        std::vector<std::wstring> texts;
        for (const auto& message : app.dialogs.messages) texts.push_back(message.text);
        return texts;
    }

    ScratchRegistry registry;
    test::TempFolder root{L"qm-editor"};
    test::TestApp app;
};

TEST_F(FolderEditorTest, NothingStoredOpensInBrowseMode) {
    ActivateList(app.ctx);
    EXPECT_EQ(form().Command16.Caption(), L"Save Folder");
    EXPECT_EQ(form().Command18.Caption(), L"Show List");
    EXPECT_EQ(form().Label15.Caption(), L"Select Folder And Click Save");
    EXPECT_FALSE(form().List5.Visible());
    EXPECT_TRUE(form().Dir1.Visible());
}

TEST_F(FolderEditorTest, FirstFolderAsksAboutTheHelpFileAndNoSavesNothing) {
    test::MakeFolder(root / L"first");
    app.dialogs.answers = {IDNO};
    Save(root / L"first");
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, L"Have You Read The Warning About These Folders In The Help File!");
    EXPECT_EQ(app.dialogs.Last().style, static_cast<UINT>(MB_YESNO | MB_ICONSTOP));
    EXPECT_TRUE(StoredUserFolders().empty());
    EXPECT_TRUE(form().form.Visible()) << "the main window comes back";
}

TEST_F(FolderEditorTest, SavedFoldersAreAppendedWithoutTrailingSeparator) {
    test::MakeFolder(root / L"Mixed Case");
    test::MakeFolder(root / L"second");
    Store({root / L"Mixed Case"});
    Save(root / L"second\\");
    const std::vector<std::wstring> stored = StoredUserFolders();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], root / L"Mixed Case");
    EXPECT_EQ(stored[1].back() == L'\\', false);
    EXPECT_EQ(ComparablePath(stored[1]), ComparablePath(root / L"second"));
    EXPECT_EQ(app.dialogs.messages.at(0).text.substr(0, 17), L"You Have Selected");
    EXPECT_EQ(form().Command16.Caption(), L"Save Folder") << "browse mode until Show List";
}

TEST_F(FolderEditorTest, RefusedFoldersAreNotStored) {
    test::MakeFolder(root / L"kept");
    test::MakeFolder(root / L"target");
    ASSERT_TRUE(test::MakeDirectoryLink(root / L"link", root / L"target"));
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring kept = root / L"kept";
    const struct {
        std::wstring chosen;
        std::wstring message;  // the start of the box that refuses it
    } cases[] = {
        {L"C:\\", L"You Have Selected A System Folder"},
        {L"D:\\", L"You Have Selected A System Folder"},  // every drive root, before the guard
        {L"kept", L"Your Folder Is Not A Full Path"},
        {root / L"link", L"Your Folder Names A Link"},
        {windows, L"You Have Selected A System Folder"},
        {root / L"missing", L"Your Folder Names A Folder That Cannot Be Opened"},
        {ToUpper(kept) + L"\\", L"You Have Already Selected This Folder"},
        {root / L"target\\..\\kept", L"Your Folder Is Not Written As Windows Names The Folder"},
    };
    for (const auto& c : cases) {
        ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, kUserFolderKey);
        Store({kept});
        app.dialogs.messages.clear();
        Save(c.chosen);
        const std::vector<std::wstring> texts = Texts();
        ASSERT_GE(texts.size(), 2u) << NarrowUtf8(c.chosen);
        EXPECT_EQ(texts.back().substr(0, c.message.size()), c.message) << NarrowUtf8(texts.back());
        EXPECT_EQ(StoredUserFolders(), std::vector<std::wstring>{kept}) << NarrowUtf8(c.chosen);
        EXPECT_TRUE(form().form.Visible());
    }
}

TEST_F(FolderEditorTest, TheOneThousandAndSecondFolderIsRefused) {
    std::vector<std::wstring> many;
    for (int i = 0; i < kMostUserFolders; ++i) many.push_back(L"C:\\F" + std::to_wstring(i));
    ASSERT_TRUE(StoreUserFolders(many));
    test::MakeFolder(root / L"one more");
    Save(root / L"one more");
    EXPECT_EQ(app.dialogs.Last().text, kTooManyFoldersMessage);
    EXPECT_EQ(StoredUserFolders().size(), static_cast<size_t>(kMostUserFolders));
}

TEST_F(FolderEditorTest, RemovingKeepsTheRestInOrderAndTheLastLeavesBrowseMode) {
    Store({L"C:\\A", L"C:\\B", L"C:\\C"});
    ActivateList(app.ctx);
    ASSERT_EQ(form().List5.ListCount(), 3);
    EXPECT_EQ(form().Command16.Caption(), L"Add Folder");
    EXPECT_EQ(form().Label15.Caption(), L"Double Click On File To Remove From List");

    app.dialogs.answers = {IDCANCEL};
    form().List5.SetListIndex(1);
    List5_DblClick(app.ctx);
    EXPECT_EQ(StoredUserFolders().size(), 3u) << "Cancel removes nothing";
    EXPECT_EQ(app.dialogs.Last().title, L"Dorvik Quillmere");

    List5_DblClick(app.ctx);
    EXPECT_EQ(StoredUserFolders(), (std::vector<std::wstring>{L"C:\\A", L"C:\\C"}));
    EXPECT_EQ(form().List5.Text(), L"C:\\A");

    List5_DblClick(app.ctx);
    List5_DblClick(app.ctx);
    EXPECT_TRUE(StoredUserFolders().empty());
    EXPECT_FALSE(ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kUserFolderKey, L"File0"));
    EXPECT_EQ(form().Command16.Caption(), L"Save Folder");
}

TEST_F(FolderEditorTest, ANonAsciiFolderIsStoredAndThenCleaned) {
    const std::wstring folder = root / L"Gr\u00fc\u00dfe \u65e5\u672c %x;";
    test::MakeFolder(folder);
    test::WriteBytes(folder + L"\\inside.txt", "x");
    Save(folder);
    ASSERT_EQ(StoredUserFolders().size(), 1u);
    EXPECT_EQ(ComparablePath(StoredUserFolders()[0]), ComparablePath(folder));

    MainCleanUser(app.ctx, kRoleStep, true);

    EXPECT_FALSE(test::PathExists(folder + L"\\inside.txt"));
    EXPECT_TRUE(test::PathExists(folder));
}

}  // namespace
}  // namespace qm
