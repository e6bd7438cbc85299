#include "base/os_version.h"

#include "base/handles.h"

namespace qm {

std::optional<OsVersionRecord> SystemOsVersion::Query() const {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return std::nullopt;
    return OsVersionRecord{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                           info.dwBuildNumber, info.szCSDVersion};
}

}  // namespace qm
