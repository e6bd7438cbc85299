#include "clean/clean_log.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/app_error.h"
#include "base/handles.h"
#include "base/program_version.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

std::wstring UtcNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = std::size(name);
    return ::GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring UserName() {
    wchar_t name[257];
    DWORD size = std::size(name);
    return ::GetUserNameW(name, &size) && size > 0 ? std::wstring(name, size - 1) : std::wstring();
}

// The log itself, never what a link or another name of it leads to.
UniqueFile OpenLog(const std::wstring& path, DWORD access, DWORD disposition) {
    UniqueFile file(::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return {};
    return file;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// The newest whole lines of an open log that fit in room bytes.
std::string NewestLines(HANDLE file, std::uint64_t size, std::uint64_t room) {
    if (room == 0) return {};
    const std::uint64_t start = size > room ? size - room : 0;
    std::string tail(static_cast<size_t>(size - start), '\0');
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(start);
    DWORD read = 0;
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file, tail.data(), static_cast<DWORD>(tail.size()), &read, nullptr))
        return {};
    tail.resize(read);
    if (start > 0) {
        // The first line was cut: it goes whole.
        const size_t end = tail.find('\n');
        tail.erase(0, end == std::string::npos ? tail.size() : end + 1);
    }
    return tail;
}

}  // namespace

std::wstring_view CleanTriggerName(CleanTrigger trigger) {
    static constexpr std::wstring_view kNames[] = {L"window",   L"tray",    L"hotkey", L"auto",
                                                   L"shutdown", L"console", L"viewer"};
    return kNames[static_cast<size_t>(trigger)];
}

bool AppendCleanLog(const std::wstring& path, std::string_view line, std::uint64_t mostBytes) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    std::string kept;
    {
        const UniqueFile log = OpenLog(path, GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
        if (!log) return false;
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(log.get(), &size)) return false;
        const std::uint64_t bytes = static_cast<std::uint64_t>(size.QuadPart);
        if (bytes + line.size() <= mostBytes) return WriteAll(log.get(), line);
        kept = NewestLines(log.get(), bytes, mostBytes > line.size() ? mostBytes - line.size() : 0);
    }
    // Too long: the trimmed log replaces the old one in one step, so a failure loses no line.
    return ReplaceWholeFile(path, kept + std::string(line)) == ERROR_SUCCESS;
}

RecordedClean::RecordedClean(AppContext& ctx, CleanTrigger trigger)
    : ctx_(ctx), trigger_(trigger), started_(std::chrono::steady_clock::now()), startedUtc_(UtcNow()) {
    if (ctx_.report) return;
    ownReport_.emplace(false);
    ctx_.report = &*ownReport_;
    ownDeletes_.emplace(ctx_, *ownReport_);
}

RecordedClean::~RecordedClean() {
    IgnoreErrors([&] { Finish(); });
    if (!ownReport_) return;
    ownDeletes_.reset();
    ctx_.report = nullptr;
}

ReportHeading RecordedClean::Finish(std::vector<CleanKind> kinds) {
    const CleanReport& report = *ctx_.report;
    if (kinds.empty()) kinds = report.KindsBegun();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    ReportHeading heading{ProgramVersionText(),   std::move(kinds), std::wstring(CleanTriggerName(trigger_)),
                          startedUtc_,            static_cast<std::uint64_t>(elapsed.count()),
                          ComputerName(),         UserName()};
    if (finished_) return heading;
    finished_ = true;
    if (report.Preview() || heading.kinds.empty()) return heading;
    const std::string line =
        FormatReportJson(report, heading, report.ExitCode(), JsonLayout::OneLine, kCleanLogLineItemBudget);
    const std::wstring path = CleanLogPath();
    if (path.empty() || !AppendCleanLog(path, line))
        ::OutputDebugStringW((L"Quillmere: the clean log " + path + L" could not be written\n").c_str());
    return heading;
}

}  // namespace qm
