#include "startup/registry_data.h"

#include <algorithm>

namespace qm {

std::u16string Utf16FromBytes(ByteSpan bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return text;
}

std::vector<std::uint8_t> BytesFromUtf16(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::u16string_view BeforeNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

std::optional<std::u16string> RegistryText(std::uint32_t type, ByteSpan bytes) {
    if (!IsTextType(type)) return std::nullopt;
    return std::u16string(BeforeNul(Utf16FromBytes(bytes)));
}

std::u16string MultiStringText(ByteSpan bytes) {
    std::u16string text = Utf16FromBytes(bytes);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

std::vector<std::u16string> SplitAtNul(std::u16string_view text) {
    std::vector<std::u16string> parts;
    if (text.empty()) return parts;
    size_t start = 0;
    for (size_t nul = text.find(u'\0'); nul != std::u16string_view::npos; nul = text.find(u'\0', start)) {
        parts.emplace_back(text.substr(start, nul - start));
        start = nul + 1;
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

std::vector<std::u16string> MultiStringItems(ByteSpan bytes) {
    std::vector<std::u16string> items = SplitAtNul(MultiStringText(bytes));
    items.erase(std::remove_if(items.begin(), items.end(), [](const std::u16string& item) { return item.empty(); }),
                items.end());
    return items;
}

std::uint32_t NumberFromBytes(ByteSpan bytes) {
    return static_cast<std::uint32_t>(NumberOfWidth(bytes.first(std::min<size_t>(bytes.size(), 4)), 4).value_or(0));
}

std::optional<std::uint64_t> NumberOfWidth(ByteSpan bytes, size_t width) {
    if (width == 0 || width > 8 || bytes.size() > width) return std::nullopt;
    std::uint64_t number = 0;
    for (size_t i = bytes.size(); i-- > 0;) number = number << 8 | bytes[i];
    return number;
}

}  // namespace qm
