#pragma once
// The system calls that turn the computer off, behind one seam: the program's own calls
// ask the system, tests answer in its place (a real request would end every program).
#include <windows.h>

namespace qm {

class ShutdownCalls {
public:
    virtual ~ShutdownCalls() = default;
    // Each answers false on failure, with the reason in LastError.
    virtual bool LookupPrivilegeValue(const wchar_t* name, LUID& id) = 0;
    virtual HANDLE CurrentProcess() = 0;
    virtual bool OpenProcessToken(HANDLE process, DWORD access, HANDLE& token) = 0;
    // True when the call itself succeeded, which it also does when the right was not
    // assigned (LastError then says ERROR_NOT_ALL_ASSIGNED).
    virtual bool AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES& privileges) = 0;
    virtual void CloseHandle(HANDLE handle) = 0;
    virtual bool ExitWindowsEx(UINT flags, DWORD reason) = 0;
    virtual DWORD LastError() = 0;
};

class SystemShutdownCalls final : public ShutdownCalls {
public:
    bool LookupPrivilegeValue(const wchar_t* name, LUID& id) override {
        return ::LookupPrivilegeValueW(nullptr, name, &id) != FALSE;
    }
    HANDLE CurrentProcess() override { return ::GetCurrentProcess(); }
    bool OpenProcessToken(HANDLE process, DWORD access, HANDLE& token) override {
        return ::OpenProcessToken(process, access, &token) != FALSE;
    }
    bool AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES& privileges) override {
        ::SetLastError(ERROR_SUCCESS);  // only the last error tells a right that was not assigned
        return ::AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr) != FALSE;
    }
    void CloseHandle(HANDLE handle) override { ::CloseHandle(handle); }
    bool ExitWindowsEx(UINT flags, DWORD reason) override { return ::ExitWindowsEx(flags, reason) != FALSE; }
    DWORD LastError() override { return ::GetLastError(); }
};

}  // namespace qm
