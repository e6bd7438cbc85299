#pragma once
// The console program's two forms of a report: a short table with the totals for people, and
// one JSON document for scripts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clean/clean_report.h"

namespace qm {

// What the report is about, besides its items.
struct ReportHeading {
    std::wstring version;          // "5.0.0"
    std::vector<CleanKind> kinds;  // the kinds run, in order
    // Who ran it, when and where ("" and 0 leave a field out).
    std::wstring trigger;  // "window", "tray", "hotkey", "auto", "shutdown", "console", "viewer"
    std::wstring time;     // when it started, UTC: "2026-12-08T17:05:09Z"
    std::uint64_t durationMs = 0;
    std::wstring computer, user;
};

enum class JsonLayout {
    Indented,  // for people and scripts reading the console's output
    OneLine,   // a line of the clean log
};

// One JSON document in UTF-8 (no BOM), ending in a line break. Text that is not valid UTF-16
// (a lone surrogate in a file name) is written as a \u escape, so nothing is lost or altered.
// Once the document has reached itemBudget bytes, the items left are only counted, in
// "itemsLeftOut"; the totals always count every item.
std::string FormatReportJson(const CleanReport& report, const ReportHeading& heading, int exitCode,
                             JsonLayout layout = JsonLayout::Indented, size_t itemBudget = SIZE_MAX);

// The table of items and a totals line, lines ending in "\n".
std::wstring FormatReportTable(const CleanReport& report, const ReportHeading& heading);

// "512 B", "1.5 KB", "12.0 MB": binary units, one decimal past bytes.
std::wstring FormatSize(std::uint64_t bytes);

// text as a JSON string literal, quotes included, in UTF-8.
std::string JsonString(std::wstring_view text);

}  // namespace qm
