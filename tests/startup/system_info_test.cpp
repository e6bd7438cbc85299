#include "startup/system_info.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/handles.h"
#include "base/text.h"
#include "startup/api.h"
#include "support/doubles.h"

namespace qm {
namespace {

struct VersionCase {
    const char* system;
    std::optional<OsVersionRecord> record;
    bool win9x, win98, win98se, winMe, win2000, winXp, winVista, nt;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.system; }

class VersionPredicates : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionPredicates, AnswerForTheRecordHandedIn) {
    const VersionCase& c = GetParam();
    const FixedOsVersion os(c.record);
    EXPECT_EQ(IsWin9X(os), c.win9x);
    EXPECT_EQ(IsWin98(os), c.win98);
    EXPECT_EQ(IsWin98SE(os), c.win98se);
    EXPECT_EQ(IsWinME(os), c.winMe);
    EXPECT_EQ(IsWin2000(os), c.win2000);
    EXPECT_EQ(IsWinXP(os), c.winXp);
    EXPECT_EQ(IsWinVista(os), c.winVista);
    EXPECT_EQ(IsWinNTFamily(os), c.nt);
    EXPECT_EQ(WinVersion(os).isNt, c.nt);
}

// On the 9x family the build field carries the version in its upper 16 bits.
OsVersionRecord WithVersionInBuild(OsVersionRecord record) {
    record.build |= (record.major << 24) | (record.minor << 16);
    return record;
}

INSTANTIATE_TEST_SUITE_P(
    EverySystem, VersionPredicates,
    testing::Values(
        //           system            record                                          9x     98     98SE   ME     2000   XP     Vista  NT
        VersionCase{"Windows95", OsVersionRecord{1, 4, 0, 950, L""},                   true,  false, false, false, false, false, false, false},
        VersionCase{"Windows98", FixedOsVersion::Windows98(),                          true,  true,  false, false, false, false, false, false},
        VersionCase{"Windows98Full", WithVersionInBuild(FixedOsVersion::Windows98()),  true,  true,  false, false, false, false, false, false},
        VersionCase{"Windows98SE", FixedOsVersion::Windows98SE(),                      true,  false, true,  false, false, false, false, false},
        VersionCase{"Windows98SEFull", WithVersionInBuild(FixedOsVersion::Windows98SE()), true, false, true, false, false, false, false, false},
        VersionCase{"WindowsME", FixedOsVersion::WindowsME(),                          true,  false, false, true,  false, false, false, false},
        VersionCase{"Windows2000", FixedOsVersion::Windows2000(),                      false, false, false, false, true,  false, false, true},
        VersionCase{"WindowsXP", FixedOsVersion::WindowsXP(),                          false, false, false, false, false, true,  false, true},
        VersionCase{"WindowsVista", FixedOsVersion::WindowsVista(),                    false, false, false, false, false, false, true,  true},
        VersionCase{"Windows7", FixedOsVersion::Windows7(),                            false, false, false, false, false, false, true,  true},
        VersionCase{"Windows10", FixedOsVersion::Windows10(),                          false, false, false, false, false, false, false, true},
        VersionCase{"FailedQuery", std::nullopt,                                       false, false, false, false, false, false, false, false}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.system); });

TEST(WinVersion, CarriesTheNumbersWithThe9xBuildInItsLowerHalf) {
    const WinVersionInfo me = WinVersion(FixedOsVersion(WithVersionInBuild(FixedOsVersion::WindowsME())));
    EXPECT_FALSE(me.isNt);
    EXPECT_EQ(me.major, 4u);
    EXPECT_EQ(me.minor, 90u);
    EXPECT_EQ(me.build, 3000u);
    const WinVersionInfo seven = WinVersion(FixedOsVersion(FixedOsVersion::Windows7()));
    EXPECT_TRUE(seven.isNt);
    EXPECT_EQ(seven.build, 7601u);
    EXPECT_TRUE(WinVersion(SystemOsVersion()).isNt);
}

TEST(SystemFolders, RootDirIsTheDriveOfTheWindowsFolder) {
    EXPECT_EQ(RootDirOf(L"D:\\WINDOWS"), L"D:\\");
    EXPECT_EQ(RootDirOf(L"C:\\"), L"C:\\");
    EXPECT_EQ(RootDirOf(L""), L"");

    const std::wstring root = GetRootDir();
    ASSERT_EQ(root.size(), 3u);
    EXPECT_EQ(root.substr(1), L":\\");
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_TRUE(StartsWithNoCase(windows, root));
    EXPECT_TRUE(ApiFolderExists(root));
}

TEST(SystemFolders, SystemDirHoldsKernel32) {
    const std::wstring system = GetSystemDir();
    ASSERT_FALSE(system.empty());
    EXPECT_NE(system.back(), L'\\');
    EXPECT_TRUE(ApiFileExists(system + L"\\kernel32.dll"));
}

TEST(SystemFolders, SpecialFolderEndsInABackslashOrIsEmpty) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData), S_OK);
    EXPECT_EQ(ApiSpecialFolder(CSIDL_APPDATA), std::wstring(appData) + L"\\");
    EXPECT_TRUE(ApiFolderExists(ApiSpecialFolder(CSIDL_PROGRAM_FILES)));
    EXPECT_EQ(ApiSpecialFolder(0x7F), L"");
}

TEST(SystemFolders, FolderPathHasNoTrailingBackslash) {
    test::RecordingUiHost ui;
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_TRUE(EqualsNoCase(GetFolderPath(ui, CSIDL_WINDOWS), windows));

    const std::wstring appData = GetFolderPath(ui, CSIDL_APPDATA);
    ASSERT_FALSE(appData.empty());
    EXPECT_NE(appData.back(), L'\\');
    EXPECT_EQ(GetFolderPath(ui, 0x7F), L"");
}

// Screen 1080 pixels high at 15 twips per pixel.
constexpr int kScreen = 1080;
constexpr int kTpp = 15;

TEST(ScreenExtent, BarAlongTheFarEdgeEndsTheScreenAtItsNearEdge) {
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{1040, 1080}), 1040 * kTpp);
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{1038, 1082}), 1038 * kTpp);
}

TEST(ScreenExtent, BarAlongTheNearEdgeAboveTheScreenLeavesTheRest) {
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{-2, 40}), (kScreen - 40) * kTpp);
}

TEST(ScreenExtent, NoBarOrABarAcrossTheAxisLeavesTheFullScreen) {
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, std::nullopt), kScreen * kTpp);
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{0, kScreen}), kScreen * kTpp);
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{-2, kScreen + 2}), kScreen * kTpp);
    // A bar starting exactly at the near edge keeps the full extent, as the rule says.
    EXPECT_EQ(ExtentWithoutTaskbar(kScreen, kTpp, BarSpan{0, 40}), kScreen * kTpp);
}

TEST(ScreenExtent, RealScreenLosesAtMostThePartUnderTheBar) {
    ASSERT_GT(TwipsPerPixelX(), 0);
    ASSERT_GT(TwipsPerPixelY(), 0);
    const int fullWidth = ::GetSystemMetrics(SM_CXSCREEN) * TwipsPerPixelX();
    const int fullHeight = ::GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY();
    EXPECT_GT(ScreenWidth(), fullWidth / 2);
    EXPECT_LE(ScreenWidth(), fullWidth);
    EXPECT_GT(ScreenHeight(), fullHeight / 2);
    EXPECT_LE(ScreenHeight(), fullHeight);
}

class MakeTransparentTest : public testing::Test {
protected:
    void SetUp() override {
        window_.reset(::CreateWindowExW(0, L"STATIC", L"qm-transparent", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(window_.valid());
    }
    HWND Window() const { return window_.get(); }
    bool Layered() const { return (::GetWindowLongPtrW(Window(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }
    BYTE Alpha() const {
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(::GetLayeredWindowAttributes(Window(), nullptr, &alpha, &flags));
        EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
        return alpha;
    }

private:
    UniqueWindow window_;
};

TEST_F(MakeTransparentTest, LayersTheWindowWithTheLevelAsAlpha) {
    EXPECT_EQ(MakeTransparent(FixedOsVersion(FixedOsVersion::Windows10()), Window(), 220), 0);
    ASSERT_TRUE(Layered());
    EXPECT_EQ(Alpha(), 220);
    EXPECT_EQ(MakeTransparent(FixedOsVersion(FixedOsVersion::Windows2000()), Window(), 255), 0);
    EXPECT_EQ(Alpha(), 255);
    EXPECT_EQ(MakeTransparent(FixedOsVersion(FixedOsVersion::Windows7()), Window(), 0), 0);
    EXPECT_EQ(Alpha(), 0);
}

TEST_F(MakeTransparentTest, LevelOutsideTheRangeReturnsOneAndChangesNothing) {
    const FixedOsVersion xp(FixedOsVersion::WindowsXP());
    EXPECT_EQ(MakeTransparent(xp, Window(), 300), 1);
    EXPECT_EQ(MakeTransparent(xp, Window(), 256), 1);
    EXPECT_EQ(MakeTransparent(xp, Window(), -1), 1);
    EXPECT_FALSE(Layered());
}

TEST_F(MakeTransparentTest, NineXSystemsAreLeftAloneWithZero) {
    for (const OsVersionRecord& record :
         {FixedOsVersion::Windows98(), FixedOsVersion::Windows98SE(), FixedOsVersion::WindowsME()}) {
        const FixedOsVersion os(record);
        EXPECT_EQ(MakeTransparent(os, Window(), 220), 0);
        EXPECT_EQ(MakeTransparent(os, Window(), 300), 0);
    }
    EXPECT_FALSE(Layered());
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

class FixedTaskbar final : public TaskbarSource {
public:
    explicit FixedTaskbar(TaskbarFacts facts) : facts_(facts) {}
    TaskbarFacts Query() const override { return facts_; }

private:
    TaskbarFacts facts_;
};

TEST(TaskbarExists, TakesTheBarFromItsRectangleAndTheWorkArea) {
    const RECT screen{0, 0, 1920, 1080};
    const struct {
        const char* what;
        std::optional<RECT> bar;
        UINT state;
        RECT workArea;
        bool exists;
    } cases[] = {
        {"Windows 11, bar at the bottom", RECT{0, 1032, 1920, 1080}, ABS_ALWAYSONTOP, {0, 0, 1920, 1032}, true},
        {"Windows 7 reports no state", RECT{0, 1040, 1920, 1080}, 0, {0, 0, 1920, 1040}, true},
        {"bar on the left", RECT{0, 0, 62, 1080}, 0, {62, 0, 1920, 1080}, true},
        {"hidden bar", RECT{0, 1078, 1920, 1120}, ABS_AUTOHIDE, screen, true},
        {"Wine: a one-pixel strip", RECT{0, 1079, 1920, 1080}, ABS_ALWAYSONTOP, screen, false},
        {"a bar that takes nothing", RECT{0, 1040, 1920, 1080}, ABS_ALWAYSONTOP, screen, false},
        {"no bar", std::nullopt, 0, screen, false},
        {"a bar off the screen", RECT{3000, 0, 3040, 1080}, 0, {0, 0, 1920, 1040}, false},
    };
    for (const auto& c : cases) {
        const TaskbarFacts facts{c.bar, c.state, screen, c.workArea};
        EXPECT_EQ(TaskbarExists(facts), c.exists) << c.what;
        const std::int32_t full = ::GetSystemMetrics(SM_CYSCREEN) * TwipsPerPixelY();
        if (!c.exists) {
            EXPECT_EQ(ScreenHeight(FixedTaskbar(facts)), full) << c.what;
        }
    }
}

}  // namespace
}  // namespace qm
