#include "cookies/msie_cookies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cookies/cookie_display.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::Moment;
using test::MsieRecordSpec;

const SYSTEMTIME kCreated = Moment(2006, 5, 4, 3, 2, 1);
const SYSTEMTIME kExpires = Moment(2030, 1, 2, 12, 0, 0);

MsieRecordSpec Record(std::string name, std::string value) {
    MsieRecordSpec record;
    record.name = std::move(name);
    record.value = std::move(value);
    record.Created(kCreated).Expires(kExpires);
    return record;
}

std::vector<std::wstring> Lines(const ListModel& list) {
    std::vector<std::wstring> lines;
    for (const auto& item : list.Items()) lines.push_back(item.text);
    return lines;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// ---- Field and time decoding --------------------------------------------------------------

TEST(MsieFields, ParseFieldStopsAtAnyControlCharacterButNotAtHighBytes) {
    std::string field;
    EXPECT_EQ(ParseField("abc\ndef", field), 4);
    EXPECT_EQ(field, "abc");
    EXPECT_EQ(ParseField("caf\xE9\xFF\rmore", field), 6);
    EXPECT_EQ(field, "caf\xE9\xFF");
    EXPECT_EQ(ParseField(std::string_view("a\0b", 3), field), 2);
    EXPECT_EQ(field, "a");
}

TEST(MsieFields, ParseFieldGivesZeroWithoutAnEndingBeforeTheLastPosition) {
    std::string field = "old";
    EXPECT_EQ(ParseField("tail", field), 0);
    EXPECT_EQ(field, "tail");
    EXPECT_EQ(ParseField("tail\n", field), 0);
    EXPECT_EQ(field, "tail");
    EXPECT_EQ(ParseField("", field), 0);
    EXPECT_EQ(field, "");
}

TEST(MsieFields, UnsignedToLongTakesExactlyTheUnsigned32BitRange) {
    EXPECT_EQ(UnsignedToLong("0"), 0);
    EXPECT_EQ(UnsignedToLong(" 2147483647 "), 2147483647);
    EXPECT_EQ(UnsignedToLong("2147483648"), INT32_MIN);
    EXPECT_EQ(UnsignedToLong("4294967295"), -1);
    for (const char* bad : {"4294967296", "99999999999", "-1", "abc", "", "  ", "1.5", "12a", "0x10"})
        EXPECT_FALSE(UnsignedToLong(bad).has_value()) << bad;
}

TEST(MsieFields, MSIEDateConvertsTheTwoHalvesInUtc) {
    // 2001-09-09 01:46:40 UTC is 126444736000000000 in 100 ns units since 1601.
    const std::optional<SYSTEMTIME> moment = MSIEDate("29440209", "1157595136");
    ASSERT_TRUE(moment.has_value());
    EXPECT_EQ(moment->wYear, 2001);
    EXPECT_EQ(moment->wMonth, 9);
    EXPECT_EQ(moment->wDay, 9);
    EXPECT_EQ(moment->wHour, 1);
    EXPECT_EQ(moment->wMinute, 46);
    EXPECT_EQ(moment->wSecond, 40);
    // A high half with the top bit set is no time the system can convert.
    EXPECT_FALSE(MSIEDate("2147483648", "0").has_value());
    EXPECT_FALSE(MSIEDate("abc", "0").has_value());
}

TEST(MsieFields, RecordStartsFollowEachSeparator) {
    const std::string text = test::MsieFileText({Record("a", "1"), Record("bb", "2"), Record("ccc", "3")});
    const std::vector<int> starts = RecordStarts(text);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0], 1);
    const size_t second = test::MsieRecordText(Record("a", "1")).size() + 1;
    EXPECT_EQ(starts[1], static_cast<int>(second));
    EXPECT_EQ(text.substr(static_cast<size_t>(starts[2] - 1), 4), "ccc\n");
    EXPECT_TRUE(RecordStarts("no records here\n").empty());
}

// ---- Decoding into the detail boxes ---------------------------------------------------------

class MsieDecode : public ::testing::Test {
protected:
    void SetUp() override { app.ctx.cookies.utcNow = [this] { return now; }; }
    test::TestApp app;
    SYSTEMTIME now = Moment(2029, 12, 31, 0, 0, 0);
    MainFormModel& form = app.ctx.frmMain;
};

TEST_F(MsieDecode, ShowsEveryFieldOfTheFirstRecord) {
    MsieRecordSpec record = Record("SITE", "v=1&w=2");
    record.hostPath = "example.com/shop/";
    record.flags = "9216";  // a bit mask: secure
    record.Expires(test::AddSeconds(now, 86400 + 3661));
    const std::string text = test::MsieFileText({record, Record("second", "x")});

    EXPECT_TRUE(ParseMSIE(app.ctx, text));
    EXPECT_EQ(form.txtName.Text(), L"SITE");
    EXPECT_EQ(form.txtValue.Text(), L"v=1&w=2");
    EXPECT_EQ(form.txtSecure.Text(), L"Yes");
    EXPECT_EQ(form.txtCreated.Text(), FormatGeneralDate(kCreated));
    EXPECT_EQ(form.txtExpire.Text(), FormatGeneralDate(test::AddSeconds(now, 86400 + 3661)));
    EXPECT_EQ(form.txtLife.Text(), L"1 days 1 hour 1 minute 1 second");
    EXPECT_EQ(app.ctx.cookies.current.name, L"SITE");
    EXPECT_EQ(app.ctx.cookies.current.hostPath, L"example.com/shop/");
    EXPECT_EQ(app.ctx.cookies.current.created.wYear, 2006);
}

TEST_F(MsieDecode, OnlyAFlagsFieldOfZeroIsNotSecure) {
    EXPECT_TRUE(ParseMSIE2(app.ctx, test::MsieRecordText(Record("n", "v"))));
    EXPECT_EQ(form.txtSecure.Text(), L"No");
}

TEST_F(MsieDecode, BadTimeHalvesShowInvalidCookieFormatAndForgetThePreviousCookie) {
    ASSERT_TRUE(ParseMSIE(app.ctx, test::MsieRecordText(Record("earlier", "v"))));
    for (const char* half : {"abc", "4294967296", "-5", ""}) {
        MsieRecordSpec record = Record("n", "v");
        record.createdLow = half;
        EXPECT_FALSE(ParseMSIE(app.ctx, test::MsieRecordText(record))) << half;
        EXPECT_EQ(form.txtName.Text(), L"Invalid Cookie Format");
        EXPECT_EQ(form.txtValue.Text(), L"Invalid Cookie Format");
        EXPECT_EQ(form.txtCreated.Text(), L"");
        EXPECT_EQ(app.ctx.cookies.current.name, L"");
    }
}

TEST_F(MsieDecode, ACreationYearAbove9999IsWrittenInPlaceOf7999) {
    MsieRecordSpec record = Record("n", "v");
    record.Created(Moment(20000, 1, 2, 3, 4, 5));
    ASSERT_TRUE(ParseMSIE(app.ctx, test::MsieRecordText(record)));
    EXPECT_NE(form.txtCreated.Text().find(L"20000"), std::wstring::npos);
    EXPECT_EQ(form.txtCreated.Text().find(L"7999"), std::wstring::npos);
}

TEST_F(MsieDecode, CarriageReturnLineEndsShiftTheFieldsIntoAnInvalidCookie) {
    std::string text = test::MsieRecordText(Record("n", "v"));
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_FALSE(ParseMSIE(app.ctx, crlf));
    EXPECT_EQ(form.txtName.Text(), L"Invalid Cookie Format");
}

// ---- Files in a folder --------------------------------------------------------------------

class MsieFolder : public ::testing::Test {
protected:
    void SetUp() override { app.ctx.cookies.utcNow = [] { return Moment(2020, 1, 1); }; }
    std::wstring Folder() const { return cookies.Path() + L"\\"; }
    void Write(const std::wstring& name, const std::string& bytes) { test::WriteBytes(cookies / name, bytes); }

    // The fabricated Internet Explorer cookie folder.
    void WriteStandardFolder() {
        Write(L"user@site[1].txt", test::MsieFileText({Record("SITE", "one")}));
        Write(L"user@three[2].txt", test::MsieFileText({Record("first", "1"), Record("second", "2"), Record("third", "3")}));
        std::string noFinalLf = test::MsieFileText({Record("nolf", "v")});
        noFinalLf.pop_back();
        Write(L"user@nolf[1].txt", noFinalLf);
        std::string crlf;
        for (char c : test::MsieFileText({Record("crlf", "v")})) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        Write(L"user@crlf[1].txt", crlf);
        MsieRecordSpec abc = Record("abc", "v");
        abc.expiresLow = abc.expiresHigh = "abc";
        Write(L"user@abc[1].txt", test::MsieFileText({abc}));
        Write(L"index.dat", std::string(64, '\0'));
        Write(L"readme.txt", "not a cookie\n");
    }

    test::TempFolder cookies{L"qm"};  // its name holds no "cookie"
    test::TestApp app;
    MainFormModel& form = app.ctx.frmMain;
};

TEST_F(MsieFolder, LoadingSplitsThreeRecordsAndDecodingTheSecondShowsItsOwnFields) {
    WriteStandardFolder();
    ASSERT_TRUE(MsieClick2(app.ctx, cookies.Path(), L"user@three[2].txt"));
    ASSERT_EQ(app.ctx.cookies.recordStarts.size(), 3u);
    ShowMsieRecord(app.ctx, 1);
    EXPECT_EQ(form.txtName.Text(), L"second");
    EXPECT_EQ(form.txtValue.Text(), L"2");
    EXPECT_TRUE(frmMainMsieClick(app.ctx, Folder(), L"user@nolf[1].txt"));
    EXPECT_EQ(app.ctx.cookies.recordStarts, std::vector<int>{1});
}

TEST_F(MsieFolder, FilesWithoutRecordsLeaveNoTextBehind) {
    Write(L"crlf.txt", "n\r\nv\r\nh\r\n0\r\n1\r\n2\r\n3\r\n4\r\n*\r\n");
    Write(L"noterm.txt", "n\nv\nh\n0\n1\n2\n3\n4\n");
    Write(L"empty.txt", "");
    Write(L"huge.txt", test::MsieFileText({Record("big", "v")}) + std::string(70000, 'x') + "\n*\n");
    Write(L"valid.txt", test::MsieFileText({Record("ok", "v")}));
    for (const wchar_t* name : {L"crlf.txt", L"noterm.txt", L"empty.txt", L"huge.txt"}) {
        ASSERT_TRUE(MsieClick2(app.ctx, Folder(), L"valid.txt"));  // something to be replaced
        const CookieLoadResult loaded = LoadCookieFile(app.ctx.cookies, Folder() + name);
        EXPECT_EQ(loaded.outcome, CookieLoad::NoRecords) << name;
        EXPECT_TRUE(app.ctx.cookies.text.empty()) << name;
        EXPECT_TRUE(app.ctx.cookies.recordStarts.empty()) << name;
    }
    EXPECT_EQ(LoadCookieFile(app.ctx.cookies, Folder() + L"missing.txt").outcome, CookieLoad::Unreadable);
}

TEST_F(MsieFolder, ArbitraryBytesNeverDecodeIntoControlCharactersOrCrash) {
    std::mt19937 random(1234);
    const std::string pieces[] = {"\n", "*", "\n*\n", "\r", std::string(1, '\0'), "\xFF", "123", "abc", "4294967296"};
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) bytes += pieces[random() % std::size(pieces)];
        Write(L"fuzz.txt", bytes);
        const CookieLoadResult loaded = LoadCookieFile(app.ctx.cookies, Folder() + L"fuzz.txt");
        ASSERT_NE(loaded.outcome, CookieLoad::Unreadable);
        for (size_t record = 0; record < app.ctx.cookies.recordStarts.size(); ++record) {
            ShowMsieRecord(app.ctx, static_cast<int>(record));
            for (wchar_t c : form.txtName.Text() + form.txtValue.Text()) ASSERT_GE(c, L' ');
        }
    }
}

TEST_F(MsieFolder, MSIEScanListsCookieFileNamesAndShowsTheFirst) {
    WriteStandardFolder();
    EXPECT_EQ(MSIEScan(app.ctx, cookies.Path()), 5);
    EXPECT_EQ(Sorted(Lines(form.lstCookie)),
              Sorted({L"user@site[1].txt", L"user@three[2].txt", L"user@nolf[1].txt", L"user@crlf[1].txt",
                      L"user@abc[1].txt"}));
    EXPECT_EQ(form.lblCookieCnt.Caption(), L"Number of Cookies in selected location: 5");
    EXPECT_EQ(form.lstCookie.ListIndex(), 0);
    EXPECT_FALSE(form.btnDel.Enabled()) << "the current line is not a checked one";
    form.lstCookie.SetChecked(0, true);
    MsieClick(app.ctx, Folder());
    EXPECT_TRUE(form.btnDel.Enabled());
    EXPECT_EQ(form.btnDel.ToolTipText(), L"Delete Selected Cookie");
}

TEST_F(MsieFolder, MSIEScanListsAnIndexNameTwiceInACookieFolderAndPumpsEvery50Files) {
    test::TempFolder cookieFolder(L"MyCookies");
    for (int i = 0; i < 100; ++i)
        test::WriteBytes(cookieFolder / (L"u@s" + std::to_wstring(i) + L".txt"), test::MsieRecordText(Record("n", "v")));
    test::WriteBytes(cookieFolder / L"me@update.txt", test::MsieRecordText(Record("n", "v")));
    const int pumpsBefore = app.pump.events;
    EXPECT_EQ(MSIEScan(app.ctx, cookieFolder.Path()), 102);
    EXPECT_EQ(app.pump.events - pumpsBefore, 2);
    const std::vector<std::wstring> lines = Lines(form.lstCookie);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"me@update.txt"), 2);
}

TEST_F(MsieFolder, MSIEScanOfAnEmptyOrBlankFolder) {
    Write(L"index.dat", "x");
    form.btnDel.SetEnabled(true);
    EXPECT_EQ(MSIEScan(app.ctx, cookies.Path()), 0);
    EXPECT_EQ(form.lstCookie.ListCount(), 0);
    EXPECT_FALSE(form.btnDel.Enabled());
    EXPECT_EQ(form.lblCookieCnt.Caption(), L"Number of Cookies in selected location: 0");
    EXPECT_EQ(MSIEScan(app.ctx, L" "), -1);
    EXPECT_EQ(MSIEScan2(app.ctx, L""), -1);
}

TEST_F(MsieFolder, MSIEScan2BuildsTheCookieLines) {
    WriteStandardFolder();
    EXPECT_EQ(MSIEScan2(app.ctx, cookies.Path()), 1);
    const std::wstring created = FormatGeneralDate(kCreated);
    EXPECT_EQ(Sorted(Lines(form.lstCookie)),
              Sorted({L"user@site[1].txt\tSITE\t" + created, L"user@three[2].txt\tfirst\t" + created,
                      L"user@nolf[1].txt\tnolf\t" + created, L"user@crlf[1].txt\t\t", L"user@abc[1].txt\t\t"}));
    EXPECT_EQ(form.lstCookie.ListIndex(), 0);
}

TEST_F(MsieFolder, MSIEScan2ListsAnIndexFileOnlyWhenNoTextFileExistsAndTheFolderSpeaksOfCookies) {
    test::TempFolder cookieFolder(L"Cookies");
    test::WriteBytes(cookieFolder / L"index.dat", "x");
    Write(L"index.dat", "x");
    EXPECT_EQ(MSIEScan2(app.ctx, cookieFolder.Path()), 1);
    EXPECT_EQ(Lines(form.lstCookie), std::vector<std::wstring>{L"index.dat"});
    EXPECT_EQ(MSIEScan2(app.ctx, cookies.Path()), -1);
    EXPECT_EQ(form.lstCookie.ListCount(), 0);
}

TEST_F(MsieFolder, MsieClickShowsOneTabPerRecordOfTheSelectedLine) {
    WriteStandardFolder();
    form.lstCookie.AddItem(L"user@three[2].txt\tfirst\tsome date");
    form.lstCookie.AddItem(L"user@site[1].txt\tSITE\tsome date");
    form.lstCookie.SetListIndex(0);
    MsieClick(app.ctx, Folder());
    ASSERT_EQ(form.tabKV.TabCount(), 3);
    EXPECT_EQ(form.tabKV.Caption(0), L"Key/Value &1");
    EXPECT_EQ(form.tabKV.Caption(2), L"Key/Value &3");
    EXPECT_EQ(form.tabKV.SelectedIndex(), 0);
    EXPECT_EQ(form.txtName.Text(), L"first");

    form.lstCookie.SetListIndex(1);
    MsieClick(app.ctx, Folder());
    EXPECT_EQ(form.tabKV.TabCount(), 1);
    EXPECT_EQ(form.txtName.Text(), L"SITE");
}

TEST_F(MsieFolder, MsieClickReportsAFileThatCannotBeRead) {
    form.lstCookie.AddItem(L"gone@site[1].txt\tname\tdate");
    form.lstCookie.SetListIndex(0);
    MsieClick(app.ctx, Folder());
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    const auto& box = app.dialogs.Last();
    EXPECT_EQ(box.title, L"Dorvik Error Message");
    EXPECT_EQ(box.style & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(box.text.rfind(L"Cookie \"gone@site[1].txt\" Could not be accessed Error 2 - ", 0), 0u) << box.text;
    EXPECT_EQ(form.txtName.Text(), L"");
}

}  // namespace
}  // namespace qm
