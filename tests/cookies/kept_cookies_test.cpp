#include "cookies/kept_cookies.h"

#include <gtest/gtest.h>

#include <map>

#include "cookies/discovery.h"
#include "cookies/ns_cookies.h"
#include "support/fixtures.h"
#include "support/raw_registry.h"

namespace qm {
namespace {

using Entries = std::vector<std::wstring>;
using State = KeptList::State;

class KeptListTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    const std::wstring key = kNsSavedKey;

    void Set(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, key, name, text, type);
    }
    // Every value of the key as "name=text" (type REG_SZ checked), in name order.
    std::map<std::wstring, std::wstring> Stored() const {
        std::map<std::wstring, std::wstring> values;
        HKEY handle = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return values;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (::RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            const auto raw = test::ReadRaw(HKEY_CURRENT_USER, key, name);
            EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ)) << name;
            std::wstring text = raw->Wide();
            values[name] = text.substr(0, text.find(L'\0'));
        }
        ::RegCloseKey(handle);
        return values;
    }
};

TEST_F(KeptListTest, ReaderTakesEveryNumberedTextInNumericOrder) {
    EXPECT_EQ(ReadKeptList(key).state, State::Absent);
    // A gap, numbers past 9, an expand-string holding "%", empty and "0" values, other names.
    Set(L"0", L"a.com\tA\td");
    Set(L"2", L"c.com\tC\td");
    Set(L"10", L"k.com\tK\td");
    Set(L"3", L"%TEMP%.com\tP\td", REG_EXPAND_SZ);
    Set(L"4", L"");
    Set(L"5", L"0");
    Set(L"Note", L"not an entry");
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, key, L"Count", 7);  // no number: not an entry
    const KeptList list = ReadKeptList(key);
    EXPECT_EQ(list.state, State::Entries);
    EXPECT_EQ(list.entries, (Entries{L"a.com\tA\td", L"c.com\tC\td", L"%TEMP%.com\tP\td", L"k.com\tK\td"}));
}

TEST_F(KeptListTest, ANumberedValueOfAnotherTypeDamagesTheList) {
    Set(L"0", L"a.com\tA\td");
    for (DWORD type : {DWORD{REG_DWORD}, DWORD{REG_BINARY}, DWORD{REG_MULTI_SZ}}) {
        test::WriteRaw(HKEY_CURRENT_USER, key, L"1", type, {1, 0, 0, 0});
        const KeptList list = ReadKeptList(key);
        EXPECT_TRUE(list.Damaged()) << type;
        EXPECT_TRUE(list.entries.empty());
    }
}

TEST_F(KeptListTest, WriterRenumbersWithoutGapsAndKeepsOtherValues) {
    Set(L"1", L"old one");
    Set(L"7", L"old seven");
    Set(L"007", L"padded");
    Set(L"Note", L"stays");
    ASSERT_TRUE(WriteKeptList(key, {L"x.com\tX\td", L"", L"0", L"%PATH%\tY\td"}));
    EXPECT_EQ(Stored(), (std::map<std::wstring, std::wstring>{{L"0", L"x.com\tX\td"}, {L"1", L"%PATH%\tY\td"},
                                                               {L"Note", L"stays"}}));
    ASSERT_TRUE(WriteKeptList(key, {}));
    EXPECT_EQ(Stored(), (std::map<std::wstring, std::wstring>{{L"Note", L"stays"}}));
}

TEST_F(KeptListTest, KeepAndDropChangeTheStoredListNotABoxCopy) {
    Set(L"0", L"a\tA\td");
    Set(L"2", L"b\tB\td");  // behind a gap: still entry 1
    EXPECT_EQ(KeepCookieLine(key, L"c\tC\td"), KeptChange::Done);
    EXPECT_EQ(KeepCookieLine(key, L""), KeptChange::Nothing);
    EXPECT_EQ(ReadKeptList(key).entries, (Entries{L"a\tA\td", L"b\tB\td", L"c\tC\td"}));

    // Entry 1 as the box shows it is dropped; the former entry 2 moves to "1".
    EXPECT_EQ(DropKeptEntry(key, 1, L"b\tB\td"), KeptChange::Done);
    EXPECT_EQ(Stored(), (std::map<std::wstring, std::wstring>{{L"0", L"a\tA\td"}, {L"1", L"c\tC\td"}}));
    // A box older than the stored list: the index no longer holds the text, the text is found.
    EXPECT_EQ(DropKeptEntry(key, 0, L"c\tC\td"), KeptChange::Done);
    EXPECT_EQ(DropKeptEntry(key, 0, L"gone\tG\td"), KeptChange::Nothing);
    EXPECT_EQ(ReadKeptList(key).entries, (Entries{L"a\tA\td"}));

    // A damaged list is never rewritten by a keep or a drop.
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, key, L"1", 5);
    EXPECT_EQ(KeepCookieLine(key, L"d\tD\td"), KeptChange::Damaged);
    EXPECT_EQ(DropKeptEntry(key, 0, L"a\tA\td"), KeptChange::Damaged);
    std::wstring first;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, key, L"0", first));
    EXPECT_EQ(first, L"a\tA\td");
}

TEST(KeptIdentitiesTest, IdentityIsTheStemBeforeTheFirstBracketAndTheNameExactly) {
    const KeptIdentities kept = IdentitiesOf({L"me@site[1].txt\tid\t1/1/2020", L"Shop.com\tcart\tNever"});
    struct Case {
        const wchar_t* line;
        bool kept;
    } cases[] = {
        {L"me@site[2].txt\tid\tanother date", true},  // another counter, same cookie name
        {L"me@site[1].txt\tID\t1/1/2020", false},      // letter case of the name counts
        {L"Me@site[1].txt\tid\t1/1/2020", false},
        {L"me@site.txt\tid\t", false},                 // no bracket: the whole file name is the stem
        {L"Shop.com\tcart\tanything", true},
        {L"shop.com\tcart\tNever", false},
    };
    for (const auto& c : cases) EXPECT_EQ(kept.identities.count(CookieIdentity(c.line)) > 0, c.kept) << c.line;
    EXPECT_TRUE(kept.stems.count(L"me@site"));
    EXPECT_EQ(std::wstring(KeptListKeyOf(kKindIeShellCookies)), kMsieSavedKey);
    EXPECT_EQ(std::wstring(KeptListKeyOf(kKindFireFoxProfiles)), kFireFoxSavedKey);
    EXPECT_EQ(KeptListKeyOf(0x0800), nullptr);
}

}  // namespace
}  // namespace qm
