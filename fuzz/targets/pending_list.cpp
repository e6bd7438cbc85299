// The restart-time operations value: parsed strictly, then written back without the
// entries the input's first byte marks. Properties: withdrawing nothing gives back the very
// bytes read; what is written parses again to exactly the entries that stayed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "clean/pending_list_format.h"
#include "fuzz_check.h"

using namespace qm;

namespace {

bool SameEntries(const std::vector<PendingText::Entry>& a, const std::vector<const PendingText::Entry*>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].source != b[i]->source || a[i].destination != b[i]->destination) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t marks = data[0];
    const ByteSpan value(data + 1, size - 1);
    const auto list = ParsePendingText(kRegMultiSz, value);
    QM_FUZZ_CHECK(!ParsePendingText(kRegSz, value));
    if (!list) return 0;

    const std::u16string unchanged = PendingTextWithout(*list, {});
    if (list->entries.empty()) QM_FUZZ_CHECK(unchanged.empty());
    else QM_FUZZ_CHECK(BytesFromUtf16(unchanged) == std::vector<std::uint8_t>(value.begin(), value.end()));

    std::vector<bool> withdrawn(list->entries.size());
    std::vector<const PendingText::Entry*> stayed;
    for (size_t i = 0; i < withdrawn.size(); ++i) {
        withdrawn[i] = ((marks >> (i % 8)) & 1) != 0;
        if (!withdrawn[i]) stayed.push_back(&list->entries[i]);
    }
    const std::u16string written = PendingTextWithout(*list, withdrawn);
    QM_FUZZ_CHECK(written.empty() == stayed.empty());
    if (written.empty()) return 0;
    const auto again = ParsePendingText(kRegMultiSz, BytesFromUtf16(written));
    QM_FUZZ_CHECK(again && SameEntries(again->entries, stayed));
    return 0;
}
