#include "base/os_version.h"

#include "base/system_library.h"

namespace qm {

std::optional<OsVersionRecord> SystemOsVersion::Query() const {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    LONG(WINAPI * rtlGetVersion)(OSVERSIONINFOW*) = nullptr;
    FindExport(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion", rtlGetVersion);
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return std::nullopt;
    return OsVersionRecord{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                           info.dwBuildNumber, info.szCSDVersion};
}

}  // namespace qm
