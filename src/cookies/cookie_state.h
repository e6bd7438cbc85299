#pragma once
// The cookie manager's shared state: the cookie file last loaded, where its records
// begin, the record last decoded and the browser family being shown.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cookies/cookie_database.h"
#include "cookies/cookie_time.h"
#include "cookies/ns_cookie_format.h"
#include "startup/file_helpers.h"

namespace qm {

struct CookieRecord {
    std::wstring name;
    std::wstring value;
    std::wstring hostPath;
    SYSTEMTIME created{};
    SYSTEMTIME expires{};
};

// The present moment in UTC. Cookie times are stored and shown as UTC, so lifetimes are
// measured against UTC too.
inline SYSTEMTIME SystemUtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return now;
}

inline SYSTEMTIME ToSystemTime(const CivilTime& time) {
    SYSTEMTIME moment{};
    moment.wYear = static_cast<WORD>(time.year);
    moment.wMonth = static_cast<WORD>(time.month);
    moment.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
    moment.wDay = static_cast<WORD>(time.day);
    moment.wHour = static_cast<WORD>(time.hour);
    moment.wMinute = static_cast<WORD>(time.minute);
    moment.wSecond = static_cast<WORD>(time.second);
    return moment;
}

inline std::optional<SYSTEMTIME> ToSystemTime(const std::optional<CivilTime>& time) {
    if (!time) return std::nullopt;
    return ToSystemTime(*time);
}

// The cookies.txt file last scanned, line by line, and what the write needs to know about it.
struct CookieTxtTable {
    std::wstring path;  // the file the scan read; the write goes back to this file
    std::vector<CookieTxtLine> lines;
    bool readWhole = false;  // every byte was read (an unreadable or oversized file is never written)
    bool holdsNul = false;   // a file with NUL bytes is no text file and is never rewritten
    // The file has other names (hard links): replaced under one, its cookies would stay
    // under the others, so it is never rewritten.
    bool otherNames = false;
    FileStamp stamp;         // the file as it was read; a file changed since is not written
};

struct CookieState {
    std::string text;                  // the whole cookie file, one character per byte
    std::vector<int> recordStarts;     // 1-based positions in text where records begin
    CookieRecord current;              // the record last decoded
    std::wstring familyTag;            // "MSIE", "NS2", "FireFox" or "Chromium"
    CookieTxtTable cookieTxt;          // the cookies.txt file last scanned (lstCookie item data = line index)
    // The cookie database last read (lstCookie item data = index), shown instead of cookieTxt.
    std::vector<DatabaseCookie> databaseCookies;
    bool databaseShown = false;
    // Shift-click range checking in lstCookie: the line checked last (-1: none) and its state.
    int rangeAnchor = -1;
    bool lastCheckState = false;

    // Set while the cookie clean runs: selecting a location then does not refill the viewer.
    bool viewerQuiet = false;
    // The kept list last loaded into its box could not be read.
    bool keptBoxDamaged = false;

    // "Now" for the lifetime display; tests set a fixed moment.
    std::function<SYSTEMTIME()> utcNow = SystemUtcNow;
};

}  // namespace qm
