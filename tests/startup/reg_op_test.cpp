#include "startup/reg_op.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

#include "base/app_error.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/raw_registry.h"

namespace qm {
namespace {

using namespace std::string_literals;

const std::wstring kProgram = kProgramKey;
const std::wstring kUserFolder = kUserFolderKey;
const std::wstring kCleanPath = kCleanPathKey;

// Named entries before name in the process environment; hidden "=C:" entries are not counted.
int EnvironmentPosition(std::wstring_view name) {
    wchar_t* block = ::GetEnvironmentStringsW();
    int position = 0, found = -1;
    for (const wchar_t* entry = block; *entry && found < 0; entry += std::wcslen(entry) + 1) {
        const std::wstring_view line(entry);
        if (EqualsNoCase(line.substr(0, line.find(L'=')), name)) found = position;
        if (line.front() != L'=') ++position;
    }
    ::FreeEnvironmentStringsW(block);
    return found;
}

class RegOpTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;

    static std::optional<test::RawValue> Raw(const std::wstring& key, const std::wstring& name) {
        return test::ReadRaw(HKEY_CURRENT_USER, key, name);
    }
    static void ExpectStored(const std::wstring& name, DWORD type, const std::wstring& characters) {
        const auto raw = Raw(kProgram, name);
        ASSERT_TRUE(raw) << "value " << NarrowUtf8(name) << " missing";
        EXPECT_EQ(raw->type, type) << NarrowUtf8(name);
        EXPECT_EQ(raw->Wide(), characters) << NarrowUtf8(name);
    }
};

// ---- opening ------------------------------------------------------------------------

TEST_F(RegOpTest, ReadingFromAFreshProfileCreatesTheEmptyProgramKey) {
    ASSERT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram));
    RegOp settings;
    settings.SetKey(kProgram);
    EXPECT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram)) << "setting Key alone opens nothing";

    EXPECT_TRUE(settings.Value(L"FirstRun").IsEmpty());
    EXPECT_EQ(settings.Text(L"FirstRun"), L"");
    EXPECT_TRUE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram));
    EXPECT_EQ(settings.ValueCount(), 0u);
}

TEST_F(RegOpTest, CreatedKeyCarriesTheClassText) {
    RegOp settings;
    settings.SetKey(kCleanPath);
    settings.Value(L"TempFiles");
    UniqueRegKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kCleanPath.c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
    wchar_t keyClass[8] = {};
    DWORD length = 8;
    ASSERT_EQ(::RegQueryInfoKeyW(key.get(), keyClass, &length, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(keyClass, length), L"1");
}

TEST(RegOpAccess, MasksFollowThePlatformFamily) {
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Read, true), 0x20019u);
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Write, true), 0x2001Fu);
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Delete, true), 0xF003Fu);
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Read, false), 0u);
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Write, false), 0u);
    EXPECT_EQ(RegOp::WantedAccess(RegOp::Access::Delete, false), 0u);
    EXPECT_TRUE(IsWinNT());  // Wine reports the NT platform
}

TEST_F(RegOpTest, WithoutAKeyPathEveryOperationFailsSilently) {
    test::RecordingDialogs dialogs;
    RegOp settings;
    settings.SetErrorDialogs(&dialogs);  // the notices need option 8 as well
    settings.SetKey(L"");
    EXPECT_EQ(settings.Key(), L"");
    EXPECT_TRUE(settings.Value(L"FirstRun").IsEmpty());
    settings.SetValue(L"FirstRun", L"No");
    EXPECT_FALSE(settings.DeleteValue(L"FirstRun"));
    EXPECT_FALSE(settings.DeleteKey());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(RegOpTest, OptionEightShowsTheRegistryErrorNotices) {
    test::ScratchRegistry::SetBinary(HKEY_CURRENT_USER, kProgram, L"Blob", "\x01\x02");
    test::RecordingDialogs dialogs;
    RegOp settings;
    settings.SetOptions(RegOp::kShowErrors);
    settings.SetErrorDialogs(&dialogs);

    settings.Value(L"FirstRun");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.Last().text, L"No Key name specified!");
    EXPECT_EQ(dialogs.Last().title, L"Registry Error");
    EXPECT_EQ(dialogs.Last().style, UINT(MB_OK | MB_ICONEXCLAMATION));

    settings.SetKey(kProgram);
    settings.SetValue(L"Blob", L"text");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.Last().text, L"Existing value has unsupported data type and will not be overwritten");

    // A path with a leading backslash names no key and cannot be opened.
    RegOp broken;
    broken.SetOptions(RegOp::kShowErrors);
    broken.SetErrorDialogs(&dialogs);
    broken.SetKey(L"\\");
    broken.Value(L"x");
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.Last().text, L"Could not open Registry Key!");
}

// ---- reading ------------------------------------------------------------------------

TEST_F(RegOpTest, ReadsEachStoredTypeAsDocumented) {
    using test::WriteRawText;
    WriteRawText(HKEY_CURRENT_USER, kProgram, L"Plain", REG_SZ, L"C:\\Cache\0junk\0"s);
    WriteRawText(HKEY_CURRENT_USER, kProgram, L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x\0"s);
    WriteRawText(HKEY_CURRENT_USER, kProgram, L"Multi", REG_MULTI_SZ, L"first\0second\0\0"s);
    WriteRawText(HKEY_CURRENT_USER, kProgram, L"EmptyMulti", REG_MULTI_SZ, L"\0"s);
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kProgram, L"Key", 67);
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kProgram, L"AllBits", 0xFFFFFFFF);
    test::ScratchRegistry::SetBinary(HKEY_CURRENT_USER, kProgram, L"Blob", "\x01\x02\x03");
    test::WriteRaw(HKEY_CURRENT_USER, kProgram, L"Wide", REG_QWORD, std::vector<BYTE>(8, 1));
    test::WriteRaw(HKEY_CURRENT_USER, kProgram, L"Nothing", REG_NONE, {});

    RegOp settings;
    settings.SetKey(kProgram);
    EXPECT_EQ(settings.Value(L"Plain"), RegVariant(L"C:\\Cache"));
    EXPECT_EQ(settings.Value(L"Expand"), RegVariant(L"%TEMP%\\x"));
    EXPECT_EQ(settings.Value(L"Multi"), RegVariant(L"first\0second"s));
    EXPECT_EQ(settings.Value(L"EmptyMulti"), RegVariant(L""));
    EXPECT_EQ(settings.Value(L"Key"), RegVariant(67));
    EXPECT_EQ(settings.Text(L"Key"), L"67");
    EXPECT_EQ(settings.Value(L"AllBits"), RegVariant(-1));
    for (const wchar_t* name : {L"Blob", L"Wide", L"Nothing"})
        EXPECT_EQ(settings.Value(name), RegVariant(L"(unsupported data format)")) << NarrowUtf8(name);
    EXPECT_TRUE(settings.Value(L"Missing").IsEmpty());
}

TEST_F(RegOpTest, OptionsTwoAndFourSplitListsAndExpandReferences) {
    const std::wstring temp = L"C:\\Scratch Temp";
    test::ScopedEnv tempVariable(L"TEMP", temp);
    test::WriteRawText(HKEY_CURRENT_USER, kProgram, L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x\0"s);
    test::WriteRawText(HKEY_CURRENT_USER, kProgram, L"Multi", REG_MULTI_SZ, L"first\0second\0\0"s);

    RegOp settings;
    settings.SetOptions(RegOp::kMultiAsArray | RegOp::kExpandOnRead);
    settings.SetKey(kProgram);
    EXPECT_EQ(settings.Value(L"Expand"), RegVariant(temp + L"\\x"));
    EXPECT_EQ(settings.Value(L"Multi"), RegVariant(std::vector<std::wstring>{L"first", L"second"}));
}

TEST_F(RegOpTest, ValueNamesIgnoreLetterCase) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kCleanPath, L"ShutDown", L"Yes");
    RegOp settings;
    settings.SetKey(kCleanPath);
    EXPECT_EQ(settings.Text(L"Shutdown"), L"Yes");
    EXPECT_EQ(settings.Text(L"SHUTDOWN"), L"Yes");

    settings.SetValue(L"shutdown", L"No");  // writes the same value, not a second one
    EXPECT_EQ(settings.ValueCount(), 1u);
    EXPECT_EQ(settings.Text(L"ShutDown"), L"No");
}

TEST_F(RegOpTest, NonAsciiNamesAndDataRoundTrip) {
    const std::wstring name = L"Größe \u65E5\u672C";
    const std::wstring data = L"C:\\Dokumente\\Übung \u0416 \U0001F600";
    RegOp writer;
    writer.SetKey(kUserFolder);
    writer.SetValue(name, data);

    std::wstring stored;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, kUserFolder, name, stored));
    EXPECT_EQ(stored, data);
    RegOp reader;
    reader.SetKey(kUserFolder);
    EXPECT_EQ(reader.Text(L"GRÖßE \u65E5\u672C"), data);
}

TEST_F(RegOpTest, LongValuesAreReadWhole) {
    const std::wstring longText(20000, L'x');
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Long", longText);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, std::wstring(200, L'n'), L"named");
    RegOp settings;
    settings.SetKey(kProgram);
    EXPECT_EQ(settings.Text(L"Long"), longText);
    EXPECT_EQ(settings.Text(std::wstring(200, L'N')), L"named");
}

// ---- writing ------------------------------------------------------------------------

TEST_F(RegOpTest, NewValuesTakeTheTypeTheirContentChooses) {
    test::ScopedEnv tempVariable(L"TEMP", std::wstring(L"C:\\Temp"));
    if (EnvironmentPosition(L"TEMP") >= 100) GTEST_SKIP() << "TEMP lies beyond the 100 entries looked at";
    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetValue(L"MaxMinKey", L"67");
    settings.SetValue(L"Number", 262144);
    settings.SetValue(L"Negative", -1);
    settings.SetValue(L"List", std::vector<std::wstring>{L"a", L"bc"});
    settings.SetValue(L"EmptyList", std::vector<std::wstring>{});
    settings.SetValue(L"Empty", L"");
    settings.SetValue(L"Path", L"%TEMP%\\x");
    settings.SetValue(L"LowerPath", L"%temp%\\x");
    settings.SetValue(L"Percent", L"50% done");
    settings.SetValue(L"Undefined", L"%QM_SURELY_UNDEFINED%\\x");
    settings.SetValue(L"Doubled", L"100%%");

    ExpectStored(L"MaxMinKey", REG_SZ, L"67\0"s);  // the closing NUL is stored
    ExpectStored(L"List", REG_MULTI_SZ, L"a\0bc\0\0"s);
    ExpectStored(L"EmptyList", REG_MULTI_SZ, L"\0\0"s);
    ExpectStored(L"Empty", REG_SZ, L"\0"s);
    ExpectStored(L"Path", REG_EXPAND_SZ, L"%TEMP%\\x\0"s);
    ExpectStored(L"LowerPath", REG_EXPAND_SZ, L"%temp%\\x\0"s);
    ExpectStored(L"Percent", REG_SZ, L"50% done\0"s);
    ExpectStored(L"Undefined", REG_SZ, L"%QM_SURELY_UNDEFINED%\\x\0"s);
    ExpectStored(L"Doubled", REG_SZ, L"100%%\0"s);  // no variable has an empty name
    const auto number = Raw(kProgram, L"Number");
    ASSERT_TRUE(number);
    EXPECT_EQ(number->type, DWORD{REG_DWORD});
    ASSERT_EQ(number->bytes.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(number->bytes.data()), 262144u);
    EXPECT_EQ(settings.Value(L"Negative"), RegVariant(-1));
    EXPECT_EQ(settings.Value(L"Number"), RegVariant(262144));
}

TEST_F(RegOpTest, TempReferenceIsPlainTextWhenTempIsNotDefined) {
    test::ScopedEnv noTemp(L"TEMP", nullptr);
    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetValue(L"Path", L"%TEMP%\\x");
    ExpectStored(L"Path", REG_SZ, L"%TEMP%\\x\0"s);
}

TEST_F(RegOpTest, OptionOneAndTheUnnamedValueStoreNumbersAsText) {
    RegOp plain;
    plain.SetKey(kProgram);
    plain.SetValue(L"", 5);
    ExpectStored(L"", REG_SZ, L"5\0"s);

    RegOp asText;
    asText.SetOptions(RegOp::kNumbersAsText);
    asText.SetKey(kProgram);
    asText.SetValue(L"Count", 12);
    ExpectStored(L"Count", REG_SZ, L"12\0"s);
}

TEST_F(RegOpTest, AnEmptyVariantWritesNothing) {
    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetValue(L"FirstRun", RegVariant());
    EXPECT_FALSE(test::ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kProgram, L"FirstRun"));
}

TEST_F(RegOpTest, WritingAdaptsToTheExistingType) {
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kProgram, L"Dword", 7);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Text", L"old");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Expand", L"%TEMP%", REG_EXPAND_SZ);
    test::WriteRawText(HKEY_CURRENT_USER, kProgram, L"Multi", REG_MULTI_SZ, L"a\0\0"s);

    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetValue(L"Dword", L" 42");
    settings.SetValue(L"Text", 9);
    settings.SetValue(L"Expand", L"plain");
    settings.SetValue(L"Multi", std::vector<std::wstring>{L"x", L"y"});

    EXPECT_EQ(settings.Value(L"Dword"), RegVariant(42));
    ExpectStored(L"Text", REG_SZ, L"9\0"s);
    ExpectStored(L"Expand", REG_SZ, L"plain\0"s);  // the content chooses again
    ExpectStored(L"Multi", REG_MULTI_SZ, L"x\0y\0\0"s);
}

TEST_F(RegOpTest, TextThatIsNoNumberOverADwordFailsAndWritesNothing) {
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kProgram, L"MaxMinKey", 67);
    RegOp settings;
    settings.SetKey(kProgram);
    for (const RegVariant& bad : {RegVariant(L"abc"), RegVariant(L""), RegVariant(L"4294967296"),
                                  RegVariant(std::vector<std::wstring>{L"1"})}) {
        try {
            settings.SetValue(L"MaxMinKey", bad);
            ADD_FAILURE() << "no error for " << NarrowUtf8(bad.Text());
        } catch (const ComponentError& error) {
            EXPECT_EQ(error.Number(), 0x80040064u);
            EXPECT_EQ(error.Source(), L"Quillmere.RegOp.Value");
            EXPECT_EQ(error.Description(), L"RegOp component failure");
        }
    }
    const auto raw = Raw(kProgram, L"MaxMinKey");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, DWORD{REG_DWORD});
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(raw->bytes.data()), 67u);
    EXPECT_EQ(settings.Value(L"MaxMinKey"), RegVariant(67));
}

TEST_F(RegOpTest, BinaryAndOtherTypesAreNeverOverwritten) {
    test::ScratchRegistry::SetBinary(HKEY_CURRENT_USER, kProgram, L"Blob", std::string("\x00\xFF\x10", 3));
    test::WriteRaw(HKEY_CURRENT_USER, kProgram, L"Wide", REG_QWORD, std::vector<BYTE>(8, 7));
    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetValue(L"Blob", L"Yes");
    settings.SetValue(L"Blob", 1);
    settings.SetValue(L"Wide", L"Yes");

    const auto blob = Raw(kProgram, L"Blob");
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->type, DWORD{REG_BINARY});
    EXPECT_EQ(blob->bytes, (std::vector<BYTE>{0x00, 0xFF, 0x10}));
    const auto wide = Raw(kProgram, L"Wide");
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->bytes, std::vector<BYTE>(8, 7));
}

TEST_F(RegOpTest, AListHasNoTextForATextValue) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"MSTIF", L"C:\\Cache");
    RegOp settings;
    settings.SetKey(kProgram);
    EXPECT_THROW(settings.SetValue(L"MSTIF", std::vector<std::wstring>{L"a", L"b"}), ComponentError);
    ExpectStored(L"MSTIF", REG_SZ, L"C:\\Cache\0"s);
}

// ---- the value cache ----------------------------------------------------------------

TEST_F(RegOpTest, CacheDoesNotSeeAnotherObjectsWriteUntilReopened) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"MSTIF", L"old");
    RegOp reader;
    reader.SetKey(kProgram);
    ASSERT_EQ(reader.Text(L"MSTIF"), L"old");

    RegOp writer;
    writer.SetKey(kProgram);
    writer.SetValue(L"MSTIF", L"new");
    writer.SetValue(L"MSCookie", L"C:\\Cookies\\");
    EXPECT_EQ(writer.Text(L"MSTIF"), L"new");
    EXPECT_EQ(reader.Text(L"MSTIF"), L"old");
    EXPECT_TRUE(reader.Value(L"MSCookie").IsEmpty());

    // Reopening (another key and back) empties the cache.
    reader.SetKey(kCleanPath);
    reader.SetKey(kProgram);
    EXPECT_EQ(reader.Text(L"MSTIF"), L"new");
    EXPECT_EQ(reader.Text(L"MSCookie"), L"C:\\Cookies\\");
}

TEST_F(RegOpTest, OwnWritesAndDeletionsEmptyTheCache) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"CleanDat", L"Yes");
    RegOp settings;
    settings.SetKey(kProgram);
    ASSERT_EQ(settings.Text(L"CleanDat"), L"Yes");

    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"FirstRun", L"No");  // another program
    settings.SetValue(L"DatMessage", L"No");
    EXPECT_EQ(settings.Text(L"DatMessage"), L"No");
    EXPECT_EQ(settings.Text(L"FirstRun"), L"No");

    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"MSTIF", L"C:\\Cache");
    EXPECT_TRUE(settings.DeleteValue(L"CleanDat"));
    EXPECT_TRUE(settings.Value(L"CleanDat").IsEmpty());
    EXPECT_EQ(settings.Text(L"MSTIF"), L"C:\\Cache");
    EXPECT_FALSE(test::ScratchRegistry::ValueExists(HKEY_CURRENT_USER, kProgram, L"CleanDat"));
    EXPECT_FALSE(settings.DeleteValue(L"CleanDat")) << "already gone";
}

TEST_F(RegOpTest, SamePathInOtherLetterCaseKeepsTheOpenKeyAndCache) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"MSTIF", L"old");
    RegOp reader;
    reader.SetKey(kProgram);
    ASSERT_EQ(reader.Text(L"MSTIF"), L"old");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"MSTIF", L"new");

    reader.SetKey(L"SOFTWARE\\dorvik software\\QUILLMERE");
    EXPECT_EQ(reader.Key(), kProgram);
    EXPECT_EQ(reader.Text(L"MSTIF"), L"old");
}

TEST_F(RegOpTest, ADifferentPathIsOpenedAtOnce) {
    RegOp settings;
    settings.SetKey(kProgram);
    settings.SetKey(kUserFolder);
    EXPECT_EQ(settings.Key(), kUserFolder);
    EXPECT_TRUE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kUserFolder));
    settings.SetKey(L"");
    EXPECT_EQ(settings.Key(), kUserFolder) << "an empty path is ignored";
}

// ---- deleting keys --------------------------------------------------------------------

TEST_F(RegOpTest, DeleteKeyRemovesTheSubtreeAndMovesKeyToTheParent) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"FirstRun", L"No");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolder, L"File0", L"C:\\Mine");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolder + L"\\Deeper\\Still", L"x", L"y");
    RegOp folders;
    folders.SetKey(kUserFolder);
    ASSERT_EQ(folders.Text(L"File0"), L"C:\\Mine");

    EXPECT_TRUE(folders.DeleteKey());
    EXPECT_EQ(folders.Key(), kProgram);
    EXPECT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kUserFolder));
    EXPECT_TRUE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram));
    EXPECT_TRUE(folders.Value(L"File0").IsEmpty()) << "the parent's values, not the deleted key's";
    EXPECT_EQ(folders.Text(L"FirstRun"), L"No");
}

TEST_F(RegOpTest, DeleteKeyAfterADeletionOnTheSameObjectDeletesTheRightKey) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolder, L"File0", L"C:\\Mine");
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolder, L"File1", L"C:\\Other");
    RegOp folders;
    folders.SetKey(kUserFolder);
    ASSERT_TRUE(folders.DeleteValue(L"File1"));  // leaves a full-access handle on UserFolder

    EXPECT_TRUE(folders.DeleteKey());
    EXPECT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kUserFolder));
    EXPECT_TRUE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram));
}

TEST_F(RegOpTest, DeleteKeyNeedsAParentAndAName) {
    RegOp topLevel;
    topLevel.SetKey(L"QuillmereTop");
    topLevel.SetValue(L"x", L"y");
    EXPECT_FALSE(topLevel.DeleteKey());
    EXPECT_EQ(topLevel.Key(), L"QuillmereTop");
    EXPECT_TRUE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, L"QuillmereTop"));

    RegOp trailing;
    trailing.SetKey(kProgram + L"\\");
    EXPECT_FALSE(trailing.DeleteKey());
    EXPECT_EQ(trailing.Key(), kProgram + L"\\");

    RegOp missing;
    missing.SetKey(kProgram + L"\\NotThere");
    EXPECT_FALSE(missing.DeleteKey());
    EXPECT_EQ(missing.Key(), kProgram);
}

// ---- roots ----------------------------------------------------------------------------

TEST_F(RegOpTest, OnlyThreeRootsAreAcceptedAndAChangeReopens) {
    // The same path under the scratch HKCU and the prefix's own HKLM; HKLM is only read.
    const std::wstring path = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, path, L"ProductName", L"scratch copy");
    std::wstring machineName;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_LOCAL_MACHINE, path, L"ProductName", machineName));

    RegOp settings;
    EXPECT_EQ(settings.Root(), HKEY_CURRENT_USER);
    settings.SetKey(path);
    ASSERT_EQ(settings.Text(L"ProductName"), L"scratch copy");

    settings.SetRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(settings.Root(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(settings.Text(L"ProductName"), machineName);

    settings.SetRoot(HKEY_USERS);
    EXPECT_EQ(settings.Root(), HKEY_CURRENT_USER);
    EXPECT_EQ(settings.Text(L"ProductName"), L"scratch copy");
    settings.SetRoot(nullptr);
    EXPECT_EQ(settings.Root(), HKEY_CURRENT_USER);
    settings.SetRoot(HKEY_CLASSES_ROOT);
    EXPECT_EQ(settings.Root(), HKEY_CLASSES_ROOT);
}

// ---- the environment-reference test ---------------------------------------------------

TEST(RegOpEnvironment, ReferenceNeedsADefinedVariableBetweenPercentSigns) {
    test::ScopedEnv defined(L"QM_REF_TEST", std::wstring(L"1"));
    EXPECT_TRUE(RegOp::HasEnvironmentReference(L"%QM_REF_TEST%\\file"));
    EXPECT_TRUE(RegOp::HasEnvironmentReference(L"x %qm_ref_test% y"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"%QM_REF_TEST"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"QM_REF_TEST%"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"%QM_REF_TES%"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"100%%"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L""));
}

TEST(RegOpEnvironment, HiddenDriveEntriesNameNoVariable) {
    // The shell keeps each drive's directory as "=Q:=Q:\dir"; its name part is empty.
    test::ScopedEnv drive(L"=Q:", std::wstring(L"Q:\\dir"));
    ASSERT_GE(EnvironmentPosition(L""), 0) << "no hidden entry could be made";
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"100%%"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"%%Q:%"));
}

TEST(RegOpEnvironment, OnlyTheFirstHundredEntriesAreLookedAt) {
    std::vector<std::unique_ptr<test::ScopedEnv>> early;
    for (int i = 0; i < 100; ++i)
        early.push_back(std::make_unique<test::ScopedEnv>(L"AAQM_" + std::to_wstring(1000 + i), std::wstring(L"1")));
    test::ScopedEnv late(L"ZZQM_LATE", std::wstring(L"1"));
    // Windows keeps the block sorted, Wine appends; either way 100 entries precede the late one.
    ASSERT_LT(EnvironmentPosition(L"AAQM_1000"), 100);
    ASSERT_GE(EnvironmentPosition(L"ZZQM_LATE"), 100);
    EXPECT_TRUE(RegOp::HasEnvironmentReference(L"%AAQM_1000%"));
    EXPECT_FALSE(RegOp::HasEnvironmentReference(L"%ZZQM_LATE%"));
}

}  // namespace
}  // namespace qm
