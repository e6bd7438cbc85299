#pragma once
// The cookies.txt format of the Netscape family, as bytes: lines kept verbatim with their
// endings, the seven TAB-separated fields of a cookie line (domain, domain flag, path,
// secure, expiry, name, value) and what an expiry value means.
// No system calls: the viewer and the cookie clean wrap these.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/cookie_time.h"

namespace qm {

inline constexpr std::int64_t kNeverExpires = 4294967295;

// One line of a cookies.txt file, kept verbatim.
struct CookieTxtLine {
    std::string text;    // the line's bytes without its ending
    std::string ending;  // the CR and LF bytes that followed it (more than one pair when blank lines follow)
    bool deleted = false;
    std::int32_t number = 0;  // the line's index + 1
};

// Splits bytes into lines. Only CR and LF end a line; every other byte (other control
// characters and NUL included) stays in the line's text. Blank lines belong to the ending
// of the line before them.
std::vector<CookieTxtLine> SplitCookieTxtLines(std::string_view bytes);
// The bytes the write puts into the file: every line not marked deleted, text and ending
// as read. A deleted line takes its own line break with it; blank lines after it stay.
std::string CookieTxtBytes(const std::vector<CookieTxtLine>& lines);

// A line the viewer lists: neither blank (nothing above a blank at its start) nor a "#"
// comment, or a cookie line written for an HttpOnly cookie. Only lines that parse
// (ParseCookieLine) are ever removed by a clean.
bool IsCookieLine(std::string_view text);
// ASCII letters compared without case; upperWord is given in capitals ("TRUE").
bool EqualsAsciiNoCase(std::string_view text, std::string_view upperWord);

struct Ns2Fields {
    std::string_view domain, domainFlag, path, secure, expiry, name, value;
};
// The seven fields; any byte below 32 ends a field, missing fields are empty.
Ns2Fields SplitNs2Fields(std::string_view line);
// What curl and Firefox put before the seven fields of an HttpOnly cookie (exact case).
inline constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

// A line that is a cookie: exactly seven TAB-separated fields, none but the value empty or
// holding a byte below 32 (so the viewer's fields are the same), and a whole-number expiry;
// or such a line behind kHttpOnlyPrefix. Any other line is no cookie, whatever it holds.
struct CookieLineFields {
    Ns2Fields fields;  // the domain without kHttpOnlyPrefix
    bool httpOnly = false;
};
std::optional<CookieLineFields> ParseCookieLine(std::string_view text);

// An expiry field as a whole number (blanks around it and a sign allowed); nothing when
// it is not numeric.
std::optional<std::int64_t> ParseExpiry(std::string_view field);

// True when an expiry field marks a session cookie: 0 or an empty field (curl, wget and
// the browsers' exporters write one or the other for cookies without a date).
bool IsSessionExpiry(std::string_view field);
// What an expiry value means: seconds since 1970, whatever the file's header says (every
// program that writes cookies.txt today writes them so). Nothing for 0 (a session cookie)
// and outside the years the system can show.
std::optional<CivilTime> ExpiryTime(std::int64_t value);

}  // namespace qm
