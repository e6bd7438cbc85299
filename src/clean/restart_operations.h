#pragma once
// Restart-time file operations: the locked index files of an Internet Explorer store are
// deleted (or replaced by the copy the cookie clean made) when the system next starts. The
// system carries these out with full rights, by path, so they are asked for only for a store
// that discovery lists and that is still that folder (other files in use wait for the
// program's next start instead: next_start_deletes.h). NT-family systems keep the operations in the shared value
// "PendingFileRenameOperations"; Windows 9x/ME in the "[rename]" section of Wininit.ini.
// Both lists belong to every program on the machine, so the program adds its entries
// through the system's own call (NT) or a whole-file replacement (9x), never adds an
// entry twice, records what it added, and withdraws exactly that, leaving every other
// entry as it was, byte for byte.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

inline constexpr wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// Values of the program key recording what the program scheduled.
inline constexpr wchar_t kOwnPendingValue[] = L"RestartOperations";
inline constexpr wchar_t kOwnWininitValue[] = L"WininitLines";

// The strings of one of the program's own list values (a plain REG_MULTI_SZ of the program
// key); writing an empty list deletes the value.
std::vector<std::wstring> ReadOwnList(const wchar_t* name);
bool WriteOwnList(const wchar_t* name, const std::vector<std::wstring>& strings);

// One operation as the system stores it: the source in the system's form ("\??\C:\x"),
// the destination empty for a delete or "!\??\C:\y" for a move that replaces y.
struct RestartPair {
    std::wstring source;
    std::wstring destination;
};
bool SamePair(const RestartPair& a, const RestartPair& b);  // paths compared without regard to letter case

// The system's form of a full path: "\??\C:\x", "\??\UNC\server\share\x".
std::wstring SystemPathForm(const std::wstring& fullPath);

// The pending list as stored: the raw characters and each pair's place in them.
struct PendingList {
    std::wstring raw;  // every character of the value, NULs included
    struct Entry {
        RestartPair pair;
        size_t begin = 0, end = 0;  // the pair's characters in raw, both terminators included
    };
    std::vector<Entry> entries;
};
// Nothing when the value is malformed: not REG_MULTI_SZ, an odd byte count, no closing
// terminator, an odd number of strings or a pair without a source. Such a value is
// never changed. An absent or empty value is an empty list.
std::optional<PendingList> ParsePendingList(DWORD type, const std::vector<BYTE>& bytes);

// How scheduling one operation ended.
enum class Scheduled {
    Added,         // handed to the system and recorded
    AlreadyThere,  // the same pair is pending: nothing added
    Skipped,       // missing, a link, a relative path, or a folder to be moved: nothing to do
    Failed,        // the system refused (no administrator rights) or its list is malformed
};
// Schedules the deletion of source (a file, or a folder that will be empty by then;
// destination empty) or the move of a file onto destination, replacing it, at the next
// restart (NT family). Records the pair, forgetting recorded pairs no longer pending.
Scheduled ScheduleAtRestart(const std::wstring& source, const std::wstring& destination = {});
// Removes the recorded pairs from the system's list (one occurrence each), keeping every
// other byte; pairs no longer pending are forgotten. False when the list could not be
// changed (malformed, or no rights): the record stays for a later try.
bool WithdrawOwnRestartOperations();
// The pairs the program recorded as its own.
std::vector<RestartPair> OwnRestartPairs();
// Drops the recorded pairs the system's list no longer holds (the restart carried them
// out), so that withdrawing never takes out another program's identical pair scheduled
// later. Runs at start; scheduling does the same before it records. False (the record
// kept) when the list cannot be read exactly.
bool ForgetCarriedOutRestartOperations();
// Whether a recorded pair (or Wininit.ini line still in its file) moves path, a full path,
// at the next restart.
bool IsOwnPendingMoveSource(const std::wstring& path);

// Wininit.ini (Windows 9x/ME). The text with lines added at the end of its "[rename]"
// section (created at the end when missing), each unless the section already holds it in
// any letter case; added receives the lines really added.
std::string WithRenameLines(std::string_view text, const std::vector<std::string>& lines,
                            std::vector<std::string>& added);
// The text without one occurrence of each line in its "[rename]" section.
std::string WithoutRenameLines(std::string_view text, const std::vector<std::string>& lines);
// Adds the lines to the file (created when missing) in one whole-file replacement and
// records them; false when the file could not be read whole or written.
bool AddWininitLines(const std::wstring& wininit, const std::vector<std::string>& lines, int& added);
// Removes the recorded lines from the files they were added to; false when one stays.
bool WithdrawOwnWininitLines();

}  // namespace qm
