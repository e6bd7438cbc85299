// Registry value data of any type and size as texts and numbers. Input: the type, the width
// of the number read, then the value's bytes. Properties: texts never hold a NUL, a list's
// parts join back to its text, numbers take only the bytes there are.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "startup/registry_data.h"

using namespace qm;
using namespace std::string_literals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint32_t type = data[0] % 12;  // REG_NONE to REG_QWORD
    const size_t width = data[1] % 9;
    const ByteSpan bytes(data + 2, size - 2);

    const std::u16string units = Utf16FromBytes(bytes);
    QM_FUZZ_CHECK(units.size() == bytes.size() / 2);
    QM_FUZZ_CHECK(BytesFromUtf16(units) == std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + units.size() * 2));

    const auto text = RegistryText(type, bytes);
    QM_FUZZ_CHECK(text.has_value() == IsTextType(type));
    if (text) QM_FUZZ_CHECK(text->find(u'\0') == std::u16string::npos && units.compare(0, text->size(), *text) == 0);

    const std::u16string list = MultiStringText(bytes);
    QM_FUZZ_CHECK(list.empty() || list.back() != u'\0');
    const auto parts = SplitAtNul(list);
    std::u16string joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i > 0 ? u"\0"s : u""s) + parts[i];
    QM_FUZZ_CHECK(joined == list);
    for (const auto& item : MultiStringItems(bytes)) QM_FUZZ_CHECK(!item.empty() && item.find(u'\0') == std::u16string::npos);

    const auto number = NumberOfWidth(bytes, width);
    QM_FUZZ_CHECK(number.has_value() == (width >= 1 && bytes.size() <= width));
    if (number && width < 8) QM_FUZZ_CHECK(*number >> (8 * width) == 0);
    const std::uint32_t dword = NumberFromBytes(bytes);
    if (bytes.size() >= 4) QM_FUZZ_CHECK(dword == (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24));
    return 0;
}
