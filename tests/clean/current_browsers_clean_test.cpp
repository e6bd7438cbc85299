// The cleans on a fabricated profile of today's browsers: caches emptied, unkept cookies
// removed from each cookie database, every other profile file left byte for byte.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "base/handles.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/cookie_clean.h"
#include "clean/deletion_guard.h"
#include "cookies/current_browsers.h"
#include "cookies/database_cookies.h"
#include "cookies/kept_cookies.h"
#include "startup/api.h"
#include "startup/file_helpers.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::CookieRow;
using Left = std::vector<std::string>;

const std::vector<CookieRow> kRows{
    {".example.com", "SID", "", "\x01v10secret", 13300000000000000},
    {"shop.example.com", "cart", "plain", "", 0},
    {".tracker.net", "id", "", "\x01v10x", 13300000000000000},
};

class TodaysBrowsersClean : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& database : profile.CookieDatabases()) {
            if (database.kind == kKindFireFoxCookieDb) test::WriteFirefoxCookies(database.path, kRows);
            else test::WriteChromiumCookies(database.path, kRows);
        }
        others = profile.OtherFiles();
    }
    void ExpectOtherFilesUnchanged() {
        for (const auto& [path, bytes] : others) EXPECT_EQ(test::ReadBytes(path), bytes) << NarrowUtf8(path);
    }
    void FillCaches() {
        auto& cache = app.ctx.frmMain.cache;
        for (const auto& folder : CurrentCacheFolders(profile.Lookup()))
            cache.SetItemData(cache.AddItem(folder.path), folder.kind);
    }
    void ExpectSessionFilesGone() {
        for (const auto& file : profile.SessionFiles()) EXPECT_FALSE(test::PathExists(file)) << NarrowUtf8(file);
    }
    void FillStores() {
        auto& list = app.ctx.frmMain.cboLoc;
        for (const auto& database : CurrentCookieDatabases(profile.Lookup()))
            list.SetItemData(list.AddItem(database.path), database.kind);
    }

    void WriteProfilesIni(const std::wstring& path, bool relative) {
        test::WriteBytes(profile.roaming + L"Mozilla\\Firefox\\profiles.ini",
                         "[Profile0]\nIsRelative=" + std::string(relative ? "1" : "0") + "\nPath=" + NarrowUtf8(path) + "\n");
    }

    test::ScratchRegistry registry;
    test::TempFolder root{L"qmtoday"};
    test::CurrentProfile profile{root.Path()};
    std::vector<std::pair<std::wstring, std::string>> others;
    test::TestApp app;
};

TEST_F(TodaysBrowsersClean, AutomaticCleanEmptiesEveryCacheButWhatTheBrowserHolds) {
    const std::wstring held = profile.operaProfile + L"GPUCache\\data_1";
    test::LockedFile browser(held);
    ASSERT_TRUE(browser.Held());
    FillCaches();

    bool showResult = false;
    AutoCleanInternetFiles2(app.ctx, showResult);

    for (const auto& folder : profile.CacheFolders()) {
        EXPECT_TRUE(test::PathExists(folder.path)) << NarrowUtf8(folder.path);
        if (folder.path != profile.operaProfile + L"GPUCache\\" && folder.kind != kKindFireFoxDefault) {
            EXPECT_TRUE(test::EnumerationOrder(folder.path).empty()) << NarrowUtf8(folder.path);
        }
    }
    EXPECT_EQ(test::EnumerationOrder(profile.operaProfile + L"GPUCache\\"), std::vector<std::wstring>{L"data_1"});
    // What stays is what the last Chromium-family folder still holds, as the preview shows it.
    EXPECT_EQ(app.ctx.frmMain.Chromium.ListCount(), 1);
    EXPECT_EQ(app.ctx.frmMain.Chromium.List(0), L"data_1");
    // Two cache files in each of five profiles, Chrome's third and its index of addresses,
    // its code (two) and GPU caches, Opera's cache file, Firefox's two and its seven session files.
    EXPECT_EQ(app.ctx.CleanCount, 10 + 2 + 3 + 1 + 2 + 7);
    ExpectSessionFilesGone();
    ExpectOtherFilesUnchanged();
    for (const auto& database : profile.CookieDatabases()) EXPECT_TRUE(test::PathExists(database.path));
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(TodaysBrowsersClean, CleanInternetOnTheFirefoxProfileTakesItsSessionFilesOnly) {
    FillCaches();
    auto& cache = app.ctx.frmMain.cache;
    cache.SetListIndex(cache.FindNoCase(profile.firefoxProfile));
    ASSERT_EQ(cache.ItemData(cache.ListIndex()), kKindFireFoxDefault);
    MainCleanInternetFiles(app.ctx, cache.Text());
    ExpectSessionFilesGone();
    EXPECT_EQ(app.ctx.CleanCount, 7);
    EXPECT_TRUE(test::PathExists(profile.firefoxProfile + L"sessionstore-backups"));
    EXPECT_FALSE(test::EnumerationOrder(profile.local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\entries").empty())
        << "the profile's cache is another location";
    ExpectOtherFilesUnchanged();
}

TEST_F(TodaysBrowsersClean, CookieCleanRemovesExactlyTheUnkeptRowsOfEveryDatabase) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kChromiumSavedKey, L"0", L"example.com\tSID\t1/1/2030");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kFireFoxSavedKey, L"0", L"shop.example.com\tcart\tx");
    FillStores();
    CleanCookieStores(app.ctx, true);

    for (const auto& database : profile.CookieDatabases()) {
        if (database.kind == kKindFireFoxCookieDb)
            EXPECT_EQ(test::CookiesLeft(database.path, "moz_cookies", "host"), Left{"shop.example.com\tcart"});
        else
            EXPECT_EQ(test::CookiesLeft(database.path, "cookies", "host_key"), Left{".example.com\tSID"})
                << NarrowUtf8(database.path);
    }
    EXPECT_EQ(app.ctx.CleanCount, 2 * 7);
    ExpectOtherFilesUnchanged();
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(TodaysBrowsersClean, ARunningBrowserIsNamedOnceAndItsDatabaseStaysAsItWas) {
    const std::wstring chrome = profile.chromeDefault + L"Network\\Cookies";
    FillStores();
    for (const bool interactive : {false, true}) {
        test::DatabaseHolder browser(chrome);
        ASSERT_TRUE(browser.Holding());
        const std::string before = test::ReadBytes(chrome);
        app.dialogs.messages.clear();
        CleanCookieStores(app.ctx, interactive);
        EXPECT_EQ(test::ReadBytes(chrome), before);
        if (!interactive) {
            EXPECT_TRUE(app.dialogs.messages.empty());
            continue;
        }
        ASSERT_EQ(app.dialogs.messages.size(), 1u);
        EXPECT_EQ(app.dialogs.messages[0].text, BrowserRunningText(kKindChrome));
        EXPECT_NE(app.dialogs.messages[0].text.find(L"Google Chrome"), std::wstring::npos);
    }
    EXPECT_EQ(test::CookiesLeft(chrome, "cookies", "host_key").size(), 3u);
    EXPECT_TRUE(test::CookiesLeft(profile.chromeProfile1 + L"Network\\Cookies", "cookies", "host_key").empty());
}

TEST_F(TodaysBrowsersClean, ARunningFirefoxIsToldByItsProfileLockNotOnlyByTheDatabase) {
    const std::wstring database = profile.firefoxProfile + L"cookies.sqlite";
    FillStores();
    {
        // Firefox holds "parent.lock" without sharing while it runs, the database not always.
        const UniqueFile lock(::CreateFileW(test::LongPath(profile.firefoxProfile + L"parent.lock").c_str(), GENERIC_READ,
                                            0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ASSERT_TRUE(lock);
        const std::string before = test::ReadBytes(database);
        CleanCookieStores(app.ctx, true);
        EXPECT_EQ(test::ReadBytes(database), before);
        ASSERT_EQ(app.dialogs.messages.size(), 1u);
        EXPECT_EQ(app.dialogs.messages[0].text, BrowserRunningText(kKindFireFoxCookieDb));
    }
    // Closed: a lock file left behind no longer counts.
    test::WriteBytes(profile.firefoxProfile + L"parent.lock", "");
    CleanCookieStores(app.ctx, true);
    EXPECT_TRUE(test::CookiesLeft(database, "moz_cookies", "host").empty());
    EXPECT_EQ(app.dialogs.messages.size(), 1u);
}

TEST_F(TodaysBrowsersClean, ADamagedChromiumKeptListSparesTheWholeFamily) {
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kChromiumSavedKey, L"0", 1);
    FillStores();
    CleanCookieStores(app.ctx, true);
    for (const auto& database : profile.CookieDatabases()) {
        if (database.kind == kKindFireFoxCookieDb)
            EXPECT_TRUE(test::CookiesLeft(database.path, "moz_cookies", "host").empty());
        else
            EXPECT_EQ(test::CookiesLeft(database.path, "cookies", "host_key").size(), 3u);
    }
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.messages[0].text, KeptListDamagedText(kChromiumSavedKey));
}

// What a browser's place holds, so that any source that reached it would list something.
void FillPlace(const std::wstring& folder) {
    for (const wchar_t* file : {L"cookies.txt", L"sessionstore.js", L"cache2\\entries\\e1",
                                L"Google\\Chrome\\User Data\\Default\\Cache\\Cache_Data\\d"})
        test::PutFile(folder + L"\\" + file, "keep");
}

// Every source of paths fed the same names. A name the system would change ("X." beside a
// plain "X" and a link "X." to another folder, "X \in", "a\..\b") or read as a device or stream
// gives nothing at all; "%", ";" and other letters are names like any other.
TEST_F(TodaysBrowsersClean, EverySourceOfPathsRefusesTheSameOddNames) {
    test::TempFolder outside{L"qm-outside"};
    FillPlace(outside.Path());
    const std::wstring outsideBefore = test::ListTree(outside.Path());
    const std::wstring firefox = profile.roaming + L"Mozilla\\Firefox\\";
    const std::wstring base = root / L"odd\\";
    test::WriteBytes(firefox + L"installs.ini", "");
    const auto added = [&] {
        const auto found = CurrentCacheFolders(profile.Lookup());
        return std::any_of(found.begin(), found.end(), [](const auto& one) { return Contains(one.path, L"\\odd\\"); });
    };
    using Path = const std::wstring&;
    const struct {
        std::wstring base;  // the folder the odd name is made in
        std::function<bool(Path path, Path name)> found;
    } sources[] = {
        {base, [&](Path path, Path) { return WriteProfilesIni(path, false), added(); }},
        {firefox + L"odd\\", [&](Path, Path name) { return WriteProfilesIni(L"odd/" + name, true), added(); }},
        {base, [&](Path path, Path) {  // installs.ini
             test::WriteBytes(firefox + L"profiles.ini", "");
             return test::WriteBytes(firefox + L"installs.ini", "[X]\nDefault=" + NarrowUtf8(path)), added();
         }},
        {base, [&](Path path, Path) {  // a shell folder
             return !CurrentCacheFolders([&](int csidl) { return csidl == 28 ? path : std::wstring(); }).empty();
         }},
        {base, [&](Path path, Path) {  // a registry value
             std::wstring file = path + L"\\cookies.txt";
             AddNS2(app.ctx, file, kKindNetscapeCookieFile);
             return app.ctx.frmMain.cboLoc.ListCount() > 0;
         }},
        {base, [](Path path, Path) { return GuardDeletionRoot(path, RootKind::Temp).root.has_value(); }},
        {base, [](Path path, Path) { return GuardDeletionRoot(path, RootKind::UserFolder).root.has_value(); }},
    };
    const struct {
        std::wstring name;
        bool passes;
    } names[] = {{L"X.", false},      {L"X \\in", false},      {L"a\\..\\b", false}, {L"CON", false},
                 {L"NUL.txt", false}, {L"name:stream", false}, {L"100%", true},      {L"a;b", true},
                 {L"Perfil \u00e9", true}};
    for (const auto& source : sources)
        for (const auto& row : names) {
            test::RemoveTree(source.base);
            app.ctx.frmMain.cboLoc.Clear();
            const std::wstring path = source.base + row.name;
            const std::wstring resolved = FullPathName(path);  // where a resolving reader would land
            if (StartsWith(resolved, source.base) && resolved.find(L':', 2) == std::wstring::npos) FillPlace(resolved);
            // Made and removed from the Unix side: Wine would read "X." as "X" on the way.
            const bool link = row.name == L"X." && test::MakeDirectoryLink(path, outside.Path());
            EXPECT_EQ(source.found(path, row.name), row.passes) << NarrowUtf8(path) << " source " << (&source - sources);
            if (link) test::RunUnixCommand(L"/bin/rm -f \"" + WidenUtf8(test::WineUnixPath(source.base)) + L"/X.\"");
        }
    EXPECT_EQ(test::ListTree(outside.Path()), outsideBefore);
}

// A profile, user-data folder or discovery root that is or holds a folder of the user's is
// refused whole: nothing in it becomes a location, its cache and session files included.
TEST_F(TodaysBrowsersClean, APlaceThatIsOrHoldsAFolderOfTheUsersIsRefusedWhole) {
    constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    const std::wstring documents = root / L"Documents";
    const std::wstring userRoot = QualifyPath(SystemSpecialFolder(CSIDL_PROFILE));
    ASSERT_GT(userRoot.size(), 3u);
    FillPlace(documents);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, L"Personal", documents, REG_EXPAND_SZ);
    test::MakeFolder(profile.chromeDefault + L"Desktop");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserShellFolders, L"Desktop",
                                     profile.chromeDefault + L"Desktop", REG_EXPAND_SZ);
    for (const std::wstring& place : {documents + L"\\", userRoot}) {
        WriteProfilesIni(place, false);
        for (const auto& found : CurrentCacheFolders(profile.Lookup())) {
            EXPECT_NE(found.kind, kKindChrome) << "a user-data folder that holds the Desktop";
            EXPECT_FALSE(found.path == place || found.path == place + L"cache2\\") << NarrowUtf8(found.path);
        }
    }
    WriteProfilesIni(documents, false);
    FillCaches();
    bool showResult = false;
    AutoCleanInternetFiles2(app.ctx, showResult);
    EXPECT_EQ(test::ReadBytes(documents + L"\\cache2\\entries\\e1"), "keep");
    EXPECT_EQ(test::ReadBytes(documents + L"\\sessionstore.js"), "keep");

    // An old Netscape root naming the user's profile is never searched.
    app.ctx.frmMain.cache.Clear();
    for (auto add : {&AddNS2, &frmMainAddNS2}) {
        std::wstring path = userRoot;
        add(app.ctx, path, kKindNetscapeDirRoot);
    }
    EXPECT_EQ(app.ctx.frmMain.cboLoc.ListCount(), 0);
    EXPECT_EQ(app.ctx.frmMain.cache.ListCount(), 0);
}

// A folder above a listed location swapped for a link after discovery (the Profiles folder
// above the Firefox profile, the folder above a cookies.txt) is refused, never followed;
// "sessionstore-backups" swapped for another plain folder is left alone.
TEST_F(TodaysBrowsersClean, AFolderAboveAListedLocationSwappedAfterDiscoveryIsNeverFollowed) {
    constexpr char kCookieLine[] = ".example.com\tTRUE\t/\tFALSE\t2000000000\tSID\tv\n";
    test::TempFolder outside{L"qm-outside"};
    FillPlace(outside / L"ab12cd.default-release");
    test::PutFile(outside / L"me\\cookies.txt", kCookieLine);
    std::wstring store = test::PutFile(root / L"Users\\me\\cookies.txt", kCookieLine);
    FillCaches();
    AddNS2(app.ctx, store, kKindNetscapeCookieFile);
    ASSERT_EQ(app.ctx.frmMain.cboLoc.ListCount(), 1);
    {
        test::SwapBeforeOpen swap(L"sessionstore-backups", L"");
        ScopedWalkHooks hooks(swap);
        auto& cache = app.ctx.frmMain.cache;
        cache.SetListIndex(cache.FindNoCase(profile.firefoxProfile));
        MainCleanInternetFiles(app.ctx, cache.Text());
        EXPECT_EQ(swap.Swaps(), 1);
        EXPECT_TRUE(test::PathExists(profile.firefoxProfile + L"sessionstore-backups\\planted.txt"));
        EXPECT_EQ(test::EnumerationOrder(profile.firefoxProfile + L"sessionstore-backups-moved\\").size(), 4u);
    }

    const std::wstring profiles = profile.roaming + L"Mozilla\\Firefox\\Profiles";
    for (const std::wstring& folder : {profiles, root / L"Users"})
        ASSERT_TRUE(::MoveFileW(test::LongPath(folder).c_str(), test::LongPath(folder + L"-moved").c_str()));
    test::ScopedDirectoryLink profilesLink(profiles, outside.Path());
    test::ScopedDirectoryLink usersLink(root / L"Users", outside.Path());
    ASSERT_TRUE(profilesLink.Made() && usersLink.Made());
    bool showResult = false;
    AutoCleanInternetFiles2(app.ctx, showResult);
    CleanCookieStores(app.ctx, false);
    EXPECT_EQ(test::ReadBytes(outside / L"ab12cd.default-release\\sessionstore.js"), "keep");
    EXPECT_EQ(test::ReadBytes(outside / L"me\\cookies.txt"), kCookieLine);
}

}  // namespace
}  // namespace qm
