#include "startup/mod_registry.h"

#include <gtest/gtest.h>

#include "startup/reg_op.h"
#include "support/fixtures.h"
#include "support/raw_registry.h"

namespace qm {
namespace {

using namespace std::string_literals;

const std::wstring kProgram = kProgramKey;

class ModRegistryTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;

    static std::optional<test::RawValue> Raw(const std::wstring& name) {
        return test::ReadRaw(HKEY_CURRENT_USER, kProgram, name);
    }
};

TEST(ModRegistryTopKey, MapsRootNamesInAnyLetterCase) {
    EXPECT_EQ(fTopKey(L"HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(fTopKey(L"hkcu"), HKEY_CURRENT_USER);
    EXPECT_EQ(fTopKey(L"HKLM"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(fTopKey(L"Hku"), HKEY_USERS);
    EXPECT_EQ(fTopKey(L"HKDD"), HKEY_DYN_DATA);
    EXPECT_EQ(fTopKey(L"hkcc"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(fTopKey(L"HKCR"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(fTopKey(L"HKEY_CURRENT_USER"), nullptr);
    EXPECT_EQ(fTopKey(L" HKCU"), nullptr);
    EXPECT_EQ(fTopKey(L""), nullptr);
}

TEST(ModRegistryTopKey, AnExistingFileSelectsIniModeButAFolderDoesNot) {
    test::TempFolder folder;
    const std::wstring ini = folder / L"settings.ini";
    test::WriteBytes(ini, "[Quillmere]\r\n");
    EXPECT_EQ(fTopKey(ini), IniFileRoot());
    EXPECT_EQ(fTopKey(folder.Path()), nullptr);
    EXPECT_EQ(fTopKey(folder / L"missing.ini"), nullptr);
}

TEST_F(ModRegistryTest, UnknownRootGives99AndTheDefault) {
    std::wstring value = L"stale";
    EXPECT_EQ(fReadValue(L"HKXX", kProgram, L"frmHelpWidth", L"S", L"8250", value), 99);
    EXPECT_EQ(value, L"8250");
    EXPECT_EQ(fWriteValue(L"HKXX", kProgram, L"frmHelpWidth", L"S", L"1"), 99);
    EXPECT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram));
}

TEST_F(ModRegistryTest, TextRoundTripsAsRegSz) {
    const std::wstring text = L"8250 Größe \u0416";
    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"frmHelpWidth", L"s", text), 0);
    const auto raw = Raw(L"frmHelpWidth");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, DWORD{REG_SZ});
    EXPECT_EQ(raw->Wide(), text + L'\0');

    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"FRMHELPWIDTH", L"S", L"0", value), 0);
    EXPECT_EQ(value, text);
}

TEST_F(ModRegistryTest, TextReadsWholeValuesAndCutsAtTheFirstNul) {
    const std::wstring longText(10000, L'w');
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Long", longText);
    test::WriteRawText(HKEY_CURRENT_USER, kProgram, L"Tail", REG_SZ, L"8250\0rest"s);  // no closing NUL
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Expand", L"%TEMP%", REG_EXPAND_SZ);
    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Long", L"S", L"", value), 0);
    EXPECT_EQ(value, longText);
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Tail", L"S", L"", value), 0);
    EXPECT_EQ(value, L"8250");
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Expand", L"S", L"", value), 0);
    EXPECT_EQ(value, L"%TEMP%");
}

TEST_F(ModRegistryTest, FailedReadsReturnTheCallsCodeAndKeepTheDefault) {
    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram + L"\\Missing", L"frmHelpWidth", L"S", L"8250", value),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, L"8250");
    EXPECT_FALSE(test::ScratchRegistry::KeyExists(HKEY_CURRENT_USER, kProgram + L"\\Missing")) << "reads create nothing";

    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kProgram, L"Number", 8250);
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Text", L"a longer text");
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Absent", L"S", L"6405", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, L"6405");
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Number", L"S", L"6405", value), ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(value, L"6405");
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Text", L"D", L"1", value), ERROR_MORE_DATA);
    EXPECT_EQ(value, L"1");
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Text", L"B", L"False", value), ERROR_MORE_DATA);
    EXPECT_EQ(value, L"False");
}

TEST_F(ModRegistryTest, BooleanIsTwoBytesOfBinary) {
    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"Flag", L"b", L"True"), 0);
    auto raw = Raw(L"Flag");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, DWORD{REG_BINARY});
    EXPECT_EQ(raw->bytes, (std::vector<BYTE>{0xFF, 0xFF}));
    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Flag", L"B", L"", value), 0);
    EXPECT_EQ(value, L"True");

    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"Flag", L"B", L"false"), 0);
    raw = Raw(L"Flag");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->bytes, (std::vector<BYTE>{0x00, 0x00}));
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Flag", L"B", L"", value), 0);
    EXPECT_EQ(value, L"False");

    test::WriteRaw(HKEY_CURRENT_USER, kProgram, L"Other", REG_BINARY, {0x01, 0x00});
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Other", L"B", L"", value), 0);
    EXPECT_EQ(value, L"True");

    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"Bad", L"B", L"maybe"), ERROR_INVALID_DATA);
    EXPECT_FALSE(Raw(L"Bad"));
}

TEST_F(ModRegistryTest, NumberIsADword) {
    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"MaxMinAlt", L"D", L"262144"), 0);
    auto raw = Raw(L"MaxMinAlt");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, DWORD{REG_DWORD});
    ASSERT_EQ(raw->bytes.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(raw->bytes.data()), 262144u);
    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"MaxMinAlt", L"d", L"", value), 0);
    EXPECT_EQ(value, L"262144");

    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"Negative", L"D", L"-1"), 0);
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Negative", L"D", L"", value), 0);
    EXPECT_EQ(value, L"-1");

    for (const wchar_t* bad : {L"abc", L"", L"12x", L"4294967296"})
        EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"Bad", L"D", bad), ERROR_INVALID_DATA) << NarrowUtf8(bad);
    EXPECT_FALSE(Raw(L"Bad"));
}

TEST_F(ModRegistryTest, AnUnknownTypeLetterReadsAndWritesNothing) {
    test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kProgram, L"Text", L"x");
    std::wstring value;
    EXPECT_EQ(fReadValue(L"HKCU", kProgram, L"Text", L"Q", L"default", value), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(value, L"default");
    EXPECT_EQ(fWriteValue(L"HKCU", kProgram, L"New", L"", L"1"), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(Raw(L"New"));
}

TEST(ModRegistryIni, ReadsAndWritesAPrivateProfile) {
    test::TempFolder folder;
    const std::wstring ini = folder / L"Quillmere.ini";
    const std::string longText(600, 'v');
    test::WriteBytes(ini, "[Help]\r\nfrmHelpWidth=8250\r\nCount=42\r\nLong=" + longText + "\r\n");

    std::wstring value;
    EXPECT_EQ(fReadValue(ini, L"Help", L"frmHelpWidth", L"S", L"0", value), 4) << "the character count";
    EXPECT_EQ(value, L"8250");
    EXPECT_EQ(fReadValue(ini, L"help", L"Missing", L"S", L"6405", value), 4);
    EXPECT_EQ(value, L"6405");
    EXPECT_EQ(fReadValue(ini, L"Help", L"Long", L"S", L"", value), 600);
    EXPECT_EQ(value, std::wstring(600, L'v'));

    value = L"untouched";
    EXPECT_EQ(fReadValue(ini, L"Help", L"Count", L"D", L"7", value), 42) << "the number read";
    EXPECT_EQ(value, L"7");
    EXPECT_EQ(fReadValue(ini, L"Help", L"Missing", L"D", L"7", value), 0);

    EXPECT_EQ(fWriteValue(ini, L"Help", L"frmHelpHeight", L"S", L"6405"), 0);
    EXPECT_EQ(fReadValue(ini, L"Help", L"frmHelpHeight", L"S", L"", value), 4);
    EXPECT_EQ(value, L"6405");
    EXPECT_NE(test::ReadBytes(ini).find("frmHelpHeight=6405"), std::string::npos);
    EXPECT_NE(test::ReadBytes(ini).find("Count=42"), std::string::npos) << "other lines kept";
}

}  // namespace
}  // namespace qm
