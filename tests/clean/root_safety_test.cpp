// The guard in front of every folder a clean empties, and the cleans that use it, tried the
// way an attacker or a misconfigured machine would: names that the system shortens on the
// way ("X." beside a link "X"), drive letters mapped onto folders, fabricated shell folders.
// Whatever lies outside the cleaned roots must stay byte for byte.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <map>

#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/deletion_guard.h"
#include "clean/search_delete.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::MakeFolder;
using test::PathExists;
using test::WriteBytes;

constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr RootKind kAllKinds[] = {RootKind::Temp, RootKind::UserFolder, RootKind::InternetCache, RootKind::CookieStore};

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// Every file below a folder with its bytes, links not entered: the "nothing changed" check.
std::map<std::wstring, std::string> Contents(const std::wstring& folder) {
    std::map<std::wstring, std::string> contents;
    const std::wstring listing = test::ListTree(folder);
    for (size_t start = 0, end; (end = listing.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring relative = listing.substr(start, end - start);
        contents[relative] = test::ReadBytes(folder + L"\\" + relative);
    }
    return contents;
}

class RootSafety : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TestApp app;
    AppContext& ctx = app.ctx;
    test::TempFolder outside{L"qm-outside"};
    test::TempFolder work{L"qm-roots"};
    std::map<std::wstring, std::string> outsideBefore;

    void SetUp() override {
        WriteBytes(outside / L"thesis.doc", "years of work");
        MakeFolder(outside / L"photos");
        WriteBytes(outside / L"photos\\summer.jpg", "jpeg");
        outsideBefore = Contents(outside.Path());
    }
    void ExpectOutsideIntact() { EXPECT_EQ(Contents(outside.Path()), outsideBefore); }
    std::wstring Make(const std::wstring& path, std::string_view bytes = "data") {
        MakeFolder(Parent(path));
        WriteBytes(path, bytes);
        return path;
    }
    // A folder holding a link "X" to the outside folder and real folders "X." and "X " full of
    // files: resolving "X." or "X " again by name would lead through the link.
    void FillTrap(const std::wstring& folder) {
        Make(folder + L"\\X.\\inside.tmp");
        Make(folder + L"\\X \\inside.tmp");
        Make(folder + L"\\X.\\deeper\\more.tmp");
        Make(folder + L"\\plain.tmp");
        links.push_back(std::make_unique<test::ScopedDirectoryLink>(folder + L"\\X", outside.Path()));
        ASSERT_TRUE(links.back()->Made());
    }
    std::vector<std::unique_ptr<test::ScopedDirectoryLink>> links;
};

// ---- The guard -------------------------------------------------------------------

TEST_F(RootSafety, TheGuardRefusesWhatNoCleanMayEmpty) {
    const std::wstring profile = GetFolderPath(app.ui, CSIDL_PROFILE);
    const std::wstring windows = GetFolderPath(app.ui, CSIDL_WINDOWS);
    ASSERT_FALSE(profile.empty());
    test::ScopedDirectoryLink link(work / L"link", outside.Path());
    ASSERT_TRUE(link.Made());
    const struct {
        std::wstring path;
        RootRefusal refusal;
    } cases[] = {
        {L"", RootRefusal::Empty},
        {L"  ", RootRefusal::Empty},
        {L"relative\\folder", RootRefusal::NotFullPath},
        {L".", RootRefusal::NotFullPath},
        {L"C:", RootRefusal::NotFullPath},
        {L"C:name", RootRefusal::NotFullPath},
        {L"\\name", RootRefusal::NotFullPath},
        {L"C:\\", RootRefusal::DriveRoot},
        {L"c:/", RootRefusal::DriveRoot},
        {L"\\\\?\\C:\\", RootRefusal::DriveRoot},
        {L"C:\\windows\\..", RootRefusal::DriveRoot},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\", RootRefusal::DriveRoot},
        {L"\\\\?\\Volume{00000000-0000-0000-0000-000000000043}\\", RootRefusal::DriveRoot},
        {L"\\\\server\\share", RootRefusal::DriveRoot},
        {profile, RootRefusal::Protected},
        {Parent(profile), RootRefusal::Protected},
        {Parent(profile) + L"\\..\\" + windows.substr(3), RootRefusal::NotExact},
        {work / L"name:stream", RootRefusal::NotExact},
        {work / L"a\\\\b", RootRefusal::NotExact},
        {work / L"missing", RootRefusal::CannotOpen},
        {link.Path(), RootRefusal::Link},
    };
    const DeletionGuard guard;
    for (const auto& c : cases)
        for (const RootKind kind : kAllKinds) {
            const GuardVerdict verdict = guard.Check(c.path, kind);
            EXPECT_EQ(verdict.refusal, c.refusal) << c.path << " kind " << static_cast<int>(kind);
            EXPECT_FALSE(verdict.root.has_value()) << c.path;
        }
    for (const RootKind kind : kAllKinds)
        EXPECT_EQ(guard.Check(work.Path(), kind).refusal, RootRefusal::None) << "kind " << static_cast<int>(kind);
    ExpectOutsideIntact();
}

// The test's own folder made the user's Documents, so that a drive letter can be mapped onto
// a protected folder without touching any folder of the system.
std::wstring FabricatedDocuments(const test::TempFolder& work) {
    const std::wstring documents = work / L"Profile\\Documents";
    MakeFolder(documents);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, L"Personal", documents, REG_EXPAND_SZ);
    return documents;
}

TEST_F(RootSafety, ADriveLetterMappedOntoAFolderIsJudgedByWhereItLeads) {
    MakeFolder(work / L"sub");
    FabricatedDocuments(work);
    test::ScratchDrive scratch(work.Path());
    ASSERT_TRUE(scratch.Made());

    const DeletionGuard guard;
    for (const RootKind kind : kAllKinds) {
        EXPECT_EQ(guard.Check(scratch.Root(), kind).refusal, RootRefusal::DriveRoot);
        EXPECT_EQ(guard.Check(scratch.Root().substr(0, 2), kind).refusal, RootRefusal::NotFullPath);
        EXPECT_TRUE(guard.Check(scratch.Root() + L"sub", kind).root.has_value());
        EXPECT_EQ(guard.Check(scratch.Root() + L"Profile\\Documents", kind).refusal, RootRefusal::Protected);
        EXPECT_EQ(guard.Check(scratch.Root() + L"Profile", kind).refusal, RootRefusal::Protected);
    }
}

TEST_F(RootSafety, CacheAndCookieCleansMayEmptyTheirOwnShellFolderButNothingAbove) {
    const std::wstring profile = work / L"Profile";
    const std::wstring cache = profile + L"\\Temporary Internet Files";
    const std::wstring cookies = profile + L"\\Cookies";
    MakeFolder(cache + L"\\Content.IE5");
    MakeFolder(cookies);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, L"Cache", cache, REG_EXPAND_SZ);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, L"Cookies", cookies, REG_EXPAND_SZ);
    // The table is taken once and checked, so that the guard surely judges with these folders.
    const auto table = SystemFolderTable();
    const auto& ids = SystemFolderTableIds();
    const auto entry = [&](int csidl) { return table[std::find(ids.begin(), ids.end(), csidl) - ids.begin()]; };
    ASSERT_TRUE(EqualsNoCase(entry(CSIDL_INTERNET_CACHE), cache)) << entry(CSIDL_INTERNET_CACHE);
    ASSERT_TRUE(EqualsNoCase(entry(CSIDL_COOKIES), cookies)) << entry(CSIDL_COOKIES);

    const DeletionGuard guard{ProtectedFolders(table)};
    EXPECT_TRUE(guard.Check(cache, RootKind::InternetCache).root.has_value());
    EXPECT_TRUE(guard.Check(cache + L"\\Content.IE5", RootKind::InternetCache).root.has_value());
    EXPECT_TRUE(guard.Check(cookies, RootKind::CookieStore).root.has_value());
    for (const auto& [path, kind] : {std::pair{cache, RootKind::Temp}, std::pair{cache, RootKind::CookieStore},
                                     std::pair{cookies, RootKind::InternetCache}, std::pair{cookies, RootKind::Temp},
                                     std::pair{profile, RootKind::InternetCache},
                                     std::pair{profile, RootKind::CookieStore}})
        EXPECT_EQ(guard.Check(path, kind).refusal, RootRefusal::Protected) << path << " " << static_cast<int>(kind);
}

TEST_F(RootSafety, RefusalTextsNameTheRootAndTheReason) {
    EXPECT_EQ(RefusalText(RootKind::Temp, RootRefusal::Empty, L""), L"The Temp Variable Is Empty.");
    EXPECT_EQ(RefusalText(RootKind::UserFolder, RootRefusal::CannotOpen, L"D:\\gone"),
              L"Your Folder Names A Folder That Cannot Be Opened:\r\n\r\nD:\\gone");
    EXPECT_EQ(RefusalText(RootKind::InternetCache, RootRefusal::Protected, L"C:\\x"),
              L"The Cache Location Names A System Folder:\r\n\r\nC:\\x");
    EXPECT_EQ(RefusalText(RootKind::Temp, RootRefusal::None, L"C:\\x"), L"");
}

// ---- The cleans ------------------------------------------------------------------

TEST_F(RootSafety, TheTempCleanNeverFollowsANameTheSystemWouldShorten) {
    const std::wstring temp = work / L"Temp";
    FillTrap(temp);
    test::ScopedEnv variable(L"Temp", temp);

    MainCleanTemp(ctx, kRoleMain, false);

    ExpectOutsideIntact();
    EXPECT_TRUE(PathExists(outside.Path()));
    for (const wchar_t* gone : {L"\\X.\\inside.tmp", L"\\X \\inside.tmp", L"\\X.\\deeper\\more.tmp", L"\\plain.tmp"})
        EXPECT_FALSE(PathExists(temp + gone)) << gone;
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(RootSafety, TheUserCleanNeverFollowsANameTheSystemWouldShortenAndGoesOnWithTheNextFolder) {
    const std::wstring first = work / L"First", second = work / L"Second";
    FillTrap(first);
    Make(second + L"\\later.tmp");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", first);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File1", second);

    MainCleanUser(ctx, kRoleMain, false);

    ExpectOutsideIntact();
    EXPECT_FALSE(PathExists(second + L"\\later.tmp")) << "the later root is still cleaned";
    EXPECT_TRUE(PathExists(second));
}

TEST_F(RootSafety, RefusedUserFoldersAreToldAndSkippedAndTheRestIsCleaned) {
    const std::wstring profile = GetFolderPath(app.ui, CSIDL_PROFILE);
    FabricatedDocuments(work);
    test::ScratchDrive drive(work.Path());
    ASSERT_TRUE(drive.Made());
    const std::wstring last = work / L"Last";
    Make(last + L"\\junk.tmp");
    const std::vector<std::wstring> refused{L"relative\\folder", profile, Parent(profile),
                                            drive.Root() + L"Profile\\Documents", drive.Root()};
    for (size_t i = 0; i < refused.size(); ++i)
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(i), refused[i]);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File" + std::to_wstring(refused.size()),
                                     last);

    MainCleanUser(ctx, kRoleMain, false);

    EXPECT_FALSE(PathExists(last + L"\\junk.tmp"));
    ASSERT_EQ(app.dialogs.messages.size(), refused.size());
    for (size_t i = 0; i < refused.size(); ++i) {
        EXPECT_TRUE(StartsWith(app.dialogs.messages[i].text, L"One Of Your Folders Was Not Cleaned.\r\n\r\nYour Folder "))
            << app.dialogs.messages[i].text;
        EXPECT_TRUE(EndsWith(app.dialogs.messages[i].text, refused[i])) << app.dialogs.messages[i].text;
    }
    EXPECT_TRUE(PathExists(profile));
}

TEST_F(RootSafety, AnUnattendedRunShowsNoBoxButKeepsWhatItWouldHaveSaid) {
    test::ScopedEnv variable(L"Temp", L"C:\\");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", L"C:");
    ctx.SetUnattended(true);

    MainCleanTemp(ctx, kRoleMain, false);
    MainCleanUser(ctx, kRoleMain, false);

    EXPECT_TRUE(app.dialogs.messages.empty());
    ASSERT_EQ(ctx.dialogs.Unshown().size(), 2u);
    EXPECT_TRUE(Contains(ctx.dialogs.Unshown()[0], L"Your Temp Folder Was Not Cleaned.")) << ctx.dialogs.Unshown()[0];
    EXPECT_TRUE(Contains(ctx.dialogs.Unshown()[1], L"Is Not A Full Path:")) << ctx.dialogs.Unshown()[1];
}

}  // namespace
}  // namespace qm
