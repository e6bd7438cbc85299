#pragma once
// Calendar arithmetic for cookie times, free of the system's time functions so that the
// cookie parsers build and run anywhere. Times are UTC, proleptic Gregorian.
#include <cstdint>
#include <optional>

namespace qm {

// A moment as the system's SYSTEMTIME holds it, without milliseconds.
struct CivilTime {
    int year = 0, month = 0, day = 0;  // month 1-12
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0;  // 0 = Sunday
    bool operator==(const CivilTime&) const = default;
};

// Days since 1970-01-01 of a civil date; months out of 1..12 carry into the year, days
// carry by plain addition. The parts must lie within a few million years of today.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day);

// A FILETIME value (100-ns units since 1601) as a civil time; nothing when its top bit
// is set, which the system refuses too.
std::optional<CivilTime> CivilFromFileTime(std::uint64_t units);

// Seconds since 1970 as a civil time; nothing outside the years 1601 to 30827 that the
// system can show.
std::optional<CivilTime> CivilFromUnixSeconds(std::int64_t seconds);

}  // namespace qm
