#pragma once
// The lists of kept cookies, one per browser family, under the program key: every value
// whose name is a decimal number is one kept entry (a cookie line as lstCookie showed it
// when it was kept), in numeric order. The cookie clean and the kept-cookie boxes read them
// through this one reader, so an index in a box always names the stored entry.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace qm {

inline constexpr wchar_t kMsieSavedKey[] = L"Software\\Dorvik Software\\Quillmere\\MSIESavedCookies";
inline constexpr wchar_t kNsSavedKey[] = L"Software\\Dorvik Software\\Quillmere\\NSSavedCookies";
inline constexpr wchar_t kFireFoxSavedKey[] = L"Software\\Dorvik Software\\Quillmere\\FireFoxSavedCookies";
inline constexpr wchar_t kChromiumSavedKey[] = L"Software\\Dorvik Software\\Quillmere\\ChromiumSavedCookies";

// The kept list of a location's kind code (family in bits 8-15); nullptr for no known family.
const wchar_t* KeptListKeyOf(std::int32_t kind);

struct KeptList {
    enum class State {
        Absent,   // no list stored
        Entries,  // read: entries holds it (possibly empty)
        Damaged,  // could not be read, or a numbered value is not text: nothing can be trusted
    };
    State state = State::Absent;
    std::vector<std::wstring> entries;
    DWORD error = ERROR_SUCCESS;  // what made it damaged

    bool Damaged() const { return state == State::Damaged; }
};

// Reads one list. Empty values and values holding "0" are no entries; REG_EXPAND_SZ counts
// as text and is taken as stored (never expanded).
KeptList ReadKeptList(const std::wstring& key);

// Stores entries as the values "0" to "n-1" (REG_SZ, even when the text holds "%"), then
// removes every other numbered value. Empty entries are left out. False when any write or
// removal failed (the values written before the failure stay; nothing already kept is lost
// before the new values are in place).
bool WriteKeptList(const std::wstring& key, const std::vector<std::wstring>& entries);

enum class KeptChange { Done, Damaged, Failed, Nothing };
// Appends line to the stored list (an empty line is never stored).
KeptChange KeepCookieLine(const std::wstring& key, const std::wstring& line);
// Drops the stored entry at index when it still holds expected (or else the first entry that
// does): the box showing the list may be older than the stored list.
KeptChange DropKeptEntry(const std::wstring& key, int index, const std::wstring& expected);

// The identities of the kept entries (the identity rule: field 0 cut before its first "[",
// TAB, field 1) and the field-0 stems alone.
struct KeptIdentities {
    std::unordered_set<std::wstring> identities;
    std::unordered_set<std::wstring> stems;
};
KeptIdentities IdentitiesOf(const std::vector<std::wstring>& entries);
// Field 0 of a cookie line cut before its first "[".
std::wstring_view CookieStem(std::wstring_view cookieLine);

}  // namespace qm
