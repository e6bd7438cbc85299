// The browser-cache cleans on fabricated caches and profiles in temporary folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "base/text.h"
#include "clean/clean_dat.h"
#include "clean/clean_kinds.h"
#include "clean/next_start_deletes.h"
#include "clean/restart_operations.h"
#include "cookies/discovery.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"
#include "support/pending_fixtures.h"

namespace qm {
namespace {

using test::ScopedPendingOperations;
using test::ScratchRegistry;

class InternetCleanTest : public ::testing::Test {
protected:
    ScratchRegistry registry;
    ScopedPendingOperations pending;
    test::TempFolder folder{L"cache"};
    test::TestApp app;

    void Put(const std::wstring& relative, std::string_view bytes = "x") {
        const std::wstring path = folder / relative;
        test::MakeFolder(path.substr(0, path.find_last_of(L'\\')));
        test::WriteBytes(path, bytes);
    }
    void AddLocation(const std::wstring& relative, std::int32_t kind) {
        const int index = app.ctx.frmMain.cache.AddItem(folder / relative + L"\\");
        app.ctx.frmMain.cache.SetItemData(index, kind);
    }
    void AutoClean() {
        bool showResult = false;
        AutoCleanInternetFiles2(app.ctx, showResult);
    }
    void CleanSelected(int index) {
        app.ctx.frmMain.cache.SetListIndex(index);
        MainCleanInternetFiles(app.ctx, app.ctx.frmMain.cache.Text());
    }
    std::vector<std::wstring> Items(const ListModel& list) const {
        std::vector<std::wstring> items;
        for (const auto& item : list.Items()) items.push_back(item.text);
        return items;
    }
};

// An Internet Explorer cache as the browser leaves it: an index file at the top and one in
// "Content.IE5" held open, buckets, loose files and a subfolder. What is in use waits for the
// program's next start, never for the system's restart; by then a bucket has become a link
// to a folder of documents, and the file behind it stays.
TEST_F(InternetCleanTest, AutomaticCleanLeavesWhatIsInUseForTheNextStartNotForTheRestart) {
    Put(L"TIF\\index.dat");
    Put(L"TIF\\a.txt");
    Put(L"TIF\\sub\\x.txt");
    Put(L"TIF\\Content.IE5\\index.dat");
    Put(L"TIF\\Content.IE5\\ABCD1234\\f1.htm");
    Put(L"TIF\\Content.IE5\\EFGH5678\\f2.js");
    ::SetFileAttributesW(test::LongPath(folder / L"TIF\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    std::optional<test::LockedFile> top(std::in_place, folder / L"TIF\\index.dat"),
        inner(std::in_place, folder / L"TIF\\Content.IE5\\index.dat"),
        bucketFile(std::in_place, folder / L"TIF\\Content.IE5\\EFGH5678\\f2.js");
    ASSERT_TRUE(top->Held() && inner->Held() && bucketFile->Held());
    AddLocation(L"TIF", kKindIeShellCache);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"Yes");
    ScopedPendingOperations::Write(test::OtherProgramsPending());

    AutoClean();
    AutoClean();  // notes each file once
    EXPECT_EQ(test::ListTree(folder / L"TIF"),
              L"Content.IE5\\EFGH5678\\f2.js\nContent.IE5\\index.dat\nindex.dat\n");
    std::wstring remembered;
    ScratchRegistry::GetString(HKEY_CURRENT_USER, kProgramKey, L"MSTIF", remembered);
    EXPECT_EQ(remembered, folder / L"TIF\\");
    EXPECT_EQ(app.ctx.frmMain.MSIE.ListCount(), 3);
    EXPECT_EQ(ScopedPendingOperations::Read()->Wide(), test::OtherProgramsPending()) << "nothing for the restart";
    EXPECT_TRUE(OwnRestartPairs().empty());
    EXPECT_FALSE(app.ctx.restart.restartPending);
    std::vector<std::wstring> noted = ReadOwnList(kNextStartValue);
    std::sort(noted.begin(), noted.end());
    EXPECT_EQ(noted, (std::vector<std::wstring>{folder / L"TIF\\Content.IE5\\EFGH5678\\f2.js",
                                                folder / L"TIF\\Content.IE5\\index.dat", folder / L"TIF\\index.dat"}));

    top.reset();
    inner.reset();
    bucketFile.reset();
    test::TempFolder documents{L"documents"};
    test::WriteBytes(documents / L"f2.js", "a document");
    test::RemoveTree(folder / L"TIF\\Content.IE5\\EFGH5678");
    const test::ScopedDirectoryLink link(folder / L"TIF\\Content.IE5\\EFGH5678", documents.Path());
    ASSERT_TRUE(link.Made());
    RemoveNotedFiles(app.ctx);
    EXPECT_FALSE(test::PathExists(folder / L"TIF\\index.dat"));
    EXPECT_FALSE(test::PathExists(folder / L"TIF\\Content.IE5\\index.dat"));
    EXPECT_EQ(test::ReadBytes(documents / L"f2.js"), "a document");
    EXPECT_TRUE(ReadOwnList(kNextStartValue).empty()) << "forgotten once tried";
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(InternetCleanTest, WithoutRemoveDatFilesNothingIsScheduled) {
    Put(L"TIF\\index.dat");
    test::LockedFile top(folder / L"TIF\\index.dat");
    AddLocation(L"TIF", kKindIeShellCache);
    AutoClean();
    EXPECT_FALSE(ScopedPendingOperations::Read().has_value());
    EXPECT_FALSE(app.ctx.restart.restartPending);
    EXPECT_TRUE(ReadOwnList(kNextStartValue).empty());
}

// A Firefox profile keeps everything but its session files, whichever clean runs, and
// whatever the profile itself is called: the rest is never listed, so its attributes stay.
TEST_F(InternetCleanTest, FireFoxProfileLosesOnlyItsSessionFiles) {
    const std::wstring profile = L"sessionstore fan.default";
    struct Case {
        const wchar_t* file;
        bool goes;
    } cases[] = {
        {L"sessionstore.jsonlz4", true},
        {L"sessionstore.js", true},
        {L"SessionStore.BAK", true},
        {L"sessionstore-backups\\recovery.jsonlz4", true},
        {L"sessionstore-backups\\recovery.baklz4", true},
        {L"sessionstore-backups\\previous.jsonlz4", true},
        {L"sessionstore-backups\\upgrade.jsonlz4-20240101120000", true},
        {L"prefs.js", false},
        {L"places.sqlite", false},
        {L"sessionstore.js.tmp", false},
        {L"sessionCheckpoints.json", false},
        {L"storage\\default\\site\\sessionstore.js", false},
        {L"sessionstore-backups\\nested\\recovery.jsonlz4", false},
    };
    constexpr DWORD kHiddenReadOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    for (bool manual : {false, true}) {
        SCOPED_TRACE(manual ? "Clean Internet" : "AutoClean");
        for (const auto& one : cases) {
            const std::wstring path = test::LongPath(folder / profile + L"\\" + one.file);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // left so by the first round
            Put(profile + L"\\" + one.file);
            ::SetFileAttributesW(path.c_str(), kHiddenReadOnly);
        }
        app.ctx.frmMain.cache.Clear();
        AddLocation(profile, kKindFireFoxDefault);
        if (manual) CleanSelected(0);
        else AutoClean();
        for (const auto& one : cases) {
            const std::wstring path = folder / profile + L"\\" + one.file;
            EXPECT_EQ(test::PathExists(path), !one.goes) << NarrowUtf8(one.file);
            if (!one.goes) {
                EXPECT_EQ(test::Attributes(path) & kHiddenReadOnly, kHiddenReadOnly) << NarrowUtf8(one.file) << " untouched";
            }
        }
        EXPECT_TRUE(Items(app.ctx.frmMain.FireFox).empty()) << "only session files are listed";
        EXPECT_EQ(app.ctx.frmMain.Label1.Caption(), L"FireFox Internet Folder Contains 0 Files");
        EXPECT_EQ(app.ctx.CleanCount, 7);
        app.ctx.CleanCount = 0;
    }
    EXPECT_TRUE(app.ui.Called(L"ShowCount frmMain 0"));
}

TEST_F(InternetCleanTest, ASessionFileInUseStaysListedAndWaitsForTheNextStart) {
    Put(L"p.default\\sessionstore-backups\\recovery.jsonlz4");
    Put(L"p.default\\prefs.js");
    test::LockedFile browser(folder / L"p.default\\sessionstore-backups\\recovery.jsonlz4");
    ASSERT_TRUE(browser.Held());
    AddLocation(L"p.default", kKindFireFoxDefault);
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"CleanDat", L"Yes");
    AutoClean();
    EXPECT_EQ(Items(app.ctx.frmMain.FireFox), std::vector<std::wstring>{L"recovery.jsonlz4"});
    EXPECT_EQ(app.ctx.frmMain.Label1.Caption(), L"FireFox Internet Folder Contains 1 Files");
    EXPECT_TRUE(OwnRestartPairs().empty());
    EXPECT_EQ(ReadOwnList(kNextStartValue),
              std::vector<std::wstring>{folder / L"p.default\\sessionstore-backups\\recovery.jsonlz4"});
}

TEST_F(InternetCleanTest, FireFoxCacheFolderIsEmptiedByEitherClean) {
    for (bool manual : {false, true}) {
        SCOPED_TRACE(manual ? "Clean Internet" : "AutoClean");
        Put(L"Profiles\\abc.default\\Cache\\_CACHE_001_");
        Put(L"Profiles\\abc.default\\Cache\\0\\1A\\entry");
        app.ctx.frmMain.cache.Clear();
        app.ctx.CleanCount = 0;
        AddLocation(L"Profiles\\abc.default\\Cache", kKindFireFoxProfiles);
        if (manual) CleanSelected(0);
        else AutoClean();
        EXPECT_EQ(test::ListTree(folder / L"Profiles\\abc.default\\Cache"), L"");
        EXPECT_EQ(app.ctx.CleanCount, 2);
    }
}

TEST_F(InternetCleanTest, LinksInsideACacheOrProfileLeaveTheirTargetsAlone) {
    Put(L"Outside\\sessionstore.js", "keep");
    Put(L"Outside\\page.htm", "keep");
    Put(L"TIF\\a.txt");
    Put(L"TIF\\Content.IE5\\index.dat");
    Put(L"Prof.default\\prefs.js");
    test::ScopedDirectoryLink inCache(folder / L"TIF\\linked", folder / L"Outside");
    test::ScopedDirectoryLink inBucket(folder / L"TIF\\Content.IE5\\linked", folder / L"Outside");
    test::ScopedDirectoryLink inProfile(folder / L"Prof.default\\linked", folder / L"Outside");
    test::ScopedDirectoryLink backups(folder / L"Prof.default\\sessionstore-backups", folder / L"Outside");
    ASSERT_TRUE(inCache.Made() && inBucket.Made() && inProfile.Made() && backups.Made());
    AddLocation(L"TIF", kKindIeShellCache);
    AddLocation(L"Prof.default", kKindFireFoxDefault);
    AutoClean();
    CleanSelected(0);
    CleanSelected(1);
    EXPECT_EQ(test::ListTree(folder / L"Outside"), L"page.htm\nsessionstore.js\n");
    EXPECT_EQ(test::ReadBytes(folder / L"Outside\\sessionstore.js"), "keep");
    EXPECT_FALSE(test::PathExists(folder / L"TIF\\a.txt"));
    EXPECT_TRUE(test::PathExists(folder / L"Prof.default\\prefs.js"));
}

TEST_F(InternetCleanTest, NetscapeLocationIsEmptiedAutomaticallyButNotByTheCommand) {
    Put(L"NS\\Cache\\M0A1B2C3");
    Put(L"NS\\Cache\\sub\\M0D4E5F6");
    AddLocation(L"NS\\Cache", kKindNetscapeUsers);
    app.ctx.frmMain.Label1.SetCaption(L"before");
    CleanSelected(0);
    EXPECT_EQ(test::ListTree(folder / L"NS\\Cache"), L"M0A1B2C3\nsub\\M0D4E5F6\n");
    EXPECT_EQ(app.ctx.frmMain.Label1.Caption(), L"before");
    AutoClean();
    EXPECT_EQ(test::ListTree(folder / L"NS\\Cache"), L"");
    EXPECT_EQ(app.ctx.frmMain.Label1.Caption(), L"Netscape Internet Folder Contains 0 Files");
}

TEST_F(InternetCleanTest, RefusedLocationIsLeftAloneAndTheCommandSaysWhy) {
    const int index = app.ctx.frmMain.cache.AddItem(L"C:\\");
    app.ctx.frmMain.cache.SetItemData(index, kKindIeShellCache);
    const int windows = app.ctx.frmMain.cache.AddItem(SystemWindowsFolder() + L"\\");
    app.ctx.frmMain.cache.SetItemData(windows, kKindFireFoxProfiles);
    AutoClean();
    EXPECT_EQ(app.ctx.CleanCount, 0);
    EXPECT_TRUE(app.dialogs.messages.empty()) << "an unattended step tells nobody";
    CleanSelected(0);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_TRUE(app.dialogs.Last().text.find(L"A Browser Cache Was Not Cleaned.") == 0) << app.dialogs.Last().text;
    EXPECT_TRUE(test::PathExists(SystemWindowsFolder() + L"\\win.ini"));
}

TEST_F(InternetCleanTest, ManualInternetExplorerCleanEmptiesEverySubfolder) {
    Put(L"TIF\\a.txt");
    Put(L"TIF\\Content.IE5\\index.dat");
    Put(L"TIF\\Content.IE5\\ABCD1234\\f1.htm");
    Put(L"TIF\\other\\y.txt");
    AddLocation(L"TIF", kKindIeShellCache);
    CleanSelected(0);
    EXPECT_EQ(test::ListTree(folder / L"TIF"), L"");
    EXPECT_EQ(app.ctx.frmMain.Label1.Caption(), L"Microsoft Internet Folder Contains 0 Files");
    EXPECT_TRUE(app.ui.Called(L"ShowCount frmMain 0"));
    EXPECT_FALSE(ScopedPendingOperations::Read().has_value()) << "the command never schedules";
}

}  // namespace
}  // namespace qm
