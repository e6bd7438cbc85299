#pragma once
// What a clean did, or what a preview found the clean would do, item by item: what is removed,
// what is kept and why, which roots are refused and why, what failed, and what waits for the
// restart. The cleans record into the report the run hands them (AppContext::report); the
// console program prints it. A preview and a clean run the same code and fill the same
// report, so the two can be compared item for item.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The kinds of clean, in the order a run takes them.
enum class CleanKind { Internet, Cookies, Temp, Folders, Restart };
inline constexpr CleanKind kAllCleanKinds[] = {CleanKind::Internet, CleanKind::Cookies, CleanKind::Temp,
                                               CleanKind::Folders, CleanKind::Restart};
// "internet", "cookies", "temp", "folders", "restart": the option words without "--".
inline std::wstring_view CleanKindName(CleanKind kind) {
    static constexpr std::wstring_view kNames[] = {L"internet", L"cookies", L"temp", L"folders", L"restart"};
    return kNames[static_cast<std::size_t>(kind)];
}

// What started a clean run.
enum class CleanTrigger { Window, Tray, HotKey, Auto, Shutdown, Console, Viewer };

enum class ItemType { File, Folder, Link, Cookie, Store };
inline std::wstring_view ItemTypeName(ItemType type) {  // "file", "folder", "link", "cookie", "store"
    static constexpr std::wstring_view kNames[] = {L"file", L"folder", L"link", L"cookie", L"store"};
    return kNames[static_cast<std::size_t>(type)];
}

enum class Outcome {
    Removed,    // removed (a preview: would be removed)
    Kept,       // left on purpose: a kept cookie, a spared folder, a file another program has open
    Refused,    // not touched, and that is a fault to report: a refused root, a damaged kept list, a held database
    Failed,     // a delete that failed for another reason
    Scheduled,  // handed to the restart-time operations
};

struct ReportItem {
    CleanKind kind = CleanKind::Temp;
    Outcome outcome = Outcome::Removed;
    ItemType type = ItemType::File;
    std::wstring path;         // as users see it: no "\\?\" prefix
    std::uint64_t bytes = 0;   // removed files
    std::wstring host, name;   // cookies
    std::wstring reason;       // kept, refused, failed: why, in one line
    std::wstring replacement;  // scheduled: the file that takes path's place at restart ("" = path is deleted)
};

struct ReportTotals {
    std::uint64_t files = 0;    // removed files
    std::uint64_t folders = 0;  // removed folders and links
    std::uint64_t bytes = 0;    // of the removed files
    std::uint64_t cookies = 0;  // removed cookies (lines, rows, cookie files)
    std::uint64_t kept = 0;
    std::uint64_t refused = 0;
    std::uint64_t failed = 0;
    std::uint64_t scheduled = 0;
};

class CleanReport {
public:
    explicit CleanReport(bool preview) : preview_(preview) {}
    CleanReport(const CleanReport&) = delete;
    CleanReport& operator=(const CleanReport&) = delete;

    // A preview deletes nothing: its delete calls only record.
    bool Preview() const { return preview_; }

    // The items recorded from now on belong to kind.
    void Begin(CleanKind kind);
    CleanKind Current() const { return current_; }
    // The kinds begun so far, each once, in the order they began.
    const std::vector<CleanKind>& KindsBegun() const { return kindsBegun_; }

    void Removed(ItemType type, const std::wstring& path, std::uint64_t bytes = 0);
    void CookieRemoved(const std::wstring& store, const std::wstring& host, const std::wstring& name);
    void CookieKept(const std::wstring& store, const std::wstring& host, const std::wstring& name);
    void Kept(ItemType type, const std::wstring& path, const std::wstring& reason);
    void Refused(ItemType type, const std::wstring& path, const std::wstring& reason);
    void Failed(ItemType type, const std::wstring& path, const std::wstring& reason);
    void Scheduled(const std::wstring& path, const std::wstring& replacement = {});
    // Gives the last kept item of path (as recorded) another reason: what happens to it later.
    void NoteKept(const std::wstring& path, const std::wstring& reason);

    const std::vector<ReportItem>& Items() const { return items_; }
    const ReportTotals& Totals() const { return totals_; }
    // 1 when something was refused or failed; 0 when the clean did what it could.
    int ExitCode() const { return totals_.refused > 0 || totals_.failed > 0 ? 1 : 0; }

    // Runs after each item is recorded (the console's progress line).
    std::function<void(const ReportItem&)> onRecord;

private:
    void Add(ReportItem item);

    bool preview_;
    CleanKind current_ = CleanKind::Internet;
    std::vector<CleanKind> kindsBegun_;
    std::vector<ReportItem> items_;
    ReportTotals totals_;
};

// The first line of a message, without a closing ":" (the program's boxes name the path on
// the lines after it, where a report has a field of its own).
std::wstring FirstLine(std::wstring_view text);

}  // namespace qm
