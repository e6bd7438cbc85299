#include "clean/cookie_clean.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include "base/text.h"
#include "clean/clean_report.h"
#include "cookies/cookie_database.h"
#include "cookies/discovery.h"
#include "cookies/ns_cookies.h"
#include "support/browser_fixtures.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::Moment;

std::string Record(const std::string& name, const std::string& secondName = {}) {
    std::vector<test::MsieRecordSpec> records(secondName.empty() ? 1 : 2);
    records[0].name = name;
    records.back().name = secondName.empty() ? name : secondName;
    for (auto& record : records) record.Expires(Moment(2030, 1, 1)).Created(Moment(2020, 5, 6, 7, 8, 9));
    return test::MsieFileText(records);
}

std::string Line(const std::string& domain, const std::string& name) {
    return domain + "\tFALSE\t/\tFALSE\t4294967295\t" + name + "\tv";
}

class CookieCleanTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TempFolder root{L"cc"};
    test::TestApp app;
    std::wstring msie = root / L"Cookies\\";

    void SetUp() override { test::MakeFolder(root / L"Cookies"); }

    void Store(const std::wstring& path, std::int32_t kind) {
        auto& list = app.ctx.frmMain.cboLoc;
        list.SetItemData(list.AddItem(path), kind);
    }
    void Keep(const wchar_t* key, const std::wstring& name, const std::wstring& entry) {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, key, name, entry);
    }
    bool Exists(const std::wstring& name) const { return test::PathExists(msie + name); }
};

TEST_F(CookieCleanTest, InternetExplorerFilesGoUnlessALineOfThemIsKept) {
    const std::string broken = "no records here";
    struct File {
        const wchar_t* name;
        std::string content;
        bool survives;
    } files[] = {
        {L"me@kept[1].txt", Record("id"), true},
        {L"me@kept[2].txt", Record("id"), true},      // another counter, same first cookie
        {L"me@kept[3].txt", Record("ID"), false},     // letter case of the cookie name counts
        {L"me@kept[4].txt", Record("first", "id"), true},  // a later record is kept
        {L"me@kept[5].txt", Record("first", "ID"), false},
        {L"me@gone[1].txt", Record("id"), false},
        {L"me@held[1].txt", broken, true},            // does not decode now: a kept entry names its stem
        {L"me@lost[1].txt", broken, false},
        {L"me@x.txt ", Record("z"), false},           // listed with its trailing blank
        {L"me@x.txt", Record("k"), true},
        {L"me@update.txt", Record("u"), true},        // kept by its bare name
        {L"notes.txt", "plain", true},                // no cookie file
        {L"index.dat", "index", true},
    };
    for (const auto& file : files) test::WriteBytes(msie + file.name, file.content);
    test::MakeFolder(msie + L"sub");
    test::WriteBytes(msie + L"sub\\a@b.txt", Record("id"));
    Keep(kMsieSavedKey, L"0", L"me@kept[1].txt\tid\t5/6/2020");
    Keep(kMsieSavedKey, L"2", L"me@held[1].txt\tid\tx");  // behind a gap: still kept
    Keep(kMsieSavedKey, L"3", L"me@x.txt\tk\tx");
    Keep(kMsieSavedKey, L"4", L"me@update.txt");
    Keep(kNsSavedKey, L"0", L"me@gone[1].txt\tid\tx");  // another family's list keeps nothing here
    // A folder without "@" text files: the viewer lists none of its files, so none goes.
    const std::wstring datOnly = root / L"Old Cookies\\";
    test::MakeFolder(datOnly);
    test::WriteBytes(datOnly + L"me@site.dat", Record("id"));
    Store(datOnly, kKindIeShellCookies);
    Store(msie, kKindIeShellCookies);

    CleanCookieStores(app.ctx);

    EXPECT_TRUE(test::PathExists(datOnly + L"me@site.dat"));
    for (const auto& file : files) EXPECT_EQ(Exists(file.name), file.survives) << std::wstring(file.name);
    EXPECT_TRUE(Exists(L"sub\\a@b.txt"));
    EXPECT_EQ(test::ReadBytes(msie + L"old.txt"), "index");
    EXPECT_EQ(app.ctx.CleanCount, 5);
    std::wstring recorded;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, L"Software\\Dorvik Software\\Quillmere",
                                                 L"MSCookie", recorded));
    EXPECT_EQ(recorded, msie);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(CookieCleanTest, CookieTxtLinesGoByTheirOwnFamilysListAndADamagedListSparesItsFamily) {
    const std::string header = "# Netscape HTTP Cookie File\r\n";
    const std::wstring netscape = root / L"ns\\cookies.txt", fireFox = root / L"ff\\cookies.txt";
    test::MakeFolder(root / L"ns");
    test::MakeFolder(root / L"ff");
    const std::string nsBefore = header + Line(".a.com", "A") + "\r\n" + Line("b.com", "B") + "\r\n" +
                                 Line("c.com", "C") + "\r\n";
    test::WriteBytes(netscape, nsBefore);
    test::WriteBytes(fireFox, header + Line("a.com", "A") + "\n" + Line("b.com", "B") + "\n");
    Keep(kNsSavedKey, L"0", L"a.com\tA\t1/1/2030");
    Keep(kFireFoxSavedKey, L"0", L"c.com\tC\tx");  // kept for Firefox: Netscape's C still goes
    Store(netscape, kKindNetscapeCookieFile);
    Store(fireFox, kKindFireFoxProfiles);

    CleanCookieStores(app.ctx);
    EXPECT_EQ(test::ReadBytes(netscape), header + Line(".a.com", "A") + "\r\n");
    EXPECT_EQ(test::ReadBytes(fireFox), header);
    EXPECT_EQ(app.ctx.CleanCount, 4);

    // A Firefox list holding a numbered value of another type: every Firefox cookie stays,
    // the Netscape clean goes on, and the user is told once.
    test::WriteBytes(netscape, nsBefore);
    const std::string ffBefore = header + Line("a.com", "A") + "\n";
    test::WriteBytes(fireFox, ffBefore);
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kFireFoxSavedKey, L"1", 1);
    Store(fireFox, kKindFireFoxProfiles);
    CleanCookieStores(app.ctx);
    EXPECT_EQ(test::ReadBytes(fireFox), ffBefore);
    EXPECT_EQ(test::ReadBytes(netscape), header + Line(".a.com", "A") + "\r\n");
    EXPECT_EQ(app.ctx.CleanCount, 2);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, KeptListDamagedText(kFireFoxSavedKey));
}

// Only lines that parse as cookies go; a file without one is never written, and one that
// cannot be written whole is named to an interactive user only.
TEST_F(CookieCleanTest, CookieTxtLosesItsUnkeptCookieLinesOnly) {
    const std::wstring file = root / L"ff\\cookies.txt";
    test::MakeFolder(root / L"ff");
    const std::string httpOnly(kHttpOnlyPrefix), nul("\0", 1);
    const std::string recipe = "# Grandma's bread\r\nFlour\t500 g\r\nWater\t300 ml\t\r\n\r\nBake 40 minutes\r\n";
    struct Case {
        const char* what;
        std::string before;
        bool interactive;
        std::string after;
        bool told;
    } cases[] = {
        {"a recipe stays byte for byte", recipe, true, recipe, false},
        {"HttpOnly lines go unless kept; a note behind the prefix stays",
         "# Netscape HTTP Cookie File\n" + httpOnly + Line(".a.com", "A") + "\n" + httpOnly + Line(".b.com", "B") +
             "\n" + httpOnly + "note\n" + Line("b.com", "C") + "\n",
         true, "# Netscape HTTP Cookie File\n" + httpOnly + Line(".a.com", "A") + "\n" + httpOnly + "note\n", false},
        {"NUL bytes: named when interactive", Line("b.com", "B") + "\n" + nul, true, Line("b.com", "B") + "\n" + nul, true},
        {"NUL bytes: silent when not", Line("b.com", "B") + "\n" + nul, false, Line("b.com", "B") + "\n" + nul, false},
        {"NUL bytes without a cookie to remove: silent", Line("a.com", "A") + "\n" + nul, true,
         Line("a.com", "A") + "\n" + nul, false},
    };
    Keep(kFireFoxSavedKey, L"0", L"a.com\tA\tx");
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        test::WriteBytes(file, one.before);
        // Read-only: a write that should not happen asks Retry or Cancel and is seen.
        if (one.before == one.after) ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
        app.dialogs.messages.clear();
        app.ctx.frmMain.cboLoc.Clear();
        Store(file, kKindFireFoxProfiles);
        CleanCookieStores(app.ctx, one.interactive);
        EXPECT_EQ(test::ReadBytes(file), one.after);
        ASSERT_EQ(app.dialogs.messages.size(), one.told ? 1u : 0u);
        if (one.told) {
            EXPECT_EQ(app.dialogs.Last().text, CookieTxtUnchangedText(file, true));
        }
    }
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(test::ListTree(root / L"ff"), L"cookies.txt\n");
}

// The clean reads the file on its own: the viewer's list changes only when it shows the file.
TEST_F(CookieCleanTest, CookieTxtCleanRefillsTheViewersListOnlyWhenItShowsThatFile) {
    const std::wstring file = root / L"ns\\cookies.txt", other = root / L"ns\\other.txt";
    test::MakeFolder(root / L"ns");
    auto& list = app.ctx.frmMain.lstCookie;
    const auto texts = [&list] {
        std::vector<std::wstring> lines;
        for (const auto& item : list.Items()) lines.push_back(item.text);
        return lines;
    };
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown" : "not shown");
        test::WriteBytes(file, Line("a.com", "A") + "\n" + Line("b.com", "B") + "\n");
        test::WriteBytes(other, Line("o.com", "O") + "\n");
        app.ctx.cookies.familyTag = L"NS2";
        NS2Scan(app.ctx, shown ? file : other);
        const std::vector<std::wstring> before = texts();
        app.ctx.frmMain.cboLoc.Clear();
        Store(file, kKindNetscapeCookieFile);
        CleanCookieStores(app.ctx);
        EXPECT_EQ(test::ReadBytes(file), "");
        if (shown) {
            EXPECT_EQ(list.ListCount(), 0);
        } else {
            EXPECT_EQ(texts(), before);
        }
    }
}

TEST_F(CookieCleanTest, AStoreTheGuardRefusesIsLeftAlone) {
    const std::wstring link = root / L"Link";
    test::WriteBytes(msie + L"me@site[1].txt", Record("id"));
    ASSERT_TRUE(test::MakeDirectoryLink(link, root / L"Cookies"));
    Store(link + L"\\", kKindIeShellCookies);
    Store(L"Cookies\\", kKindIeShellCookies);  // relative: names no folder of its own
    CleanCookieStores(app.ctx);
    EXPECT_TRUE(Exists(L"me@site[1].txt"));
    EXPECT_EQ(app.ctx.CleanCount, 0);
    EXPECT_EQ(app.dialogs.messages.size(), 2u);
}

// A store that could not be cleaned is reported refused or failed (exit 1) with why, never
// counted as removed, and stays byte for byte; a compaction that failed after the rows went
// is reported failed beside the removed rows.
TEST_F(CookieCleanTest, AStoreThatCouldNotBeCleanedIsReportedNeverRemoved) {
    const std::wstring database = root / L"Cookies.db", txt = root / L"ns\\cookies.txt";
    test::MakeFolder(root / L"ns");
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::wstring store;
        Outcome outcome;
        const wchar_t* reason;
        bool rowsRemoved;
    } cases[] = {
        {"a trigger that puts deleted rows back",
         [&] {
             ASSERT_TRUE(test::ExecuteSql(database, "CREATE TRIGGER back AFTER DELETE ON cookies BEGIN INSERT INTO "
                                                    "meta VALUES(old.name, old.value); END"));
         },
         database, Outcome::Refused, L"trigger", false},
        {"a \"-journal\" that is a folder", [&] { test::MakeFolder(database + L"-journal"); }, database,
         Outcome::Refused, L"\"-journal\"", false},
        {"a failed compaction", [] { SetCompactionStandIn(+[] { return SQLITE_IOERR; }); }, database, Outcome::Failed,
         L"compacting", true},
        {"a cookies.txt with another name",
         [&] { ASSERT_TRUE(::CreateHardLinkW((root / L"ns\\copy.txt").c_str(), txt.c_str(), nullptr)); }, txt,
         Outcome::Refused, L"It Has Other Names", false},
    };
    Keep(kChromiumSavedKey, L"0", L"kept.com\tK\tx");
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        test::RemoveTree(database + L"-journal");
        ::DeleteFileW((root / L"ns\\copy.txt").c_str());
        test::WriteChromiumCookies(database, {{".kept.com", "K", "v", "", 0}, {".gone.com", "G", "v", "", 0}});
        test::WriteBytes(txt, Line("gone.com", "G") + "\n");
        one.arrange();
        const std::string before = test::ReadBytes(one.store);
        CleanReport report(false);
        app.ctx.report = &report;
        app.ctx.frmMain.cboLoc.Clear();
        Store(one.store, one.store == txt ? kKindNetscapeCookieFile : kKindChrome);
        CleanCookieStores(app.ctx);
        app.ctx.report = nullptr;
        SetCompactionStandIn(nullptr);

        EXPECT_EQ(report.ExitCode(), 1);
        const auto told = std::find_if(report.Items().begin(), report.Items().end(),
                                       [&](const ReportItem& item) { return item.outcome == one.outcome; });
        ASSERT_NE(told, report.Items().end());
        EXPECT_EQ(told->path, one.store);
        EXPECT_NE(told->reason.find(one.reason), std::wstring::npos) << NarrowUtf8(told->reason);
        EXPECT_EQ(report.Totals().cookies, one.rowsRemoved ? 1u : 0u);
        if (!one.rowsRemoved) {
            EXPECT_EQ(test::ReadBytes(one.store), before);
        }
    }
    EXPECT_EQ(test::ReadBytes(root / L"ns\\copy.txt"), Line("gone.com", "G") + "\n");
}

}  // namespace
}  // namespace qm
