#include "cookies/cookie_time.h"

namespace qm {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int64_t kDaysFrom1601To1970 = 134774;
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

// The civil date of a day count since 1970-01-01 (the inverse of DaysFromCivil).
void CivilFromDays(std::int64_t days, CivilTime& time) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    time.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    time.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    const std::int64_t months = year * 12 + (month - 1);
    year = months >= 0 ? months / 12 : -((-months + 11) / 12);
    month = months - year * 12 + 1;
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + (day - 1);
}

std::optional<CivilTime> CivilFromFileTime(std::uint64_t units) {
    if (units >> 63) return std::nullopt;
    const auto seconds = static_cast<std::int64_t>(units / kUnitsPerSecond);
    const std::int64_t days = seconds / kSecondsPerDay;
    const std::int64_t secondOfDay = seconds % kSecondsPerDay;
    CivilTime time;
    CivilFromDays(days - kDaysFrom1601To1970, time);
    time.hour = static_cast<int>(secondOfDay / 3600);
    time.minute = static_cast<int>(secondOfDay / 60 % 60);
    time.second = static_cast<int>(secondOfDay % 60);
    time.dayOfWeek = static_cast<int>((days + 1) % 7);  // 1601-01-01 was a Monday
    return time;
}

std::optional<CivilTime> CivilFromUnixSeconds(std::int64_t seconds) {
    constexpr std::int64_t kFirst = -kDaysFrom1601To1970 * kSecondsPerDay;
    // The end of year 30827, well inside the FILETIME range.
    const std::int64_t last = (DaysFromCivil(kLastYear + 1, 1, 1)) * kSecondsPerDay - 1;
    if (seconds < kFirst || seconds > last) return std::nullopt;
    const auto units = static_cast<std::uint64_t>(seconds - kFirst) * static_cast<std::uint64_t>(kUnitsPerSecond);
    const std::optional<CivilTime> time = CivilFromFileTime(units);
    if (!time || time->year < kFirstYear || time->year > kLastYear) return std::nullopt;
    return time;
}

}  // namespace qm
