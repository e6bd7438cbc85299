#include "startup/api.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <algorithm>

#include "base/text.h"
#include "support/fixtures.h"
#include "support/long_paths.h"

namespace qm {
namespace {

using test::MakeFolder;
using test::TempFolder;
using test::WriteBytes;

// The names of one walk, in the order found, without "." and "..".
std::vector<std::wstring> Walk(const std::wstring& folder, const std::wstring& patterns) {
    std::vector<std::wstring> names;
    FID fid;
    for (ApiFindFirstFile(fid, folder, patterns); fid.found; ApiFindNextFile(fid))
        if (!fid.IsDotEntry()) names.push_back(fid.name);
    ApiFindClose(fid);
    return names;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class FindWalk : public testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.log", L"d.ini"}) WriteBytes(dir / name, "x");
    }
    TempFolder dir{L"qm-find"};
};

TEST_F(FindWalk, PatternListIsWalkedOnePatternAfterAnother) {
    const std::vector<std::wstring> names = Walk(dir.Path(), L"*.txt;*.log");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(Sorted({names[0], names[1]}), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(names[2], L"c.log");
}

TEST_F(FindWalk, PatternWithoutMatchesDoesNotEndTheWalk) {
    EXPECT_EQ(Walk(dir.Path(), L"*.none;*.log"), (std::vector<std::wstring>{L"c.log"}));
    EXPECT_EQ(Sorted(Walk(dir.Path(), L"*.txt;*.none;*.ini")),
              (std::vector<std::wstring>{L"a.txt", L"b.txt", L"d.ini"}));
    EXPECT_TRUE(Walk(dir.Path(), L"*.none;*.nothing").empty());
}

TEST_F(FindWalk, FolderWithOrWithoutBackslashGivesFullPaths) {
    FID fid;
    ApiFindFirstFile(fid, dir.Path() + L"\\", L"c.log");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.folder, dir.Path() + L"\\");
    EXPECT_EQ(fid.Path(), dir / L"c.log");
    ApiFindFirstFile(fid, dir.Path(), L"*.log");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.Path(), dir / L"c.log");
    EXPECT_EQ(fid.fullSpec, dir / L"*.log");
}

TEST_F(FindWalk, EmptyPatternLooksUpTheFullPathItself) {
    FID fid;
    EXPECT_NE(ApiFindFirstFile(fid, dir / L"c.log", L""), INVALID_HANDLE_VALUE);
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.name, L"c.log");
    EXPECT_EQ(fid.Path(), dir / L"c.log");
    ApiFindNextFile(fid);
    EXPECT_FALSE(fid.found);
}

TEST_F(FindWalk, NothingToSearchFindsNothing) {
    FID fid;
    EXPECT_EQ(ApiFindFirstFile(fid, L"", L"*.*"), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fid.found);
    EXPECT_EQ(ApiFindFirstFile(fid, L"ftp://example.com/pub", L"*.*"), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fid.found);
    EXPECT_EQ(ApiFindFirstFile(fid, L"FTP://example.com/pub", L""), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fid.found);
    ApiFindNextFile(fid);
    EXPECT_FALSE(fid.found);
}

TEST_F(FindWalk, MissingFolderClearsFoundAndKeepsTheError) {
    FID fid;
    ApiFindFirstFile(fid, dir / L"missing", L"*.*");
    EXPECT_FALSE(fid.found);
    EXPECT_EQ(ApiLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(StartsWith(ApiError(), L"Error 3 - ")) << ApiError();
}

TEST_F(FindWalk, ReusedRecordStartsAFreshSearch) {
    TempFolder other(L"qm-find-other");
    WriteBytes(other / L"z.dat", "x");
    FID fid;
    for (ApiFindFirstFile(fid, dir.Path(), L"*.txt;*.log"); fid.found;) ApiFindNextFile(fid);
    ASSERT_EQ(fid.patternIndex, 1);
    ApiFindFirstFile(fid, other.Path(), L"*.dat");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.Path(), other / L"z.dat");
    ApiFindNextFile(fid);
    EXPECT_FALSE(fid.found);
}

TEST_F(FindWalk, CloseEndsTheWalk) {
    FID fid;
    ApiFindFirstFile(fid, dir.Path(), L"*.*");
    ASSERT_TRUE(fid.found);
    ApiFindClose(fid);
    EXPECT_FALSE(fid.found);
    EXPECT_FALSE(fid.handle.valid());
    ApiFindNextFile(fid);
    EXPECT_FALSE(fid.found);
}

TEST(FindRecord, IsFilledFromTheFindData) {
    TempFolder dir(L"qm-record");
    const std::wstring path = dir / L"archive.tar.gz";
    WriteBytes(path, std::string(1234, 'x'));
    const FILETIME written{0x12345678, 0x01D00000};
    {
        UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.valid());
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &written));
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    MakeFolder(dir / L"sub");
    WriteBytes(dir / L"README", "");

    FID fid;
    ApiFindFirstFile(fid, dir.Path(), L"archive*");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.name, L"archive.tar.gz");
    EXPECT_EQ(fid.baseName, L"archive.tar");
    EXPECT_EQ(fid.extension, L"gz");
    EXPECT_EQ(fid.size, 1234u);
    EXPECT_NE(fid.attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(fid.IsDirectory());
    EXPECT_EQ(fid.written.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(fid.written.dwHighDateTime, written.dwHighDateTime);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    ApiFindFirstFile(fid, dir.Path(), L"README");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.baseName, L"README");
    EXPECT_EQ(fid.extension, L"");
    EXPECT_EQ(fid.size, 0u);

    ApiFindFirstFile(fid, dir.Path(), L"sub");
    ASSERT_TRUE(fid.found);
    EXPECT_TRUE(fid.IsDirectory());
}

TEST(FindRecord, SizeUsesBothHalvesAndSizeOnDiskIsAskedOnDemand) {
    TempFolder dir(L"qm-huge");
    const std::wstring path = dir / L"sparse.bin";
    constexpr std::uint64_t kSize = 5ull << 30;  // beyond 32 bits
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.valid());
        DWORD returned = 0;
        ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(kSize);
        ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.get()));
    }
    FID fid;
    ApiFindFirstFile(fid, path, L"");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.size, kSize);
    // Windows allocates nothing for the unwritten range; Wine reports the full size.
    EXPECT_LE(ApiFileSpace(fid), kSize);

    // A plain file takes its own size; a file gone since the walk takes none.
    WriteBytes(dir / L"small.bin", std::string(100, 'x'));
    ApiFindFirstFile(fid, dir / L"small.bin", L"");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(ApiFileSpace(fid), 100u);
    ASSERT_TRUE(::DeleteFileW((dir / L"small.bin").c_str()));
    EXPECT_EQ(ApiFileSpace(fid), 0u);
    EXPECT_EQ(ApiLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FindRecord, DirectoryLinkIsReportedAsALinkNotEntered) {
    TempFolder dir(L"qm-link");
    TempFolder target(L"qm-link-target");
    WriteBytes(target / L"inside.txt", "x");
    ASSERT_TRUE(test::MakeDirectoryLink(dir / L"link", target.Path()));
    FID fid;
    ApiFindFirstFile(fid, dir.Path(), L"link");
    ASSERT_TRUE(fid.found);
    EXPECT_TRUE(fid.IsDirectory());
    EXPECT_TRUE(fid.IsReparsePoint());
}

TEST(UnicodeNames, AreFoundAndTestedExactly) {
    TempFolder base(L"qm-unicode");
    const std::wstring folder = base / test::kLatinName;
    MakeFolder(folder);
    const std::wstring cyrillic = folder + L"\\" + test::kCyrillicName + L".txt";
    const std::wstring cjk = folder + L"\\" + test::kCjkName + L".log";
    WriteBytes(cyrillic, "x");
    WriteBytes(cjk, "x");

    EXPECT_EQ(Sorted(Walk(folder, L"*.txt;*.log")),
              Sorted({std::wstring(test::kCyrillicName) + L".txt", std::wstring(test::kCjkName) + L".log"}));
    EXPECT_TRUE(ApiFolderExists(folder));
    EXPECT_TRUE(ApiFileExists(cyrillic));
    EXPECT_TRUE(ApiFileExists(cjk));
    EXPECT_FALSE(ApiFileExists(folder));
    EXPECT_NE(ApiAttrsGet(cjk), INVALID_FILE_ATTRIBUTES);
}

TEST(LongPaths, WorkBeyondMaxPath) {
    TempFolder base(L"qm-long");
    const std::wstring folder = test::MakeLongFolder(base.Path(), 320);
    ASSERT_GT(folder.size(), static_cast<size_t>(MAX_PATH));
    const std::wstring file = folder + L"\\deep " + test::kCjkName + L".txt";
    WriteBytes(file, "12345");

    EXPECT_TRUE(ApiFolderExists(folder));
    EXPECT_TRUE(ApiFolderExists(folder + L"\\"));
    EXPECT_TRUE(ApiFileExists(file));
    EXPECT_FALSE(ApiFileExists(folder));
    EXPECT_EQ(Walk(folder, L"*.txt"), (std::vector<std::wstring>{std::wstring(L"deep ") + test::kCjkName + L".txt"}));
    FID fid;
    ApiFindFirstFile(fid, file, L"");
    ASSERT_TRUE(fid.found);
    EXPECT_EQ(fid.size, 5u);
    EXPECT_GE(ApiFileSpace(fid), 5u);
}

TEST(Exists, FileAndFolderTellEachOtherApart) {
    TempFolder dir(L"qm-exists");
    WriteBytes(dir / L"file.txt", "x");
    MakeFolder(dir / L"sub");

    EXPECT_TRUE(ApiFileExists(dir / L"file.txt"));
    EXPECT_TRUE(ApiFileExists(L"  " + (dir / L"file.txt") + L"  "));
    EXPECT_FALSE(ApiFileExists(dir / L"sub"));
    EXPECT_FALSE(ApiFileExists(dir / L"missing.txt"));
    EXPECT_FALSE(ApiFileExists(L""));
    EXPECT_FALSE(ApiFileExists(L"   "));

    EXPECT_TRUE(ApiFolderExists(dir / L"sub"));
    EXPECT_TRUE(ApiFolderExists(dir / L"sub\\"));
    EXPECT_FALSE(ApiFolderExists(dir / L"file.txt"));
    EXPECT_FALSE(ApiFolderExists(dir / L"missing"));
    EXPECT_FALSE(ApiFolderExists(L""));
}

TEST(Exists, RelativeAndUnnormalisedPathsAreResolvedFirst) {
    TempFolder dir(L"qm-relative");
    MakeFolder(dir / L"sub");
    WriteBytes(dir / L"file.txt", "x");
    EXPECT_TRUE(ApiFileExists(dir / L"sub\\..\\file.txt"));
    EXPECT_TRUE(ApiFileExists(ReplaceAll(dir / L"file.txt", L"\\", L"/")));
    EXPECT_TRUE(ApiFolderExists(dir / L"sub\\.\\"));

    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.Path().c_str()));
    const bool relativeFile = ApiFileExists(L"file.txt");
    const bool relativeFolder = ApiFolderExists(L"sub");
    const std::vector<std::wstring> relativeWalk = Walk(L"sub\\..", L"*.txt");
    ::SetCurrentDirectoryW(previous);
    EXPECT_TRUE(relativeFile);
    EXPECT_TRUE(relativeFolder);
    EXPECT_EQ(relativeWalk, (std::vector<std::wstring>{L"file.txt"}));
}

TEST(UnicodeFidForm, PrefixesLocalAndNetworkPathsOnce) {
    EXPECT_EQ(UnicodeFid(L"C:\\x\\y.txt"), L"\\\\?\\C:\\x\\y.txt");
    EXPECT_EQ(UnicodeFid(L"\\\\server\\share\\y.txt"), L"\\\\?\\UNC\\server\\share\\y.txt");
    EXPECT_EQ(UnicodeFid(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(UnicodeFid(L"C:\\x\\..\\y\\*.txt"), L"\\\\?\\C:\\y\\*.txt");
    EXPECT_EQ(UnicodeFid(L"C:/x/y"), L"\\\\?\\C:\\x\\y");
    EXPECT_EQ(UnicodeFid(L""), L"");
}

TEST(ErrorText, NamesTheCodeAndTheSystemTextOnOneLine) {
    const std::wstring text = ApiError(ERROR_ACCESS_DENIED);
    ASSERT_TRUE(StartsWith(text, L"Error 5 - ")) << text;
    EXPECT_GT(text.size(), std::wstring(L"Error 5 - ").size());
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_NE(text.back(), L' ');
    EXPECT_FALSE(EndsWith(text, L"unknown error."));
}

TEST(ErrorText, CodeWithoutSystemTextIsAnUnknownError) {
    EXPECT_EQ(ApiError(0x0FFFFFF0), L"Error 268435440 - unknown error.");
}

TEST(ErrorText, NoErrorAtAllMeansAFileInUse) {
    TempFolder dir(L"qm-error");
    ASSERT_TRUE(ApiFolderExists(dir.Path()));  // a success clears the recorded error
    ::SetLastError(0);
    EXPECT_EQ(ApiError(), L"Error - File Possibly In Use/Locked");
}

TEST(ErrorText, SetApiErrorRecordsTheLastErrorWithPlaceAndItem) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetApiError(L"Delete", L"C:\\x.txt"), ApiError(ERROR_ACCESS_DENIED) + L" (Delete): C:\\x.txt");
    EXPECT_EQ(ApiLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ApiError(), ApiError(ERROR_ACCESS_DENIED));

    ::SetLastError(0);
    EXPECT_EQ(SetApiError(L"Copy", L"a"), L"Error -1 - unknown error. (Copy): a");
}

TEST(Capabilities, ProbeFindsTheKernelFunctionsOnce) {
    const ApiCapabilities& probe = ApiInit();
    EXPECT_EQ(&probe, &ApiInit());
    EXPECT_TRUE(probe.wideCalls);
    EXPECT_TRUE(probe.Has("GetFileSizeEx"));
    EXPECT_TRUE(probe.Has("GetCompressedFileSizeA"));
    EXPECT_FALSE(probe.Has("NoSuchFunction"));
    EXPECT_TRUE(APIExists(L"kernel32.dll", "CopyFileW"));
    EXPECT_FALSE(APIExists(L"kernel32.dll", "NoSuchFunction"));
    EXPECT_FALSE(APIExists(L"no-such-library.dll", "CopyFileW"));
}

TEST(SmallWrappers, TextStripCutsAtTheFirstNul) {
    EXPECT_EQ(ApiTextStrip(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(ApiTextStrip(L"abc"), L"abc");
    EXPECT_EQ(ApiTextStrip(std::wstring(3, L'\0')), L"");
}

TEST(SmallWrappers, KeyDownFollowsTheThreadKeyState) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    ASSERT_TRUE(::SetKeyboardState(keys));
    EXPECT_TRUE(ApiKeyDown(VK_SHIFT));
    EXPECT_FALSE(ApiKeyDown(VK_CONTROL));
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    EXPECT_FALSE(ApiKeyDown(VK_SHIFT));
}

}  // namespace
}  // namespace qm
