#pragma once
// The shared restart-time operations value ("PendingFileRenameOperations") as data: a
// REG_MULTI_SZ of source/destination pairs, parsed strictly so that it can be rewritten
// with only our own pairs gone and every other character as it was. No system calls.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "startup/registry_data.h"

namespace qm {

struct PendingText {
    std::u16string raw;  // every character of the value, NULs included
    struct Entry {
        std::u16string source, destination;
        size_t begin = 0, end = 0;  // the pair's characters in raw, both terminators included
    };
    std::vector<Entry> entries;
};

// Nothing when the value is malformed: not REG_MULTI_SZ, an odd byte count, no closing
// terminator, an odd number of strings or a pair without a source. An empty value is an
// empty list.
std::optional<PendingText> ParsePendingText(std::uint32_t type, ByteSpan bytes);

// The value's characters without the entries marked in withdrawn (one flag per entry):
// every other entry exactly as stored, then the closing terminator. Empty when no entry
// stays (the value is then removed).
std::u16string PendingTextWithout(const PendingText& list, const std::vector<bool>& withdrawn);

}  // namespace qm
