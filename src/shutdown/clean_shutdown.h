#pragma once
// Turning the computer off after "Clean And Shutdown" has cleaned: the farewell window,
// the shutdown right on NT-family systems and the request, all through the shutdown seam
// (ctx.shutdown; without it nothing is turned off and the request counts as failed).
#include <windows.h>

#include <cstdint>
#include <string>

namespace qm {

class AppContext;
class OsVersionSource;

// Error numbers of the shutdown module, shown in the "Application Error" box.
inline constexpr std::uint32_t kShutdownFailed = 0x8004062B;
inline constexpr std::uint32_t kNoPrivilegeValue = 0x8004062C;
inline constexpr std::uint32_t kNoCurrentProcess = 0x8004062D;
inline constexpr std::uint32_t kNoShutdownRight = 0x8004062E;
inline constexpr std::uint32_t kBadShutdownFlags = 0x8004062F;

// The request's flags by system: a power-off (EWX_POWEROFF) on Windows 2000 and on every
// system not named, a shut-down (EWX_SHUTDOWN) on XP, 98, 98 SE and ME. Never forced.
UINT ShutdownFlags(const OsVersionSource& os);

// Shows the farewell window, waits a second and asks the system to shut down. True when
// the request was accepted; on failure the reason has been shown and the window is gone.
bool CleanShutDown(AppContext& ctx);
// The request itself; false (after the error box) when refused.
bool ShutdownSystem(AppContext& ctx, long long flags);
// Enables the shutdown right for this process; false (after the error box) when not granted.
bool NTEnableShutDown(AppContext& ctx);
bool IsNT(const OsVersionSource& os);
// The system's message for an error code, "" when it has none.
std::wstring WinError(DWORD code);

}  // namespace qm
