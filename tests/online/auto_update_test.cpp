// The update check and download with the web seam answered by the test: every outcome's
// message, the notice, the confirmation, the hash, the Temp folder of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "clean/run_state.h"
#include "base/handles.h"
#include "base/text.h"
#include "online/auto_update.h"
#include "online/check_progress.h"
#include "online/installer_check.h"
#include "online/update_notice.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "support/doubles.h"
#include "support/fake_web.h"
#include "support/fixtures.h"

namespace qm {
namespace {

const std::string kInstaller = "installer bytes";
const std::string kSomeHash(64, 'a');  // where no download follows

std::string VersionFile(const std::string& version, const std::string& hash) {
    return "\"Quillmere\",\"" + version + "\",\"" + hash + "\"\r\n";
}

class UpdateTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TestApp app;
    std::shared_ptr<test::FakeWeb> sharedWeb = std::make_shared<test::FakeWeb>();
    test::FakeWeb& web = *sharedWeb;
    test::TempFolder temp{L"qm-update-temp"};
    test::ScopedEnv tmp{L"TMP", temp.Path()}, tempVariable{L"TEMP", temp.Path()};
    std::vector<std::pair<std::wstring, std::wstring>> started;
    std::string realHash;

    void SetUp() override {
        app.ctx.web = sharedWeb;
        web.answering = {ConfiguredWebSite().HomePage()};
        app.ctx.update.startInstaller = [&](const std::wstring& installer, const std::wstring& arguments) {
            started.emplace_back(installer, arguments);
            return true;
        };
        // The hash the version file must name: that of the bytes served as the installer.
        const std::wstring probe = temp / L"probe.bin";
        test::WriteBytes(probe, kInstaller);
        realHash = HashOf(probe);
        ::DeleteFileW(probe.c_str());
    }
    void TearDown() override { app.ctx.frmUpdate.reset(); }

    static std::string HashOf(const std::wstring& path);
    void Publish(const std::string& versionFile, WebStatus status = WebStatus::Ok, DWORD http = 200) {
        web.replies[ConfiguredWebSite().Url(kVersionFilePath)] = {status, http, versionFile};
    }
    void ServeInstaller(const std::string& bytes, WebStatus status = WebStatus::Ok) {
        web.replies[ConfiguredWebSite().Url(kInstallerPath)] = {status, 200, bytes};
    }
    std::optional<std::pair<std::wstring, std::wstring>> LastMessage() const {
        if (app.dialogs.messages.empty()) return std::nullopt;
        return std::make_pair(app.dialogs.Last().text, app.dialogs.Last().title);
    }
    bool NoticeShown() const { return ::FindWindowW(kUpdateNoticeClass, nullptr) != nullptr; }
    bool TempIsEmpty() const {
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW((temp.Path() + L"\\Quillmere-Update-*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return true;
        ::FindClose(search);
        return false;
    }
};

std::string UpdateTest::HashOf(const std::wstring& path) {
    const auto hash = FileSha256(path);
    std::string hex;
    for (unsigned byte : *hash) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

TEST_F(UpdateTest, EveryOutcomeOfACheckIsToldOnlyWhenTheUserAsked) {
    using Message = std::optional<std::pair<std::wstring, std::wstring>>;
    const Message notConnected{{kNotConnectedText, L"Dorvik AutoUpdate Program"}};
    const Message failed{{kVersionFileFailedText, L"Dorvik Quillmere AutoUpdate Program"}};
    const Message upToDate{{L" The Dorvik Quillmere Program Is Up-to-Date!", L"Dorvik Quillmere AutoUpdate Program"}};
    struct Case {
        const char* name;
        bool online;
        std::string versionFile;
        WebStatus status;
        Message manualMessage;
    };
    const Case cases[] = {
        {"off line", false, "", WebStatus::Ok, notConnected},
        {"404", true, "", WebStatus::HttpError, failed},
        {"untrusted server", true, "", WebStatus::Untrusted, failed},
        {"HTML page", true, "<html><body>Log in</body></html>", WebStatus::Ok, failed},
        {"empty", true, "", WebStatus::Ok, failed},
        {"huge", true, "", WebStatus::TooLarge, failed},
        {"no hash", true, "\"Quillmere\",\"5.0.1\"", WebStatus::Ok, failed},
        {"older", true, VersionFile("4.9.9", kSomeHash), WebStatus::Ok, upToDate},
        {"the same", true, VersionFile("5.0.0", kSomeHash), WebStatus::Ok, upToDate},
    };
    for (const Case& c : cases) {
        for (const bool manual : {true, false}) {
            app.dialogs.messages.clear();
            web.connected = c.online;
            web.answering.clear();
            if (c.online) web.answering.push_back(ConfiguredWebSite().HomePage());
            Publish(c.versionFile, c.status);
            EXPECT_FALSE(manual ? CheckForUpdate(app.ctx) : test::CheckAtStart(app.ctx)) << c.name;
            EXPECT_EQ(LastMessage(), manual ? c.manualMessage : std::nullopt) << c.name << (manual ? " manual" : "");
            EXPECT_FALSE(NoticeShown()) << c.name;
            EXPECT_FALSE(app.ctx.flags.manualUpdateCheck);
            EXPECT_FALSE(app.ctx.flags.updateAtStart);
        }
    }
}

TEST_F(UpdateTest, ANewerVersionIsOfferedInTheNotice) {
    Publish(VersionFile("10.0.0", realHash));
    EXPECT_TRUE(test::CheckAtStart(app.ctx));
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(app.ctx.update.offered.versionText, L"10.0.0");
    EXPECT_EQ(web.asked.back(), ConfiguredWebSite().Url(L"/Updates/QuillmerePaid/ver.txt"));
    EXPECT_TRUE(CheckForUpdate(app.ctx));
    int notices = 0;
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, kUpdateNoticeClass, nullptr));) ++notices;
    EXPECT_EQ(notices, 1);
}

// A site that keeps the check waiting: the progress shows with Cancel, and Cancel, Escape or
// Exit end the wait at once; the outcome that comes later is dropped.
TEST_F(UpdateTest, AManualCheckShowsItsProgressAndCancelOrExitEndItsWaitAtOnce) {
    static HWND progressSeen;
    static std::function<void()> endTheWait;
    const struct {
        const char* name;
        std::function<void()> end;
        bool exits;
    } cases[] = {
        {"Cancel", [] { ::SendMessageW(::GetDlgItem(progressSeen, IDCANCEL), BM_CLICK, 0, 0); }, false},
        {"close box", [] { ::SendMessageW(progressSeen, WM_CLOSE, 0, 0); }, false},
        {"Exit", [&] { RequestExit(app.ctx); }, true},
    };
    Publish(VersionFile("9.0.0", realHash));
    for (const auto& c : cases) {
        const UniqueKernelObject released(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        web.beforeAnswer = [gate = released.get()] { ::WaitForSingleObject(gate, INFINITE); };
        app.dialogs.messages.clear();
        app.ui.calls.clear();
        progressSeen = nullptr;
        endTheWait = c.end;
        // Runs inside the check's wait: looks at the progress, then ends the wait.
        ::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            progressSeen = ::FindWindowW(kCheckProgressClass, nullptr);
            if (progressSeen) endTheWait();
        });
        bool offered = true;
        RunExclusive(app.ctx, {L"test", L"menu"}, [&] { offered = CheckForUpdate(app.ctx); });

        ASSERT_NE(progressSeen, nullptr) << c.name;
        EXPECT_FALSE(offered) << c.name;
        EXPECT_FALSE(::IsWindow(progressSeen)) << c.name;
        EXPECT_EQ(app.ui.Called(L"UnloadMainForm"), c.exits) << c.name;
        ::SetEvent(released.get());  // the site answers after all
        test::PumpMessages(500);
        EXPECT_TRUE(app.dialogs.messages.empty()) << c.name;
        EXPECT_FALSE(NoticeShown()) << c.name;
    }
}

TEST_F(UpdateTest, AConfirmedUpdateWithTheRightHashStartsAndTheProgramEnds) {
    Publish(VersionFile("5.0.1", realHash));
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    ServeInstaller(kInstaller);
    app.dialogs.answers = {IDYES};
    GetUpdate(app.ctx);

    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_NE(app.dialogs.messages[0].text.find(L"Dorvik Quillmere 5.0.1"), std::wstring::npos);
    EXPECT_EQ(app.dialogs.messages[0].style & MB_YESNO, static_cast<UINT>(MB_YESNO));
    ASSERT_EQ(started.size(), 1u);
    const std::wstring& installer = started[0].first;
    EXPECT_EQ(installer.rfind(temp.Path() + L"\\Quillmere-Update-", 0), 0u) << "a folder of its own under Temp";
    EXPECT_TRUE(installer.ends_with(L"\\Update.exe"));
    EXPECT_EQ(test::ReadBytes(installer), kInstaller);
    EXPECT_EQ(started[0].second, L"/S /Update /WaitPid=" + std::to_wstring(::GetCurrentProcessId()));
    EXPECT_TRUE(app.ui.Called(L"UnloadMainForm"));
}

TEST_F(UpdateTest, NothingRunsUnlessConfirmedDownloadedWholeAndMatchingItsHash) {
    struct Case {
        const char* name;
        int answer;
        std::string served;
        WebStatus status;
        bool failureMessage;
    };
    const Case cases[] = {
        {"declined", IDNO, kInstaller, WebStatus::Ok, false},
        {"tampered", IDYES, "installer bytez", WebStatus::Ok, true},
        {"truncated", IDYES, "installer", WebStatus::Ok, true},
        {"404", IDYES, "", WebStatus::HttpError, true},
        {"too large", IDYES, "", WebStatus::TooLarge, true},
        {"stalled", IDYES, "", WebStatus::TimedOut, true},
    };
    Publish(VersionFile("5.0.1", realHash));
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    for (const Case& c : cases) {
        app.dialogs.messages.clear();
        app.dialogs.answers = {c.answer};
        ServeInstaller(c.served, c.status);
        GetUpdate(app.ctx);
        EXPECT_TRUE(started.empty()) << c.name;
        EXPECT_FALSE(app.ui.Called(L"UnloadMainForm")) << c.name;
        EXPECT_TRUE(TempIsEmpty()) << c.name << ": the download folder is removed";
        if (c.failureMessage) {
            EXPECT_EQ(LastMessage(), std::make_pair(std::wstring(kInstallerFailedText),
                                                    std::wstring(L"Dorvik Quillmere AutoUpdate Program")))
                << c.name;
        } else {
            EXPECT_EQ(app.dialogs.messages.size(), 1u) << c.name << ": only the question";
        }
    }
}

TEST_F(UpdateTest, ExitCancelsADownloadCleanly) {
    Publish(VersionFile("5.0.1", realHash));
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    ServeInstaller(kInstaller);
    app.dialogs.answers = {IDYES};
    // FakeWeb asks keepGoing once; Exit arrives as the program lets events in.
    web.beforeKeepGoing = [&] {
        EXPECT_TRUE(app.ctx.update.downloading);
        EXPECT_TRUE(RunActive(app.ctx)) << "the download is the active run";
        RequestExit(app.ctx);
        EXPECT_FALSE(app.ui.Called(L"UnloadMainForm")) << "Exit waits for the download to stop";
    };
    GetUpdate(app.ctx);
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(app.dialogs.messages.size(), 1u) << "no failure message for a cancel";
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_FALSE(app.ctx.update.downloading);
    EXPECT_TRUE(app.ui.Called(L"UnloadMainForm")) << "then the program ends";
}

// Refused like a second clean: no question, no download, no failure message; and a clean
// started while the question is open refuses it too, the notice coming back.
TEST_F(UpdateTest, NoDownloadStartsWhileACleanRuns) {
    Publish(VersionFile("5.0.1", realHash));
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    ServeInstaller(kInstaller);
    app.dialogs.answers = {IDYES};
    RunExclusive(app.ctx, {L"test", L"clean"}, [&] { GetUpdate(app.ctx); });
    EXPECT_TRUE(app.dialogs.messages.empty());

    app.ctx.frmUpdate.reset();
    app.dialogs.onMessage = [&](const MessageBoxRequest&) { app.ctx.run.active = true; };  // the hot key's clean
    GetUpdate(app.ctx);
    app.ctx.run.active = false;
    EXPECT_EQ(app.dialogs.messages.size(), 1u) << "only the question";
    EXPECT_TRUE(NoticeShown());
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(web.downloadedTo.empty());
}

TEST_F(UpdateTest, AnUnattendedRunNeverGoesOnLine) {
    app.ctx.SetUnattended(true);
    Publish(VersionFile("9.0.0", realHash));
    EXPECT_FALSE(test::CheckAtStart(app.ctx));
    EXPECT_FALSE(CheckForUpdate(app.ctx));
    EXPECT_EQ(web.stateAsked, 0);
    EXPECT_TRUE(web.asked.empty());
    EXPECT_TRUE(app.dialogs.messages.empty());
    EXPECT_FALSE(NoticeShown());
}

// A start after an update removes the download folders left under Temp, and nothing else.
TEST_F(UpdateTest, OnlyLeftoverDownloadFoldersAreRemoved) {
    const struct { const wchar_t* file; bool goes; } rows[] = {
        {L"Quillmere-Update-1-2\\Update.exe", true},
        {L"Quillmere-Update-3-4\\Setup.exe", false},
        {L"Quillmere-Update-5-6\\sub\\Update.exe", false},
        {L"Quillmere-Update-7-8\\Update.exe", false},  // with the next row: more than the installer
        {L"Quillmere-Update-7-8\\notes.txt", false},
        {L"Quillmere-Download\\Update.exe", false},
        {L"Quillmere-Update-9", false},  // a file
    };
    for (const auto& row : rows) {
        const std::wstring path = temp / row.file;
        test::MakeFolder(path.substr(0, path.find_last_of(L'\\')));
        test::WriteBytes(path, "x");
    }
    RemoveUpdateLeftovers(app.ctx);
    for (const auto& row : rows)
        EXPECT_EQ(test::PathExists(temp / row.file), !row.goes) << NarrowUtf8(row.file);
    EXPECT_FALSE(test::PathExists(temp / L"Quillmere-Update-1-2"));
}

}  // namespace
}  // namespace qm
