#include "cookies/ns_cookies.h"

#include <gtest/gtest.h>

#include <set>

#include "cookies/cookie_display.h"
#include "cookies/msie_cookies.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::Moment;

std::string Cookie(const std::string& domain, const std::string& name, const std::string& expiry = "2000000000",
                   const std::string& value = "v") {
    return domain + "\tTRUE\t/\tFALSE\t" + expiry + "\t" + name + "\t" + value;
}

class CookieTxtTest : public ::testing::Test {
protected:
    test::TempFolder folder{L"ns"};
    test::TestApp app;
    std::wstring path = folder / L"cookies.txt";

    void SetUp() override { app.ctx.cookies.utcNow = [] { return Moment(2026, 12, 7, 12, 0, 0); }; }

    std::vector<std::wstring> Listed() const {
        std::vector<std::wstring> lines;
        for (const auto& item : app.ctx.frmMain.lstCookie.Items()) lines.push_back(item.text);
        return lines;
    }
    // Marks deleted the listed cookies with these names (the second field).
    void MarkNames(const std::set<std::wstring>& names) {
        auto& lines = app.ctx.cookies.cookieTxt.lines;
        for (const auto& item : app.ctx.frmMain.lstCookie.Items()) {
            const std::wstring name = CookieIdentity(item.text).substr(CookieIdentity(item.text).find(L'\t') + 1);
            if (names.count(name)) lines.at(static_cast<size_t>(item.data)).deleted = true;
        }
    }
};

// ---- Rewriting: every case written out by hand, byte for byte ------------------------------

TEST_F(CookieTxtTest, RewritesLeaveOutExactlyTheDeletedLines) {
    const std::string header = "# Netscape HTTP Cookie File\r\n# comment\r\n\r\n";
    const std::string a = Cookie(".a.com", "A"), b = Cookie("b.com", "B"), c = Cookie("c.com", "C");
    struct Case {
        const char* what;
        std::string before;
        std::set<std::wstring> deleted;
        std::string after;
    } cases[] = {
        {"nothing deleted, CR LF and blank lines", header + a + "\r\n\r\n" + b + "\r\n", {}, header + a + "\r\n\r\n" + b + "\r\n"},
        {"middle cookie", header + a + "\r\n" + b + "\r\n" + c + "\r\n", {L"B"}, header + a + "\r\n" + c + "\r\n"},
        {"blank line after a deleted cookie stays", header + a + "\r\n\r\n" + b + "\r\n", {L"A"}, header + "\r\n" + b + "\r\n"},
        {"last line without ending, kept", a + "\r\n" + b, {L"A"}, b},
        {"last line without ending, deleted", a + "\r\n" + b, {L"B"}, a + "\r\n"},
        {"LF endings", "# HTTP Cookie File\n" + a + "\n" + b + "\n", {L"A"}, "# HTTP Cookie File\n" + b + "\n"},
        {"lone CR endings", a + "\r" + b + "\r" + c + "\r", {L"B"}, a + "\r" + c + "\r"},
        {"every cookie", header + a + "\r\n" + b + "\r\n", {L"A", L"B"}, header},
        // Other control characters belong to the line: deleting it must not split or glue lines.
        {"control characters inside a cookie", a + "\r\n" + Cookie("b.com", "B", "2000000000", "x\x01y\x0Bz\x1F") + "\r\n" + c + "\r\n",
         {L"B"}, a + "\r\n" + c + "\r\n"},
        {"control characters kept in a kept cookie", Cookie("b.com", "B", "1", "x\x0Cy") + "\r\n" + c + "\r\n", {L"C"},
         Cookie("b.com", "B", "1", "x\x0Cy") + "\r\n"},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        test::WriteBytes(path, one.before);
        NS2Scan(app.ctx, path);
        MarkNames(one.deleted);
        EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Written);
        EXPECT_EQ(test::ReadBytes(path), one.after);
    }
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_EQ(test::ListTree(folder.Path()), L"cookies.txt\n") << "no file left beside it";
}

TEST_F(CookieTxtTest, TableKeepsTextEndingAndNumberOfEveryLine) {
    CookieTxtTable table;
    SplitCookieTxt("\r\n\r\nfirst\x01\tx\r\n\r\nsecond\nthird", table);
    ASSERT_EQ(table.lines.size(), 4u);
    EXPECT_EQ(table.lines[0].text, "");
    EXPECT_EQ(table.lines[0].ending, "\r\n\r\n");
    EXPECT_EQ(table.lines[1].text, "first\x01\tx");
    EXPECT_EQ(table.lines[1].ending, "\r\n\r\n");
    EXPECT_EQ(table.lines[3].text, "third");
    EXPECT_EQ(table.lines[3].ending, "");
    EXPECT_EQ(table.lines[3].number, 4);
    EXPECT_FALSE(table.holdsNul);
    SplitCookieTxt(std::string_view("a\0b\n", 4), table);
    EXPECT_TRUE(table.holdsNul);
}

// ---- Listing ------------------------------------------------------------------------------

TEST_F(CookieTxtTest, ListsCookieLinesWithTheirExactFields) {
    test::WriteBytes(path, "# HTTP Cookie File\r\n# c\r\n\r\n" + Cookie(".dot.com", "sid", "1700000000") + "\r\n" +
                               Cookie("host.org", "pref[1]", "4294967295") + "\r\n" +
                               Cookie("bad.net", "broken", "soon") + "\r\n");
    NS2Scan(app.ctx, path);
    const std::wstring date = FormatGeneralDate(Moment(2023, 11, 14, 22, 13, 20));
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"dot.com\tsid\t" + date, L"host.org\tpref[1]\tNever",
                                                   L"bad.net\tbroken\t"}));
    const auto& items = app.ctx.frmMain.lstCookie.Items();
    EXPECT_EQ(items[0].data, 2);  // the line's index in the table (after header and comment)
    EXPECT_EQ(items[2].data, 4);
    EXPECT_EQ(app.ctx.frmMain.lblCookieCnt.Caption(), std::wstring(kCookieCountCaption) + L"3")
        << "the cookies listed, not the file's lines";
    // The first cookie is shown.
    EXPECT_EQ(app.ctx.frmMain.lstCookie.ListIndex(), 0);
    EXPECT_EQ(app.ctx.frmMain.txtName.Text(), L"sid");
    EXPECT_EQ(app.ctx.frmMain.txtExpire.Text(), date);
}

TEST_F(CookieTxtTest, UnreadableFileGivesAnEmptyListAndIsNeverWritten) {
    NS2Scan(app.ctx, folder / L"missing.txt");
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(app.ctx.frmMain.lblCookieCnt.Caption(), std::wstring(kCookieCountCaption) + L"0");
    EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Refused);
    EXPECT_FALSE(test::PathExists(folder / L"missing.txt"));
}

// ---- Dates ---------------------------------------------------------------------------------

TEST(CookieTxtFields, SplitAndNumbers) {
    const Ns2Fields fields = SplitNs2Fields("d\tf\tp\ts\te\tn\tv\x01rest");
    EXPECT_EQ(fields.domain, "d");
    EXPECT_EQ(fields.name, "n");
    EXPECT_EQ(fields.value, "v");
    const Ns2Fields shortLine = SplitNs2Fields("only.com\tTRUE");
    EXPECT_EQ(shortLine.domainFlag, "TRUE");
    EXPECT_EQ(shortLine.name, "");
    EXPECT_EQ(ParseExpiry(" 12 "), 12);
    EXPECT_EQ(ParseExpiry("-5"), -5);
    for (const char* bad : {"", "abc", "1.5", "12a", "9999999999999999999"}) EXPECT_FALSE(ParseExpiry(bad)) << bad;
    EXPECT_EQ(CookieIdentity(L"ex.com[2]x\tid\tdate"), L"ex.com\tid");
    EXPECT_EQ(CookieIdentity(L"plain"), L"plain\t");
}

// An expiry is seconds since 1970 in every kind of cookies.txt, whatever its header: read as
// a packed MS-DOS date, 7 January 2027 would show as a date in 2033.
TEST_F(CookieTxtTest, ExpiryIsSecondsSince1970InEveryKindOfFile) {
    const struct {
        const char* expiry;
        std::wstring listed, expire, life;
    } cases[] = {
        {"1799280000", FormatGeneralDate(Moment(2027, 1, 7)), FormatGeneralDate(Moment(2027, 1, 7)),
         L"30 days 12 hours 0 minutes 0 seconds"},
        {"1", FormatGeneralDate(Moment(1970, 1, 1, 0, 0, 1)), FormatGeneralDate(Moment(1970, 1, 1, 0, 0, 1)), L""},
        {"32503680000", FormatGeneralDate(Moment(3000, 1, 1)), FormatGeneralDate(Moment(3000, 1, 1)), L""},
        {"0", L"Session", L"At End Of Session", L"Session"},
        {"", L"Session", L"At End Of Session", L"Session"},
        {"4294967295", L"Never", L"Never", L"Infinite"},
    };
    auto& form = app.ctx.frmMain;
    for (const char* header : {"# Netscape HTTP Cookie File", "# HTTP Cookie File", "# exported by a tool"}) {
        for (const auto& one : cases) {
            const std::string line = Cookie("a.com", "n", one.expiry);
            test::WriteBytes(path, std::string(header) + "\n" + line + "\n");
            NS2Scan(app.ctx, path);
            SCOPED_TRACE(std::string(header) + " / expiry " + one.expiry);
            ASSERT_EQ(Listed().size(), 1u);
            EXPECT_EQ(Listed()[0], L"a.com\tn\t" + one.listed);
            EXPECT_EQ(form.txtExpire.Text(), one.expire);
            if (!one.life.empty()) {
                EXPECT_EQ(form.txtLife.Text(), one.life);
            }
            EXPECT_TRUE(ParseCookieLine(line).has_value()) << "a session cookie is a cookie the clean removes";
        }
    }
    EXPECT_FALSE(ExpiryDate(999999999999999999LL).has_value());
}

TEST_F(CookieTxtTest, ViewerShowsFlagsAndInvalidExpiries) {
    auto& form = app.ctx.frmMain;
    EXPECT_TRUE(ParseNS2(app.ctx, "a.com\tFALSE\t/\tTRUE\t4294967295\tn\tval"));
    EXPECT_EQ(form.txtSecure.Text(), L"Yes");
    EXPECT_EQ(form.txtCreated.Text(), L"Host");
    EXPECT_TRUE(ParseNS2(app.ctx, "a.com\ttrue\t/\tfalse\t0\tn\tval"));
    EXPECT_EQ(form.txtSecure.Text(), L"No");
    EXPECT_EQ(form.txtCreated.Text(), L"Domain");
    EXPECT_FALSE(ParseNS2(app.ctx, "a.com\tTRUE\t/\tFALSE\tlater\tn\tval"));
    EXPECT_EQ(form.txtName.Text(), kInvalidCookieFormat);
    EXPECT_EQ(form.txtValue.Text(), kInvalidCookieFormat);
}

// ---- Marking by identity --------------------------------------------------------------------

TEST_F(CookieTxtTest, MarksOnlyCookieLinesWhoseIdentityIsNotKept) {
    const std::string httpOnly(kHttpOnlyPrefix);
    struct Case {
        const char* what;
        std::string line;
        bool marked;
    } cases[] = {
        {"unkept", Cookie("b.com", "x"), true},
        {"kept", Cookie("a.com", "x"), false},
        {"kept, its domain written with a dot", Cookie(".a.com", "x"), false},
        {"unkept, empty value", Cookie("b.com", "x", "2000000000", ""), true},
        {"unkept, negative expiry", Cookie("b.com", "x", "-1"), true},
        {"unkept session cookie, its expiry empty", Cookie("b.com", "x", ""), true},
        {"HttpOnly, unkept", httpOnly + Cookie(".b.com", "sid"), true},
        {"HttpOnly, kept by its domain without the prefix", httpOnly + Cookie(".a.com", "x"), false},
        {"HttpOnly prefix before no cookie", httpOnly + "remember the milk", false},
        {"HttpOnly prefix in another letter case", "#httponly_" + Cookie("b.com", "x"), false},
        {"comment", "# " + Cookie("b.com", "x"), false},
        {"six fields", "b.com\tTRUE\t/\tFALSE\t2000000000\tx", false},
        {"eight fields", Cookie("b.com", "x") + "\tmore", false},
        {"expiry not a number", Cookie("b.com", "x", "soon"), false},
        {"expiry not whole", Cookie("b.com", "x", "1.5"), false},
        {"empty name", Cookie("b.com", ""), false},
        {"empty path", "b.com\tTRUE\t\tFALSE\t2000000000\tx\tv", false},
        {"control byte in the name", Cookie("b.com", "x\x01y"), false},
        {"a recipe", "Flour\t200 g, sifted", false},
        {"IPv6 host, another than the kept one", Cookie("[::2]", "x"), true},
        {"IPv6 host, kept by the whole host", Cookie("[::1]", "x"), false},
        {"counter after the host, kept by the host before it", Cookie("a.com[2]", "x"), false},
    };
    std::string file, expected;
    for (const auto& one : cases) {
        file += one.line + "\r\n";
        if (!one.marked) expected += one.line + "\r\n";
    }
    test::WriteBytes(path, file);
    CookieTxtTable& table = app.ctx.cookies.cookieTxt;
    ASSERT_TRUE(ReadCookieTxt(path, table));
    EXPECT_EQ(MarkUnkeptLines(table, {L"a.com\tx", L"[::1]\tx"}), 6);
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(table.lines[i].deleted, cases[i].marked) << cases[i].what;
    EXPECT_EQ(WriteCookieTxt(app.ctx, table), CookieWrite::Written);
    EXPECT_EQ(test::ReadBytes(path), expected);
    EXPECT_TRUE(Listed().empty()) << "marking and writing leave the viewer's list alone";
}

TEST_F(CookieTxtTest, ListsHttpOnlyCookiesByTheirDomainAndSaysSoInTheDetails) {
    test::WriteBytes(path, std::string(kHttpOnlyPrefix) + Cookie(".s.com", "sid", "4294967295") + "\n" +
                               std::string(kHttpOnlyPrefix) + "note\n" + Cookie("p.com", "q", "4294967295") + "\n");
    NS2Scan(app.ctx, path);
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"s.com\tsid\tNever", L"p.com\tq\tNever"}));
    auto& form = app.ctx.frmMain;
    EXPECT_EQ(form.txtName.Text(), L"sid");
    EXPECT_EQ(form.lblHttpOnly.Caption(), kHttpOnlyDetail);
    form.lstCookie.SetListIndex(1);
    NsClick(app.ctx);
    EXPECT_EQ(form.txtName.Text(), L"q");
    EXPECT_EQ(form.lblHttpOnly.Caption(), L"");
}

// ---- Writes that must not happen ------------------------------------------------------------

TEST_F(CookieTxtTest, FailedWritesLeaveTheFileWholeAndAskRetryOrCancel) {
    const std::string original = Cookie("a.com", "A") + "\r\n" + Cookie("b.com", "B") + "\r\n";
    struct Case {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"read-only", [&] { ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_READONLY); }},
        {"changed since the scan", [&] { test::WriteBytes(path, original + Cookie("c.com", "C") + "\r\n"); }},
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        test::WriteBytes(path, original);
        NS2Scan(app.ctx, path);
        MarkNames({L"A"});
        one.arrange();
        const std::string before = test::ReadBytes(path);
        app.dialogs.messages.clear();
        app.dialogs.answers = {IDCANCEL};
        EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Cancelled);
        EXPECT_EQ(test::ReadBytes(path), before);
        ASSERT_EQ(app.dialogs.messages.size(), 1u);
        EXPECT_EQ(app.dialogs.Last().title, kCookieWriteFailedTitle);
        EXPECT_EQ(app.dialogs.Last().text, kCookieWriteFailedText);
        EXPECT_EQ(app.dialogs.Last().style, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONWARNING));
        EXPECT_FALSE(app.ctx.cookies.cookieTxt.lines.front().deleted) << "cancel scans the file again";
    }
    ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(test::ListTree(folder.Path()), L"cookies.txt\n");
}

TEST_F(CookieTxtTest, UnattendedRunCancelsAFailedWriteWithoutShowingTheBox) {
    const std::string original = Cookie("a.com", "A") + "\n";
    test::WriteBytes(path, original);
    NS2Scan(app.ctx, path);
    MarkNames({L"A"});
    ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_READONLY);
    app.ctx.SetUnattended(true);
    EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Cancelled);
    EXPECT_TRUE(app.dialogs.messages.empty());
    ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(test::ReadBytes(path), original);
}

TEST_F(CookieTxtTest, HeldOpenFileStaysUnchanged) {
    const std::string original = Cookie("a.com", "A") + "\n";
    test::WriteBytes(path, original);
    NS2Scan(app.ctx, path);
    MarkNames({L"A"});
    {
        test::LockedFile browser(path);
        ASSERT_TRUE(browser.Held());
        app.dialogs.answers = {IDCANCEL};
        EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Cancelled);
    }
    EXPECT_EQ(test::ReadBytes(path), original);
    EXPECT_EQ(test::ListTree(folder.Path()), L"cookies.txt\n");
}

TEST_F(CookieTxtTest, RetryAfterTheBrowserWroteRemovesTheSameCookiesOnly) {
    test::WriteBytes(path, Cookie("a.com", "A") + "\n" + Cookie("b.com", "B") + "\n");
    NS2Scan(app.ctx, path);
    MarkNames({L"A"});
    test::WriteBytes(path, Cookie("new.com", "N") + "\n" + Cookie("a.com", "A") + "\n" + Cookie("b.com", "B") + "\n");
    app.dialogs.answers = {IDRETRY};
    EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Written);
    EXPECT_EQ(test::ReadBytes(path), Cookie("new.com", "N") + "\n" + Cookie("b.com", "B") + "\n");
}

TEST_F(CookieTxtTest, NeverRewritesAFileWithNulBytesNorWhereTheListNowPoints) {
    const std::string withNul = Cookie("a.com", "A") + std::string("\n\0\n", 3);
    test::WriteBytes(path, withNul);
    NS2Scan(app.ctx, path);
    MarkNames({L"A"});
    EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Refused);
    EXPECT_EQ(test::ReadBytes(path), withNul);

    // The write goes to the file that was scanned, whatever cboLoc shows by then; its
    // attributes stay.
    const std::wstring other = folder / L"other.txt";
    test::WriteBytes(other, "untouched");
    test::WriteBytes(path, Cookie("a.com", "A") + "\n" + Cookie("b.com", "B") + "\n");
    ::SetFileAttributesW(test::LongPath(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
    NS2Scan(app.ctx, path);
    app.ctx.frmMain.cboLoc.AddItem(other);
    app.ctx.frmMain.cboLoc.SetListIndex(0);
    MarkNames({L"B"});
    EXPECT_EQ(NS2Write(app.ctx), CookieWrite::Written);
    EXPECT_EQ(test::ReadBytes(path), Cookie("a.com", "A") + "\n");
    EXPECT_EQ(test::ReadBytes(other), "untouched");
    EXPECT_TRUE(test::Attributes(path) & FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace
}  // namespace qm
