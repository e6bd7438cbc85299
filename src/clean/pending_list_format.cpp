#include "clean/pending_list_format.h"

namespace qm {

std::optional<PendingText> ParsePendingText(std::uint32_t type, ByteSpan bytes) {
    if (type != kRegMultiSz || bytes.size() % 2 != 0) return std::nullopt;
    PendingText list;
    list.raw = Utf16FromBytes(bytes);
    const std::u16string& raw = list.raw;
    if (raw.empty()) return list;
    if (raw.back() != u'\0') return std::nullopt;
    const size_t body = raw.size() - 1;  // before the closing terminator
    std::vector<size_t> starts;
    for (size_t at = 0; at < body;) {
        const size_t nul = raw.find(u'\0', at);
        if (nul >= body) return std::nullopt;  // a string without its own terminator
        starts.push_back(at);
        at = nul + 1;
    }
    if (starts.size() % 2 != 0) return std::nullopt;
    for (size_t i = 0; i < starts.size(); i += 2) {
        PendingText::Entry entry;
        entry.begin = starts[i];
        entry.source = raw.substr(starts[i], starts[i + 1] - starts[i] - 1);
        const size_t destinationEnd = raw.find(u'\0', starts[i + 1]);
        entry.destination = raw.substr(starts[i + 1], destinationEnd - starts[i + 1]);
        entry.end = destinationEnd + 1;
        if (entry.source.empty()) return std::nullopt;
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::u16string PendingTextWithout(const PendingText& list, const std::vector<bool>& withdrawn) {
    std::u16string kept;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        if (i < withdrawn.size() && withdrawn[i]) continue;
        const auto& entry = list.entries[i];
        kept.append(list.raw, entry.begin, entry.end - entry.begin);
    }
    if (!kept.empty()) kept += u'\0';
    return kept;
}

}  // namespace qm
