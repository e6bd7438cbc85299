#include "startup/file_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/long_paths.h"

namespace qm {
namespace {

using test::MakeFolder;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

TEST(PathText, QualifyPathEndsInOneBackslash) {
    EXPECT_EQ(QualifyPath(L""), L"\\");
    EXPECT_EQ(QualifyPath(L"C:\\Temp"), L"C:\\Temp\\");
    EXPECT_EQ(QualifyPath(L"C:\\Temp\\"), L"C:\\Temp\\");
    EXPECT_EQ(QualifyPath(L"C:"), L"C:\\");
}

TEST(PathText, TrimNullCutsAtTheFirstNul) {
    EXPECT_EQ(TrimNull(std::wstring(L"name.txt\0\0garbage", 18)), L"name.txt");
    EXPECT_EQ(TrimNull(L"name.txt"), L"name.txt");
    EXPECT_EQ(TrimNull(L""), L"");
}

TEST(PathText, MatchSpecFollowsTheShellsPatternRules) {
    EXPECT_TRUE(MatchSpec(L"a.txt", L"*.*"));
    EXPECT_TRUE(MatchSpec(L"README", L"*.*"));
    EXPECT_TRUE(MatchSpec(L"Notes.TXT", L"*.txt"));
    EXPECT_TRUE(MatchSpec(L"a1.log", L"a?.log"));
    EXPECT_FALSE(MatchSpec(L"a.log", L"*.txt"));
    EXPECT_TRUE(MatchSpec(std::wstring(test::kCyrillicName) + L".txt", L"*.txt"));
}

class FileExistsTest : public testing::Test {
protected:
    std::wstring Make(const wchar_t* name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = dir / name;
        WriteBytes(path, "x");
        ::SetFileAttributesW(path.c_str(), attributes);
        return path;
    }
    void TearDown() override {
        for (const wchar_t* name : {L"hidden.dat", L"system.dat", L"readonly.txt", L"only-hidden.log"})
            ::SetFileAttributesW((dir / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    TempFolder dir{L"qm-fileexists"};
};

TEST_F(FileExistsTest, NormalFilesCountHiddenSystemAndFoldersDoNot) {
    EXPECT_TRUE(FileExists(Make(L"plain.txt")));
    EXPECT_TRUE(FileExists(Make(L"readonly.txt", FILE_ATTRIBUTE_READONLY)));
    EXPECT_TRUE(FileExists(Make(L"archive.txt", FILE_ATTRIBUTE_ARCHIVE)));
    EXPECT_FALSE(FileExists(Make(L"hidden.dat", FILE_ATTRIBUTE_HIDDEN)));
    EXPECT_FALSE(FileExists(Make(L"system.dat", FILE_ATTRIBUTE_SYSTEM)));
    MakeFolder(dir / L"folder");
    EXPECT_FALSE(FileExists(dir / L"folder"));
    EXPECT_FALSE(FileExists(dir / L"missing.txt"));
    EXPECT_FALSE(FileExists(dir / L"missing\\x.txt"));
    EXPECT_FALSE(FileExists(L""));
}

TEST_F(FileExistsTest, WildcardNeedsOneNormalMatch) {
    Make(L"only-hidden.log", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(FileExists(dir / L"*.log"));
    Make(L"visible.log");
    EXPECT_TRUE(FileExists(dir / L"*.log"));
    EXPECT_FALSE(FileExists(dir / L"*.none"));
}

TEST_F(FileExistsTest, LongAndNonAsciiPathsWork) {
    const std::wstring folder = test::MakeLongFolder(dir.Path() + L"\\" + test::kLatinName, 300);
    const std::wstring file = folder + L"\\" + test::kCjkName + L".txt";
    WriteBytes(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(folder + L"\\*.txt"));
    EXPECT_FALSE(FileExists(folder));
}

class FileCopyTest : public testing::Test {
protected:
    test::RecordingDialogs dialogs;
    TempFolder dir{L"qm-copy"};
};

TEST_F(FileCopyTest, CopiesAndOverwritesWhenAllowed) {
    const std::wstring source = dir / (std::wstring(test::kCyrillicName) + L".txt");
    const std::wstring target = dir / L"copy.txt";
    WriteBytes(source, "new content");
    WriteBytes(target, "old");
    EXPECT_TRUE(FileCopyAPI(dialogs, source, target, false));
    EXPECT_EQ(ReadBytes(target), "new content");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCopyTest, RefusedOverwriteFailsSilently) {
    WriteBytes(dir / L"a.txt", "a");
    WriteBytes(dir / L"b.txt", "b");
    EXPECT_FALSE(FileCopyAPI(dialogs, dir / L"a.txt", dir / L"b.txt", true));
    EXPECT_EQ(ReadBytes(dir / L"b.txt"), "b");
    EXPECT_FALSE(FileCopyAPI(dialogs, dir / L"missing.txt", dir / L"c.txt", true));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCopyTest, FailureIsReportedWithTheErrorInUpperCaseHex) {
    const std::wstring missing = dir / L"missing.txt";
    const std::wstring target = dir / L"c.txt";
    EXPECT_FALSE(FileCopyAPI(dialogs, missing, target, false));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const MessageBoxRequest& box = dialogs.Last();
    EXPECT_EQ(box.title, L"Application Error");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    const std::wstring expected = L"Failed to copy \"" + missing + L"\" to \"" + target +
                                  L"\". The return value was 0 and the error number was &h2.\r\n"
                                  L"in Quillmere.basMain.FileCopyAPI at line ";
    ASSERT_TRUE(StartsWith(box.text, expected)) << NarrowUtf8(box.text);
    const std::wstring line = box.text.substr(expected.size());
    EXPECT_FALSE(line.empty());
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }));

    WriteBytes(dir / L"a.txt", "a");
    EXPECT_FALSE(FileCopyAPI(dialogs, dir / L"a.txt", dir / L"bad<name>.txt", false));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(Contains(dialogs.Last().text, L"the error number was &h7B.")) << NarrowUtf8(dialogs.Last().text);
}

TEST_F(FileCopyTest, CopiesBeyondMaxPath) {
    const std::wstring folder = test::MakeLongFolder(dir.Path(), 300);
    WriteBytes(folder + L"\\source.bin", "deep");
    EXPECT_TRUE(FileCopyAPI(dialogs, folder + L"\\source.bin", folder + L"\\target.bin", true));
    EXPECT_EQ(ReadBytes(folder + L"\\target.bin"), "deep");
}

}  // namespace
}  // namespace qm
