// The update end to end over the real web seam against https servers on loopback reached as
// "localhost": the notice, the confirmed download, the hash, and the installer really run
// (a stand-in that records its start); every bad answer leads to no run and, on a manual
// check, the message the user expects.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "online/auto_update.h"
#include "online/installer_check.h"
#include "online/update_notice.h"
#include "online/web.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fake_web.h"
#include "support/fixtures.h"
#include "support/https_server.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using test::LocalHttpsServer;
using test::ScratchRegistry;

std::wstring BesideTests(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

std::string Hex(const Sha256& hash) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned byte : hash) hex += {digits[byte >> 4], digits[byte & 15]};
    return hex;
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// The real web seam on a machine whose network the test decides: a LAN is up (the sandbox
// may have none), so the probe goes on to ask the site, as it does behind a gateway.
class LanWeb final : public Web {
public:
    bool ConnectedState(DWORD& flags) override {
        flags = 2;  // INTERNET_CONNECTION_LAN
        return true;
    }
    bool Answers(const std::wstring& url, DWORD timeoutMs) override { return real.Answers(url, timeoutMs); }
    WebReply Get(const std::wstring& url, const WebLimits& limits) override { return real.Get(url, limits); }
    WebReply Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                      const std::function<bool()>& keepGoing) override {
        return real.Download(url, file, limits, keepGoing);
    }
    bool OpenPage(HWND, const std::wstring&) override { return false; }
    WinHttpWeb real;
};

class UpdateEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = &test::SharedTrustedServer();
        untrusted = &test::SharedUntrustedServer();
    }
    void SetUp() override {
        ASSERT_TRUE(server->Running() && untrusted->Running());
        ForgetSettings();
        installer = test::ReadBytes(BesideTests(L"quillmere_fake_installer.exe"));
        ASSERT_FALSE(installer.empty());
        const std::wstring copy = temp / L"copy.exe";
        test::WriteBytes(copy, installer);
        installerHash = Hex(*FileSha256(copy));
        ::DeleteFileW(copy.c_str());
        app.ctx.web = sharedWeb;
        UseServer(*server);
    }
    void TearDown() override {
        app.ctx.frmUpdate.reset();
        ForgetSettings();
    }
    // The real profile of the test prefix (this suite runs alone): with HKEY_CURRENT_USER
    // redirected, the system would not find the test server's trusted root.
    static void ForgetSettings() { ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, L"Software\\Dorvik Software"); }

    void UseServer(const LocalHttpsServer& site, int port = 0) const {
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebHost", L"localhost");
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgramKey, L"WebPort",
                                   std::to_wstring(port ? port : site.Port()));
    }
    void Publish(const std::string& version, const std::string& hash, const std::string& served) const {
        server->Put(kVersionFilePath, "\"Quillmere\",\"" + version + "\",\"" + hash + "\"\r\n");
        server->Put(kInstallerPath, served);
    }
    bool InstallerRan() const { return test::PathExists(log); }
    HWND Notice() const { return ::FindWindowW(kUpdateNoticeClass, nullptr); }

    static LocalHttpsServer* server;
    static LocalHttpsServer* untrusted;
    test::TempFolder temp{L"qm-update-e2e"};
    test::ScopedEnv tmp{L"TMP", temp.Path()}, tempVariable{L"TEMP", temp.Path()};
    const std::wstring log = temp / L"installer-ran.txt";
    test::ScopedEnv logVariable{L"QM_FAKE_INSTALLER_LOG", log};
    test::TestApp app;
    std::shared_ptr<LanWeb> sharedWeb = std::make_shared<LanWeb>();
    LanWeb& web = *sharedWeb;
    std::string installer, installerHash;
};
LocalHttpsServer* UpdateEndToEnd::server = nullptr;
LocalHttpsServer* UpdateEndToEnd::untrusted = nullptr;

TEST_F(UpdateEndToEnd, ANewerVersionIsOfferedAcceptedConfirmedDownloadedCheckedAndRun) {
    Publish("5.0.1", installerHash, installer);
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    const HWND notice = Notice();
    ASSERT_TRUE(notice);
    RECT work{}, frame{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(PumpUntil(
        [&] {
            ::GetWindowRect(notice, &frame);
            return frame.bottom == work.bottom;
        },
        3s))
        << "slides up to the work area's bottom edge";
    EXPECT_EQ(frame.right, work.right);
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_TRUE(::GetLayeredWindowAttributes(notice, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 220);

    app.dialogs.answers = {IDYES};
    ::SendMessageW(notice, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));  // accepted
    EXPECT_FALSE(::IsWindow(notice));
    ASSERT_EQ(app.dialogs.messages.size(), 1u) << "only the confirmation";
    EXPECT_EQ(app.dialogs.messages[0].title, L"Dorvik Quillmere AutoUpdate Program");
    ASSERT_TRUE(PumpUntil([&] { return InstallerRan(); }, 20s)) << "the installer was started";
    std::this_thread::sleep_for(200ms);
    const std::string arguments = test::ReadBytes(log);
    const std::wstring expected = L"/S /Update /WaitPid=" + std::to_wstring(::GetCurrentProcessId());
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(arguments.data()), arguments.size() / 2), expected);
    EXPECT_TRUE(app.ui.Called(L"UnloadMainForm"));
}

// The resident program checks at start through a helper process (itself, run for the fetch),
// so the web libraries never stay loaded in it; the offer is the same.
TEST_F(UpdateEndToEnd, TheCheckAtStartThroughTheHelperProcessOffersTheSame) {
    app.ctx.update.startCheckHelper = BesideTests(L"Quillmere.exe");
    Publish("5.0.1", installerHash, installer);
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    EXPECT_EQ(app.ctx.update.offered.versionText, L"5.0.1");
    EXPECT_TRUE(Notice());
    server->Put(kVersionFilePath, "not a version file");
    app.ctx.frmUpdate.reset();
    EXPECT_FALSE(test::CheckAtStart(app.ctx));
    EXPECT_TRUE(app.dialogs.messages.empty()) << "the check at start says nothing of a bad answer";
}

TEST_F(UpdateEndToEnd, NotAnsweredByTheNoticeItSlidesAwayAfterSevenSeconds) {
    Publish("5.0.1", installerHash, installer);
    ASSERT_TRUE(test::CheckAtStart(app.ctx));
    const HWND notice = Notice();
    ASSERT_TRUE(notice);
    EXPECT_FALSE(PumpUntil([&] { return !::IsWindow(notice); }, 6s));
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(notice); }, 5s));
    EXPECT_FALSE(InstallerRan());
}

TEST_F(UpdateEndToEnd, ABadInstallerNeverRuns) {
    struct Case {
        const char* name;
        std::string hash;
        std::string served;
    };
    const Case cases[] = {
        {"tampered", installerHash, [&] {
             std::string bytes = installer;
             bytes[bytes.size() / 2] ^= 0x5A;
             return bytes;
         }()},
        {"truncated", installerHash, installer.substr(0, installer.size() / 2)},
        {"wrong hash", std::string(64, 'b'), installer},
    };
    for (const Case& c : cases) {
        app.dialogs.messages.clear();
        Publish("5.0.1", c.hash, c.served);
        ASSERT_TRUE(CheckForUpdate(app.ctx)) << c.name;
        app.dialogs.answers = {IDYES};
        ::SendMessageW(Notice(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
        ASSERT_EQ(app.dialogs.messages.size(), 2u) << c.name;
        EXPECT_EQ(app.dialogs.Last().text, kInstallerFailedText) << c.name;
        EXPECT_FALSE(app.ui.Called(L"UnloadMainForm")) << c.name;
    }
    PumpUntil([] { return false; }, 1s);
    EXPECT_FALSE(InstallerRan());
}

TEST_F(UpdateEndToEnd, EveryBadAnswerToTheCheckEndsWithoutAnOfferAndWithTheMessage) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"HTML", [&] { server->Put(kVersionFilePath, "<!DOCTYPE html><html><body>Welcome</body></html>"); },
         kVersionFileFailedText},
        {"empty", [&] { server->Put(kVersionFilePath, ""); }, kVersionFileFailedText},
        {"huge", [&] { server->Put(kVersionFilePath, std::string(200000, 'x')); }, kVersionFileFailedText},
        {"older", [&] { Publish("4.9", installerHash, installer); }, L" The Dorvik Quillmere Program Is Up-to-Date!"},
        {"404", [&] { server->Remove(kVersionFilePath); }, kVersionFileFailedText},
        {"closed port", [&] { UseServer(*server, 1); }, kNotConnectedText},
        {"untrusted certificate",
         [&] {
             untrusted->Put(kVersionFilePath, "\"Quillmere\",\"9.0\",\"" + installerHash + "\"");
             UseServer(*untrusted);
         },
         kNotConnectedText},
    };
    for (const Case& c : cases) {
        app.dialogs.messages.clear();
        UseServer(*server);
        c.arrange();
        EXPECT_FALSE(CheckForUpdate(app.ctx)) << c.name;
        ASSERT_EQ(app.dialogs.messages.size(), 1u) << c.name;
        EXPECT_EQ(app.dialogs.Last().text, c.message) << c.name;
        EXPECT_FALSE(Notice()) << c.name;
        app.dialogs.messages.clear();
        EXPECT_FALSE(test::CheckAtStart(app.ctx)) << c.name;
        EXPECT_TRUE(app.dialogs.messages.empty()) << c.name << ": silent at start";
    }
    EXPECT_FALSE(InstallerRan());
}

}  // namespace
}  // namespace qm
