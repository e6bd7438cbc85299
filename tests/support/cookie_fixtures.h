#pragma once
// Fixtures for the cookie manager's tests: Internet Explorer cookie records written byte
// for byte, and HKEY_LOCAL_MACHINE redirected to a scratch key.
#include <windows.h>

#include <string>
#include <vector>

namespace qm::test {

// One record's eight fields, as the browser writes them.
struct MsieRecordSpec {
    std::string name = "id";
    std::string value = "42";
    std::string hostPath = "example.com/";
    std::string flags = "0";
    std::string expiresLow, expiresHigh, createdLow, createdHigh;

    MsieRecordSpec& Expires(const SYSTEMTIME& moment);
    MsieRecordSpec& Created(const SYSTEMTIME& moment);
};

// The eight fields each ended by "\n", then "*\n".
std::string MsieRecordText(const MsieRecordSpec& record);
std::string MsieFileText(const std::vector<MsieRecordSpec>& records);

SYSTEMTIME Moment(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0);
// The moment the given number of seconds later (or earlier, when negative).
SYSTEMTIME AddSeconds(const SYSTEMTIME& moment, long long seconds);

// The user locale's own texts, for the expected values.
std::wstring LocaleShortDate(const SYSTEMTIME& moment);
std::wstring LocaleLongTime(const SYSTEMTIME& moment);

// Redirects HKEY_LOCAL_MACHINE of this process to a fresh scratch key for the fixture's
// lifetime. Construct it after a ScratchRegistry: the scratch key lives below the
// (redirected) HKEY_CURRENT_USER and is deleted on destruction.
class ScratchMachineRegistry {
public:
    ScratchMachineRegistry();
    ~ScratchMachineRegistry();
    ScratchMachineRegistry(const ScratchMachineRegistry&) = delete;
    ScratchMachineRegistry& operator=(const ScratchMachineRegistry&) = delete;

private:
    HKEY parent_ = nullptr;
    HKEY scratch_ = nullptr;
    std::wstring name_;
};

// Names of the entries of a folder (with or without its final separator) in the order the
// system enumerates them.
std::vector<std::wstring> EnumerationOrder(const std::wstring& folder);

}  // namespace qm::test
