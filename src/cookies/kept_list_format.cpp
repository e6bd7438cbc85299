#include "cookies/kept_list_format.h"

#include <algorithm>

#include "startup/registry_data.h"

namespace qm {

bool IsDecimalName(std::u16string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool NumericLess(std::u16string_view a, std::u16string_view b) {
    const auto digits = [](std::u16string_view name) {
        const size_t first = name.find_first_not_of(u'0');
        return first == std::u16string_view::npos ? std::u16string_view() : name.substr(first);
    };
    const std::u16string_view x = digits(a), y = digits(b);
    if (x.size() != y.size()) return x.size() < y.size();
    if (x != y) return x < y;
    return a < b;  // "01" before "1": a fixed order for equal numbers
}

std::optional<std::vector<std::u16string>> KeptEntriesOf(const std::vector<StoredValueData>& values) {
    struct Numbered {
        std::u16string_view name;
        std::u16string text;
    };
    std::vector<Numbered> numbered;
    for (const auto& value : values) {
        if (!IsDecimalName(value.name)) continue;
        std::optional<std::u16string> text = RegistryText(value.type, value.bytes);
        if (!text) return std::nullopt;
        numbered.push_back({value.name, std::move(*text)});
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const Numbered& a, const Numbered& b) { return NumericLess(a.name, b.name); });
    std::vector<std::u16string> entries;
    for (auto& value : numbered)
        if (!value.text.empty() && value.text != u"0") entries.push_back(std::move(value.text));
    return entries;
}

}  // namespace qm
