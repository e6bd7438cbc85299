#include "shutdown/clean_shutdown.h"

#include <memory>

#include "base/app_error.h"
#include "base/os_version.h"
#include "shutdown/shutdown_calls.h"
#include "shutdown/shutdown_window.h"
#include "startup/app_context.h"
#include "startup/system_info.h"

namespace qm {

namespace {

constexpr TrapSite kTrapShutdownSystem{L"Shutdown", L"ShutdownSystem"};
constexpr TrapSite kTrapEnable{L"Shutdown", L"NTEnableShutDown"};
constexpr wchar_t kSource[] = L"Quillmere.mShutDown";
constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;  // 40
constexpr DWORD kFarewellMilliseconds = 1000;

[[noreturn]] void Raise(std::uint32_t number, const std::wstring& description) {
    throw ComponentError(number, kSource, description);
}

std::wstring CannotEnable(const wchar_t* why, DWORD error) {
    return L"Can't enable shutdown: " + std::wstring(why) + L" [" + WinError(error) + L"]";
}

// The token of this process, closed through the seam it came from.
class TokenHandle {
public:
    TokenHandle(ShutdownCalls& calls, HANDLE token) : calls_(calls), token_(token) {}
    ~TokenHandle() { calls_.CloseHandle(token_); }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;
    HANDLE Get() const { return token_; }

private:
    ShutdownCalls& calls_;
    HANDLE token_;
};

std::unique_ptr<ShutdownWindow>& AcceptedFarewell() {
    static std::unique_ptr<ShutdownWindow> window;
    return window;
}

}  // namespace

UINT ShutdownFlags(const OsVersionSource& os) {
    if (IsWin2000(os)) return EWX_POWEROFF;
    if (IsWinXP(os) || IsWin98(os) || IsWin98SE(os) || IsWinME(os)) return EWX_SHUTDOWN;
    return EWX_POWEROFF;
}

bool IsNT(const OsVersionSource& os) { return IsWinNTFamily(os); }

std::wstring WinError(DWORD code) {
    wchar_t buffer[256] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                          buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    return length > 0 ? std::wstring(buffer, length) : L"";
}

bool NTEnableShutDown(AppContext& ctx) {
    bool enabled = false;
    TrapStep(ctx.dialogs, kTrapEnable, [&] {
        if (!ctx.shutdown) Raise(kNoShutdownRight, CannotEnable(L"You do not have the privileges to shutdown this system.", 0));
        ShutdownCalls& calls = *ctx.shutdown;
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!calls.LookupPrivilegeValue(SE_SHUTDOWN_NAME, privileges.Privileges[0].Luid))
            Raise(kNoPrivilegeValue,
                  CannotEnable(L"Can't find the SE_SHUTDOWN_NAME privilege value.", calls.LastError()));
        const HANDLE process = calls.CurrentProcess();
        if (!process) Raise(kNoCurrentProcess, CannotEnable(L"Can't determine the current process.", calls.LastError()));
        HANDLE rawToken = nullptr;
        if (!calls.OpenProcessToken(process, kTokenAccess, rawToken))
            Raise(kNoShutdownRight,
                  CannotEnable(L"You do not have the privileges to shutdown this system.", calls.LastError()));
        const TokenHandle token(calls, rawToken);
        // The call succeeds even when the right is not the user's: only the last error tells.
        const bool adjusted = calls.AdjustTokenPrivileges(token.Get(), privileges);
        const DWORD error = calls.LastError();
        if (!adjusted || error == ERROR_NOT_ALL_ASSIGNED)
            Raise(kNoShutdownRight, CannotEnable(L"You do not have the privileges to shutdown this system.", error));
        enabled = true;
    });
    return enabled;
}

bool ShutdownSystem(AppContext& ctx, long long flags) {
    bool accepted = false;
    TrapStep(ctx.dialogs, kTrapShutdownSystem, [&] {
        if (flags < 0 || flags > 31)
            Raise(kBadShutdownFlags, L"Invalid parameter to ShutdownSystem: " + std::to_wstring(flags));
        if (IsNT(ctx.os) && !NTEnableShutDown(ctx)) return;
        if (!ctx.shutdown) return;
        if (!ctx.shutdown->ExitWindowsEx(static_cast<UINT>(flags), 0xFFFFFFFF))
            Raise(kShutdownFailed, L"ShutdownSystem failed: " + WinError(ctx.shutdown->LastError()));
        accepted = true;
    });
    return accepted;
}

bool CleanShutDown(AppContext& ctx) {
    const UINT flags = ShutdownFlags(ctx.os);
    auto farewell = std::make_unique<ShutdownWindow>(ctx.ui.MaxMinWindow());
    farewell->Show();
    ctx.pump.DoEvents();
    ctx.pump.Sleep(kFarewellMilliseconds);
    const bool accepted = ShutdownSystem(ctx, flags);
    // Accepted: the window stays until the system ends the program. Refused: it goes, the program stays.
    if (accepted) AcceptedFarewell() = std::move(farewell);
    return accepted;
}

}  // namespace qm
