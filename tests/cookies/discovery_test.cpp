#include "cookies/discovery.h"

#include <gtest/gtest.h>

#include <utility>

#include "base/text.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using Entry = std::pair<std::wstring, std::int32_t>;

std::vector<Entry> Entries(const ListModel& list) {
    std::vector<Entry> entries;
    for (const auto& item : list.Items()) entries.emplace_back(item.text, item.data);
    return entries;
}

std::vector<std::wstring> Texts(const ListModel& list) {
    std::vector<std::wstring> texts;
    for (const auto& item : list.Items()) texts.push_back(item.text);
    return texts;
}

const std::string kCookieRecord = test::MsieRecordText(
    test::MsieRecordSpec{}.Created(test::Moment(2006, 1, 1)).Expires(test::Moment(2030, 1, 1)));

class Discovery : public ::testing::Test {
protected:
    // Makes a folder (with parents) below the root; returns its path with a trailing "\".
    std::wstring Folder(const std::wstring& relative) {
        test::MakeFolder(root / relative);
        return root / relative + L"\\";
    }
    std::wstring File(const std::wstring& relative, const std::string& bytes = "x") {
        const size_t slash = relative.find_last_of(L'\\');
        if (slash != std::wstring::npos) test::MakeFolder(root / relative.substr(0, slash));
        test::WriteBytes(root / relative, bytes);
        return root / relative;
    }

    test::TempFolder root{L"qmfind"};
    test::TestApp app;
    MainFormModel& form = app.ctx.frmMain;
};

TEST(Unicode2ASCII, FoldsOnlyTextsWithEverySecondCharacterNul) {
    EXPECT_EQ(Unicode2ASCII(std::wstring(L"C\0:\0\\\0", 6)), L"C:\\");
    EXPECT_EQ(Unicode2ASCII(std::wstring(L"C\0:", 3)), std::wstring(L"C\0:", 3));  // odd length
    EXPECT_EQ(Unicode2ASCII(std::wstring(L"C\0:x", 4)), std::wstring(L"C\0:x", 4));
    EXPECT_EQ(Unicode2ASCII(L"C:\\Cookies"), L"C:\\Cookies");
    EXPECT_EQ(Unicode2ASCII(L""), L"");
}

TEST_F(Discovery, AddOneLocKeepsOneEntryPerPathInAnyLetterCase) {
    const std::wstring folder = Folder(L"Store");
    const std::wstring file = File(L"Store\\cookies.txt");
    AddOneLoc(app.ctx, root / L"Store", 0x1003);
    AddOneLoc(app.ctx, root / L"STORE\\", 0x1004);
    AddOneLoc(app.ctx, file, 0x2005);
    AddOneLoc(app.ctx, root / L"absent", 0x1003);
    EXPECT_EQ(Entries(form.cboLoc), (std::vector<Entry>{{folder, 0x1003}, {file, 0x2005}}));
    EXPECT_EQ(Texts(form.Combo3), (std::vector<std::wstring>{folder, file}));
    EXPECT_EQ(app.pump.events, 2);

    frmMainAddOneLoc(app.ctx, root / L"Store", 0x1000);
    EXPECT_EQ(Entries(form.cache), (std::vector<Entry>{{folder, 0x1000}}));
    EXPECT_EQ(form.Combo3.ListCount(), 2);
}

TEST_F(Discovery, AddMSIESearchesTheWholeTreeButListsOnlyCookieFolders) {
    File(L"Store\\a\\b\\me@site[1].txt", kCookieRecord);  // found two levels down
    Folder(L"Store\\Cookies\\Empty");                       // named "Cookies": listed though empty
    File(L"Store\\.hidden\\me@x[1].txt", kCookieRecord);    // names beginning with "." are not searched
    Folder(L"Store\\plain");
    std::wstring path = root / L"Store";
    AddMSIE(app.ctx, path, 0x1005);
    EXPECT_EQ(path, root / L"Store\\");
    const std::vector<std::wstring> listed = Texts(form.cboLoc);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), root / L"Store\\a\\b\\"), 1);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), root / L"Store\\Cookies\\"), 1);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), root / L"Store\\Cookies\\Empty\\"), 1);
    EXPECT_EQ(listed.size(), 3u);
    for (const auto& entry : Entries(form.cboLoc)) EXPECT_EQ(entry.second, 0x1005);
}

TEST_F(Discovery, AddMSIEExpandsReferencesOfTheCandidateButNotFolderNamesBelowIt) {
    File(L"Profile\\Cookies\\me@site[1].txt", kCookieRecord);
    const std::wstring elsewhere = Folder(L"Elsewhere");
    File(L"Elsewhere\\me@other[1].txt", kCookieRecord);
    Folder(L"Profile\\Cookies\\%QM_ELSEWHERE%");
    test::ScopedEnv profile(L"QM_PROFILE", root / L"Profile");
    test::ScopedEnv other(L"QM_ELSEWHERE", root / L"Elsewhere");

    std::wstring path = L"%QM_PROFILE%\\Cookies";
    AddMSIE(app.ctx, path, 0x1003);
    EXPECT_EQ(path, root / L"Profile\\Cookies\\");
    // The oddly named folder is an ordinary cookie folder; the folder its name refers to is
    // never searched.
    EXPECT_EQ(Texts(form.cboLoc), (std::vector<std::wstring>{root / L"Profile\\Cookies\\",
                                                             root / L"Profile\\Cookies\\%QM_ELSEWHERE%\\"}));
}

TEST_F(Discovery, LinksAreNeverFollowed) {
    File(L"Cookies\\me@site[1].txt", kCookieRecord);
    File(L"Target\\me@other[1].txt", kCookieRecord);
    ASSERT_TRUE(test::MakeDirectoryLink(root / L"Cookies\\Loop", root / L"Cookies"));
    ASSERT_TRUE(test::MakeDirectoryLink(root / L"Cookies\\Away", root / L"Target"));
    std::wstring path = root / L"Cookies";
    AddMSIE(app.ctx, path, 0x1004);
    EXPECT_EQ(Texts(form.cboLoc), (std::vector<std::wstring>{root / L"Cookies\\"}));

    File(L"Cookies\\ns\\cookies.txt");
    ASSERT_TRUE(test::MakeDirectoryLink(root / L"Cookies\\ns\\Cache", root / L"Cookies"));
    path = root / L"Cookies";
    AddNS2(app.ctx, path, 0x2005);
    frmMainAddNS2(app.ctx, path, 0x2005);
    EXPECT_EQ(form.cboLoc.List(1), root / L"Cookies\\ns\\cookies.txt");
    EXPECT_EQ(form.cboLoc.ListCount(), 2);
    EXPECT_EQ(form.cache.ListCount(), 0);
}

TEST_F(Discovery, AddNS2ListsCookiesTxtInLowerCaseOnlyWhereTheFileExists) {
    File(L"NS\\Cookies.TXT");
    Folder(L"Empty");
    std::wstring path = root / L"NS\\COOKIES.TXT";
    AddNS2(app.ctx, path, 0x2005);
    EXPECT_EQ(path, root / L"NS\\");
    std::wstring empty = root / L"Empty\\cookies.txt";
    AddNS2(app.ctx, empty, 0x2005);
    EXPECT_EQ(Entries(form.cboLoc), (std::vector<Entry>{{root / L"NS\\cookies.txt", 0x2005}}));
}

TEST_F(Discovery, AFolderNamedCookiesTxtIsSearchedLikeAnyOther) {
    File(L"Odd\\cookies.txt\\cookies.txt");
    std::wstring path = root / L"Odd";
    AddNS2(app.ctx, path, 0x2004);
    frmMainAddNS2(app.ctx, path, 0x2004);
    EXPECT_EQ(Entries(form.cboLoc), (std::vector<Entry>{{root / L"Odd\\cookies.txt\\cookies.txt", 0x2004}}));
}

TEST_F(Discovery, CacheCandidatesAreFolderNamesEndingInCacheOrDefault) {
    // Below Firefox's profiles only a profile's own "Cache" is a cache; a Netscape tree takes
    // every "...cache" folder.
    struct Case {
        const wchar_t* folder;
        bool firefoxCache, netscapeCache;
    } cases[] = {
        {L"ab.default\\Cache", true, true},
        {L"cd.default-release\\cACHE", true, true},
        {L"ab.default\\NoCacheHere", false, false},
        {L"ab.default\\OfflineCache", false, true},
        {L"ab.default\\storage\\default\\https+++site.example\\cache", false, true},
        {L"Cache", false, true},
    };
    for (const auto& one : cases) Folder(std::wstring(L"Profiles\\") + one.folder);
    for (std::int32_t kind : {0x4001, 0x2000}) {
        form.cache.Clear();
        std::wstring path = root / L"Profiles";
        frmMainAddNS2(app.ctx, path, kind);
        for (const auto& one : cases) {
            const bool listed = form.cache.FindNoCase(root / L"Profiles\\" + one.folder + L"\\") >= 0;
            EXPECT_EQ(listed, kind == 0x4001 ? one.firefoxCache : one.netscapeCache)
                << NarrowUtf8(one.folder) << " 0x" << std::hex << kind;
        }
        EXPECT_EQ(form.cache.ItemData(form.cache.FindNoCase(root / L"Profiles\\ab.default\\")), 0x4000);
    }
    form.cache.Clear();

    Folder(L"Windows\\Temporary Internet Files");
    test::ScopedEnv systemRoot(L"QM_SYSTEMROOT", root / L"Windows");
    std::wstring tif = L"%QM_SYSTEMROOT%\\temporary internet files";
    frmMainAddMSIE(app.ctx, tif, 0x1000);
    std::wstring cookies = root / L"Profiles";
    frmMainAddMSIE(app.ctx, cookies, 0x1004);
    EXPECT_EQ(form.cache.List(0), root / L"Windows\\temporary internet files\\");
    EXPECT_EQ(form.cache.ItemData(0), 0x1000);
    EXPECT_EQ(form.cache.ListCount(), 1);
}

// ---- A whole fabricated profile -------------------------------------------------------------

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kSpecialCookies[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Special Paths\\Cookies";
constexpr wchar_t kNetscapeUsers[] = L"Software\\Netscape\\Netscape Navigator\\Users";
constexpr wchar_t kNetscapeCookies[] = L"Software\\Netscape\\Netscape Navigator\\Cookies";
constexpr wchar_t kRealSdk[] = L"Software\\RealNetworks\\RealMediaSDK\\6.0\\Preferences\\CookiesPath";
constexpr wchar_t kRealInternet[] = L"Software\\RealNetworks\\Internet\\Cookies";

class FabricatedProfile : public Discovery {
protected:
    void SetUp() override {
        using Reg = test::ScratchRegistry;
        const HKEY user = HKEY_CURRENT_USER, machine = HKEY_LOCAL_MACHINE;
        // Internet Explorer.
        Reg::SetString(user, kShellFolders, L"Cache", root / L"Local\\Temporary Internet Files");
        Folder(L"Local\\Temporary Internet Files\\Content.IE5\\X1");
        Reg::SetString(user, kShellFolders, L"Cookies", root / L"Cookies");
        File(L"Cookies\\me@site[1].txt", kCookieRecord);
        File(L"Cookies\\Low\\me@low[1].txt", kCookieRecord);
        ASSERT_TRUE(test::MakeDirectoryLink(root / L"Cookies\\Loop", root / L"Cookies"));
        Reg::SetString(user, kSpecialCookies, L"Directory", L"%QM_PROFILE%\\Cookies", REG_EXPAND_SZ);
        File(L"Windows\\Temporary Internet Files\\me@ads[2].txt", kCookieRecord);
        Folder(L"Windows\\Temporary Internet Files\\Content.IE5");
        // Netscape: the user list of each root names its own user.
        Reg::SetString(user, kNetscapeUsers, L"CurrentUser", L"jo");
        Reg::SetString(user, std::wstring(kNetscapeUsers) + L"\\jo", L"DirRoot", root / L"Netscape\\jo");
        File(L"Netscape\\jo\\cookies.txt");
        Folder(L"Netscape\\jo\\Cache");
        Reg::SetString(machine, kNetscapeUsers, L"CurrentUser", L"ann");
        Reg::SetString(machine, std::wstring(kNetscapeUsers) + L"\\ann", L"DirRoot", root / L"Netscape\\ann");
        File(L"Netscape\\ann\\cookies.txt");
        Folder(L"Netscape\\ann\\Cache");
        Reg::SetString(user, kNetscapeCookies, L"Cookie File", root / L"NSCookieFile\\COOKIES.TXT");
        File(L"NSCookieFile\\Cookies.Txt");
        Reg::SetString(machine, kNetscapeCookies, L"Cookie File", root / L"NSShared\\cookies.txt");
        Folder(L"NSShared\\NewCache");
        // RealNetworks: only the machine's keys count.
        Reg::SetString(machine, kRealSdk, L"", root / L"Real");
        File(L"Real\\cookies.txt");
        Reg::SetString(machine, kRealInternet, L"", root / L"RealPlayer\\Cookies\\cookies.txt");
        File(L"RealPlayer\\Cookies\\cookies.txt");
        Reg::SetString(user, kRealSdk, L"", root / L"RealWrong");
        File(L"RealWrong\\cookies.txt");
        // Firefox, with a junction back to the application data folder.
        File(L"AppData\\Mozilla\\FireFox\\Profiles\\ab12.default\\cookies.txt");
        Folder(L"AppData\\Mozilla\\FireFox\\Profiles\\ab12.default\\Cache");
        ASSERT_TRUE(test::MakeDirectoryLink(root / L"AppData\\Mozilla\\FireFox\\Profiles\\ab12.default\\Application Data",
                                            root / L"AppData"));
        File(L"AppData\\Mozilla\\FireFox\\Profiles\\cd34.second\\cookies.txt");
        // Netscape below Program Files; no Common Files folder at all.
        File(L"Program Files\\Netscape\\Users\\bob\\cookies.txt");
        Folder(L"Program Files\\Netscape\\Users\\bob\\Cache");
    }

    std::wstring SpecialFolder(int csidl) {
        switch (csidl) {
        case 26: return root / L"AppData\\";
        case 38: return root / L"Program Files\\";
        case 43: return root / L"Common Files\\";
        default: return {};
        }
    }
    SpecialFolderLookup Lookup() {
        return [this](int csidl) { return SpecialFolder(csidl); };
    }

    test::ScratchRegistry userRegistry;
    test::ScratchMachineRegistry machineRegistry;
    test::ScopedEnv systemRoot{L"SystemRoot", root / L"Windows"};
    test::ScopedEnv profile{L"QM_PROFILE", root.Path()};
    test::ScopedEnv tempVariable{L"Temp", root / L"Temp"};
};

TEST_F(FabricatedProfile, InitLocListsEveryCookieStoreInOrderWithItsKind) {
    const std::wstring profiles = root / L"AppData\\Mozilla\\FireFox\\Profiles\\";
    std::vector<Entry> firefox;
    for (const auto& name : test::EnumerationOrder(root / L"AppData\\Mozilla\\FireFox\\Profiles"))
        firefox.push_back({profiles + name + L"\\cookies.txt", 0x4001});

    InitLoc(app.ctx, Lookup());

    std::vector<Entry> expected{
        {root / L"Cookies\\", 0x1004},
        {root / L"Cookies\\Low\\", 0x1004},
        {root / L"Windows\\Temporary Internet Files\\", 0x1000},
        {root / L"Netscape\\jo\\cookies.txt", 0x2004},
        {root / L"NSCookieFile\\cookies.txt", 0x2005},
        {root / L"Real\\cookies.txt", 0x200A},
        {root / L"RealPlayer\\Cookies\\cookies.txt", 0x200A},
    };
    expected.insert(expected.end(), firefox.begin(), firefox.end());
    expected.push_back({root / L"Program Files\\Netscape\\Users\\bob\\cookies.txt", 0x2000});
    EXPECT_EQ(Entries(form.cboLoc), expected);

    std::vector<std::wstring> mirror;
    for (const auto& entry : expected) mirror.push_back(entry.first);
    EXPECT_EQ(Texts(form.Combo3), mirror);

    EXPECT_EQ(Texts(form.Combo1), (std::vector<std::wstring>{
                                      root / L"Local\\Temporary Internet Files\\",
                                      root / L"Cookies\\",
                                      root / L"Windows\\Temporary Internet Files\\",
                                      root / L"Netscape\\jo\\",
                                      root / L"NSCookieFile\\",
                                      root / L"Real\\",
                                      root / L"RealPlayer\\Cookies\\",
                                      profiles,
                                      root / L"Program Files\\Netscape\\Users\\",
                                  }));
    EXPECT_EQ(Texts(form.Combo2), std::vector<std::wstring>{root / L"Temp"});
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(FabricatedProfile, CacheInitLocListsEveryCacheFolderInOrderWithItsKind) {
    form.cache.AddItem(L"stale");
    CacheInitLoc(app.ctx, Lookup());
    EXPECT_EQ(Entries(form.cache), (std::vector<Entry>{
                                       {root / L"Local\\Temporary Internet Files\\", 0x1005},
                                       {root / L"Windows\\Temporary Internet Files\\", 0x1000},
                                       {root / L"Netscape\\ann\\Cache\\", 0x2004},
                                       {root / L"NSShared\\NewCache\\", 0x2005},
                                       {root / L"AppData\\Mozilla\\FireFox\\Profiles\\ab12.default\\", 0x4000},
                                       {root / L"AppData\\Mozilla\\FireFox\\Profiles\\ab12.default\\Cache\\", 0x4001},
                                       {root / L"Program Files\\Netscape\\Users\\bob\\Cache\\", 0x2000},
                                   }));
    EXPECT_EQ(form.cboLoc.ListCount(), 0);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(FabricatedProfile, AMachineWithoutOtherBrowsersGivesOnlyTheInternetExplorerFolders) {
    test::ScratchRegistry::DeleteTree(HKEY_CURRENT_USER, L"Software\\Netscape");
    test::ScratchRegistry::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\RealNetworks");
    InitLoc(app.ctx, [](int) { return std::wstring(); });
    EXPECT_EQ(Entries(form.cboLoc), (std::vector<Entry>{{root / L"Cookies\\", 0x1004},
                                                        {root / L"Cookies\\Low\\", 0x1004},
                                                        {root / L"Windows\\Temporary Internet Files\\", 0x1000}}));
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// Values that name no folder of their own would start a walk from the current folder or a
// whole drive: every such candidate is dropped before anything is searched.
TEST_F(Discovery, CandidatesThatAreNotFullFoldersBelowADriveRootAreDropped) {
    File(L"Current\\cookies.txt");
    File(L"Current\\me@site[1].txt", kCookieRecord);
    Folder(L"Current\\Cookies");
    Folder(L"Current\\somecache");
    File(L"Drive\\cookies.txt");
    Folder(L"Drive\\xcache");
    test::ScratchDrive drive(root / L"Drive");
    ASSERT_TRUE(drive.Made());
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW((root / L"Current").c_str()));
    for (const std::wstring& value : {std::wstring(L"cookies.txt"), std::wstring(L"C:"), std::wstring(L"."),
                                      std::wstring(L"Cookies"), std::wstring(L"C:cookies.txt"), drive.Root(),
                                      drive.Root() + L"cookies.txt", drive.Root().substr(0, 2)}) {
        std::wstring msie = value, netscape = value, cache = value;
        AddMSIE(app.ctx, msie, 0x1003);
        AddNS2(app.ctx, netscape, 0x2005);
        frmMainAddNS2(app.ctx, cache, 0x2004);
    }
    ::SetCurrentDirectoryW(previous);
    EXPECT_EQ(form.cboLoc.ListCount(), 0) << (form.cboLoc.ListCount() ? form.cboLoc.List(0) : L"");
    EXPECT_EQ(form.cache.ListCount(), 0) << (form.cache.ListCount() ? form.cache.List(0) : L"");
}

}  // namespace
}  // namespace qm
