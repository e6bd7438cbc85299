#pragma once
// The clean log: one line of JSON per clean in the user's local application data folder,
// the console program's report plus when, how long, from where and by whom. The folder is
// the user's to write, so a line is read as untrusted text: strictly, with bounded nesting,
// and no count in it is trusted to size anything.
//
// The reading of a line is portable (fuzzed natively); where the log lies and the reading
// of its end need Windows and live in clean_log_file.cpp.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clean/clean_report.h"

namespace qm {

// A moment in UTC, to the second ("2026-12-08T17:05:09Z").
struct LoggedTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct LoggedClean {
    std::wstring version, command, trigger, computer, user;
    LoggedTime time;
    std::uint64_t durationMs = 0;
    std::vector<CleanKind> kinds;
    // The line's lists in turn (removed, kept, refused, failed, scheduled), each item's
    // outcome set from the list it was in.
    std::vector<ReportItem> items;
    ReportTotals totals;            // always whole, even when items were left out
    std::uint64_t itemsLeftOut = 0;  // items the line does not list, to stay short
    std::uint64_t exitCode = 0;
};

// One record; nothing unless line is a single well-formed JSON object with the record's
// keys and types (a line break between tokens is allowed, so the console program's document
// reads too). Keys it does not know are passed over.
std::optional<LoggedClean> ParseLoggedClean(std::string_view line);

// The record on the last line of a log whose last bytes are tail (the whole log when
// fromStart). A last line without its line break that is not a whole record is taken for a
// line still being written, and the line before it is read instead. cut is set when the
// line to read begins before tail: the caller reads a longer tail.
std::optional<LoggedClean> LastLoggedClean(std::string_view tail, bool fromStart, bool& cut);

// %LOCALAPPDATA%\Quillmere\CleanLog.jsonl; empty when the system names no such folder.
std::wstring CleanLogPath();
// The log's last record, reading at most its last 1.1 MB; nothing when there is no log or
// its last line is no record.
std::optional<LoggedClean> ReadLastLoggedClean(const std::wstring& path = CleanLogPath());

}  // namespace qm
