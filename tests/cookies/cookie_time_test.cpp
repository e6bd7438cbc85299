// The portable calendar arithmetic of cookie times, against the system's own conversion.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <random>

#include "cookies/cookie_time.h"

namespace qm {
namespace {

TEST(CookieTime, FileTimesConvertAsTheSystemConvertsThem) {
    std::mt19937_64 random(20261208);
    std::vector<std::uint64_t> units = {0, 1, 864000000000ull - 1, 864000000000ull,  // the first day's edges
                                        0x01BF53EB256D4000ull,                      // 1970-01-01
                                        0x01D5C03669A38000ull,                      // 2020
                                        0x7FFFFFFFFFFFFFFFull};                     // the last moment there is
    for (int i = 0; i < 5000; ++i) units.push_back(random() >> 1);
    for (int i = 0; i < 2000; ++i) units.push_back(random() % 0x0300000000000000ull);  // years up to about 2200
    for (const std::uint64_t value : units) {
        const FILETIME time{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
        SYSTEMTIME expected{};
        ASSERT_TRUE(::FileTimeToSystemTime(&time, &expected)) << value;
        const std::optional<CivilTime> civil = CivilFromFileTime(value);
        ASSERT_TRUE(civil) << value;
        EXPECT_EQ(civil->year, expected.wYear) << value;
        EXPECT_EQ(civil->month, expected.wMonth) << value;
        EXPECT_EQ(civil->day, expected.wDay) << value;
        EXPECT_EQ(civil->dayOfWeek, expected.wDayOfWeek) << value;
        EXPECT_EQ(civil->hour * 3600 + civil->minute * 60 + civil->second,
                  expected.wHour * 3600 + expected.wMinute * 60 + expected.wSecond)
            << value;
    }
    EXPECT_FALSE(CivilFromFileTime(0x8000000000000000ull));
}

TEST(CookieTime, UnixSecondsOnlyWithinTheYearsTheSystemShows) {
    constexpr std::int64_t kDay = 86400;
    const std::int64_t first = DaysFromCivil(1601, 1, 1) * kDay, last = DaysFromCivil(30828, 1, 1) * kDay - 1;
    EXPECT_EQ(CivilFromUnixSeconds(first), (CivilTime{1601, 1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(CivilFromUnixSeconds(last), (CivilTime{30827, 12, 31, 23, 59, 59, 5}));
    EXPECT_EQ(CivilFromUnixSeconds(951782400), (CivilTime{2000, 2, 29, 0, 0, 0, 2}));
    for (const std::int64_t outside : {first - 1, last + 1, INT64_MIN, INT64_MAX})
        EXPECT_FALSE(CivilFromUnixSeconds(outside)) << outside;
}

}  // namespace
}  // namespace qm
