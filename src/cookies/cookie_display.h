#pragma once
// The cookie viewer's detail boxes: emptying them, the deletion buttons, dates in the
// user's general date format and the remaining lifetime of a cookie.
#include <windows.h>

#include <cstdint>
#include <string>

namespace qm {

class AppContext;

// The details' own line for a cookie that scripts of the page cannot read.
inline constexpr wchar_t kHttpOnlyDetail[] = L"HttpOnly: Yes";
// A session cookie (no expiry): its expiry in the details, and its line and lifetime.
inline constexpr wchar_t kSessionExpiry[] = L"At End Of Session";
inline constexpr wchar_t kSessionListed[] = L"Session";

// Empties txtName, txtValue, txtSecure, txtCreated, txtExpire, txtLife and lblHttpOnly.
void ClearDisp(AppContext& ctx);
// Enables or disables btnDel and btnClear together.
void DelEnabled(AppContext& ctx, bool enabled);
// btnDel and btnClear follow the checked lines of lstCookie: enabled while any is checked,
// btnDel's tooltip naming one or more.
void UpdateDeletion(AppContext& ctx);

// A date and time the way the user's locale writes a general date: short date, a blank
// and long time; the time is left out at exactly midnight and the date on 30 December
// 1899 (the zero date). Years above 9999 are formatted as 7999 and the real year is
// written over the first "7999" of the text. Empty when the moment cannot be formatted.
std::wstring FormatGeneralDate(const SYSTEMTIME& moment);

// Whole seconds from one moment to another (milliseconds ignored); negative when `to`
// lies before `from`. 0 when either moment is not a valid date.
std::int64_t SecondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to);

// "<days> days <h> hour(s) <m> minute(s) <s> second(s)", with " (Expired)" appended
// when the span is 0 or less. Days carry thousands separators and may be negative.
std::wstring LifeTimeText(std::int64_t seconds);

// Puts the lifetime from now to expiry into txtLife.
void DispLifeTime(AppContext& ctx, const SYSTEMTIME& now, const SYSTEMTIME& expiry);

}  // namespace qm
