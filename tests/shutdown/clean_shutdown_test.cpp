// The shutdown request through the seam: the flags by system (never forced), the shutdown
// right and its "not all assigned" answer, the failures and their texts, and the tray
// command staying resident when the request is refused. Nothing here turns anything off.
#include "shutdown/clean_shutdown.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "clean/run_state.h"
#include "shutdown/shutdown_calls.h"
#include "shutdown/shutdown_window.h"
#include "startup/reg_op.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "ui/tray_menu.h"

namespace qm {
namespace {

using test::ScratchRegistry;

const HANDLE kProcess = reinterpret_cast<HANDLE>(0x44);
const HANDLE kToken = reinterpret_cast<HANDLE>(0x88);

// Answers as the system would, failing where told; records what was asked.
class FakeShutdownCalls final : public ShutdownCalls {
public:
    bool lookupFails = false, openFails = false, adjustFails = false, notAllAssigned = false, exitFails = false;
    std::vector<std::wstring> calls;
    UINT exitFlags = 0;
    DWORD exitReason = 0;

    bool LookupPrivilegeValue(const wchar_t* name, LUID& id) override {
        calls.push_back(std::wstring(L"Lookup ") + name);
        id = {7, 0};
        return Answer(!lookupFails, ERROR_NO_SUCH_PRIVILEGE);
    }
    HANDLE CurrentProcess() override { return kProcess; }
    bool OpenProcessToken(HANDLE process, DWORD access, HANDLE& token) override {
        calls.push_back(L"OpenToken " + std::to_wstring(access) + (process == kProcess ? L" own" : L" other"));
        token = kToken;
        return Answer(!openFails, ERROR_ACCESS_DENIED);
    }
    bool AdjustTokenPrivileges(HANDLE, TOKEN_PRIVILEGES& privileges) override {
        calls.push_back(L"Adjust " + std::to_wstring(privileges.PrivilegeCount) + L" " +
                        std::to_wstring(privileges.Privileges[0].Luid.LowPart) + L" " +
                        std::to_wstring(privileges.Privileges[0].Attributes));
        if (adjustFails) return Answer(false, ERROR_ACCESS_DENIED);
        lastError_ = notAllAssigned ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS;  // and yet it succeeds
        return true;
    }
    void CloseHandle(HANDLE handle) override { calls.push_back(handle == kToken ? L"Close token" : L"Close other"); }
    bool ExitWindowsEx(UINT flags, DWORD reason) override {
        calls.push_back(L"Exit");
        exitFlags = flags;
        exitReason = reason;
        return Answer(!exitFails, ERROR_PRIVILEGE_NOT_HELD);
    }
    DWORD LastError() override { return lastError_; }

private:
    bool Answer(bool success, DWORD errorIfNot) {
        lastError_ = success ? ERROR_SUCCESS : errorIfNot;
        return success;
    }
    DWORD lastError_ = 0;
};

class ShutdownTest : public ::testing::Test {
protected:
    ShutdownTest() { app.ctx.shutdown = &calls; }
    FakeShutdownCalls calls;
    test::TestApp app;
};

TEST(ShutdownFlags, PowerOffOrShutDownBySystemAndNeverForced) {
    const struct {
        OsVersionRecord os;
        UINT flags;
    } cases[] = {{FixedOsVersion::Windows2000(), EWX_POWEROFF}, {FixedOsVersion::WindowsXP(), EWX_SHUTDOWN},
                 {FixedOsVersion::Windows98(), EWX_SHUTDOWN},   {FixedOsVersion::Windows98SE(), EWX_SHUTDOWN},
                 {FixedOsVersion::WindowsME(), EWX_SHUTDOWN},   {FixedOsVersion::WindowsVista(), EWX_POWEROFF},
                 {FixedOsVersion::Windows10(), EWX_POWEROFF}};
    for (const auto& c : cases) {
        const FixedOsVersion os{c.os};
        EXPECT_EQ(ShutdownFlags(os), c.flags) << c.os.major << "." << c.os.minor << "." << c.os.build;
        EXPECT_EQ(ShutdownFlags(os) & (EWX_FORCE | EWX_FORCEIFHUNG), 0u);
    }
}

TEST_F(ShutdownTest, GrantedRightThenTheRequestWithTheReservedReason) {
    EXPECT_TRUE(ShutdownSystem(app.ctx, EWX_POWEROFF));

    EXPECT_EQ(calls.calls, (std::vector<std::wstring>{L"Lookup SeShutdownPrivilege", L"OpenToken 40 own",
                                                      L"Adjust 1 7 2", L"Close token", L"Exit"}));
    EXPECT_EQ(calls.exitFlags, static_cast<UINT>(EWX_POWEROFF));
    EXPECT_EQ(calls.exitReason, 0xFFFFFFFFu);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(ShutdownTest, EachFailureIsReportedOnceAndNothingIsTurnedOff) {
    const std::wstring noRight = L"Can't enable shutdown: You do not have the privileges to shutdown this system. [";
    const struct {
        bool FakeShutdownCalls::*failure;
        std::wstring text;
        std::wstring procedure;
        bool exitAsked;
    } cases[] = {
        {&FakeShutdownCalls::notAllAssigned, noRight + WinError(ERROR_NOT_ALL_ASSIGNED) + L"]", L"NTEnableShutDown",
         false},
        {&FakeShutdownCalls::adjustFails, noRight + WinError(ERROR_ACCESS_DENIED) + L"]", L"NTEnableShutDown", false},
        {&FakeShutdownCalls::openFails, noRight + WinError(ERROR_ACCESS_DENIED) + L"]", L"NTEnableShutDown", false},
        {&FakeShutdownCalls::lookupFails,
         L"Can't enable shutdown: Can't find the SE_SHUTDOWN_NAME privilege value. [" +
             WinError(ERROR_NO_SUCH_PRIVILEGE) + L"]",
         L"NTEnableShutDown", false},
        {&FakeShutdownCalls::exitFails, L"ShutdownSystem failed: " + WinError(ERROR_PRIVILEGE_NOT_HELD),
         L"ShutdownSystem", true},
    };
    for (const auto& c : cases) {
        FakeShutdownCalls fake;
        fake.*c.failure = true;
        test::TestApp local;
        local.ctx.shutdown = &fake;

        EXPECT_FALSE(ShutdownSystem(local.ctx, EWX_SHUTDOWN)) << c.text;

        ASSERT_EQ(local.dialogs.messages.size(), 1u) << c.text;
        const std::wstring& shown = local.dialogs.Last().text;
        EXPECT_EQ(shown.substr(0, c.text.size()), c.text);
        EXPECT_NE(shown.find(L"in Quillmere.Shutdown." + c.procedure + L" "), std::wstring::npos) << shown;
        EXPECT_EQ(local.dialogs.Last().title, L"Application Error");
        EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), L"Exit"), c.exitAsked ? 1 : 0) << c.text;
        const bool tokenOpened = std::count(fake.calls.begin(), fake.calls.end(), L"OpenToken 40 own") == 1;
        EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), L"Close token"),
                  tokenOpened && !fake.openFails ? 1 : 0);
    }
}

TEST_F(ShutdownTest, FlagsOutsideTheRangeAreRefusedBeforeAnything) {
    for (const long long flags : {32LL, -1LL}) {
        test::TestApp local;
        local.ctx.shutdown = &calls;
        EXPECT_FALSE(ShutdownSystem(local.ctx, flags));
        ASSERT_EQ(local.dialogs.messages.size(), 1u);
        const std::wstring expected = L"Invalid parameter to ShutdownSystem: " + std::to_wstring(flags);
        EXPECT_EQ(local.dialogs.Last().text.substr(0, expected.size()), expected);
    }
    EXPECT_TRUE(calls.calls.empty());
}

TEST_F(ShutdownTest, NineXFamilyAsksWithoutTheRight) {
    const FixedOsVersion me{FixedOsVersion::WindowsME()};
    AppContext ctx{app.dialogs, me, app.pump, app.ui};
    ctx.shutdown = &calls;
    EXPECT_TRUE(ShutdownSystem(ctx, EWX_SHUTDOWN));
    EXPECT_EQ(calls.calls, (std::vector<std::wstring>{L"Exit"}));
}

TEST(WinError, SystemTextOrNothing) {
    EXPECT_FALSE(WinError(ERROR_ACCESS_DENIED).empty());
    EXPECT_EQ(WinError(0x2FFFFFFF), L"");
}

TEST(FadeForm, BandsByColourDepth) {
    const struct {
        int depth, bands, blueStep;
    } cases[] = {{16, 256, 1}, {24, 256, 1}, {32, 256, 1}, {8, 64, 4}, {4, 64, 4}, {15, 32, 8}, {1, 64, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(FadeBandCount(c.depth), c.bands) << c.depth;
        EXPECT_EQ(256 / FadeBandCount(c.depth), c.blueStep) << c.depth;
    }
}

TEST(FadeForm, DarkensTowardsTheBottomRight) {
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 130, 70);
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ old = ::SelectObject(dc, bitmap);
    // 64 bands of 1 pixel along the bottom and 2 along the right leave 2 by 6 at the top left.
    FadeForm(dc, {0, 0, 130, 70}, 64);
    EXPECT_EQ(GetBValue(::GetPixel(dc, 129, 69)), 0);    // outermost band
    EXPECT_EQ(GetBValue(::GetPixel(dc, 0, 0)), 255);     // what is left: pure blue
    EXPECT_EQ(GetBValue(::GetPixel(dc, 120, 10)), 4 * 4);  // the fifth band from the right
    EXPECT_EQ(GetBValue(::GetPixel(dc, 60, 10)), 34 * 4);
    EXPECT_EQ(GetRValue(::GetPixel(dc, 60, 10)) + GetGValue(::GetPixel(dc, 60, 10)), 0);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

// ---- the tray command ------------------------------------------------------------------

TEST_F(ShutdownTest, RefusedRequestKeepsTheProgramResident) {
    ScratchRegistry registry;
    test::TempFolder temp{L"qm-shutdown"};
    test::ScopedEnv tempVariable(L"Temp", temp.Path());
    for (const wchar_t* name : {L"Shutdown", L"TempFiles"})
        ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPathKey, name, L"Yes");
    test::WriteBytes(temp / L"a.tmp", "x");
    for (const bool refused : {true, false}) {
        FakeShutdownCalls fake;
        fake.notAllAssigned = refused;
        test::TestApp local;
        local.ctx.shutdown = &fake;
        local.dialogs.timedAnswers = {IDOK};

        cP_Click(local.ctx, L"Clean And Shutdown");

        EXPECT_FALSE(test::PathExists(temp / L"a.tmp")) << "cleaned first";
        EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), L"Exit"), refused ? 0 : 1);
        EXPECT_EQ(local.ui.Called(L"UnloadMainForm"), !refused) << "the program ends only when the system shuts down";
        EXPECT_EQ(local.dialogs.messages.size(), refused ? 1u : 0u);
    }
}

}  // namespace
}  // namespace qm
