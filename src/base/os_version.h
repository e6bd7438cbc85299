#pragma once
// The seam for the operating-system version record. The program chooses between its
// Windows 9x/ME and NT-family ways from this record alone, so tests can hand in the
// record of any system and exercise every branch.
#include <windows.h>

#include <optional>
#include <string>

namespace qm {

struct OsVersionRecord {
    DWORD platformId = 0;  // 1 = Windows 9x family, 2 = NT family
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;  // on the 9x family the upper 16 bits repeat the version numbers
    std::wstring servicePack;
};

class OsVersionSource {
public:
    virtual ~OsVersionSource() = default;
    // Nothing when the system cannot tell its version.
    virtual std::optional<OsVersionRecord> Query() const = 0;
};

// The running system. Asks ntdll directly: the documented call answers with the
// version named in the manifest rather than the real one.
class SystemOsVersion final : public OsVersionSource {
public:
    std::optional<OsVersionRecord> Query() const override;
};

// A fixed record, for tests and for replaying a known system.
class FixedOsVersion final : public OsVersionSource {
public:
    explicit FixedOsVersion(std::optional<OsVersionRecord> record) : record_(std::move(record)) {}
    std::optional<OsVersionRecord> Query() const override { return record_; }

    static OsVersionRecord Windows98() { return {1, 4, 10, 1998, L""}; }
    static OsVersionRecord Windows98SE() { return {1, 4, 10, 2222, L" A "}; }
    static OsVersionRecord WindowsME() { return {1, 4, 90, 3000, L""}; }
    static OsVersionRecord Windows2000() { return {2, 5, 0, 2195, L"Service Pack 4"}; }
    static OsVersionRecord WindowsXP() { return {2, 5, 1, 2600, L"Service Pack 3"}; }
    static OsVersionRecord WindowsVista() { return {2, 6, 0, 6002, L"Service Pack 2"}; }
    static OsVersionRecord Windows7() { return {2, 6, 1, 7601, L"Service Pack 1"}; }
    static OsVersionRecord Windows10() { return {2, 10, 0, 19045, L""}; }

private:
    std::optional<OsVersionRecord> record_;
};

}  // namespace qm
