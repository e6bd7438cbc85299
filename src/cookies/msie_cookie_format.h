#pragma once
// The Internet Explorer cookie file format, as bytes. A file is a run of records; a record
// is eight fields, each ended by a line feed, then a line holding "*": name, value, host
// and path, flags, expiry low and high half, creation low and high half (the halves of two
// FILETIMEs, as unsigned decimals). No system calls: the viewer and the cookie clean wrap
// these.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/cookie_time.h"

namespace qm {

// Files above this size are not split into records.
inline constexpr std::uint64_t kMaxCookieFileSize = 65535;

// Gives a file's text its final line feed when it lacks one; true when the text then ends
// with the record terminator (line feed, "*", line feed), the sign of a complete file.
bool CompleteCookieFileText(std::string& text);

// 1-based starts of the records of a text that ends with line feed, "*", line feed.
std::vector<int> RecordStarts(std::string_view text);

// Copies text up to its first character below code 32 into field. Returns that
// character's 1-based position, or 0 when no such character comes before the text's last
// position (field then holds everything up to the end or up to that last character).
int ParseField(std::string_view text, std::string& field);

// A time half: a whole decimal number from 0 to 4294967295 (blanks around it allowed),
// returned as the signed 32-bit number with the same bits. Nothing for anything else.
std::optional<std::int32_t> UnsignedToLong(std::string_view text);
// The moment two time halves stand for; nothing when a half is not a valid number or the
// time lies beyond what the system can convert.
std::optional<CivilTime> MsieTime(std::string_view high, std::string_view low);

// One record's fields as stored; nothing when its time fields are not valid.
struct MsieFields {
    std::string name, value, hostPath;
    bool secure = false;  // any flags other than "0"
    CivilTime expires, created;
};
std::optional<MsieFields> ParseMsieFields(std::string_view recordText);

}  // namespace qm
