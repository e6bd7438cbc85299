#pragma once
// Internet Explorer cookie files: listing a folder's cookie files into lstCookie,
// loading one file into the shared cookie text and decoding its records (the format
// itself is in msie_cookie_format.h).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookies/cookie_state.h"
#include "cookies/msie_cookie_format.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kCookieCountCaption[] = L"Number of Cookies in selected location: ";
inline constexpr wchar_t kInvalidCookieFormat[] = L"Invalid Cookie Format";
inline constexpr wchar_t kCookieErrorTitle[] = L"Dorvik Error Message";
inline constexpr wchar_t kRecordTabCaption[] = L"Key/Value &";

// A path that compares less than or equal to a single blank: empty, " ", or beginning
// with a control character. Such a path names no folder.
bool IsBlankPath(std::wstring_view path);

// A folder's cookie files: the names the pattern finds that hold "@" after their first
// character. The viewer lists exactly these and the cookie clean deletes no other file.
inline constexpr wchar_t kMsieCookieFilePattern[] = L"*.txt*";
bool IsMsieCookieFileName(std::wstring_view name);

// An Outlook or Office folder holds no cookie files, whatever its files are named: neither
// the viewer nor the clean looks inside one.
bool IsSparedCookieFolder(const std::wstring& folder);

// Lists the folder's cookie files by bare name; the count, or -1 for a blank folder.
int MSIEScan(AppContext& ctx, const std::wstring& folder);
// Lists the folder's cookie files as cookie lines; 1 when anything was listed, else -1.
int MSIEScan2(AppContext& ctx, const std::wstring& folder);
// Load folder + fileName into the cookie text and compute the record starts; false when
// the file could not be read or holds no records.
bool MsieClick2(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName);
bool frmMainMsieClick(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName);
// Shows the file of the current lstCookie line (its text up to the first TAB) from folder:
// one tab of tabKV per record, the first record in the detail boxes, deletion enabled by
// the number of selected lines. An unreadable file is reported in a message box.
void MsieClick(AppContext& ctx, const std::wstring& folder);
// Decodes record recordIndex (0-based) of the loaded file into the detail boxes; what
// choosing a record tab shows for Internet Explorer files.
void ShowMsieRecord(AppContext& ctx, int recordIndex);

// How loading a cookie file ended.
enum class CookieLoad {
    Records,    // the text is loaded and split into records
    NoRecords,  // readable, but too large or without its final terminator: no text, no records
    Unreadable  // the file could not be opened or read: no text, no records
};
struct CookieLoadResult {
    CookieLoad outcome = CookieLoad::Unreadable;
    DWORD error = 0;  // the system's error code when Unreadable
};
CookieLoadResult LoadCookieFile(CookieState& state, const std::wstring& path);

// MsieTime as the system's time record, in UTC.
std::optional<SYSTEMTIME> MSIEDate(std::string_view high, std::string_view low);

// One record's fields, decoded; nothing when its time fields are not valid.
struct MsieRecord {
    CookieRecord record;
    bool secure = false;
    std::wstring createdText;  // general date format
    std::wstring expiresText;
};
std::optional<MsieRecord> DecodeMsieRecord(std::string_view recordText);

// Decodes the first record of recordText into the current cookie record and the detail
// boxes; "Invalid Cookie Format" when it cannot be decoded. True when decoded.
bool ParseMSIE(AppContext& ctx, std::string_view recordText);
bool ParseMSIE2(AppContext& ctx, std::string_view recordText);
// Shows "Invalid Cookie Format" in the name and value boxes.
void BadCookie(AppContext& ctx);

// The lstCookie line of a cookie file: file name, TAB, cookie name, TAB, creation date.
std::wstring MsieCookieLine(const std::wstring& fileName, const std::wstring& cookieName,
                            const std::wstring& createdText);

}  // namespace qm
