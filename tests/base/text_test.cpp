#include "base/text.h"

#include <gtest/gtest.h>

#include <utility>

namespace qm {
namespace {

TEST(Text, CaseMappingCoversNonAsciiLetters) {
    EXPECT_EQ(ToUpper(L"c:\\dokumente\\übung"), L"C:\\DOKUMENTE\\ÜBUNG");
    EXPECT_TRUE(EqualsNoCase(L"ÄRGER", L"ärger"));
    EXPECT_TRUE(ContainsNoCase(L"C:\\Users\\Me\\Cookies", L"cookies"));
}

TEST(Text, ReplaceAllReplacesEveryOccurrence) {
    EXPECT_EQ(ReplaceAll(L"%T and %T", L"%T", L"4"), L"4 and 4");
    EXPECT_EQ(ReplaceAll(L"no marker", L"%T", L"4"), L"no marker");
}

TEST(Text, TryParseIntRejectsNonNumbers) {
    std::int64_t value = 7;
    EXPECT_FALSE(TryParseInt(L"", value));
    EXPECT_FALSE(TryParseInt(L"12a", value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(TryParseInt(L" 262144", value));
    EXPECT_EQ(value, 262144);
    EXPECT_TRUE(TryParseInt(L"-3", value));
    EXPECT_EQ(value, -3);
}

TEST(Text, WithoutTrailingSeparatorsKeepsADriveRoot) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\a\\", L"C:\\a"}, {L"C:\\a\\//", L"C:\\a"}, {L"C:\\", L"C:\\"}, {L"C:\\a", L"C:\\a"}, {L"", L""}};
    for (const auto& [path, expected] : cases) EXPECT_EQ(WithoutTrailingSeparators(path), expected) << path;
}

TEST(Text, CutAtNulStopsAtTheFirstNul) {
    EXPECT_EQ(CutAtNul(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(CutAtNul(L"plain"), L"plain");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(Text, FormatThousandsGroupsDigitsAndKeepsZero) {
    EXPECT_EQ(FormatThousands(0), L"0");
    EXPECT_EQ(FormatThousands(999), L"999");
    const std::wstring grouped = FormatThousands(1234567);
    EXPECT_EQ(grouped.size(), 9u);  // two separators of the user's locale
    EXPECT_EQ(grouped.front(), L'1');
    EXPECT_EQ(grouped.back(), L'7');
    EXPECT_EQ(FormatThousands(-1234).front(), L'-');
}

}  // namespace
}  // namespace qm
