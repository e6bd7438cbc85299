#include "cookies/cookie_display.h"

#include <initializer_list>

#include "base/text.h"
#include "startup/app_context.h"

namespace qm {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kTicksPerSecond = 10'000'000;  // FILETIME counts 100 ns units

// Dates from the year 10000 on cannot be written by the date functions that the general
// date format follows; they are formatted in this year and the real one written over it.
constexpr WORD kStandInYear = 7999;

bool IsZeroDate(const SYSTEMTIME& moment) {
    return moment.wYear == 1899 && moment.wMonth == 12 && moment.wDay == 30;
}

bool IsMidnight(const SYSTEMTIME& moment) {
    return moment.wHour == 0 && moment.wMinute == 0 && moment.wSecond == 0;
}

std::wstring ShortDate(const SYSTEMTIME& moment) {
    wchar_t buffer[128];
    const int written =
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer, 128, nullptr);
    return written > 0 ? std::wstring(buffer, static_cast<size_t>(written - 1)) : std::wstring();
}

std::wstring LongTime(const SYSTEMTIME& moment) {
    wchar_t buffer[128];
    const int written = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &moment, nullptr, buffer, 128);
    return written > 0 ? std::wstring(buffer, static_cast<size_t>(written - 1)) : std::wstring();
}

bool ToTicks(SYSTEMTIME moment, std::int64_t& ticks) {
    moment.wMilliseconds = 0;
    FILETIME time{};
    if (!::SystemTimeToFileTime(&moment, &time)) return false;
    ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return true;
}

// The count of a unit with its name, plural unless the count is exactly 1.
std::wstring Counted(std::int64_t count, const wchar_t* unit) {
    return std::to_wstring(count) + L" " + unit + (count == 1 ? L"" : L"s");
}

}  // namespace

void ClearDisp(AppContext& ctx) {
    auto& form = ctx.frmMain;
    for (TextBoxModel* box : {&form.txtName, &form.txtValue, &form.txtSecure, &form.txtCreated, &form.txtExpire,
                              &form.txtLife})
        box->SetText({});
    form.lblHttpOnly.SetCaption({});
}

void DelEnabled(AppContext& ctx, bool enabled) {
    ctx.frmMain.btnDel.SetEnabled(enabled);
    ctx.frmMain.btnClear.SetEnabled(enabled);
}

void UpdateDeletion(AppContext& ctx) {
    auto& form = ctx.frmMain;
    const int checked = form.lstCookie.SelCount();
    if (checked > 1) form.btnDel.SetToolTipText(L"Delete Selected Cookies");
    else if (checked == 1) form.btnDel.SetToolTipText(L"Delete Selected Cookie");
    DelEnabled(ctx, checked > 0);
}

std::wstring FormatGeneralDate(const SYSTEMTIME& moment) {
    SYSTEMTIME shown = moment;
    shown.wMilliseconds = 0;
    const bool standIn = moment.wYear > 9999;
    if (standIn) shown.wYear = kStandInYear;

    const bool showDate = !IsZeroDate(shown);
    const bool showTime = !IsMidnight(shown) || !showDate;
    std::wstring text;
    if (showDate) text = ShortDate(shown);
    if (showTime) {
        if (!text.empty()) text += L' ';
        text += LongTime(shown);
    }
    if (standIn) {
        const size_t at = text.find(L"7999");
        if (at != std::wstring::npos) text.replace(at, 4, std::to_wstring(moment.wYear));
    }
    return text;
}

std::int64_t SecondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    std::int64_t fromTicks = 0, toTicks = 0;
    if (!ToTicks(from, fromTicks) || !ToTicks(to, toTicks)) return 0;
    return (toTicks - fromTicks) / kTicksPerSecond;
}

std::wstring LifeTimeText(std::int64_t seconds) {
    const bool expired = seconds <= 0;
    std::int64_t days = seconds / kSecondsPerDay;
    if (seconds % kSecondsPerDay < 0) --days;  // whole days rounded down, so the rest is never negative
    std::int64_t rest = seconds - days * kSecondsPerDay;
    const std::int64_t hours = rest / kSecondsPerHour;
    rest -= hours * kSecondsPerHour;
    const std::int64_t minutes = rest / kSecondsPerMinute;
    rest -= minutes * kSecondsPerMinute;

    std::wstring text = FormatThousands(days) + L" days ";
    text += Counted(hours, L"hour") + L" ";
    text += Counted(minutes, L"minute") + L" ";
    text += Counted(rest, L"second");
    if (expired) text += L" (Expired)";
    return text;
}

void DispLifeTime(AppContext& ctx, const SYSTEMTIME& now, const SYSTEMTIME& expiry) {
    ctx.frmMain.txtLife.SetText(LifeTimeText(SecondsBetween(now, expiry)));
}

}  // namespace qm
