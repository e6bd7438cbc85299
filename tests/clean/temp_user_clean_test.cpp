// The Temp clean and the user-folder clean on real folders, with the process's Temp
// variable and HKEY_CURRENT_USER redirected to the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/search_delete.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::ListTree;
using test::MakeFolder;
using test::PathExists;
using test::WriteBytes;

const std::wstring kForeignName = L"\u00c4rger \u65e5\u672c";

class CleanFolders : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TestApp app;
    AppContext& ctx = app.ctx;
    test::TempFolder temp{L"qm-Temp"};
    // Made before Temp is redirected, so it never lies inside the Temp being cleaned.
    test::TempFolder outside{L"qm-outside"};
    test::ScopedEnv tempVariable{L"Temp", temp.Path()};

    std::wstring Make(const std::wstring& path, std::string_view bytes = "data") {
        MakeFolder(path.substr(0, path.find_last_of(L'\\')));
        WriteBytes(path, bytes);
        return path;
    }
    void SetAttributes(const std::wstring& path, DWORD attributes) {
        ASSERT_TRUE(::SetFileAttributesW(test::LongPath(path).c_str(), attributes));
    }
    std::vector<std::wstring> List2() const {
        std::vector<std::wstring> texts;
        for (const auto& item : ctx.frmMain.List2.Items()) texts.push_back(item.text);
        std::sort(texts.begin(), texts.end());
        return texts;
    }
};

// ---- MainCleanTemp ---------------------------------------------------------------

class TempCleanTest : public CleanFolders {
protected:
    // Files of every kind, nested and empty subfolders, and a subfolder whose two files are in use.
    void FillTemp() {
        Make(temp / L"a.tmp");
        SetAttributes(Make(temp / L"readonly.tmp"), FILE_ATTRIBUTE_READONLY);
        SetAttributes(Make(temp / L"hidden.tmp"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        Make(temp / L"setup\\nested\\deep.tmp");
        Make(temp / (kForeignName + L"\\" + std::wstring(150, L'n') + L"\\" + std::wstring(150, L'm') + L".tmp"));
        MakeFolder(temp / L"empty");
        Make(temp / L"busy\\free.tmp");
        locked1 = std::make_unique<test::LockedFile>(Make(temp / L"busy\\locked1.tmp"));
        locked2 = std::make_unique<test::LockedFile>(Make(temp / L"busy\\locked2.tmp"));
        ASSERT_TRUE(locked1->Held() && locked2->Held());
    }
    std::unique_ptr<test::LockedFile> locked1, locked2;
};

TEST_F(TempCleanTest, EmptiesTempAndListsWhatIsInUse) {
    FillTemp();

    MainCleanTemp(ctx, kRoleMain, false);

    EXPECT_EQ(ListTree(temp.Path()), L"busy\\locked1.tmp\nbusy\\locked2.tmp\n");
    EXPECT_EQ(test::ListSubfolders(temp.Path()).size(), 1u);
    EXPECT_TRUE(PathExists(temp.Path())) << "Temp itself stays";
    // Six files, then the subfolders setup, empty and the foreign-named one; busy stays.
    EXPECT_EQ(ctx.CleanCount, 9);
    EXPECT_EQ(List2(), (std::vector<std::wstring>{temp / L"busy\\locked1.tmp", temp / L"busy\\locked2.tmp"}));
    EXPECT_EQ(ctx.frmMain.Label5.Caption(), L"Temp Folder Contains 2 Files");
    EXPECT_EQ(ctx.frmMain.Label6.Caption(), L"The 2 Files Remaining Are In Use");
    EXPECT_EQ(ctx.SearchSpec.StartPath, temp.Path() + L"\\");
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(TempCleanTest, OtherRolesLeaveTheMainWindowAlone) {
    FillTemp();
    for (const wchar_t* role : {kRoleStep, kRoleTray}) {
        ctx.frmMain.List2.AddItem(L"earlier");
        ctx.frmMain.Label5.SetCaption(L"before");
        MainCleanTemp(ctx, role, true);
        EXPECT_EQ(List2(), std::vector<std::wstring>{L"earlier"}) << role;
        EXPECT_EQ(ctx.frmMain.Label5.Caption(), L"before");
        EXPECT_EQ(ctx.frmMain.Label6.Caption(), L"Files In Use Can Not Be Deleted");
        ctx.frmMain.List2.Clear();
    }
    EXPECT_EQ(ListTree(temp.Path()), L"busy\\locked1.tmp\nbusy\\locked2.tmp\n");
    EXPECT_EQ(ctx.CleanCount, 9) << "the second run found nothing more to remove";
}

TEST_F(TempCleanTest, NeverEmptiesTheTargetOfALink) {
    const std::wstring documents = outside / L"Documents";
    Make(documents + L"\\thesis.doc", "precious");
    Make(documents + L"\\old\\draft.doc", "precious");
    MakeFolder(documents + L"\\empty");
    SetAttributes(documents + L"\\thesis.doc", FILE_ATTRIBUTE_READONLY);
    const std::wstring before = ListTree(documents);
    Make(temp / L"a.tmp");
    Make(temp / L"sub\\b.tmp");
    test::ScopedDirectoryLink link(temp / L"Documents", documents);
    ASSERT_TRUE(link.Made());
    test::ScopedDirectoryLink nested(temp / L"sub\\docs", documents);
    ASSERT_TRUE(nested.Made());

    MainCleanTemp(ctx, kRoleMain, false);

    EXPECT_EQ(ListTree(documents), before);
    EXPECT_TRUE(PathExists(documents + L"\\empty"));
    EXPECT_NE(test::Attributes(documents + L"\\thesis.doc") & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(PathExists(temp / L"a.tmp"));
    EXPECT_FALSE(PathExists(temp / L"sub\\b.tmp"));
    EXPECT_EQ(ctx.frmMain.List2.ListCount(), 0) << "what lies behind a link is not listed";
}

class TempRefusalTest : public CleanFolders {
protected:
    // A folder of the test made the user's Documents folder, so the system-folder
    // table protects it without any real system folder being at risk.
    std::wstring profile = outside / L"profile";
    std::wstring documents = profile + L"\\Documents";

    void SetUp() override {
        MakeFolder(documents);
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                         L"Personal", documents, REG_EXPAND_SZ);
        WriteBytes(documents + L"\\keep.doc", "precious");
    }
    void ExpectRefused(const std::wstring& value, const std::wstring& reason) {
        test::ScopedEnv variable(L"Temp", value);
        app.dialogs.messages.clear();
        MainCleanTemp(ctx, kRoleMain, false);
        ASSERT_EQ(app.dialogs.messages.size(), 1u) << value;
        const auto& box = app.dialogs.Last();
        EXPECT_EQ(box.title, kTitleInfo);
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
        EXPECT_TRUE(StartsWith(box.text, L"Your Temp Folder Was Not Cleaned.\r\n\r\n")) << box.text;
        EXPECT_TRUE(Contains(box.text, reason)) << box.text;
        EXPECT_TRUE(PathExists(documents + L"\\keep.doc"));
        EXPECT_EQ(ctx.CleanCount, 0);
    }
};

TEST_F(TempRefusalTest, RefusesAProtectedFolderInAnySpellingAndItsAncestors) {
    ExpectRefused(documents, L"System Folder");
    ExpectRefused(ToLower(documents) + L"\\", L"System Folder");
    ExpectRefused(ReplaceAll(documents, L"\\", L"/"), L"System Folder");
    ExpectRefused(documents + L"\\sub\\..\\.", L"Not Written As Windows Names The Folder");
    ExpectRefused(GetShortPath(documents), L"System Folder");
    ExpectRefused(profile, L"System Folder");
}

TEST_F(TempRefusalTest, RefusesAnEmptyVariableADriveRootARelativePathAndALink) {
    ExpectRefused(L"", L"Empty");
    ExpectRefused(L"   ", L"Empty");
    ExpectRefused(L"C:\\", L"Root Of A Drive");
    ExpectRefused(L"c:/", L"Root Of A Drive");
    ExpectRefused(L"C:\\windows\\..", L"Root Of A Drive");
    ExpectRefused(L"relative\\temp", L"Not A Full Path");
    test::ScopedDirectoryLink link(temp / L"link", documents);
    ASSERT_TRUE(link.Made());
    ExpectRefused(link.Path(), L"Link");
}

TEST_F(TempRefusalTest, OnlyTheMainWindowRoleIsTold) {
    test::ScopedEnv variable(L"Temp", documents);
    MainCleanTemp(ctx, kRoleStep, true);
    MainCleanTemp(ctx, kRoleTray, true);
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_TRUE(PathExists(documents + L"\\keep.doc"));
    EXPECT_EQ(ctx.frmMain.List2.ListCount(), 0);
}

TEST_F(TempRefusalTest, ASubfolderOfAProtectedFolderIsCleaned) {
    const std::wstring inside = documents + L"\\Temp";
    Make(inside + L"\\a.tmp");
    test::ScopedEnv variable(L"Temp", inside);
    MainCleanTemp(ctx, kRoleMain, false);
    EXPECT_FALSE(PathExists(inside + L"\\a.tmp"));
    EXPECT_TRUE(PathExists(documents + L"\\keep.doc"));
    EXPECT_TRUE(app.dialogs.messages.empty());
}

// ---- MainCleanUser ---------------------------------------------------------------

class UserCleanTest : public CleanFolders {
protected:
    void SetFolder(int number, const std::wstring& value) {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(number), value);
    }
    std::wstring Fill(const std::wstring& name) {
        const std::wstring folder = temp / name;
        Make(folder + L"\\one.txt");
        SetAttributes(Make(folder + L"\\sub\\two.txt"), FILE_ATTRIBUTE_READONLY);
        return folder;
    }
};

TEST_F(UserCleanTest, EmptiesEachFolderKeepingItUnlessStoredWithABackslash) {
    const std::wstring kept = Fill(L"kept");
    const std::wstring removed = Fill(L"removed");
    SetFolder(0, kept);
    SetFolder(1, removed + L"\\");

    MainCleanUser(ctx, kRoleMain, true);

    EXPECT_TRUE(PathExists(kept));
    EXPECT_EQ(ListTree(kept), L"");
    EXPECT_TRUE(test::ListSubfolders(kept).empty());
    EXPECT_FALSE(PathExists(removed));
    EXPECT_EQ(ctx.CleanCount, 4) << "files count, folders do not";
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(UserCleanTest, TheListEndsAtTheFirstEmptyOrZeroValue) {
    const std::wstring first = Fill(L"first");
    const std::wstring third = Fill(L"third");
    SetFolder(0, first);
    SetFolder(1, L"0");
    SetFolder(2, third);

    MainCleanUser(ctx, kRoleStep, false);

    EXPECT_EQ(ListTree(first), L"");
    EXPECT_EQ(ListTree(third), L"one.txt\nsub\\two.txt\n");
}

TEST_F(UserCleanTest, AFolderThatCannotBeEmptiedDoesNotStopTheNext) {
    const std::wstring busy = Fill(L"busy");
    test::LockedFile locked(Make(busy + L"\\sub\\locked.txt"));
    const std::wstring next = Fill(L"next");
    SetFolder(0, busy + L"\\");
    SetFolder(1, next);

    MainCleanUser(ctx, kRoleMain, false);

    EXPECT_EQ(ListTree(busy), L"sub\\locked.txt\n");
    EXPECT_EQ(ListTree(next), L"");
}

TEST_F(UserCleanTest, ABareDriveRootIsLeftUntouched) {
    const std::wstring sentinel = L"C:\\qm-user-sentinel-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    WriteBytes(sentinel, "keep");
    const std::wstring after = Fill(L"after");
    SetFolder(0, L"C:\\");
    SetFolder(1, after);

    MainCleanUser(ctx, kRoleMain, false);

    EXPECT_TRUE(PathExists(sentinel));
    EXPECT_EQ(ListTree(after), L"") << "the next folder is still cleaned";
    ::DeleteFileW(sentinel.c_str());
}

TEST_F(UserCleanTest, NoFoldersIsReportedOnlyFromTheMainWindow) {
    MainCleanUser(ctx, kRoleStep, false);
    MainCleanUser(ctx, kRoleTray, false);
    EXPECT_TRUE(app.dialogs.messages.empty());
    SetFolder(0, L"0");
    MainCleanUser(ctx, kRoleMain, false);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, L"You Do Not Have Any Folders Selected!");
    EXPECT_EQ(app.dialogs.Last().title, kTitleInfo);
    EXPECT_EQ(app.dialogs.Last().style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(ctx.CleanCount, 0);
}

TEST_F(UserCleanTest, ALinkInAUserFolderLeavesItsTargetIntact) {
    const std::wstring documents = outside / L"Documents";
    Make(documents + L"\\thesis.doc", "precious");
    MakeFolder(documents + L"\\empty");
    const std::wstring folder = Fill(L"mine");
    test::ScopedDirectoryLink link(folder + L"\\Documents", documents);
    ASSERT_TRUE(link.Made());
    test::ScopedDirectoryLink emptyLink(folder + L"\\sub\\empty", documents + L"\\empty");
    ASSERT_TRUE(emptyLink.Made());
    SetFolder(0, folder);

    MainCleanUser(ctx, kRoleMain, false);

    EXPECT_EQ(ListTree(documents), L"thesis.doc\n");
    EXPECT_TRUE(PathExists(documents + L"\\empty"));
    EXPECT_FALSE(PathExists(folder + L"\\one.txt"));
}

}  // namespace
}  // namespace qm
