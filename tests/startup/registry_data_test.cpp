// Raw registry data of any type and size as texts and numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup/registry_data.h"

namespace qm {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Of(const std::u16string& text) { return BytesFromUtf16(text); }
Bytes Plus(Bytes bytes, std::uint8_t extra) {
    bytes.push_back(extra);
    return bytes;
}

TEST(RegistryData, TextsWhateverTheirTerminatorOrLength) {
    struct Case {
        const char* what;
        std::uint32_t type;
        Bytes bytes;
        std::optional<std::u16string> text;
    };
    const Case cases[] = {
        {"terminated", kRegSz, Of(u"C:\\Temp\0"s), u"C:\\Temp"},
        {"without terminator", kRegExpandSz, Of(u"%TEMP%"), u"%TEMP%"},
        {"odd last byte dropped", kRegSz, Plus(Of(u"ab"), 'c'), u"ab"},
        {"cut at the first NUL", kRegSz, Of(u"one\0two\0"s), u"one"},
        {"empty", kRegSz, {}, u""},
        {"a single byte", kRegSz, {'x'}, u""},
        {"a number is no text", kRegDword, {1, 0, 0, 0}, std::nullopt},
        {"a list is no text", kRegMultiSz, Of(u"a\0\0"s), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(RegistryText(c.type, c.bytes), c.text) << c.what;
}

TEST(RegistryData, ListsKeepInnerEmptyStringsUntilAskedForItems) {
    const Bytes bytes = Of(u"a\0\0b\0\0\0"s);
    EXPECT_EQ(MultiStringText(bytes), u"a\0\0b"s);
    EXPECT_EQ(SplitAtNul(MultiStringText(bytes)), (std::vector<std::u16string>{u"a", u"", u"b"}));
    EXPECT_EQ(MultiStringItems(bytes), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_TRUE(MultiStringItems(Of(u"\0\0"s)).empty());
    EXPECT_EQ(MultiStringItems(Of(u"no terminator")), (std::vector<std::u16string>{u"no terminator"}));
}

TEST(RegistryData, NumbersTakeTheBytesThereAreAndRefuseMore) {
    EXPECT_EQ(NumberFromBytes(Bytes{0x2A, 0, 0, 0}), 42u);
    EXPECT_EQ(NumberFromBytes(Bytes{0x01, 0x02}), 0x0201u);
    EXPECT_EQ(NumberFromBytes(Bytes{1, 2, 3, 4, 5, 6, 7, 8}), 0x04030201u);  // a QWORD read as a DWORD
    EXPECT_EQ(NumberFromBytes(Bytes{}), 0u);
    EXPECT_EQ(NumberOfWidth(Bytes{0xFF, 0xFF}, 2), 0xFFFFu);
    EXPECT_EQ(NumberOfWidth(Bytes{0xFF}, 2), 0xFFu);
    EXPECT_FALSE(NumberOfWidth(Bytes{1, 0, 0, 0}, 2));
    EXPECT_FALSE(NumberOfWidth(Bytes{}, 0));
}

}  // namespace
}  // namespace qm
