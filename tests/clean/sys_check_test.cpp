// The system-folder guard against the real shell folders of the (Wine) system. Nothing
// here deletes anything: the guard only answers and tells the user.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "base/text.h"
#include "clean/search_delete.h"
#include "clean/sys_check.h"
#include "startup/system_info.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

constexpr wchar_t kWarning[] = L"Warning.....Warning !!!";
constexpr wchar_t kSelectPrompt[] = L"Select Folder And Click Save";

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

class SysCheckTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TestApp app;
    AppContext& ctx = app.ctx;

    std::wstring Folder(int csidl) {
        const std::wstring folder = GetFolderPath(app.ui, csidl);
        EXPECT_FALSE(folder.empty()) << "shell folder " << csidl;
        return folder;
    }
    // SysCheck's answer for path; the path as SysCheck left it goes to changedPath.
    bool Refuses(std::wstring path, std::wstring* changedPath = nullptr) {
        bool isSystem = false;
        SysCheck(ctx, path, isSystem);
        if (changedPath) *changedPath = path;
        return isSystem;
    }
};

TEST_F(SysCheckTest, TheTableHoldsTheDriveRootAndTheShellFoldersInUpperCase) {
    const auto table = SystemFolderTable(app.ui);
    ASSERT_EQ(table.size(), 46u);
    EXPECT_EQ(table[0], L"C:\\");
    for (const auto& folder : table) EXPECT_EQ(folder, ToUpper(folder));
    EXPECT_EQ(table[13 + (CSIDL_WINDOWS - 16)], ToUpper(Folder(CSIDL_WINDOWS))) << "ids 12 to 15 are skipped";
}

TEST_F(SysCheckTest, TheTableWithoutAWindowNamesTheSameFolders) {
    const auto owned = SystemFolderTable(app.ui);
    app.ui.calls.clear();
    const auto unowned = SystemFolderTable();
    EXPECT_TRUE(app.ui.calls.empty()) << "no window is loaded for it";
    ASSERT_EQ(unowned.size(), owned.size());
    for (size_t i = 0; i < owned.size(); ++i) EXPECT_EQ(ComparablePath(unowned[i]), ComparablePath(owned[i])) << i;
}

TEST_F(SysCheckTest, RefusesTheDriveRootAndTellsTheUser) {
    ctx.frmMain.Label15.SetCaption(kSelectPrompt);
    std::wstring captionWhileShown;
    app.dialogs.onMessage = [&](const MessageBoxRequest&) { captionWhileShown = ctx.frmMain.Label15.Caption(); };
    std::wstring path;

    EXPECT_TRUE(Refuses(L"c:\\", &path));

    EXPECT_EQ(path, L"C:\\") << "the caller's variable is upper-cased";
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    const auto& box = app.dialogs.Last();
    EXPECT_EQ(box.text, L"You Have Selected A System Folder\r\n\r\nMake Another Selection!");
    EXPECT_EQ(box.title, kTitleInfo);
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(captionWhileShown, kWarning);
    EXPECT_EQ(ctx.frmMain.Label15.Caption(), kSelectPrompt);
}

TEST_F(SysCheckTest, RefusesEverySpellingOfASystemFolder) {
    const std::wstring windows = Folder(CSIDL_WINDOWS);
    const std::wstring programs = Folder(CSIDL_PROGRAM_FILES);
    const std::wstring shortPrograms = GetShortPath(programs);
    ASSERT_FALSE(shortPrograms.empty());
    ASSERT_NE(ToUpper(shortPrograms), ToUpper(programs)) << "the system gives the folder a distinct 8.3 name";
    for (const std::wstring& spelling :
         {windows, ToLower(windows), ToUpper(windows), windows + L"\\", ReplaceAll(windows, L"\\", L"/"),
          windows + L"\\system32\\..", L"C:\\.\\" + windows.substr(3), L"C:\\\\" + windows.substr(3) + L"\\.",
          programs, shortPrograms, shortPrograms + L"\\", Folder(CSIDL_SYSTEM), Folder(CSIDL_PROFILE)})
        EXPECT_TRUE(Refuses(spelling)) << spelling;
    EXPECT_EQ(app.dialogs.messages.size(), 13u) << "each refusal is told";
}

TEST_F(SysCheckTest, RefusesTheFoldersThatHoldSystemFolders) {
    const std::wstring profile = Folder(CSIDL_PROFILE);
    for (const std::wstring& ancestor :
         {Parent(profile), Parent(profile) + L"\\", Parent(Folder(CSIDL_APPDATA)), ToLower(Parent(profile))})
        EXPECT_TRUE(Refuses(ancestor)) << ancestor;
}

TEST_F(SysCheckTest, AcceptsSubfoldersOfSystemFolders) {
    ctx.frmMain.Label15.SetCaption(kSelectPrompt);
    for (const std::wstring& subfolder : {Folder(CSIDL_WINDOWS) + L"\\qm-own-folder", Folder(CSIDL_PERSONAL) + L"\\Projects",
                                          Folder(CSIDL_PROGRAM_FILES) + L"\\Some Program\\Data"}) {
        std::wstring path;
        EXPECT_FALSE(Refuses(subfolder, &path)) << subfolder;
        EXPECT_EQ(path, ToUpper(subfolder)) << "it reached the table, so it was upper-cased";
    }
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_EQ(ctx.frmMain.Label15.Caption(), kSelectPrompt);
}

// The shortcuts by name read the folder's real path (links resolved), never the spelling
// stored; a shell folder passes only by its own name. Shell folders of the test's own.
TEST_F(SysCheckTest, TheShortcutsReadTheRealPathNotTheSpelling) {
    test::TempFolder work(L"qm-real");
    const auto shellFolder = [&](const wchar_t* value, const std::wstring& folder) {
        test::MakeFolder(folder);
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                         value, folder, REG_EXPAND_SZ);
        return folder;
    };
    const std::wstring templates = shellFolder(L"Templates", work / L"Templates");
    const std::wstring cookies = shellFolder(L"Cookies", work / L"Cookies");
    const std::wstring desktop = shellFolder(L"Desktop", work / L"profile\\Desktop");
    test::MakeFolder(work / L"Temp");
    test::ScopedDirectoryLink home(work / L"Temp\\home", work / L"profile");
    ASSERT_TRUE(home.Made());
    const struct {
        std::wstring path;
        bool refused;
    } rows[] = {
        {templates, false},                         // a shell folder whose own name holds "Temp"
        {cookies, false},
        {ToUpper(cookies), false},                  // spelled otherwise, it is still the Cookies folder
        {work / L"Temp\\home\\Desktop", true},      // "Temp" on the way, but it is the Desktop
        {desktop, true},
        {std::wstring(L"C:\\Temporary Internet Files"), false},  // nothing there to protect
    };
    for (const auto& row : rows) EXPECT_EQ(Refuses(row.path), row.refused) << row.path;
}

TEST_F(SysCheckTest, AnAcceptedPathLeavesTheAnswerAsItWas) {
    std::wstring accepted = Folder(CSIDL_WINDOWS) + L"\\qm-own-folder";
    bool isSystem = true;
    SysCheck(ctx, accepted, isSystem);
    EXPECT_TRUE(isSystem);
}

TEST(ComparablePathTest, OneFormForEverySpelling) {
    EXPECT_EQ(ComparablePath(L"c:/Windows//System32/../"), L"C:\\WINDOWS");
    EXPECT_EQ(ComparablePath(L"C:\\"), L"C:");
    EXPECT_EQ(ComparablePath(L"\\\\?\\C:\\Windows\\"), L"C:\\WINDOWS");
    EXPECT_EQ(ComparablePath(L""), L"");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The shortcuts judge a path by where it leads, and never pass the folders that matter most.
TEST_F(SysCheckTest, TheShortcutsNeverPassWhatHoldsOrIsASystemFolder) {
    const std::wstring localAppData = Folder(CSIDL_LOCAL_APPDATA);
    test::TempFolder work(L"qm-syscheck");
    // A profile whose name holds "Temp": its Documents made a shell folder of the test's own.
    const std::wstring tempest = work / L"Tempest";
    test::MakeFolder(tempest + L"\\Documents");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                     L"Personal", tempest + L"\\Documents", REG_EXPAND_SZ);
    test::MakeFolder(localAppData + L"\\Temp");
    for (const std::wstring& refused : {localAppData + L"\\Temp\\..", tempest, tempest + L"\\Documents\\Temp\\..\\.."})
        EXPECT_TRUE(Refuses(refused)) << refused;
    EXPECT_FALSE(Refuses(localAppData + L"\\Temp"));
    EXPECT_FALSE(Refuses(tempest + L"\\Documents\\Temporary"));
}

}  // namespace
}  // namespace qm
