#include "clean/restart_operations.h"
#include "cookies/discovery.h"

#include <gtest/gtest.h>

#include <cstring>

#include "clean/clean_dat.h"
#include "clean/clean_kinds.h"
#include "clean/search_delete.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/pending_fixtures.h"

namespace qm {
namespace {

using namespace std::string_literals;
using test::ScopedPendingOperations;
using test::ScratchRegistry;

std::vector<BYTE> Bytes(const std::wstring& characters) {
    std::vector<BYTE> bytes(characters.size() * sizeof(wchar_t));
    if (!bytes.empty()) std::memcpy(bytes.data(), characters.data(), bytes.size());
    return bytes;
}

std::wstring Stored() {
    const auto value = ScopedPendingOperations::Read();
    return value ? value->Wide() : L"<absent>";
}

// ---- Reading the system's list -----------------------------------------------------------

TEST(PendingList, ReadsPairsAndRefusesWhatItCannotReadExactly) {
    const auto good = ParsePendingList(REG_MULTI_SZ, Bytes(test::OtherProgramsPending()));
    ASSERT_TRUE(good.has_value());
    ASSERT_EQ(good->entries.size(), 3u);
    EXPECT_EQ(good->entries[0].pair.source, L"\\??\\C:\\Other\\update.tmp");
    EXPECT_EQ(good->entries[0].pair.destination, L"");
    EXPECT_EQ(good->entries[1].pair.destination, L"!\\??\\C:\\Other\\old.dll");
    EXPECT_EQ(good->entries[2].pair.source, L"\\??\\C:\\Andere\\\u00DCbung \u6F22\u5B57.txt");
    EXPECT_TRUE(ParsePendingList(REG_MULTI_SZ, {})->entries.empty());
    EXPECT_TRUE(ParsePendingList(REG_MULTI_SZ, Bytes(L"\0"s))->entries.empty());

    struct Bad {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
    } bad[] = {
        {"wrong type", REG_SZ, Bytes(L"\\??\\C:\\a\0\0\0"s)},
        {"odd length", REG_MULTI_SZ, {'a', 0, 0}},
        {"no closing terminator", REG_MULTI_SZ, Bytes(L"\\??\\C:\\a\0\\??\\C:\\b"s)},
        {"odd number of strings", REG_MULTI_SZ, Bytes(L"\\??\\C:\\a\0\0"s)},
        {"pair without a source", REG_MULTI_SZ, Bytes(L"\0\0\0"s)},
    };
    for (const auto& one : bad) EXPECT_FALSE(ParsePendingList(one.type, one.bytes).has_value()) << one.what;
}

TEST(PendingList, SystemPathForms) {
    EXPECT_EQ(SystemPathForm(L"C:\\x\\index.dat"), L"\\??\\C:\\x\\index.dat");
    EXPECT_EQ(SystemPathForm(L"\\\\?\\C:\\x."), L"\\??\\C:\\x.");
    EXPECT_EQ(SystemPathForm(L"\\\\server\\share\\x"), L"\\??\\UNC\\server\\share\\x");
    EXPECT_EQ(SystemPathForm(L"\\\\?\\UNC\\server\\share\\x"), L"\\??\\UNC\\server\\share\\x");
}

// ---- Scheduling and withdrawing on the NT family -----------------------------------------

class RestartTest : public ::testing::Test {
protected:
    ScratchRegistry registry;
    ScopedPendingOperations pending;
    test::TempFolder folder{L"restart"};
    test::TestApp app;

    std::wstring File(const std::wstring& name) {
        const std::wstring path = folder / name;
        test::WriteBytes(path, "x");
        return path;
    }
    static std::wstring DeletePair(const std::wstring& path) { return SystemPathForm(path) + L'\0' + L'\0'; }
};

TEST_F(RestartTest, AddsEachPairOnceAfterOtherProgramsEntriesAndWithdrawsExactlyIt) {
    const std::wstring others = test::OtherProgramsPending();
    ScopedPendingOperations::Write(others);
    const std::wstring locked = File(L"index.dat");
    const std::wstring copy = File(L"old.txt");

    EXPECT_EQ(ScheduleAtRestart(locked), Scheduled::Added);
    EXPECT_EQ(ScheduleAtRestart(copy, locked), Scheduled::Added);
    EXPECT_EQ(ScheduleAtRestart(locked), Scheduled::AlreadyThere);
    EXPECT_EQ(ScheduleAtRestart(copy, locked), Scheduled::AlreadyThere);
    const std::wstring ours = DeletePair(locked) + SystemPathForm(copy) + L'\0' + L"!" + SystemPathForm(locked) + L'\0';
    EXPECT_EQ(Stored(), others.substr(0, others.size() - 1) + ours + L'\0');
    ASSERT_EQ(OwnRestartPairs().size(), 2u);

    // Another program schedules the very same delete after us: one of the two stays.
    const std::wstring withTwin = Stored().substr(0, Stored().size() - 1) + DeletePair(locked) + L'\0';
    ScopedPendingOperations::Write(withTwin);
    EXPECT_TRUE(WithdrawOwnRestartOperations());
    EXPECT_EQ(Stored(), others.substr(0, others.size() - 1) + DeletePair(locked) + L'\0');
    EXPECT_EQ(ScopedPendingOperations::Read()->type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_TRUE(OwnRestartPairs().empty());
}

TEST_F(RestartTest, ValueIsDeletedWhenOnlyOurPairsWereThereAndForgottenWhenCarriedOut) {
    EXPECT_EQ(ScheduleAtRestart(File(L"a.dat")), Scheduled::Added);
    EXPECT_TRUE(WithdrawOwnRestartOperations());
    EXPECT_EQ(Stored(), L"<absent>");

    // The restart carried it out: the record goes, the list is not written.
    EXPECT_EQ(ScheduleAtRestart(File(L"b.dat")), Scheduled::Added);
    ScopedPendingOperations::Write(test::OtherProgramsPending());
    EXPECT_TRUE(WithdrawOwnRestartOperations());
    EXPECT_EQ(Stored(), test::OtherProgramsPending());
    EXPECT_TRUE(OwnRestartPairs().empty());
}

TEST_F(RestartTest, PairsTheRestartCarriedOutAreForgottenBeforeAnotherProgramReusesThem) {
    const std::wstring others = test::OtherProgramsPending();
    const std::wstring body = others.substr(0, others.size() - 1);
    for (const bool atStart : {true, false}) {
        const char* when = atStart ? "at start" : "before recording";
        const std::wstring done = File(L"done.dat"), waiting = File(L"waiting.dat");
        ASSERT_EQ(ScheduleAtRestart(done), Scheduled::Added) << when;
        ASSERT_EQ(ScheduleAtRestart(waiting), Scheduled::Added) << when;
        // The restart carried out "done" only; later another program schedules the same pair.
        ScopedPendingOperations::Write(body + DeletePair(waiting) + L'\0');
        if (atStart) EXPECT_TRUE(ForgetCarriedOutRestartOperations());
        else EXPECT_EQ(ScheduleAtRestart(File(L"new.dat")), Scheduled::Added);
        for (const auto& pair : OwnRestartPairs()) EXPECT_NE(pair.source, SystemPathForm(done)) << when;
        EXPECT_EQ(OwnRestartPairs().size(), atStart ? 1u : 2u) << when;
        const std::wstring now = Stored();
        ScopedPendingOperations::Write(now.substr(0, now.size() - 1) + DeletePair(done) + L'\0');

        EXPECT_TRUE(WithdrawOwnRestartOperations()) << when;
        EXPECT_EQ(Stored(), body + DeletePair(done) + L'\0') << when << ": the other program's pair stays";
        ScopedPendingOperations::Remove();
    }
}

TEST_F(RestartTest, WithdrawTakesOurPairNotAnotherProgramsPairWithTheSameSource) {
    const std::wstring source = File(L"old.txt"), index = File(L"index.dat"), elsewhere = File(L"other.dat");
    struct Case {
        const char* what;
        std::wstring ours, theirs;  // destinations
    } cases[] = {
        {"we move, they delete", index, L""},
        {"we delete, they move", L"", elsewhere},
        {"we move, they move elsewhere", index, elsewhere},
    };
    for (const auto& one : cases) {
        const auto destination = [](const std::wstring& path) { return path.empty() ? path : L"!" + SystemPathForm(path); };
        const std::wstring theirs = SystemPathForm(source) + L'\0' + destination(one.theirs) + L'\0';
        ScopedPendingOperations::Write(theirs + L'\0');  // theirs comes first
        ASSERT_EQ(ScheduleAtRestart(source, one.ours), Scheduled::Added) << one.what;
        EXPECT_TRUE(WithdrawOwnRestartOperations()) << one.what;
        EXPECT_EQ(Stored(), theirs + L'\0') << one.what;
    }
}

TEST_F(RestartTest, SkipsWhatCannotBeMeantAndNeverTouchesAMalformedList) {
    EXPECT_EQ(ScheduleAtRestart(folder / L"missing.dat"), Scheduled::Skipped);
    EXPECT_EQ(ScheduleAtRestart(L"relative\\index.dat"), Scheduled::Skipped);
    EXPECT_EQ(ScheduleAtRestart(L"C:index.dat"), Scheduled::Skipped);
    EXPECT_EQ(ScheduleAtRestart(folder.Path(), File(L"x.dat")), Scheduled::Skipped) << "a folder moved";
    EXPECT_EQ(Stored(), L"<absent>");

    const std::wstring malformed = L"\\??\\C:\\Other\\a\0\\??\\C:\\Other\\b"s;  // no terminators
    for (DWORD type : {DWORD(REG_MULTI_SZ), DWORD(REG_BINARY)}) {
        ScopedPendingOperations::Write(malformed, type);
        EXPECT_EQ(ScheduleAtRestart(File(L"index.dat")), Scheduled::Failed);
        EXPECT_EQ(Stored(), malformed);
        EXPECT_EQ(ScopedPendingOperations::Read()->type, type);
    }
    // A recorded pair with a malformed list: nothing is written, the record stays.
    ScopedPendingOperations::Remove();
    ASSERT_EQ(ScheduleAtRestart(File(L"index.dat")), Scheduled::Added);
    ScopedPendingOperations::Write(malformed);
    EXPECT_FALSE(WithdrawOwnRestartOperations());
    EXPECT_EQ(Stored(), malformed);
    EXPECT_EQ(OwnRestartPairs().size(), 1u);
}

void Remember(const wchar_t* name, const std::wstring& folder) {
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, name, folder + L"\\");
}

// A folder as discovery lists it: a cookie store in cboLoc, a cache folder in cache.
void List(AppContext& ctx, IeList list, const std::wstring& folder, std::int32_t kind = 0) {
    ListModel& model = list == IeList::CookieStores ? ctx.frmMain.cboLoc : ctx.frmMain.cache;
    const int index = model.AddItem(folder + L"\\");
    model.SetItemData(index, kind != 0 ? kind : list == IeList::CookieStores ? kKindIeShellCookies : kKindIeShellCache);
}

// Only a folder that discovery lists as an Internet Explorer store gets its pairs: a setting
// that names a folder of documents (or one listed for another browser) gets nothing.
TEST_F(RestartTest, AddCleanDatSchedulesTheListedIndexFilesOnceAndWithdrawCleanDatTakesThemBack) {
    const std::wstring cache = folder / L"Cache", cookies = folder / L"Cookies", documents = folder / L"Documents";
    for (const auto& store : {cache, cookies, documents}) {
        test::MakeFolder(store);
        test::WriteBytes(store + L"\\index.dat", "i");
        test::WriteBytes(store + L"\\old.txt", "o");
    }
    Remember(L"MSTIF", cache);
    Remember(L"MSCookie", cookies);
    Remember(L"MSTIFIE5", documents);
    Remember(L"MSCookieLow", cookies);  // honoured on Vista only
    List(app.ctx, IeList::Caches, cache);
    List(app.ctx, IeList::CookieStores, cookies);
    List(app.ctx, IeList::Caches, documents, kKindNetscapeDirRoot);
    ScopedPendingOperations::Write(test::OtherProgramsPending());

    AddCleanDat(app.ctx);
    AddCleanDat(app.ctx);
    const std::wstring others = test::OtherProgramsPending();
    const std::wstring ours = DeletePair(cache + L"\\index.dat") + SystemPathForm(cookies + L"\\old.txt") + L'\0' +
                              L"!" + SystemPathForm(cookies + L"\\index.dat") + L'\0';
    EXPECT_EQ(Stored(), others.substr(0, others.size() - 1) + ours + L'\0');
    EXPECT_TRUE(app.ctx.restart.restartPending);
    EXPECT_TRUE(app.dialogs.messages.empty());

    WithdrawCleanDat(app.ctx);
    EXPECT_EQ(Stored(), others);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(RestartTest, FailureToScheduleIsSaidInWords) {
    const std::wstring cache = folder / L"Cache";
    test::MakeFolder(cache);
    test::WriteBytes(cache + L"\\index.dat", "i");
    Remember(L"MSTIF", cache);
    List(app.ctx, IeList::Caches, cache);
    ScopedPendingOperations::Write(L"x"s, REG_SZ);  // the system's list cannot be read exactly

    AddCleanDat(app.ctx);
    EXPECT_FALSE(app.ctx.restart.restartPending);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, kNotScheduledText);
    EXPECT_EQ(app.dialogs.Last().title, kTitleInformation);
    EXPECT_EQ(Stored(), L"x");
}

// ---- Wininit.ini (Windows 9x/ME) -----------------------------------------------------------

TEST(WininitText, LinesGoIntoTheRenameSectionOnly) {
    const std::vector<std::string> ours = {"Nul=C:\\WINDOWS\\TEMPOR~1\\index.dat", "C:\\A\\index.dat=C:\\A\\old.txt"};
    struct Case {
        const char* what;
        std::string before, after;
    } cases[] = {
        {"new file", "", "[rename]\r\nNul=C:\\WINDOWS\\TEMPOR~1\\index.dat\r\nC:\\A\\index.dat=C:\\A\\old.txt\r\n"},
        {"no section, no final line break", "[other]\r\nx=1",
         "[other]\r\nx=1\r\n[rename]\r\nNul=C:\\WINDOWS\\TEMPOR~1\\index.dat\r\nC:\\A\\index.dat=C:\\A\\old.txt\r\n"},
        {"section followed by another program's section",
         "[Rename]\r\nNUL=C:\\OTHER.TMP\r\n\r\n[setup]\r\na=b\r\n",
         "[Rename]\r\nNUL=C:\\OTHER.TMP\r\nNul=C:\\WINDOWS\\TEMPOR~1\\index.dat\r\nC:\\A\\index.dat=C:\\A\\old.txt\r\n\r\n"
         "[setup]\r\na=b\r\n"},
        {"one line already there in another letter case", "[rename]\nnul=c:\\windows\\tempor~1\\INDEX.DAT",
         "[rename]\nnul=c:\\windows\\tempor~1\\INDEX.DAT\r\nC:\\A\\index.dat=C:\\A\\old.txt\r\n"},
    };
    for (const auto& one : cases) {
        std::vector<std::string> added;
        const std::string after = WithRenameLines(one.before, ours, added);
        EXPECT_EQ(after, one.after) << one.what;
        std::vector<std::string> again;
        EXPECT_EQ(WithRenameLines(after, ours, again), after) << one.what;
        EXPECT_TRUE(again.empty()) << one.what;
    }
    EXPECT_EQ(WithoutRenameLines("[setup]\r\nNul=X\r\n[rename]\r\nNUL=C:\\OTHER.TMP\r\nNul=X\r\nNul=X\r\n", {"Nul=X"}),
              "[setup]\r\nNul=X\r\n[rename]\r\nNUL=C:\\OTHER.TMP\r\nNul=X\r\n");
}

TEST_F(RestartTest, Windows9xWritesWininitInTheGivenWindowsFolderAndWithdrawsItsLines) {
    FixedOsVersion win98{FixedOsVersion::Windows98SE()};
    test::TestApp nine;
    AppContext ctx98{nine.dialogs, win98, nine.pump, nine.ui};
    const std::wstring windows = folder / L"WINDOWS", cache = folder / L"Cache";
    test::MakeFolder(windows);
    test::MakeFolder(cache);
    test::WriteBytes(cache + L"\\index.dat", "i");
    Remember(L"MSTIF", cache);
    Remember(L"MSCookie", folder / L"NoSuchFolder");
    List(ctx98, IeList::Caches, cache);
    List(ctx98, IeList::CookieStores, folder / L"NoSuchFolder");
    const std::string others = "[rename]\r\nNUL=C:\\OTHER.TMP\r\n[setup]\r\nx=1";
    test::WriteBytes(windows + L"\\Wininit.ini", others);

    AddCleanDat(ctx98, [&] { return windows; });
    AddCleanDat(ctx98, [&] { return windows; });
    const std::string line = "Nul=" + NarrowAnsi(QualifyPath(GetShortPath(cache))) + "index.dat";
    EXPECT_EQ(test::ReadBytes(windows + L"\\Wininit.ini"),
              "[rename]\r\nNUL=C:\\OTHER.TMP\r\n" + line + "\r\n[setup]\r\nx=1");
    EXPECT_TRUE(ctx98.restart.restartPending);
    EXPECT_EQ(Stored(), L"<absent>") << "no NT operations on 9x";

    WithdrawCleanDat(ctx98);
    EXPECT_EQ(test::ReadBytes(windows + L"\\Wininit.ini"), "[rename]\r\nNUL=C:\\OTHER.TMP\r\n[setup]\r\nx=1");

    AddCleanDat(ctx98, [] { return std::wstring(); });
    ASSERT_EQ(nine.dialogs.messages.size(), 1u);
    EXPECT_EQ(nine.dialogs.Last().text, kNoWindowsFolderText);
    EXPECT_EQ(nine.dialogs.Last().title, kTitleInformation);
}

}  // namespace
}  // namespace qm
