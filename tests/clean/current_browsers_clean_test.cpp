// The cleans on a fabricated profile of today's browsers: caches emptied, unkept cookies
// removed from each cookie database, every other profile file left byte for byte.
#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/cookie_clean.h"
#include "cookies/current_browsers.h"
#include "cookies/database_cookies.h"
#include "cookies/kept_cookies.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"

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

}  // namespace
}  // namespace qm
