#pragma once
// How the cleans fill the run's report (AppContext::report, set by the console program): the
// deleting routine's events with each file's size, a preview's delete calls that only try,
// and the decisions the cleans make around them (refused roots, kept cookies, held
// databases, what waits for the restart). Without a report every call here does nothing and
// the cleans run as always.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "clean/clean_report.h"
#include "clean/deletion_guard.h"
#include "clean/held_delete.h"

namespace qm {

class AppContext;
struct CookieTxtTable;

// Why an Outlook or Office folder stays, in the report.
inline constexpr wchar_t kSparedFolderReason[] = L"Outlook or Office folder, never emptied";

// True in a preview: nothing may be written, renamed, scheduled or deleted; each such step
// is recorded as what the clean would do.
bool IsPreview(const AppContext& ctx);

// The run's delete seams while it lives. A clean removes through the platform's remover, a
// preview only opens each file as that remover does (so a file in use stays in both) and
// answers for a folder as the system would once its content is gone. Every event goes into
// the report, a file with its size.
class ReportingDeletes final : public Remover, public DeleteObserver {
public:
    ReportingDeletes(AppContext& ctx, CleanReport& report);
    ~ReportingDeletes() override;
    ReportingDeletes(const ReportingDeletes&) = delete;
    ReportingDeletes& operator=(const ReportingDeletes&) = delete;

    DWORD RemoveFile(const WalkFolder& folder, std::wstring_view name, DWORD listedAttributes) override;
    DWORD RemoveLink(const WalkFolder& folder, std::wstring_view name) override;
    DWORD RemoveFolder(const WalkFolder& folder) override;
    void Seen(const DeleteEvent& event) override;

private:
    Remover& Inner() const { return previous_.remover ? *previous_.remover : PlatformRemover(); }

    AppContext& ctx_;
    CleanReport& report_;
    DeleteSeams previous_;
    std::uint64_t lastSize_ = 0;  // of the file the last RemoveFile call was about
    // A preview's folders that keep something (what stayed or was spared, and every folder
    // above it): the system would refuse to remove them.
    std::unordered_set<std::wstring> holding_;
};

// The run's items from now on belong to kind (a clean names its kind as it starts).
void BeginKind(AppContext& ctx, CleanKind kind);

// A root the guard refused, as the clean named it.
void ReportRefusedRoot(AppContext& ctx, RootKind kind, RootRefusal refusal, const std::wstring& path);
// Something left alone that is a fault to report (a damaged kept list, a database a running
// browser holds), or left on purpose (a kept cookie file).
void ReportRefused(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason);
void ReportKept(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason);
// Something the clean tried that failed (a store that could not be written or compacted).
void ReportFailed(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason);

// The cookie lines of a cookies.txt once the clean has marked the unkept ones: marked lines as
// removed when removed is true (written, or a preview), the others as kept.
void ReportCookieLines(AppContext& ctx, const CookieTxtTable& table, bool removed);

// The rows a cookie database clean decided on, reported once it is known whether they went.
// Notes nothing when the run has no report.
class CookieRowLog {
public:
    explicit CookieRowLog(AppContext& ctx) : ctx_(ctx) {}
    // Notes one row's decision and passes it on.
    bool Note(std::string_view host, std::string_view name, bool kept);
    // removed: the transaction was committed (or it is a preview).
    void Report(const std::wstring& store, bool removed) const;

private:
    struct Row {
        std::wstring host, name;
        bool kept;
    };
    AppContext& ctx_;
    std::vector<Row> rows_;
};

// A file kept as in use that the program removes at its next start.
void ReportKeptUntilNextStart(AppContext& ctx, const std::wstring& path);

// A restart-time operation of the run: source deleted at the next restart, or moved onto
// destination. scheduled says whether the system took it (a preview: whether it could be
// asked for at all).
void ReportScheduled(AppContext& ctx, const std::wstring& source, const std::wstring& destination, bool scheduled);

}  // namespace qm
