#include "clean/report_recording.h"

#include "base/text.h"
#include "clean/next_start_deletes.h"
#include "cookies/ns_cookie_format.h"
#include "cookies/cookie_state.h"
#include "startup/app_context.h"

namespace qm {

namespace {

CleanReport* ReportOf(AppContext& ctx) { return ctx.report; }

ItemType TypeOf(ItemKind kind) {
    switch (kind) {
        case ItemKind::File: return ItemType::File;
        case ItemKind::Folder: return ItemType::Folder;
        case ItemKind::Link: return ItemType::Link;
    }
    return ItemType::File;
}

// The system's words for an error number, on one line.
std::wstring SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? FirstLine(TrimWhite(std::wstring_view(text, length))) : std::wstring();
    if (text) ::LocalFree(text);
    while (!message.empty() && message.back() == L'.') message.pop_back();
    return L"error " + std::to_wstring(error) + (message.empty() ? L"" : L": " + message);
}

std::uint64_t SizeOf(HANDLE file) {
    FILE_STANDARD_INFO info{};
    if (!::GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof(info))) return 0;
    return static_cast<std::uint64_t>(info.EndOfFile.QuadPart);
}

// The folders above a path, up to (not past) the volume: "\\?\C:\a\b\f" gives "\\?\C:\a\b",
// "\\?\C:\a" and "\\?\C:".
template <class Visit>
void ForEachFolderAbove(std::wstring_view path, Visit&& visit) {
    for (size_t end = path.find_last_of(L'\\'); end != std::wstring_view::npos && end > 0;
         end = path.find_last_of(L'\\', end - 1))
        visit(std::wstring(path.substr(0, end)));
}

}  // namespace

bool IsPreview(const AppContext& ctx) { return ctx.report && ctx.report->Preview(); }

ReportingDeletes::ReportingDeletes(AppContext& ctx, CleanReport& report)
    : ctx_(ctx), report_(report), previous_(ctx.deletes) {
    ctx_.deletes = {this, this};
}

ReportingDeletes::~ReportingDeletes() { ctx_.deletes = previous_; }

DWORD ReportingDeletes::RemoveFile(const WalkFolder& folder, std::wstring_view name, DWORD listedAttributes) {
    lastSize_ = 0;
    {
        // Opened as the remover opens it: what this open refuses, the delete would not get.
        const UniqueFile file = OpenListedFileForDelete(folder, name);
        if (file) lastSize_ = SizeOf(file.get());
        if (report_.Preview()) return file ? ERROR_SUCCESS : ::GetLastError();
    }
    return Inner().RemoveFile(folder, name, listedAttributes);
}

DWORD ReportingDeletes::RemoveLink(const WalkFolder& folder, std::wstring_view name) {
    if (!report_.Preview()) return Inner().RemoveLink(folder, name);
    return IsOpenedLink(OpenListedLink(folder, name)) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ReportingDeletes::RemoveFolder(const WalkFolder& folder) {
    if (!report_.Preview()) return Inner().RemoveFolder(folder);
    if (holding_.count(folder.LongPath())) return ERROR_DIR_NOT_EMPTY;
    return folder.RemoveRefusal();
}

void ReportingDeletes::Seen(const DeleteEvent& event) {
    if (previous_.observer) previous_.observer->Seen(event);
    const std::wstring path(event.path);
    const ItemType type = TypeOf(event.kind);
    if (report_.Preview() && event.reason != SkipReason::None)
        ForEachFolderAbove(path, [&](std::wstring folder) { holding_.insert(std::move(folder)); });
    switch (event.reason) {
        case SkipReason::None: report_.Removed(type, path, event.kind == ItemKind::File ? lastSize_ : 0); break;
        case SkipReason::InUse: report_.Kept(type, path, L"in use by another program"); break;
        case SkipReason::AccessDenied: report_.Refused(type, path, L"access denied to this user"); break;
        case SkipReason::NotEmpty: report_.Kept(type, path, L"holds what stays"); break;
        case SkipReason::SparedFolder: report_.Kept(type, path, kSparedFolderReason); break;
        case SkipReason::NotTheListedFolder:
            report_.Refused(type, path, L"no longer the folder that was listed (moved, swapped or made a link)");
            break;
        case SkipReason::Failed: report_.Failed(type, path, SystemMessage(event.error)); break;
    }
}

void BeginKind(AppContext& ctx, CleanKind kind) {
    if (CleanReport* report = ReportOf(ctx)) report->Begin(kind);
}

void ReportRefusedRoot(AppContext& ctx, RootKind kind, RootRefusal refusal, const std::wstring& path) {
    if (CleanReport* report = ReportOf(ctx)) report->Refused(ItemType::Folder, path, FirstLine(RefusalText(kind, refusal, path)));
}

void ReportRefused(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason) {
    if (CleanReport* report = ReportOf(ctx)) report->Refused(type, path, reason);
}

void ReportKept(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason) {
    if (CleanReport* report = ReportOf(ctx)) report->Kept(type, path, reason);
}

void ReportFailed(AppContext& ctx, ItemType type, const std::wstring& path, const std::wstring& reason) {
    if (CleanReport* report = ReportOf(ctx)) report->Failed(type, path, reason);
}

void ReportCookieLines(AppContext& ctx, const CookieTxtTable& table, bool removed) {
    CleanReport* report = ReportOf(ctx);
    if (!report) return;
    for (const auto& line : table.lines) {
        const auto cookie = ParseCookieLine(line.text);
        if (!cookie) continue;
        const std::wstring host = WidenAnsi(cookie->fields.domain), name = WidenAnsi(cookie->fields.name);
        if (line.deleted && removed) report->CookieRemoved(table.path, host, name);
        else if (!line.deleted) report->CookieKept(table.path, host, name);
    }
}

bool CookieRowLog::Note(std::string_view host, std::string_view name, bool kept) {
    if (ctx_.report) rows_.push_back({WidenUtf8(host), WidenUtf8(name), kept});
    return kept;
}

void CookieRowLog::Report(const std::wstring& store, bool removed) const {
    CleanReport* report = ReportOf(ctx_);
    if (!report) return;
    for (const auto& row : rows_) {
        if (row.kept) report->CookieKept(store, row.host, row.name);
        else if (removed) report->CookieRemoved(store, row.host, row.name);
    }
}

void ReportKeptUntilNextStart(AppContext& ctx, const std::wstring& path) {
    if (CleanReport* report = ReportOf(ctx)) report->NoteKept(path, kInUseUntilNextStartReason);
}

void ReportScheduled(AppContext& ctx, const std::wstring& source, const std::wstring& destination, bool scheduled) {
    CleanReport* report = ReportOf(ctx);
    if (!report) return;
    // What the restart changes: the file deleted, or the file the copy replaces.
    const std::wstring& changed = destination.empty() ? source : destination;
    if (scheduled) report->Scheduled(changed, destination.empty() ? std::wstring() : source);
    else report->Failed(ItemType::File, changed, L"could not be set to go at the next restart (needs administrator rights)");
}

}  // namespace qm
