#include "clean/clean_report.h"

#include <algorithm>

#include "clean/search_delete.h"

namespace qm {

void CleanReport::Begin(CleanKind kind) {
    current_ = kind;
    if (std::find(kindsBegun_.begin(), kindsBegun_.end(), kind) == kindsBegun_.end()) kindsBegun_.push_back(kind);
}

void CleanReport::Add(ReportItem item) {
    item.kind = current_;
    item.path = WithoutLongPrefix(item.path);
    switch (item.outcome) {
        case Outcome::Removed:
            if (item.type == ItemType::File) {
                ++totals_.files;
                totals_.bytes += item.bytes;
            } else if (item.type == ItemType::Folder || item.type == ItemType::Link) {
                ++totals_.folders;
            } else if (item.type == ItemType::Cookie) {
                ++totals_.cookies;
            }
            break;
        case Outcome::Kept: ++totals_.kept; break;
        case Outcome::Refused: ++totals_.refused; break;
        case Outcome::Failed: ++totals_.failed; break;
        case Outcome::Scheduled: ++totals_.scheduled; break;
    }
    items_.push_back(std::move(item));
    if (onRecord) onRecord(items_.back());
}

namespace {

ReportItem MakeItem(Outcome outcome, ItemType type, const std::wstring& path, const std::wstring& reason = {}) {
    ReportItem item;
    item.outcome = outcome;
    item.type = type;
    item.path = path;
    item.reason = reason;
    return item;
}

ReportItem CookieItem(Outcome outcome, const std::wstring& store, const std::wstring& host, const std::wstring& name) {
    ReportItem item = MakeItem(outcome, ItemType::Cookie, store, outcome == Outcome::Kept ? L"kept cookie" : L"");
    item.host = host;
    item.name = name;
    return item;
}

}  // namespace

void CleanReport::Removed(ItemType type, const std::wstring& path, std::uint64_t bytes) {
    ReportItem item = MakeItem(Outcome::Removed, type, path);
    item.bytes = bytes;
    Add(std::move(item));
}

void CleanReport::CookieRemoved(const std::wstring& store, const std::wstring& host, const std::wstring& name) {
    Add(CookieItem(Outcome::Removed, store, host, name));
}

void CleanReport::CookieKept(const std::wstring& store, const std::wstring& host, const std::wstring& name) {
    Add(CookieItem(Outcome::Kept, store, host, name));
}

void CleanReport::Kept(ItemType type, const std::wstring& path, const std::wstring& reason) {
    Add(MakeItem(Outcome::Kept, type, path, reason));
}

void CleanReport::Refused(ItemType type, const std::wstring& path, const std::wstring& reason) {
    Add(MakeItem(Outcome::Refused, type, path, reason));
}

void CleanReport::Failed(ItemType type, const std::wstring& path, const std::wstring& reason) {
    Add(MakeItem(Outcome::Failed, type, path, reason));
}

void CleanReport::NoteKept(const std::wstring& path, const std::wstring& reason) {
    const std::wstring shown = WithoutLongPrefix(path);
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        if (item->outcome != Outcome::Kept || item->path != shown) continue;
        item->reason = reason;
        return;
    }
}

void CleanReport::Scheduled(const std::wstring& path, const std::wstring& replacement) {
    ReportItem item = MakeItem(Outcome::Scheduled, ItemType::File, path);
    item.replacement = WithoutLongPrefix(replacement);
    Add(std::move(item));
}

std::wstring FirstLine(std::wstring_view text) {
    std::wstring line(text.substr(0, text.find_first_of(L"\r\n")));
    while (!line.empty() && (line.back() == L':' || line.back() == L' ')) line.pop_back();
    return line;
}

}  // namespace qm
