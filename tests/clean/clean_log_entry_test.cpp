// The clean log's reading: the console program's own JSON with the log's keys added, and one
// table of logs as they may lie on disk (the user can write the folder), each read from a real
// file by its end.
#include "clean/clean_log_entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "clean/clean_log.h"
#include "cli/report_format.h"
#include "support/fixtures.h"

namespace qm {
namespace {

// A compact record; removed is the removed list's items, extra goes before "totals".
std::string Line(const std::string& trigger,
                 const std::string& removed = R"({"kind":"temp","type":"file","path":"C:\\T\\a.tmp","bytes":5})",
                 const std::string& extra = "") {
    return R"({"program":"Quillmere","version":"5.0.0","command":"clean","trigger":")" + trigger +
           R"(","time":"2026-12-08T17:05:09Z","durationMs":12,"computer":"PC","user":"ann","kinds":["temp"],)"
           R"("removed":[)" + removed + R"(],"kept":[],"refused":[],"failed":[],"scheduled":[])" + extra +
           R"(,"totals":{"files":1,"folders":0,"bytes":5,"cookies":0,"kept":0,"refused":0,"failed":0,"scheduled":0},)"
           R"("exitCode":0})";
}

std::string Item(const std::string& path, const std::string& bytes = "5") {
    return R"({"kind":"temp","type":"file","path":")" + path + R"(","bytes":)" + bytes + "}";
}

// What a row expects of the record read: its trigger, first path and first size.
std::wstring Fingerprint(const LoggedClean& clean) {
    std::wstring text = clean.trigger;
    if (!clean.items.empty()) text += L"|" + clean.items[0].path + L"|" + std::to_wstring(clean.items[0].bytes);
    return text;
}

TEST(CleanLogEntry, ReadsTheConsoleProgramsDocumentWithTheLogsKeysExactly) {
    CleanReport report(false);
    const std::wstring odd = std::wstring(L"C:\\Temp\\\"tab\there\" \xD800 \xD83D\xDE00 \x7F.tmp");
    report.Begin(CleanKind::Temp);
    report.Removed(ItemType::File, odd, 1536);
    report.Removed(ItemType::Folder, L"C:\\Temp\\sub");
    report.Failed(ItemType::File, L"C:\\Temp\\b.tmp", L"Access is denied.");
    report.Begin(CleanKind::Cookies);
    report.CookieKept(L"C:\\cookies.txt", L"news.example", L"id");
    report.Begin(CleanKind::Restart);
    report.Scheduled(L"C:\\Windows\\x.dll", L"C:\\Windows\\x.new");
    std::string json = FormatReportJson(report, {L"5.0.0", {CleanKind::Temp, CleanKind::Cookies}}, 1);
    json.insert(json.find("\"kinds\""), R"("trigger": "hotkey", "time": "2024-02-29T23:59:59Z", "durationMs": 70,
  "computer": "DESK", "user": "Zo\u00eb", "itemsLeftOut": 4, "future": {"a": [1.5e3, -2, null, true]},
  )");

    const auto clean = ParseLoggedClean(json);
    ASSERT_TRUE(clean) << json;
    EXPECT_EQ(clean->trigger, L"hotkey");
    EXPECT_EQ(clean->time.year * 10000 + clean->time.month * 100 + clean->time.day, 20240229);
    EXPECT_EQ(clean->time.hour * 10000 + clean->time.minute * 100 + clean->time.second, 235959);
    EXPECT_EQ(clean->user, L"Zo\xEB");
    EXPECT_EQ(clean->durationMs, 70u);
    EXPECT_EQ(clean->itemsLeftOut, 4u);
    EXPECT_EQ(clean->exitCode, 1u);
    EXPECT_EQ(clean->kinds, (std::vector<CleanKind>{CleanKind::Temp, CleanKind::Cookies}));
    ASSERT_EQ(clean->items.size(), report.Items().size());
    // The lists come in turn: removed, kept, refused, failed, scheduled.
    const Outcome order[] = {Outcome::Removed, Outcome::Removed, Outcome::Kept, Outcome::Failed, Outcome::Scheduled};
    for (size_t i = 0; i < clean->items.size(); ++i) {
        const ReportItem& read = clean->items[i];
        const auto& written = *std::find_if(report.Items().begin(), report.Items().end(),
                                            [&](const ReportItem& item) { return item.path == read.path; });
        EXPECT_EQ(read.outcome, order[i]) << i;
        EXPECT_TRUE(read.outcome == written.outcome && read.kind == written.kind && read.type == written.type &&
                    read.bytes == written.bytes && read.host == written.host && read.name == written.name &&
                    read.reason == written.reason && read.replacement == written.replacement)
            << i;
    }
    EXPECT_EQ(clean->items[0].path, odd) << "escapes, a lone half of a pair and a whole pair come back unit for unit";
    EXPECT_EQ(clean->totals.files, 1u);
    EXPECT_EQ(clean->totals.bytes, 1536u);
    EXPECT_EQ(clean->totals.scheduled, 1u);
}

TEST(CleanLogEntry, ReadsTheLastLineOfALogAndNothingThatIsNotARecord) {
    const std::string big = std::string(R"({"kind":"temp","type":"folder","path":"C:\\pad","note":")") +
                            std::string(400 * 1024, 'x') + "\"}," + Item("C:\\\\after-pad");
    const std::string filler = Line("old") + "\n";
    std::string megabyte;
    while (megabyte.size() < 1000 * 1024) megabyte += filler;
    const struct {
        const char* what;
        std::string log;
        const wchar_t* expected;  // nullptr: nothing read
    } cases[] = {
        {"empty file", "", nullptr},
        {"one line", Line("tray") + "\n", L"tray|C:\\T\\a.tmp|5"},
        {"last line without its line break", Line("auto") + "\n" + Line("tray"), L"tray|C:\\T\\a.tmp|5"},
        {"CRLF endings", Line("auto") + "\r\n" + Line("tray") + "\r\n", L"tray|C:\\T\\a.tmp|5"},
        {"a line still being written", Line("auto") + "\n" + Line("tray").substr(0, 150), L"auto|C:\\T\\a.tmp|5"},
        {"a cut line with its line break", Line("auto") + "\n" + Line("tray").substr(0, 150) + "\n", nullptr},
        {"garbage last line", Line("auto") + "\nnot json\n", nullptr},
        {"text after the object", Line("auto") + " x\n", nullptr},
        {"a lone half of a pair", Line("tray", Item("a\\udc00b")) + "\n", L"tray|a\xDC00" L"b|5"},
        {"a pair as two escapes", Line("tray", Item("\\ud83d\\ude00")) + "\n", L"tray|\xD83D\xDE00|5"},
        {"raw UTF-8, two and four bytes", Line("tray", Item("\xC3\xA9\xF0\x9F\x98\x80")) + "\n", L"tray|\xE9\xD83D\xDE00|5"},
        {"overlong UTF-8", Line("tray", Item("\xC0\xAF")) + "\n", nullptr},
        {"an encoded half of a pair", Line("tray", Item("\xED\xA0\x80")) + "\n", nullptr},
        {"a raw control character", Line("tray", Item("a\tb")) + "\n", nullptr},
        {"an unknown escape", Line("tray", Item("a\\qb")) + "\n", nullptr},
        {"the largest size", Line("tray", Item("a", "18446744073709551615")) + "\n", L"tray|a|18446744073709551615"},
        {"a size past 64 bits", Line("tray", Item("a", "18446744073709551616")) + "\n", nullptr},
        {"a negative size", Line("tray", Item("a", "-1")) + "\n", nullptr},
        {"a size with a leading zero", Line("tray", Item("a", "05")) + "\n", nullptr},
        {"a path as a number", Line("tray", R"({"kind":"temp","type":"file","path":5})") + "\n", nullptr},
        {"an item without a path", Line("tray", R"({"kind":"temp","type":"file"})") + "\n", nullptr},
        {"an unknown kind", Line("tray", R"({"kind":"disk","type":"file","path":"a"})") + "\n", nullptr},
        {"a list as an object", Line("tray").replace(Line("tray").find("\"kept\":[]"), 9, "\"kept\":{}") + "\n", nullptr},
        {"a key given twice", Line("tray", Item("a"), R"(,"trigger":"auto")") + "\n", nullptr},
        {"an unknown key nested within bounds", Line("tray", Item("a"), R"(,"x":[[[{"y":[1]}]]])") + "\n", L"tray|a|5"},
        {"deep nesting", Line("tray", Item("a"), ",\"x\":" + std::string(100000, '[') + std::string(100000, ']')) + "\n",
         nullptr},
        {"no totals", R"({"program":"Quillmere","trigger":"tray","time":"2026-12-08T17:05:09Z","removed":[],)"
                      R"("kept":[],"refused":[],"failed":[],"scheduled":[]})"
                      "\n",
         nullptr},
        {"another program", "{\"program\":\"Other\"," + Line("tray").substr(23) + "\n", nullptr},
        {"30 February", Line("tray").replace(Line("tray").find("12-08"), 5, "02-30") + "\n", nullptr},
        {"a time without its zone", Line("tray").replace(Line("tray").find(":09Z"), 4, ":09 ") + "\n", nullptr},
        {"a last line longer than the first read", megabyte.substr(0, 300 * 1024) + "\n" + Line("tray", big) + "\n",
         L"tray|C:\\pad|0"},
        {"a megabyte of lines before the last", megabyte + Line("tray") + "\n", L"tray|C:\\T\\a.tmp|5"},
        {"a last line longer than the log keeps", Line("tray", big + "," + big + "," + big) + "\n", nullptr},
    };
    test::TempFolder folder(L"qm-log");
    const std::wstring path = folder / L"CleanLog.jsonl";
    EXPECT_FALSE(ReadLastLoggedClean(path)) << "no log";
    for (const auto& c : cases) {
        test::WriteBytes(path, c.log);
        const auto clean = ReadLastLoggedClean(path);
        if (!c.expected) {
            EXPECT_FALSE(clean) << c.what;
            continue;
        }
        ASSERT_TRUE(clean) << c.what;
        EXPECT_EQ(Fingerprint(*clean), c.expected) << c.what;
    }
}

// The writer keeps the newest whole lines within its limit, and the reader finds the last.
TEST(CleanLogEntry, AnAppendPastTheLimitDropsTheOldestWholeLines) {
    test::TempFolder folder(L"qm-log-append");
    const std::wstring path = folder / L"Quillmere\\CleanLog.jsonl";
    const std::string first = Line("auto") + "\n", second = Line("tray") + "\n", third = Line("hotkey") + "\n";
    for (const std::string& line : {first, second, third}) ASSERT_TRUE(AppendCleanLog(path, line, 2 * first.size() + 4));
    EXPECT_EQ(test::ReadBytes(path), second + third);
    EXPECT_EQ(ReadLastLoggedClean(path)->trigger, L"hotkey");
}

}  // namespace
}  // namespace qm
