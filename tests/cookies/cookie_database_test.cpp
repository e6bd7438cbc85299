#include "cookies/cookie_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <tuple>

#include "cookies/cookie_display.h"
#include "cookies/cookie_viewer.h"
#include "cookies/database_cookies.h"
#include "cookies/kept_cookies.h"
#include "cookies/discovery.h"
#include "base/text.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "ui/main_form.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::CookieRow;
using Left = std::vector<std::string>;

// 2030-01-01 00:00:00 UTC in each store's unit.
constexpr std::int64_t k2030Unix = 1893456000;
constexpr std::int64_t k2030Chromium = (k2030Unix + 11644473600) * 1'000'000;

bool keepNothing(std::string_view, std::string_view) { return false; }

const std::vector<CookieRow> kRows{
    {".example.com", "SID", "", "\x01v10secret", k2030Chromium},
    {"shop.example.com", "cart", "plain", "", 0},
    {".tracker.net", "id", "", "\x01v10x", k2030Chromium},
};

class CookieDatabase : public ::testing::Test {
protected:
    std::wstring Path(const wchar_t* name) { return folder / name; }
    test::TempFolder folder{L"qmdb"};
};

TEST_F(CookieDatabase, ReadsEachSchemaWithoutShowingEncryptedValues) {
    const std::wstring chromium = Path(L"Cookies");
    test::WriteChromiumCookies(chromium, kRows);
    const DatabaseRead read = ReadCookieDatabase(chromium, CookieSchema::Chromium);
    ASSERT_EQ(read.outcome, DatabaseOutcome::Done);
    ASSERT_EQ(read.cookies.size(), 3u);
    EXPECT_EQ(read.cookies[0].host, ".example.com");
    EXPECT_FALSE(read.cookies[0].plainValue);
    EXPECT_EQ(read.cookies[0].value, "");
    EXPECT_EQ(read.cookies[0].expires, k2030Unix);
    EXPECT_TRUE(read.cookies[1].plainValue);
    EXPECT_EQ(read.cookies[1].value, "plain");
    EXPECT_EQ(read.cookies[1].expires, std::nullopt);  // a session cookie

    const std::wstring firefox = Path(L"cookies.sqlite");
    test::WriteFirefoxCookies(firefox, {{".a.org", "n", "v", "", k2030Unix}, {"b.org", "m", "w", "", k2030Unix * 1000}});
    const DatabaseRead fx = ReadCookieDatabase(firefox, CookieSchema::Firefox);
    ASSERT_EQ(fx.outcome, DatabaseOutcome::Done);
    ASSERT_EQ(fx.cookies.size(), 2u);
    EXPECT_EQ(fx.cookies[0].value, "v");
    EXPECT_EQ(fx.cookies[0].expires, k2030Unix);
    EXPECT_EQ(fx.cookies[1].expires, k2030Unix);  // stored in milliseconds by newer versions
}

TEST_F(CookieDatabase, DeletesExactlyTheUnkeptRows) {
    const std::wstring chromium = Path(L"Cookies");
    test::WriteChromiumCookies(chromium, kRows);
    // What an older Chromium and SQLite itself add is the browser's own.
    ASSERT_TRUE(test::ExecuteSql(chromium, "CREATE INDEX domain ON cookies(host_key); ANALYZE"));
    const auto keepExample = [](std::string_view host, std::string_view) { return host == ".example.com"; };
    const DatabaseClean clean = DeleteUnkeptCookies(chromium, CookieSchema::Chromium, keepExample);
    EXPECT_EQ(clean.outcome, DatabaseOutcome::Done);
    EXPECT_EQ(clean.deleted, 2);
    EXPECT_EQ(test::CookiesLeft(chromium, "cookies", "host_key"), Left{".example.com\tSID"});

    // A WAL database whose header says rollback for writing (byte 18) is still opened without "-shm".
    const std::wstring firefox = Path(L"cookies.sqlite");
    test::WriteFirefoxCookies(firefox, kRows);
    std::string header = test::ReadBytes(firefox);
    ASSERT_EQ(header[19], 2);
    header[18] = 1;
    test::WriteBytes(firefox, header);
    const auto keepCart = [](std::string_view, std::string_view name) { return name == "cart"; };
    EXPECT_EQ(DeleteUnkeptCookies(firefox, CookieSchema::Firefox, keepCart).deleted, 2);
    EXPECT_EQ(test::CookiesLeft(firefox, "moz_cookies", "host"), Left{"shop.example.com\tcart"});
}

TEST_F(CookieDatabase, AFailurePartWayRollsEverythingBack) {
    const std::wstring chromium = Path(L"Cookies");
    test::WriteChromiumCookies(chromium, kRows);
    const std::string before = test::ReadBytes(chromium);
    int asked = 0;
    const auto failOnThird = [&](std::string_view, std::string_view) {
        if (++asked == 3) throw std::runtime_error("kept list gone");
        return false;
    };
    const DatabaseClean clean = DeleteUnkeptCookies(chromium, CookieSchema::Chromium, failOnThird);
    EXPECT_EQ(clean.outcome, DatabaseOutcome::Damaged);
    EXPECT_EQ(clean.deleted, 0);
    EXPECT_EQ(test::CookiesLeft(chromium, "cookies", "host_key").size(), 3u);
    EXPECT_EQ(test::ReadBytes(chromium), before);
}

TEST_F(CookieDatabase, LeavesEveryOtherFileUntouched) {
    const std::wstring other = Path(L"other.sqlite");
    ASSERT_TRUE(test::ExecuteSql(other, "CREATE TABLE cookies(host TEXT, name TEXT); INSERT INTO cookies VALUES('a','b')"));
    const std::wstring damaged = Path(L"damaged");
    test::WriteChromiumCookies(damaged, kRows);
    std::string bytes = test::ReadBytes(damaged);
    ASSERT_GT(bytes.size(), 4096u);
    for (size_t i = 4096 + 8; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);  // every page but the first
    test::WriteBytes(damaged, bytes);
    // Objects no browser creates, which would keep or bring back what a delete removes.
    const std::pair<const wchar_t*, const char*> foreign[] = {
        {L"trigger",
         "CREATE TRIGGER back AFTER DELETE ON cookies BEGIN INSERT INTO meta VALUES(old.name, old.value); END"},
        {L"view", "ALTER TABLE cookies RENAME TO stash; CREATE VIEW cookies AS SELECT * FROM stash"},
        {L"table", "CREATE TABLE archive(value)"},
    };
    for (const auto& [file, sql] : foreign) {
        test::WriteChromiumCookies(Path(file), kRows);
        ASSERT_TRUE(test::ExecuteSql(Path(file), sql));
    }

    struct Case {
        const wchar_t* file;
        std::string bytes;  // written unless empty and the file exists
        DatabaseOutcome expected;
    };
    const Case cases[] = {
        {L"text", "# Netscape HTTP Cookie File\n.a.com\tTRUE\t/\tFALSE\t0\tn\tv\n", DatabaseOutcome::NotADatabase},
        {L"empty", "", DatabaseOutcome::NotADatabase},
        {L"header only", std::string("SQLite format 3\0", 16), DatabaseOutcome::NotADatabase},
        {L"other.sqlite", {}, DatabaseOutcome::WrongSchema},
        {L"damaged", {}, DatabaseOutcome::Damaged},
        {L"trigger", {}, DatabaseOutcome::ForeignSchema},
        {L"view", {}, DatabaseOutcome::ForeignSchema},
        {L"table", {}, DatabaseOutcome::ForeignSchema},
        {L"missing", {}, DatabaseOutcome::Missing},
    };
    for (const auto& c : cases) {
        const std::wstring path = Path(c.file);
        if (!c.bytes.empty() || c.expected == DatabaseOutcome::NotADatabase) test::WriteBytes(path, c.bytes);
        const bool exists = test::PathExists(path);
        const std::string before = exists ? test::ReadBytes(path) : std::string();
        const DatabaseClean clean = DeleteUnkeptCookies(path, CookieSchema::Chromium, keepNothing);
        EXPECT_EQ(clean.outcome, c.expected) << NarrowUtf8(c.file);
        EXPECT_EQ(clean.deleted, 0);
        EXPECT_EQ(ReadCookieDatabase(path, CookieSchema::Chromium).cookies.size(), 0u);
        EXPECT_EQ(test::PathExists(path), exists);
        if (exists) {
            EXPECT_EQ(test::ReadBytes(path), before) << NarrowUtf8(c.file);
        }
        EXPECT_FALSE(test::PathExists(path + L"-journal"));
    }
}

TEST_F(CookieDatabase, ADatabaseAnotherProcessHoldsIsNeverChanged) {
    const std::wstring chromium = Path(L"Cookies");
    test::WriteChromiumCookies(chromium, kRows);
    {
        test::DatabaseHolder browser(chromium);
        ASSERT_TRUE(browser.Holding());
        const std::string before = test::ReadBytes(chromium);
        EXPECT_EQ(DeleteUnkeptCookies(chromium, CookieSchema::Chromium, keepNothing).outcome, DatabaseOutcome::Locked);
        EXPECT_EQ(ReadCookieDatabase(chromium, CookieSchema::Chromium).outcome, DatabaseOutcome::Locked);
        EXPECT_EQ(test::ReadBytes(chromium), before);
    }
    EXPECT_EQ(test::CookiesLeft(chromium, "cookies", "host_key").size(), 3u);

    // A browser with its WAL database open, between its writes: it is never opened without
    // the shared memory that browser uses.
    const std::wstring firefox = Path(L"cookies.sqlite");
    test::WriteFirefoxCookies(firefox, kRows);
    sqlite3* browser = nullptr;
    ASSERT_EQ(sqlite3_open_v2(NarrowUtf8(firefox).c_str(), &browser, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(browser, "SELECT count(*) FROM moz_cookies", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(DeleteUnkeptCookies(firefox, CookieSchema::Firefox, keepNothing).outcome, DatabaseOutcome::Locked);
    sqlite3_close(browser);
    EXPECT_EQ(test::CookiesLeft(firefox, "moz_cookies", "host").size(), 3u);
}

// SQLite writes, truncates and deletes side files by name: one that is a hard link to a
// user's document, a Unix link to it (which Wine shows as a plain file with one name: only
// its final path tells) or a folder is never opened, written or deleted, the database is
// left alone, and "-shm" is never opened at all.
TEST_F(CookieDatabase, SideFilesThatAreNotTheDatabasesOwnAreNeverTouched) {
    test::MakeFolder(Path(L"docs"));
    const std::wstring document = Path(L"docs\\thesis.txt");
    const std::string thesis = "the only copy of my thesis";
    enum class Side { HardLink, UnixLink, Folder };
    constexpr auto kRefused = DatabaseOutcome::NotItsOwnFile;
    struct Case {
        const wchar_t* database;
        const wchar_t* suffix;
        Side side;
        DatabaseOutcome read, clean;
    } cases[] = {
        {L"Cookies", L"-journal", Side::HardLink, kRefused, kRefused},
        {L"cookies.sqlite", L"-journal", Side::HardLink, kRefused, kRefused},
        {L"cookies.sqlite", L"-wal", Side::HardLink, kRefused, kRefused},
        {L"cookies.sqlite", L"-shm", Side::HardLink, DatabaseOutcome::Done, DatabaseOutcome::Done},
        {L"Cookies", L"-journal", Side::UnixLink, kRefused, kRefused},
        {L"cookies.sqlite", L"-wal", Side::UnixLink, kRefused, kRefused},
        // A folder: SQLite takes it for no journal when reading, and cannot write one.
        {L"Cookies", L"-journal", Side::Folder, DatabaseOutcome::Done, kRefused},
        {L"cookies.sqlite", L"-wal", Side::Folder, kRefused, kRefused},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(NarrowUtf8(std::wstring(one.database) + one.suffix) + " " + std::to_string(int(one.side)));
        const std::wstring database = Path(one.database), side = database + one.suffix;
        const CookieSchema schema =
            one.database == std::wstring(L"Cookies") ? CookieSchema::Chromium : CookieSchema::Firefox;
        if (schema == CookieSchema::Chromium) test::WriteChromiumCookies(database, kRows);
        else test::WriteFirefoxCookies(database, kRows);
        test::WriteBytes(document, thesis);
        if (one.side == Side::HardLink) {
            ASSERT_TRUE(::CreateHardLinkW(side.c_str(), document.c_str(), nullptr));
        } else if (one.side == Side::UnixLink) {
            ASSERT_TRUE(test::MakeFileLink(side, document));
        } else {
            test::MakeFolder(side);
        }
        const std::string before = test::ReadBytes(database);

        EXPECT_EQ(ReadCookieDatabase(database, schema).outcome, one.read);
        const DatabaseClean clean = DeleteUnkeptCookies(database, schema, keepNothing);
        EXPECT_EQ(clean.outcome, one.clean);
        EXPECT_EQ(test::ReadBytes(document), thesis);
        EXPECT_TRUE(test::PathExists(side));
        if (one.clean == DatabaseOutcome::Done) {
            EXPECT_EQ(clean.deleted, 3);
        } else {
            EXPECT_EQ(test::ReadBytes(database), before);
        }
        if (one.side == Side::UnixLink) test::RemoveFileLink(side);
        else if (one.side == Side::Folder) ::RemoveDirectoryW(side.c_str());
        else ::DeleteFileW(side.c_str());
        ASSERT_FALSE(test::PathExists(side));
    }
}

// After a clean, no byte of the database or its side files holds a deleted value: neither
// the rows the clean deleted nor the copies earlier deletes and updates left behind. When
// the compaction fails (a full disk), the rows it deleted are still overwritten, and the
// failure is told.
TEST_F(CookieDatabase, DeletedValuesLeaveNoReadableCopy) {
    const std::vector<CookieRow> rows{{".upd.com", "upd", "EARLIER-VALUE-OF-AN-UPDATED-COOKIE", "", k2030Unix},
                                      {".kept.com", "keep", "KEPT-VALUE", "", k2030Unix},
                                      {".gone.com", "gone", "GONE-VALUE", "", k2030Unix},
                                      {".old.com", "old", "EARLIER-DELETED", "", k2030Unix}};
    struct Case {
        const wchar_t* database;
        CookieSchema schema;
        const char* table;
        const char* host;
        bool compactionFails;
    } cases[] = {{L"cookies.sqlite", CookieSchema::Firefox, "moz_cookies", "host", false},
                 {L"Cookies", CookieSchema::Chromium, "cookies", "host_key", false},
                 {L"cookies.sqlite", CookieSchema::Firefox, "moz_cookies", "host", true},
                 {L"Cookies", CookieSchema::Chromium, "cookies", "host_key", true}};
    const char* const deleted[] = {"GONE-VALUE", "EARLIER-DELETED", "EARLIER-VALUE-OF-AN-UPDATED-COOKIE"};
    const auto everyByte = [&](const std::wstring& database) {
        std::string bytes;
        for (const wchar_t* suffix : {L"", L"-wal", L"-journal", L"-shm"})
            if (test::PathExists(database + suffix)) bytes += test::ReadBytes(database + suffix);
        return bytes;
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(NarrowUtf8(one.database) + (one.compactionFails ? " compaction fails" : ""));
        const std::wstring database = Path(one.database);
        if (one.schema == CookieSchema::Chromium) test::WriteChromiumCookies(database, rows);
        else test::WriteFirefoxCookies(database, rows);
        const std::string table = one.table, host = one.host;
        // A browser that updates and deletes without overwriting leaves the old bytes behind.
        ASSERT_TRUE(test::ExecuteSql(database, "PRAGMA secure_delete = OFF; UPDATE " + table +
                                                   " SET value = 'a new value, longer than the old one' WHERE " +
                                                   host + " = '.upd.com'; DELETE FROM " + table + " WHERE " + host +
                                                   " = '.old.com'"));
        for (const char* value : deleted) ASSERT_NE(everyByte(database).find(value), std::string::npos) << value;

        const auto keep = [](std::string_view host, std::string_view) { return host != ".gone.com"; };
        SetCompactionStandIn(one.compactionFails ? +[] { return SQLITE_FULL; } : nullptr);
        const DatabaseClean clean = DeleteUnkeptCookies(database, one.schema, keep);
        SetCompactionStandIn(nullptr);
        EXPECT_EQ(clean.deleted, 1);
        EXPECT_EQ(clean.compacted, !one.compactionFails);
        const std::string after = everyByte(database);
        for (const char* value : deleted) {
            if (!one.compactionFails || value == std::string("GONE-VALUE")) {
                EXPECT_EQ(after.find(value), std::string::npos) << value;
            }
        }
        EXPECT_NE(after.find("KEPT-VALUE"), std::string::npos);
        EXPECT_EQ(test::CookiesLeft(database, one.table, one.host), (Left{".upd.com\tupd", ".kept.com\tkeep"}));
    }
}

// A read, a preview's dry run and the viewer change nothing on disk: no name, size, time or
// byte of the database or its side files, a WAL a crashed browser left full included (whose
// rows they read all the same).
TEST_F(CookieDatabase, AReadAPreviewAndTheViewerChangeNothing) {
    test::ScratchRegistry registry;
    test::TestApp app;
    BindMainForm(app.ctx);
    app.ctx.flags.cookieTabReady = true;
    const std::wstring chromium = Path(L"Cookies"), firefox = Path(L"cookies.sqlite");
    test::WriteChromiumCookies(chromium, kRows);
    test::WriteFirefoxCookies(firefox, kRows);
    ASSERT_TRUE(test::ExecuteSqlLeavingWal(firefox, "INSERT INTO moz_cookies(host, name) VALUES('wal.only', 'W')"));
    const auto snapshot = [&] {
        std::vector<std::tuple<std::wstring, std::uint64_t, std::uint64_t, std::string>> files;
        for (const auto& name : test::EnumerationOrder(folder.Path())) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            ::GetFileAttributesExW(Path(name.c_str()).c_str(), GetFileExInfoStandard, &data);
            files.emplace_back(name, data.nFileSizeLow, data.ftLastWriteTime.dwLowDateTime,
                               test::ReadBytes(Path(name.c_str())));
        }
        return files;
    };
    const auto before = snapshot();
    ASSERT_EQ(before.size(), 4u);  // the two databases, the full "-wal" and its "-shm"
    for (const auto& [database, schema, kind, rows] :
         {std::tuple{chromium, CookieSchema::Chromium, kKindChrome, 3},
          std::tuple{firefox, CookieSchema::Firefox, kKindFireFoxCookieDb, 4}}) {
        SCOPED_TRACE(NarrowUtf8(database));
        EXPECT_EQ(ReadCookieDatabase(database, schema).cookies.size(), static_cast<size_t>(rows));
        int asked = 0;
        const auto count = [&](std::string_view, std::string_view) { return ++asked < 0; };
        EXPECT_EQ(DeleteUnkeptCookies(database, schema, count, DatabaseWrite::DryRun).outcome, DatabaseOutcome::Done);
        EXPECT_EQ(asked, rows);
        auto& form = app.ctx.frmMain;
        form.cboLoc.Clear();
        form.cboLoc.SetItemData(form.cboLoc.AddItem(database), kind);
        form.cboLoc.SetListIndex(0);
        EXPECT_EQ(form.lstCookie.ListCount(), rows);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(CookieDatabase, TheViewerListsADatabaseLikeCookiesTxtLines) {
    test::ScratchRegistry registry;
    test::TestApp app;
    auto& form = app.ctx.frmMain;
    const std::wstring chromium = Path(L"Cookies");
    test::WriteChromiumCookies(chromium, kRows);
    BindMainForm(app.ctx);
    app.ctx.flags.cookieTabReady = true;
    form.cboLoc.SetItemData(form.cboLoc.AddItem(chromium), kKindBrave);
    form.cboLoc.SetListIndex(0);

    ASSERT_EQ(form.lstCookie.ListCount(), 3);
    EXPECT_EQ(form.lstCookie.List(1), std::wstring(L"shop.example.com\tcart\t") + kSessionExpiry);
    EXPECT_EQ(form.lstCookie.List(0).substr(0, 16), L"example.com\tSID\t");
    EXPECT_EQ(form.txtValue.Text(), kEncryptedValue);  // the first is shown
    EXPECT_EQ(form.txtName.Text(), L"SID");
    form.lstCookie.SetListIndex(1);
    EXPECT_EQ(form.txtValue.Text(), L"plain");
    EXPECT_TRUE(form.ChromiumSaved.Visible());
    EXPECT_FALSE(form.FireFoxSaved.Visible());

    // Keeping a line stores it in the family's own list.
    lstCookie_DblClick(app.ctx);
    std::wstring kept;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, kChromiumSavedKey, L"0", kept));
    EXPECT_EQ(kept, std::wstring(L"shop.example.com\tcart\t") + kSessionExpiry);
    EXPECT_EQ(form.ChromiumSaved.ListCount(), 1);
}

TEST(DatabaseCookies, LinesAndIdentitiesFollowTheCookiesTxtRule) {
    DatabaseCookie cookie;
    cookie.host = ".example.com";
    cookie.name = "SID";
    EXPECT_EQ(DatabaseCookieLine(cookie), std::wstring(L"example.com\tSID\t") + kSessionExpiry);
    const auto identity = [](std::string_view host, std::string_view name) {
        std::wstring built = L"left over";
        DatabaseCookieIdentity(host, name, built);
        return built;
    };
    EXPECT_EQ(identity(".example.com", "SID"), L"example.com\tSID");
    EXPECT_EQ(identity("h\xC3\xA9.org", "n"), L"h\u00e9.org\tn");
    EXPECT_EQ(identity("[::1]", "n"), L"[::1]\tn");  // an IPv6 host is compared whole
    EXPECT_EQ(identity("a.org[2]", "n"), L"a.org\tn");
    EXPECT_EQ(DatabaseSchemaOf(kKindEdge), CookieSchema::Chromium);
    EXPECT_EQ(DatabaseSchemaOf(kKindFireFoxCookieDb), CookieSchema::Firefox);
    EXPECT_EQ(DatabaseSchemaOf(kKindFireFoxProfiles), std::nullopt);
}

}  // namespace
}  // namespace qm
