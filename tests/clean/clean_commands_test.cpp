#include "clean/clean_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <optional>
#include <thread>

#include "clean/clean_dat.h"
#include "clean/clean_lock.h"
#include "clean/restart_operations.h"
#include "cookies/discovery.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/pending_fixtures.h"

namespace qm {
namespace {

using test::ScratchRegistry;

const std::wstring kCrLfText = L"\r\n";

class CleanCommandsTest : public ::testing::Test {
protected:
    CleanCommandsTest() : tempVariable(L"Temp", temp.Path()) {
        form().form.SetVisible(true);
        form().form.Move(1200, 900);
    }
    MainFormModel& form() { return app.ctx.frmMain; }
    const MessageBoxRequest& Question() { return app.dialogs.messages.at(0); }

    ScratchRegistry registry;
    test::TempFolder temp{L"qm-commands"};
    test::ScopedEnv tempVariable;
    test::TestApp app;
};

TEST_F(CleanCommandsTest, CleanInternetAsksByBrowserKind) {
    const struct {
        std::int32_t kind;
        std::wstring name;
    } cases[] = {{0x1003, L"Microsoft"}, {0x2005, L"Netscape"}, {0x4001, L"FireFox"}, {0x8000, L""}};
    for (const auto& c : cases) {
        test::TestApp local;
        local.ctx.frmMain.cache.AddItem(L"C:\\cache\\");
        local.ctx.frmMain.cache.SetItemData(0, c.kind);
        local.ctx.frmMain.cache.SetListIndex(0);
        local.dialogs.answers = {IDNO};
        Command1_Click(local.ctx);
        ASSERT_EQ(local.dialogs.messages.size(), 1u);
        EXPECT_EQ(local.dialogs.Last().text, L"You Are About To Clean Your " + c.name + L" Internet Files" + kCrLfText +
                                                 kCrLfText + L"             Do You Want To Continue?");
        EXPECT_EQ(local.dialogs.Last().title, L"Dorvik Info.....");
        EXPECT_EQ(local.dialogs.Last().style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }
}

TEST_F(CleanCommandsTest, CleanInternetRefusedStillResetsTheCount) {
    app.ctx.CleanCount = 9;
    app.dialogs.answers = {IDNO};
    Command1_Click(app.ctx);
    EXPECT_EQ(app.ctx.CleanCount, 0);
    EXPECT_TRUE(form().form.Visible());
    EXPECT_TRUE(app.ui.calls.empty());
    EXPECT_EQ(app.pump.events, 0);
}

TEST_F(CleanCommandsTest, CleanInternetAcceptedRunsItsStepsInOrder) {
    form().cache.AddItem(L"C:\\cache\\");
    form().cache.SetItemData(0, 0x1005);
    form().cache.SetListIndex(0);
    bool hiddenWhileAsking = false;
    app.dialogs.onMessage = [&](const MessageBoxRequest&) { hiddenWhileAsking = !form().form.Visible(); };

    Command1_Click(app.ctx);

    EXPECT_TRUE(hiddenWhileAsking);
    EXPECT_EQ(app.pump.events, 25);
    EXPECT_EQ(app.pump.sleepCalls, std::vector<DWORD>(25, 10));
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"ShowfrmCount Form3 0", L"SetCacheList", L"ShowCount frmMain 1"}));
}

TEST_F(CleanCommandsTest, CleanTempAsksThenCleansTheTempFolder) {
    test::WriteBytes(temp / L"a.tmp", "a");
    test::WriteBytes(temp / L"b.tmp", "b");
    app.ctx.CleanCount = 5;

    Command3_Click(app.ctx);

    EXPECT_EQ(Question().text, L"You Are About To Clean Your Temp Files" + kCrLfText + kCrLfText +
                                   L"          Do You Want To Continue?");
    EXPECT_EQ(Question().style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_GE(app.pump.events, 25);  // the settle pause; the clean lets messages run too
    EXPECT_EQ(app.ui.calls,
              (std::vector<std::wstring>{L"ShowfrmCount Form3 0", L"ShowCount frmMain 1"}));
    EXPECT_EQ(app.ctx.CleanCount, 2);
    EXPECT_FALSE(test::PathExists(temp / L"a.tmp"));
    EXPECT_EQ(form().List2.ListCount(), 0);
}

TEST_F(CleanCommandsTest, CleanTempRefusedTouchesNothing) {
    test::WriteBytes(temp / L"a.tmp", "a");
    app.ctx.CleanCount = 5;
    app.dialogs.answers = {IDNO};

    Command3_Click(app.ctx);

    EXPECT_EQ(app.ctx.CleanCount, 5);
    EXPECT_TRUE(test::PathExists(temp / L"a.tmp"));
    EXPECT_TRUE(form().form.Visible());
    EXPECT_TRUE(app.ui.calls.empty());
}

TEST_F(CleanCommandsTest, CleanCookiesAsksWithOkCancelUnderTheInformationTitle) {
    form().currentKind = 0x1003;
    app.dialogs.answers = {IDCANCEL};
    app.ctx.CleanCount = 4;

    Command8_Click(app.ctx);

    EXPECT_EQ(Question().text, L"You Are About To Clean All Your Cookies!" + kCrLfText + kCrLfText +
                                   L"       Do You Wish To Continue?");
    EXPECT_EQ(Question().title, L"Dorvik Quillmere Information");
    EXPECT_EQ(Question().style, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(form().currentKind, 0);
    EXPECT_EQ(app.ctx.CleanCount, 4);
    EXPECT_TRUE(form().form.Visible());
}

TEST_F(CleanCommandsTest, CleanCookiesAcceptedSettlesTenRounds) {
    Command8_Click(app.ctx);
    // Ten settle rounds of 10 ms each (the clean itself lets messages through as well).
    EXPECT_EQ(std::count(app.pump.sleepCalls.begin(), app.pump.sleepCalls.end(), DWORD{10}), 10);
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"ShowfrmCount Form3 0", L"ShowCount frmMain 1"}));
}

TEST_F(CleanCommandsTest, CleanUserFoldersClearsWorkListsWhateverTheAnswer) {
    form().List6.AddItem(L"x");
    form().List7.AddItem(L"y");
    app.dialogs.answers = {IDNO};

    Command15_Click(app.ctx);

    EXPECT_EQ(Question().text, L"You Are About To Clean Your User Folders" + kCrLfText + kCrLfText +
                                   L"          Do You Want To Continue?");
    EXPECT_EQ(Question().style, static_cast<UINT>(MB_YESNO | MB_ICONSTOP));
    EXPECT_EQ(form().List6.ListCount(), 0);
    EXPECT_EQ(form().List7.ListCount(), 0);
    EXPECT_EQ(form().form.Top(), 0);
    EXPECT_EQ(form().form.Left(), 0);
    EXPECT_TRUE(form().form.Visible());
}

TEST_F(CleanCommandsTest, CleanUserFoldersEmptiesTheListedFolders) {
    test::TempFolder mine(L"qm-user");
    test::WriteBytes(mine / L"notes.txt", "x");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", mine.Path());
    app.ctx.CleanCount = 7;

    Command15_Click(app.ctx);

    EXPECT_GE(app.pump.events, 10);  // the settle pause; the clean lets messages run too
    EXPECT_EQ(app.ctx.CleanCount, 1);
    EXPECT_FALSE(test::PathExists(mine / L"notes.txt"));
    EXPECT_TRUE(test::PathExists(mine.Path()));
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"ShowfrmCount Form3 0", L"ShowCount frmMain 1"}));
}

TEST_F(CleanCommandsTest, AutoCleanWithOnlyDatFilesSelectedCleansNothing) {
    form().Check7.SetValue(1);
    test::WriteBytes(temp / L"a.tmp", "a");

    Command5_Click(app.ctx);

    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(Question().text, L"You Have Not Selected Any Files To Be Cleaned!");
    EXPECT_EQ(Question().style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(form().form.Visible());
    EXPECT_TRUE(test::PathExists(temp / L"a.tmp"));
}

TEST_F(CleanCommandsTest, AutoCleanListsTheCheckedKindsWithBlankLinesForTheOthers) {
    form().Check1.SetValue(1);
    form().Check2.SetValue(1);
    app.dialogs.answers = {IDNO};

    Command5_Click(app.ctx);

    const std::wstring pad(20, L' ');
    const std::wstring blank = pad + kCrLfText + kCrLfText;
    EXPECT_EQ(Question().text, L"You Are About To Clean The Following Folders " + kCrLfText + kCrLfText + pad +
                                   L"Internet" + kCrLfText + kCrLfText + pad + L"Temp" + kCrLfText + kCrLfText +
                                   blank + blank + blank + L"          Do You Want To Continue?");
    EXPECT_TRUE(app.ui.calls.empty());
    EXPECT_EQ(app.pump.events, 0);
}

TEST_F(CleanCommandsTest, AutoCleanRunsTheCheckedKindsInOneRun) {
    form().Check2.SetValue(1);
    form().Check5.SetValue(1);
    form().List6.AddItem(L"stale");
    test::WriteBytes(temp / L"a.tmp", "a");
    test::TempFolder mine(L"qm-user");
    test::WriteBytes(mine / L"b.txt", "b");
    ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", mine.Path());

    Command5_Click(app.ctx);

    EXPECT_EQ(app.ctx.CleanCount, 2);
    EXPECT_FALSE(test::PathExists(temp / L"a.tmp"));
    EXPECT_FALSE(test::PathExists(mine / L"b.txt"));
    EXPECT_EQ(form().List6.ListCount(), 0);
    EXPECT_EQ(app.ui.calls, (std::vector<std::wstring>{L"ShowfrmCount Form3 0", L"ShowCount frmMain 1"}));
    // A step of a combined run shows no messages of its own.
    EXPECT_EQ(app.dialogs.messages.size(), 1u);
}

TEST_F(CleanCommandsTest, ButtonsOfTheFormModelRunTheirCommands) {
    BindCleanCommands(app.ctx);
    app.dialogs.answers = {IDNO};
    form().Command3.Click();
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_NE(Question().text.find(L"Temp Files"), std::wstring::npos);
}

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Internet Explorer's cache and cookie folders as the shell folders name them, so discovery
// lists them; and a folder of documents that only a setting names.
struct IeFolders {
    test::TempFolder root{L"qm-tidy"};
    std::wstring cache = root / L"Temporary Internet Files", cookies = root / L"Cookies",
                 low = root / L"Cookies\\Low", documents = root / L"Documents";
    IeFolders() {
        for (const auto& folder : {cache, cookies, low, documents}) test::MakeFolder(folder);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kShellFolders, L"Cache", cache);
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kShellFolders, L"Cookies", cookies);
    }
    static void Remember(const wchar_t* name, const std::wstring& folder) {
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, name, folder + L"\\");
    }
};

TEST(CleanUp, RemovesOldCopiesOnlyFromTheStoresDiscoveryLists) {
    ScratchRegistry registry;
    IeFolders ie;
    for (const auto& folder : {ie.cache, ie.cookies, ie.low, ie.documents})
        test::WriteBytes(folder + L"\\old.txt", "old index");
    test::WriteBytes(ie.cookies + L"\\keep.txt", "cookie");
    ::SetFileAttributesW((ie.cache + L"\\old.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    IeFolders::Remember(L"MSTIF", ie.cache);
    IeFolders::Remember(L"MSCookie", ie.cookies);
    IeFolders::Remember(L"MSCookieLow", ie.low);
    IeFolders::Remember(L"MSTIFIE5", ie.documents);  // a setting naming a folder of the user's

    test::TestApp app;  // a Windows 10 record: the low-integrity folder is not looked at
    CleanUp(app.ctx);
    EXPECT_FALSE(test::PathExists(ie.cache + L"\\old.txt"));
    EXPECT_FALSE(test::PathExists(ie.cookies + L"\\old.txt"));
    EXPECT_TRUE(test::PathExists(ie.cookies + L"\\keep.txt"));
    EXPECT_TRUE(test::PathExists(ie.low + L"\\old.txt"));
    EXPECT_EQ(test::ReadBytes(ie.documents + L"\\old.txt"), "old index");

    test::TestApp vista;
    FixedOsVersion vistaRecord{FixedOsVersion::WindowsVista()};
    AppContext vistaCtx(vista.dialogs, vistaRecord, vista.pump, vista.ui);
    CleanUp(vistaCtx);
    EXPECT_FALSE(test::PathExists(ie.low + L"\\old.txt"));
    EXPECT_EQ(test::ReadBytes(ie.documents + L"\\old.txt"), "old index");
    EXPECT_TRUE(vista.dialogs.messages.empty());
}

TEST(CleanUp, WaitsItsTurnWhileAnotherCleanHoldsTheLock) {
    ScratchRegistry registry;
    IeFolders ie;
    test::WriteBytes(ie.cookies + L"\\old.txt", "old index");
    IeFolders::Remember(L"MSCookie", ie.cookies);
    test::TestApp app;
    {
        // Another clean: a thread that holds the lock until told (a mutex is held per thread,
        // and one whose thread ends is free again).
        std::promise<bool> taken;
        std::promise<void> release;
        std::thread other([&] {
            const std::optional<CleanLock> lock = CleanLock::Acquire();
            taken.set_value(lock.has_value());
            release.get_future().wait();
        });
        const bool held = taken.get_future().get();
        if (held) CleanUp(app.ctx);
        release.set_value();
        other.join();
        ASSERT_TRUE(held);
        EXPECT_TRUE(test::PathExists(ie.cookies + L"\\old.txt")) << "the next start does it";
    }
    CleanUp(app.ctx);
    EXPECT_FALSE(test::PathExists(ie.cookies + L"\\old.txt"));
}

TEST(CleanUp, KeepsAnOldCopyWhileItsRecordedMoveIsPending) {
    for (const bool nineX : {false, true}) {
        SCOPED_TRACE(nineX ? "Windows 98: Wininit.ini" : "Windows 10: the system's list");
        ScratchRegistry registry;
        test::ScopedPendingOperations pending;
        IeFolders ie;
        test::TempFolder windows(L"qm-windows");
        test::WriteBytes(ie.cookies + L"\\old.txt", "old index");
        test::WriteBytes(ie.cookies + L"\\index.dat", "index");
        IeFolders::Remember(L"MSCookie", ie.cookies);
        test::TestApp app;
        FixedOsVersion win98{FixedOsVersion::Windows98SE()};
        AppContext ctx98(app.dialogs, win98, app.pump, app.ui);
        AppContext& ctx = nineX ? ctx98 : app.ctx;
        InitLoc(ctx);
        AddCleanDat(ctx, [&] { return windows.Path(); });  // old.txt is to replace index.dat

        CleanUp(ctx);
        EXPECT_TRUE(test::PathExists(ie.cookies + L"\\old.txt"));
        // The restart carried the move out (here: the system's list or Wininit.ini no longer holds it).
        test::ScopedPendingOperations::Remove();
        ::DeleteFileW((windows / L"Wininit.ini").c_str());
        CleanUp(ctx);
        EXPECT_FALSE(test::PathExists(ie.cookies + L"\\old.txt"));
        EXPECT_TRUE(OwnRestartPairs().empty());
        EXPECT_TRUE(app.dialogs.messages.empty());
    }
}

TEST(CleanUp, NothingRememberedDoesNothingAndReportsNothing) {
    ScratchRegistry registry;
    test::TestApp app;
    CleanUp(app.ctx);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

}  // namespace
}  // namespace qm
