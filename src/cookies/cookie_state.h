#pragma once
// The cookie manager's shared state: the cookie file last loaded, where its records
// begin, the record last decoded and the browser family being shown.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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

struct CookieState {
    std::string text;                  // the whole cookie file, one character per byte
    std::vector<int> recordStarts;     // 1-based positions in text where records begin
    CookieRecord current;              // the record last decoded
    std::wstring familyTag;            // "MSIE", "NS2" or "FireFox"
    std::vector<std::string> lineTable;  // cookies.txt lines by item data

    // Shift-click range checking in lstCookie: the line checked last (-1: none) and its state.
    int rangeAnchor = -1;
    bool lastCheckState = false;

    // "Now" for the lifetime display; tests set a fixed moment.
    std::function<SYSTEMTIME()> utcNow = SystemUtcNow;
};

}  // namespace qm
