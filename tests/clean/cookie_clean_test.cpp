#include "clean/cookie_clean.h"

#include <gtest/gtest.h>

#include "cookies/discovery.h"
#include "support/cookie_fixtures.h"
#include "support/doubles.h"
#include "support/fixtures.h"

namespace qm {
namespace {

using test::Moment;

std::string Record(const std::string& name) {
    test::MsieRecordSpec record;
    record.name = name;
    record.Expires(Moment(2030, 1, 1)).Created(Moment(2020, 5, 6, 7, 8, 9));
    return test::MsieFileText({record});
}

std::string Line(const std::string& domain, const std::string& name) {
    return domain + "\tFALSE\t/\tFALSE\t4294967295\t" + name + "\tv";
}

class CookieCleanTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TempFolder root{L"cc"};
    test::TestApp app;
    std::wstring msie = root / L"Cookies\\";

    void SetUp() override { test::MakeFolder(root / L"Cookies"); }

    void Store(const std::wstring& path, std::int32_t kind) {
        auto& list = app.ctx.frmMain.cboLoc;
        list.SetItemData(list.AddItem(path), kind);
    }
    void Keep(const wchar_t* key, const std::wstring& name, const std::wstring& entry) {
        test::ScratchRegistry::SetString(HKEY_CURRENT_USER, key, name, entry);
    }
    bool Exists(const std::wstring& name) const { return test::PathExists(msie + name); }
};

TEST_F(CookieCleanTest, InternetExplorerFilesGoUnlessALineOfThemIsKept) {
    const std::string broken = "no records here";
    struct File {
        const wchar_t* name;
        std::string content;
        bool survives;
    } files[] = {
        {L"me@kept[1].txt", Record("id"), true},
        {L"me@kept[2].txt", Record("id"), true},      // another counter, same first cookie
        {L"me@kept[3].txt", Record("ID"), false},     // letter case of the cookie name counts
        {L"me@gone[1].txt", Record("id"), false},
        {L"me@held[1].txt", broken, true},            // does not decode now: a kept entry names its stem
        {L"me@lost[1].txt", broken, false},
        {L"me@x.txt ", Record("z"), false},           // listed with its trailing blank
        {L"me@x.txt", Record("k"), true},
        {L"me@update.txt", Record("u"), true},        // kept by its bare name
        {L"notes.txt", "plain", true},                // no cookie file
        {L"index.dat", "index", true},
    };
    for (const auto& file : files) test::WriteBytes(msie + file.name, file.content);
    test::MakeFolder(msie + L"sub");
    test::WriteBytes(msie + L"sub\\a@b.txt", Record("id"));
    Keep(kMsieSavedKey, L"0", L"me@kept[1].txt\tid\t5/6/2020");
    Keep(kMsieSavedKey, L"2", L"me@held[1].txt\tid\tx");  // behind a gap: still kept
    Keep(kMsieSavedKey, L"3", L"me@x.txt\tk\tx");
    Keep(kMsieSavedKey, L"4", L"me@update.txt");
    Keep(kNsSavedKey, L"0", L"me@gone[1].txt\tid\tx");  // another family's list keeps nothing here
    Store(msie, kKindIeShellCookies);

    CleanCookieStores(app.ctx);

    for (const auto& file : files) EXPECT_EQ(Exists(file.name), file.survives) << std::wstring(file.name);
    EXPECT_TRUE(Exists(L"sub\\a@b.txt"));
    EXPECT_EQ(test::ReadBytes(msie + L"old.txt"), "index");
    EXPECT_EQ(app.ctx.CleanCount, 4);
    std::wstring recorded;
    ASSERT_TRUE(test::ScratchRegistry::GetString(HKEY_CURRENT_USER, L"Software\\Dorvik Software\\Quillmere",
                                                 L"MSCookie", recorded));
    EXPECT_EQ(recorded, msie);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

TEST_F(CookieCleanTest, CookieTxtLinesGoByTheirOwnFamilysListAndADamagedListSparesItsFamily) {
    const std::string header = "# Netscape HTTP Cookie File\r\n";
    const std::wstring netscape = root / L"ns\\cookies.txt", fireFox = root / L"ff\\cookies.txt";
    test::MakeFolder(root / L"ns");
    test::MakeFolder(root / L"ff");
    const std::string nsBefore = header + Line(".a.com", "A") + "\r\n" + Line("b.com", "B") + "\r\n" +
                                 Line("c.com", "C") + "\r\n";
    test::WriteBytes(netscape, nsBefore);
    test::WriteBytes(fireFox, header + Line("a.com", "A") + "\n" + Line("b.com", "B") + "\n");
    Keep(kNsSavedKey, L"0", L"a.com\tA\t1/1/2030");
    Keep(kFireFoxSavedKey, L"0", L"c.com\tC\tx");  // kept for Firefox: Netscape's C still goes
    Store(netscape, kKindNetscapeCookieFile);
    Store(fireFox, kKindFireFoxProfiles);

    CleanCookieStores(app.ctx);
    EXPECT_EQ(test::ReadBytes(netscape), header + Line(".a.com", "A") + "\r\n");
    EXPECT_EQ(test::ReadBytes(fireFox), header);
    EXPECT_EQ(app.ctx.CleanCount, 4);

    // A Firefox list holding a numbered value of another type: every Firefox cookie stays,
    // the Netscape clean goes on, and the user is told once.
    test::WriteBytes(netscape, nsBefore);
    const std::string ffBefore = header + Line("a.com", "A") + "\n";
    test::WriteBytes(fireFox, ffBefore);
    test::ScratchRegistry::SetDword(HKEY_CURRENT_USER, kFireFoxSavedKey, L"1", 1);
    Store(fireFox, kKindFireFoxProfiles);
    CleanCookieStores(app.ctx);
    EXPECT_EQ(test::ReadBytes(fireFox), ffBefore);
    EXPECT_EQ(test::ReadBytes(netscape), header + Line(".a.com", "A") + "\r\n");
    EXPECT_EQ(app.ctx.CleanCount, 2);
    ASSERT_EQ(app.dialogs.messages.size(), 1u);
    EXPECT_EQ(app.dialogs.Last().text, KeptListDamagedText(kFireFoxSavedKey));
}

TEST_F(CookieCleanTest, AStoreTheGuardRefusesIsLeftAlone) {
    const std::wstring link = root / L"Link";
    test::WriteBytes(msie + L"me@site[1].txt", Record("id"));
    ASSERT_TRUE(test::MakeDirectoryLink(link, root / L"Cookies"));
    Store(link + L"\\", kKindIeShellCookies);
    Store(L"Cookies\\", kKindIeShellCookies);  // relative: names no folder of its own
    CleanCookieStores(app.ctx);
    EXPECT_TRUE(Exists(L"me@site[1].txt"));
    EXPECT_EQ(app.ctx.CleanCount, 0);
    EXPECT_EQ(app.dialogs.messages.size(), 2u);
}

}  // namespace
}  // namespace qm
