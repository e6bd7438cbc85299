#pragma once
// cookies.txt files of the Netscape family (Netscape, the RealNetworks browser component,
// Firefox): one cookie per line, seven TAB-separated fields (domain, domain flag, path,
// secure, expiry, name, value). A scan keeps every line and its ending verbatim in the
// line table and lists the cookies in lstCookie; the write puts the file back without the
// lines marked deleted, replacing it in one step.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "cookies/cookie_state.h"
#include "cookies/ns_cookie_format.h"

namespace qm {

class AppContext;
class WalkFolder;

// Larger files are listed only as far as this and never rewritten.
inline constexpr std::uint64_t kMaxCookieTxtSize = 128ull << 20;  // a million long cookie lines
inline constexpr wchar_t kCookieWriteFailedTitle[] = L"Cookies Could Not Be Deleted";
inline constexpr wchar_t kCookieWriteFailedText[] =
    L"Could not write to Cookie file.\r\nNetscape Navigator may be running, or its Cookie file may be read-only.";

// The table's lines split from bytes (see SplitCookieTxtLines), noting NUL bytes.
void SplitCookieTxt(std::string_view bytes, CookieTxtTable& table);
// The bytes the write puts into the file (see CookieTxtBytes of the lines).
std::string CookieTxtBytes(const CookieTxtTable& table);

// True when bytes begin like an SQLite database ("SQLite format 3" and a NUL).
inline bool IsSqliteDatabase(std::string_view bytes) {
    return bytes.substr(0, 16) == std::string_view("SQLite format 3\0", 16);
}

// ExpiryTime as the system's time record.
std::optional<SYSTEMTIME> ExpiryDate(std::int64_t value);

// Decodes a cookie line into the current cookie record and the viewer's detail boxes;
// "Invalid Cookie Format" when its expiry is not numeric. True when decoded.
bool ParseNS2(AppContext& ctx, std::string_view line);

// Reads path (the cboLoc text when empty) into the line table and lists its cookies in
// lstCookie (domain without a leading "." or "#HttpOnly_", TAB, name, TAB, expiry date; item
// data = the line's index), then shows the first.
void NS2Scan(AppContext& ctx, const std::wstring& path);
// Shows the cookie of the selected lstCookie line in the detail boxes.
void NsClick(AppContext& ctx);
// True when lstCookie lists the cookies.txt at path (the viewer shows that store).
bool ViewerShowsCookieTxt(const AppContext& ctx, const std::wstring& path);

// Reads a cookies.txt into table, without listing it anywhere. False when the file cannot be
// opened or is a cookie database: the table then stays unread and is never written. With
// store (the held folder of path), the file is opened relative to it by its name.
bool ReadCookieTxt(const std::wstring& path, CookieTxtTable& table, const WalkFolder* store = nullptr);

// The identity a kept cookie is matched on: the first field cut before its first "[" (the
// whole field when it begins with "[", an IPv6 host), TAB, the second field.
std::wstring CookieIdentity(std::wstring_view cookieLine);
// CookieIdentity of the line the viewer lists for a cookie with this host (a leading "."
// dropped) and name, built into identity; widen turns the bytes into text.
void CookieIdentityOf(std::string_view host, std::string_view name, std::wstring (*widen)(std::string_view),
                      std::wstring& identity);
// Marks deleted every line that parses as a cookie (ParseCookieLine) and that
// choose(line index, identity) picks, in one pass; how many.
using ChooseCookieLine = std::function<bool(size_t index, const std::wstring& identity)>;
int MarkCookieLines(CookieTxtTable& table, const ChooseCookieLine& choose);
// Marks deleted every cookie line whose identity is not kept; how many.
int MarkUnkeptLines(CookieTxtTable& table, const std::unordered_set<std::wstring>& keptIdentities);

enum class CookieWrite {
    Written,    // the file now holds the table without its deleted lines
    Refused,    // never rewritten: not read whole, it holds NUL bytes, or it has other names
    Cancelled,  // the write failed and the user (or an unattended run) cancelled: the file is unchanged
};
// Writes the table back to the file it was read from, in one step. When that fails (the
// file is read-only, held open, or changed since it was read) the user may retry (the file
// is read again and loses the same lines, nothing a browser added) or cancel.
// A clean passes the store folder it holds through the guard: the file is then replaced
// relative to that folder.
CookieWrite WriteCookieTxt(AppContext& ctx, CookieTxtTable& table, const WalkFolder* store = nullptr);
// The same for the file lstCookie shows; cancelling scans it again, so the list shows the
// file as it is.
CookieWrite NS2Write(AppContext& ctx);

}  // namespace qm
