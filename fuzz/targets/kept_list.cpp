// The kept-cookie lists: a key's values (any names, types and data) read into entries.
// Properties: a list is damaged exactly when a numbered value is not text; otherwise the
// entries are the numbered texts, in numeric order, without empty ones, "0" or NULs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "value_list_input.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A key holds each name once.
    std::vector<StoredValueData> values;
    for (auto& value : fuzz::DecodeValueList({data, size}))
        if (std::none_of(values.begin(), values.end(), [&](const StoredValueData& seen) { return seen.name == value.name; }))
            values.push_back(std::move(value));
    const auto entries = KeptEntriesOf(values);

    std::vector<const StoredValueData*> numbered;
    for (const auto& value : values)
        if (IsDecimalName(value.name)) numbered.push_back(&value);
    const bool damaged = std::any_of(numbered.begin(), numbered.end(),
                                     [](const StoredValueData* value) { return !IsTextType(value->type); });
    QM_FUZZ_CHECK(entries.has_value() != damaged);
    if (!entries) return 0;

    std::stable_sort(numbered.begin(), numbered.end(), [](const StoredValueData* a, const StoredValueData* b) {
        return NumericLess(a->name, b->name);
    });
    std::vector<std::u16string> expected;
    for (const StoredValueData* value : numbered) {
        const std::u16string text = *RegistryText(value->type, value->bytes);
        if (!text.empty() && text != u"0") expected.push_back(text);
    }
    QM_FUZZ_CHECK(*entries == expected);
    for (size_t i = 1; i < numbered.size(); ++i) QM_FUZZ_CHECK(!NumericLess(numbered[i]->name, numbered[i - 1]->name));
    return 0;
}
