#pragma once
// The clean log: every clean (the windows, the tray, the hot key, "auto", clean and shutdown,
// the cookie viewer, the console program) appends one line to a file in the user's local
// application data folder, the console program's JSON report on one line with who ran it,
// when and for how long. The file keeps the last kCleanLogMostBytes; the Last Clean window
// reads its last line.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/report_format.h"
#include "clean/clean_log_entry.h"
#include "clean/clean_report.h"
#include "clean/report_recording.h"

namespace qm {

class AppContext;

// "window", "tray", "hotkey", "auto", "shutdown", "console", "viewer".
std::wstring_view CleanTriggerName(CleanTrigger trigger);

inline constexpr std::uint64_t kCleanLogMostBytes = 1 << 20;
// A line's item lists stop growing at this size; the totals still count everything.
inline constexpr size_t kCleanLogLineItemBudget = 256 * 1024;

// Appends line (ending in "\n") to the log at path, first dropping the oldest whole lines so
// that the file stays within mostBytes. A link, a folder or a file with other names at path is
// left alone: false then, and when writing failed.
bool AppendCleanLog(const std::wstring& path, std::string_view line, std::uint64_t mostBytes = kCleanLogMostBytes);

// The record of one clean run while it lives. It gives the run a report (unless the console
// program installed its own), so the result window has true totals, and on Finish (or at the
// end) writes the log line. A run that began no kind (a question answered No) and a preview
// leave no line.
class RecordedClean {
public:
    RecordedClean(AppContext& ctx, CleanTrigger trigger);
    ~RecordedClean();
    RecordedClean(const RecordedClean&) = delete;
    RecordedClean& operator=(const RecordedClean&) = delete;

    // The run's heading up to now, and its log line, once. kinds: what the run was asked to
    // clean; empty: the kinds that began.
    ReportHeading Finish(std::vector<CleanKind> kinds = {});

private:
    AppContext& ctx_;
    CleanTrigger trigger_;
    std::chrono::steady_clock::time_point started_;
    std::wstring startedUtc_;
    std::optional<CleanReport> ownReport_;
    std::optional<ReportingDeletes> ownDeletes_;  // declared after the report: it goes first
    bool finished_ = false;
};

}  // namespace qm
