#include "support/cookie_fixtures.h"

#include <atomic>
#include <cstdint>
#include <stdexcept>

namespace qm::test {

namespace {

std::uint64_t Ticks(const SYSTEMTIME& moment) {
    FILETIME time{};
    if (!::SystemTimeToFileTime(&moment, &time)) throw std::invalid_argument("not a valid moment");
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void SetHalves(const SYSTEMTIME& moment, std::string& low, std::string& high) {
    const std::uint64_t ticks = Ticks(moment);
    low = std::to_string(ticks & 0xFFFFFFFFu);
    high = std::to_string(ticks >> 32);
}

}  // namespace

MsieRecordSpec& MsieRecordSpec::Expires(const SYSTEMTIME& moment) {
    SetHalves(moment, expiresLow, expiresHigh);
    return *this;
}

MsieRecordSpec& MsieRecordSpec::Created(const SYSTEMTIME& moment) {
    SetHalves(moment, createdLow, createdHigh);
    return *this;
}

std::string MsieRecordText(const MsieRecordSpec& r) {
    std::string text;
    for (const std::string* field : {&r.name, &r.value, &r.hostPath, &r.flags, &r.expiresLow, &r.expiresHigh,
                                     &r.createdLow, &r.createdHigh})
        text += *field + "\n";
    return text + "*\n";
}

std::string MsieFileText(const std::vector<MsieRecordSpec>& records) {
    std::string text;
    for (const auto& record : records) text += MsieRecordText(record);
    return text;
}

SYSTEMTIME Moment(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME moment{};
    moment.wYear = year;
    moment.wMonth = month;
    moment.wDay = day;
    moment.wHour = hour;
    moment.wMinute = minute;
    moment.wSecond = second;
    // Fill in the day of the week, as the system's conversions do.
    FILETIME time{};
    if (::SystemTimeToFileTime(&moment, &time)) ::FileTimeToSystemTime(&time, &moment);
    return moment;
}

SYSTEMTIME AddSeconds(const SYSTEMTIME& moment, long long seconds) {
    const std::uint64_t ticks = Ticks(moment) + static_cast<std::uint64_t>(seconds * 10'000'000LL);
    const FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME result{};
    ::FileTimeToSystemTime(&time, &result);
    return result;
}

std::wstring LocaleShortDate(const SYSTEMTIME& moment) {
    wchar_t buffer[128] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer, 128, nullptr);
    return buffer;
}

std::wstring LocaleLongTime(const SYSTEMTIME& moment) {
    wchar_t buffer[128] = {};
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &moment, nullptr, buffer, 128);
    return buffer;
}

ScratchMachineRegistry::ScratchMachineRegistry() {
    static std::atomic<int> counter{0};
    name_ = L"Machine-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QuillmereTests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &parent_, nullptr) != ERROR_SUCCESS ||
        ::RegCreateKeyExW(parent_, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_, nullptr) !=
            ERROR_SUCCESS ||
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_) != ERROR_SUCCESS)
        throw std::runtime_error("cannot redirect HKEY_LOCAL_MACHINE to a scratch key");
}

ScratchMachineRegistry::~ScratchMachineRegistry() {
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(scratch_);
    ::RegDeleteTreeW(parent_, name_.c_str());
    ::RegCloseKey(parent_);
}

std::vector<std::wstring> EnumerationOrder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = folder + (folder.ends_with(L'\\') ? L"*" : L"\\*");
    const HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

}  // namespace qm::test
