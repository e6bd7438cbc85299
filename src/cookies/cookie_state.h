#pragma once
// The cookie manager's shared state: the cookie file last loaded, where its records
// begin, the record last decoded and the browser family being shown.
#include <windows.h>

#include <string>
#include <vector>

namespace qm {

struct CookieRecord {
    std::wstring name;
    std::wstring value;
    std::wstring hostPath;
    SYSTEMTIME created{};
};

struct CookieState {
    std::string text;                  // the whole cookie file, one character per byte
    std::vector<int> recordStarts;     // 1-based positions in text where records begin
    CookieRecord current;              // the record last decoded
    std::wstring familyTag;            // "MSIE", "NS2" or "FireFox"
    std::vector<std::string> lineTable;  // cookies.txt lines by item data
};

}  // namespace qm
