#pragma once
// The cookies.txt format of the Netscape family, as bytes: lines kept verbatim with their
// endings, the seven TAB-separated fields of a cookie line (domain, domain flag, path,
// secure, expiry, name, value), the header kinds and what an expiry value means.
// No system calls: the viewer and the cookie clean wrap these.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/cookie_time.h"

namespace qm {

inline constexpr std::int64_t kNeverExpires = 4294967295;
inline constexpr std::int32_t kHeaderNetscape = 0x2000;  // "# Netscape HTTP Cookie"
inline constexpr std::int32_t kHeaderHttp = 0x4000;      // "# HTTP Cookie": expiry is always seconds since 1970

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

// The header kind after a file's first line: "# Netscape HTTP Cookie..." or
// "# HTTP Cookie..." (any letter case) set bits 8-15 and keep the low byte; any other
// line keeps the kind of the last file that had a header.
std::int32_t HeaderKindAfter(std::int32_t headerKind, std::string_view firstLine);
bool HasHttpHeader(std::int32_t headerKind);

// A packed MS-DOS date and time; parts out of range carry into the next unit.
std::optional<CivilTime> PackedDosTime(std::uint16_t timeWord, std::uint16_t dateWord);
// What an expiry value means under a header kind: the packed MS-DOS form for values up
// to 2147483647 unless the file has the "# HTTP Cookie" header, else seconds since 1970.
// 0 under that header has no date (the cookie ends now); nothing when out of range.
std::optional<CivilTime> ExpiryTime(std::int32_t headerKind, std::int64_t value);

}  // namespace qm
