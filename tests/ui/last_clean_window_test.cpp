// The Last Clean window, real under Xvfb, on a clean log in a local application data folder
// of the test's own (named in the scratch registry, as the system names the user's).
#include "ui/last_clean_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <string>

#include "base/text.h"
#include "clean/clean_log_entry.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/keyboard.h"
#include "ui/tray_menu.h"

namespace qm {
namespace {

std::string Record(const std::string& trigger, const std::string& lists, const std::string& totals) {
    return R"({"program":"Quillmere","version":"5.0.0","command":"clean","trigger":")" + trigger +
           R"(","time":"2026-12-08T17:05:09Z","durationMs":12,"computer":"PC","user":"ann","kinds":["temp","cookies"],)" +
           lists + R"(,"itemsLeftOut":2,"totals":{)" + totals + R"(},"exitCode":1})" + "\n";
}

const std::string kLists =
    R"("removed":[{"kind":"temp","type":"file","path":"C:\\Temp\\a.tmp","bytes":1536}],)"
    R"("kept":[{"kind":"cookies","type":"cookie","path":"C:\\cookies.txt","host":"news.example","name":"id",)"
    R"("reason":"Kept cookie"}],"refused":[],)"
    R"("failed":[{"kind":"temp","type":"file","path":"C:\\Temp\\b.tmp","reason":"Access is denied."}],)"
    R"("scheduled":[{"kind":"restart","type":"file","path":"C:\\x.dll","replacement":""}])";
const std::string kTotals =
    R"("files":1234,"folders":1,"bytes":12582912,"cookies":8,"kept":3,"refused":0,"failed":1,"scheduled":1)";

std::wstring Text(HWND control) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring Clipboard() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return L"<not opened>";
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        if (const auto* units = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = units;
            ::GlobalUnlock(data);
        }
    ::CloseClipboard();
    return text;
}

class LastCleanWindowTest : public ::testing::Test {
protected:
    LastCleanWindowTest() {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                         L"Local AppData", appData.Path());
        test::MakeFolder(appData / L"Quillmere");
    }
    ~LastCleanWindowTest() override {
        if (app.ctx.frmLastClean) app.ctx.frmLastClean->Destroy();
    }
    void Log(const std::string& text) { test::WriteBytes(log, text); }
    HWND Window() { return ::FindWindowW(kLastCleanWindowClass, kLastCleanTitle); }
    HWND Control(int id) { return ::GetDlgItem(Window(), id); }
    int Rows() { return static_cast<int>(::SendMessageW(Control(kLastCleanListId), LVM_GETITEMCOUNT, 0, 0)); }
    void Pump(DWORD milliseconds = 100) { test::PumpMessages(milliseconds, {}, Window()); }
    void Type(const std::wstring& keys) {
        for (wchar_t key : keys) ::PostMessageW(Control(kLastCleanSearchId), WM_CHAR, key, 0);
        Pump();
    }

    test::ScratchRegistry registry;
    test::TempFolder appData{L"qm-appdata"};
    const std::wstring log = appData / L"Quillmere\\CleanLog.jsonl";
    test::TestApp app;
};

TEST_F(LastCleanWindowTest, ShowsTheLastCleanSearchesAsTypedAndCopiesTheRowsShown) {
    ASSERT_EQ(CleanLogPath(), log) << "the log of the test's own folder";
    Log(Record("auto", kLists, kTotals) + Record("tray", kLists, kTotals));
    ShowLastCleanWindow(app.ctx);
    Pump();
    ASSERT_TRUE(Window());
    EXPECT_TRUE(::IsWindowVisible(Window()));
    EXPECT_EQ(Rows(), 4);
    const std::wstring summary = Text(Control(kLastCleanSummaryId));
    EXPECT_NE(summary.find(L" \x2014 From The Tray Menu \x2014 " + FormatThousands(1234) +
                           L" Files, 1 Folder, 12.0 MB Freed, 8 Cookies; 3 Kept, 0 Refused, 1 Failed, 1 At Restart"),
              std::wstring::npos)
        << NarrowUtf8(summary);
    EXPECT_EQ(Text(Control(kLastCleanLeftOutId)), L"2 More Items Were Not Recorded.");

    // Tab order: search, list, Copy, Close.
    const auto pump = [&](DWORD milliseconds) { Pump(milliseconds); };
    EXPECT_EQ(test::TabCycle(Window(), pump),
              (std::vector<HWND>{Control(kLastCleanSearchId), Control(kLastCleanListId), Control(kLastCleanCopyId),
                                 Control(IDCANCEL)}));

    const std::wstring header = L"What\tKind\tSize\tItem\tWhy\r\n";
    Type(L"NEWS.ex");
    EXPECT_EQ(Rows(), 1) << "any column, any case";
    ::SendMessageW(Control(kLastCleanCopyId), BM_CLICK, 0, 0);
    EXPECT_EQ(Clipboard(), header + L"Kept\tCookies\t\tC:\\cookies.txt  news.example  id\tKept cookie\r\n");
    Type(L"zzz");
    EXPECT_EQ(Rows(), 0);
    ::SetWindowTextW(Control(kLastCleanSearchId), L"");
    Pump();
    EXPECT_EQ(Rows(), 4);
    ::SendMessageW(Control(kLastCleanCopyId), BM_CLICK, 0, 0);
    EXPECT_EQ(Clipboard(), header + L"Removed\tTemp\t1.5 KB\tC:\\Temp\\a.tmp\t\r\n" +
                               L"Kept\tCookies\t\tC:\\cookies.txt  news.example  id\tKept cookie\r\n" +
                               L"Failed\tTemp\t\tC:\\Temp\\b.tmp\tAccess is denied.\r\n" +
                               L"At Restart\tRestart\t\tC:\\x.dll\tDeleted At Restart\r\n");

    // From the tray, again: the same window, read afresh.
    const HWND first = Window();
    Log(Record("hotkey", R"("removed":[],"kept":[],"refused":[],"failed":[],"scheduled":[])", kTotals));
    cP_Click(app.ctx, L"Last Clean...");
    Pump();
    EXPECT_EQ(Window(), first);
    EXPECT_NE(Text(Control(kLastCleanSummaryId)).find(L"From The Hot Key"), std::wstring::npos);
    EXPECT_EQ(Rows(), 0);

    ::SetFocus(Control(kLastCleanListId));
    test::PressKey(VK_ESCAPE, pump);
    EXPECT_FALSE(Window()) << "Esc closes it";
}

TEST_F(LastCleanWindowTest, WithoutAReadableLastCleanSaysNoneWasRecorded) {
    Log("{\"program\":\"Quillmere\"}\n");  // what the reader refuses is its own table's
    ShowLastCleanWindow(app.ctx);
    Pump();
    EXPECT_EQ(Text(Control(kLastCleanSummaryId)), kNoCleanRecorded);
    EXPECT_EQ(Text(Control(kLastCleanLeftOutId)), L"");
    EXPECT_EQ(Rows(), 0);
}

}  // namespace
}  // namespace qm
