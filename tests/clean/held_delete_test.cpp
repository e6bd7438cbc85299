// The one deleting routine: exact names under the held folder, what it reports, the seam a
// preview replaces, Outlook's folders, and a listed folder swapped before every clean goes
// down into it.
#include "clean/held_delete.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "base/text.h"
#include "clean/clean_kinds.h"
#include "clean/cookie_clean.h"
#include "startup/reg_op.h"
#include "cookies/discovery.h"
#include "cookies/msie_cookies.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::ListTree;
using test::PathExists;
using test::PutFile;

std::wstring Name(std::wstring_view path) { return std::wstring(path.substr(path.find_last_of(L'\\') + 1)); }

// Records every event by the last component of its path.
struct EventLog final : DeleteObserver {
    std::map<std::wstring, SkipReason> reasons;
    void Seen(const DeleteEvent& event) override { reasons[Name(event.path)] = event.reason; }
};

// A preview's remover: removes nothing, records what would go.
struct RecordingRemover final : Remover {
    std::vector<std::wstring> names;
    DWORD RemoveFile(const WalkFolder&, std::wstring_view name, DWORD) override { return Record(name); }
    DWORD RemoveLink(const WalkFolder&, std::wstring_view name) override { return Record(name); }
    DWORD RemoveFolder(const WalkFolder& folder) override { return Record(Name(folder.LongPath())); }
    DWORD Record(std::wstring_view name) {
        names.emplace_back(name);
        return ERROR_SUCCESS;
    }
};

class HeldDeleteTest : public ::testing::Test {
protected:
    test::ScratchRegistry registry;
    test::TestApp app;
    AppContext& ctx = app.ctx;
    test::TempFolder outside{L"qm-outside"};
    test::TempFolder dir{L"qm-held"};
    test::ScopedEnv tempVariable{L"Temp", dir.Path()};

    WalkFolder Hold(const std::wstring& path) {
        const auto gated = GatePath(test::LongPath(path));
        auto folder = gated ? WalkFolder::OpenTop(*gated, FolderAccess::Delete) : std::nullopt;
        EXPECT_TRUE(folder.has_value());
        return std::move(*folder);
    }
    // What a clean must never reach: every kind of file some clean would delete.
    void FillOutside() {
        for (const wchar_t* name : {L"letter.txt", L"sessionstore.js", L"me@site[1].txt", L"old.txt"})
            PutFile(outside / name, "precious");
        outsideBefore = ListTree(outside.Path());
    }
    void ExpectOutsideIntact(const char* row) {
        EXPECT_EQ(ListTree(outside.Path()), outsideBefore) << row;
        EXPECT_EQ(test::ReadBytes(outside / L"letter.txt"), "precious") << row;
    }
    // The cache clean of the folder below dir, as a location of that kind: the automatic one
    // or the Internet tab's.
    std::function<void()> CacheClean(const std::wstring& folder, std::int32_t kind, bool automatic) {
        return [this, folder, kind, automatic] {
            auto& cache = ctx.frmMain.cache;
            cache.Clear();
            cache.SetItemData(cache.AddItem(dir / (folder + L"\\")), kind);
            cache.SetListIndex(0);
            bool showResult = false;
            if (automatic) AutoCleanInternetFiles2(ctx, showResult);
            else MainCleanInternetFiles(ctx, cache.Text());
        };
    }
    std::wstring outsideBefore;
};

// Names that path parsing would change, beside the names they would become: only the
// listed one goes, read-only or not (or made read-only after the listing), at any depth.
TEST_F(HeldDeleteTest, DeletesTheListedNameAndNothingItsSpellingResembles) {
    const struct {
        const wchar_t* listed;
        const wchar_t* sibling;
        DWORD attributes;
        bool readOnlyAfterListing = false;
    } rows[] = {
        {L"a.", L"a", FILE_ATTRIBUTE_NORMAL},
        {L"b ", L"b", FILE_ATTRIBUTE_READONLY},
        {L"c. .", L"c", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {L"%TEMP%;x", L"x", FILE_ATTRIBUTE_NORMAL},
        {L"\u00dcbersicht \u65e5\u672c.txt ", L"\u00dcbersicht \u65e5\u672c.txt", FILE_ATTRIBUTE_READONLY},
        {L"late.", L"late", FILE_ATTRIBUTE_NORMAL, true},
    };
    const std::wstring deep = dir / (std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e'));
    for (const std::wstring& folder : {dir.Path(), deep}) {
        for (const auto& row : rows) {
            PutFile(folder + L"\\" + row.listed);
            PutFile(folder + L"\\" + row.sibling, "sibling");
            ::SetFileAttributesW(test::LongPath(folder + L"\\" + row.listed).c_str(), row.attributes);
        }
        const WalkFolder held = Hold(folder);
        DeletePass pass(ctx);
        pass.DeleteFiles(held, false, [&](std::wstring_view name) {
            for (const auto& row : rows) {
                if (name != row.listed) continue;
                if (row.readOnlyAfterListing)
                    ::SetFileAttributesW(test::LongPath(folder + L"\\" + row.listed).c_str(), FILE_ATTRIBUTE_READONLY);
                return true;
            }
            return false;
        });
        for (const auto& row : rows) {
            EXPECT_FALSE(PathExists(folder + L"\\" + row.listed)) << row.listed;
            EXPECT_EQ(test::ReadBytes(folder + L"\\" + row.sibling), "sibling") << row.listed;
        }
    }
}

// The report names what went and why the rest stayed; a preview's remover then removes
// nothing and is handed what would go.
TEST_F(HeldDeleteTest, ReportsEveryItemAndAPreviewRemovesNothing) {
    PutFile(dir / L"top\\a.txt");
    const test::LockedFile locked(PutFile(dir / L"top\\locked.txt"));
    PutFile(dir / L"top\\Content.Outlook\\ABC\\reply.doc");
    PutFile(dir / L"top\\OLK3F\\draft.doc");
    PutFile(dir / L"top\\sub\\b.txt");
    PutFile(dir / L"top\\swapped\\c.txt");
    ASSERT_TRUE(locked.Held());
    EventLog log;
    ctx.deletes.observer = &log;
    {
        test::SwapBeforeOpen swap(L"swapped", L"");
        const ScopedWalkHooks hooks(swap);
        const WalkFolder held = Hold(dir / L"top");
        DeletePass(ctx).Empty(held, OnFailedSubfolder::GoOn);
    }
    const std::map<std::wstring, SkipReason> expected{
        {L"a.txt", SkipReason::None},
        {L"b.txt", SkipReason::None},
        {L"sub", SkipReason::None},
        {L"locked.txt", SkipReason::InUse},
        {L"Content.Outlook", SkipReason::SparedFolder},
        {L"OLK3F", SkipReason::SparedFolder},
        {L"swapped", SkipReason::NotTheListedFolder},
    };
    EXPECT_EQ(log.reasons, expected);
    const std::wstring left = L"Content.Outlook\\ABC\\reply.doc\nOLK3F\\draft.doc\nlocked.txt\nswapped-moved\\c.txt\n"
                              L"swapped\\planted.txt\n";
    EXPECT_EQ(ListTree(dir / L"top"), left);

    RecordingRemover preview;
    ctx.deletes.remover = &preview;
    DeletePass(ctx).Empty(Hold(dir / L"top"), OnFailedSubfolder::GoOn);
    EXPECT_EQ(ListTree(dir / L"top"), left);
    std::sort(preview.names.begin(), preview.names.end());
    EXPECT_EQ(preview.names, (std::vector<std::wstring>{L"c.txt", L"locked.txt", L"planted.txt", L"swapped",
                                                         L"swapped-moved"}));
}

// Every clean that deletes, with the folder it would go down into (or, for a cookie store,
// the store itself) swapped for a link to a folder outside just before it is opened: the
// outside stays byte for byte and the clean's own files still go.
TEST_F(HeldDeleteTest, EveryCleanLeavesAFolderSwappedForALinkAlone) {
    FillOutside();
    const auto cacheClean = [&](std::int32_t kind, bool automatic) { return CacheClean(L"qmroot", kind, automatic); };
    const struct {
        const char* clean;
        const wchar_t* victim;
        const wchar_t* cleanedFile;  // below root; "" when the swap leaves nothing to clean
        std::function<void()> run;
    } rows[] = {
        {"Temp", L"sub", L"a.txt", [&] { MainCleanTemp(ctx, kRoleStep, false); }},
        {"user folder", L"sub", L"a.txt", [&] {
             test::ScratchRegistry::SetString(HKEY_CURRENT_USER, kUserFolderKey, L"File0", dir / L"qmroot");
             MainCleanUser(ctx, kRoleStep, false);
         }},
        {"Internet Explorer cache, automatic", L"sub", L"a.txt", cacheClean(kKindIeShellCache, true)},
        {"Internet Explorer cache, Clean Internet", L"sub", L"a.txt", cacheClean(kKindIeShellCache, false)},
        {"Chromium cache", L"sub", L"a.txt", cacheClean(kKindChrome, true)},
        {"Firefox session files", L"sessionstore-backups", L"sessionstore.bak", cacheClean(kKindFireFoxProfiles, true)},
        {"Internet Explorer cookie store", L"qmroot", L"", [&] {
             auto& stores = ctx.frmMain.cboLoc;
             stores.Clear();
             stores.SetItemData(stores.AddItem(dir / L"qmroot\\"), kKindIeShellCookies);
             CleanCookieStores(ctx, false);
         }},
    };
    for (const auto& row : rows) {
        PutFile(dir / L"qmroot\\a.txt");
        PutFile(dir / L"qmroot\\sessionstore.bak");
        PutFile(dir / L"qmroot\\me@here[1].txt");
        PutFile(dir / L"qmroot\\sub\\sessionstore.js");
        PutFile(dir / L"qmroot\\sessionstore-backups\\recovery.jsonlz4");
        test::SwapBeforeOpen swap(row.victim, outside.Path());
        {
            const ScopedWalkHooks hooks(swap);
            row.run();
        }
        EXPECT_EQ(swap.Swaps(), 1) << row.clean;
        swap.RemoveLinks();
        ExpectOutsideIntact(row.clean);
        if (*row.cleanedFile) {
            EXPECT_FALSE(PathExists(dir / (std::wstring(L"qmroot\\") + row.cleanedFile))) << row.clean;
        }
        test::RemoveTree(dir / L"qmroot");
        test::RemoveTree(dir / (std::wstring(L"qmroot\\") + row.victim + L"-moved"));
        test::RemoveTree(dir / L"qmroot-moved");
    }
}

// Outlook's and Office's folders inside a cache stay whole under every cache clean and
// under the cookie clean, whose discovery never lists one as a cookie store (however its
// files are named); the rest of the cache goes.
TEST_F(HeldDeleteTest, EveryWalkLeavesOutlookAndOfficeFoldersWhole) {
    const wchar_t* spared[] = {L"Content.Outlook\\X1\\reply.doc", L"Content.Outlook\\me@offer[1].txt",
                               L"Content.MSO\\a.tmp",             L"Content.Word\\b.tmp",
                               L"OLK3F\\me@draft[2].txt",         L"olkA1\\c.doc",
                               L"Content.IE5\\Content.Outlook\\d.doc"};
    const auto cacheClean = [&](std::int32_t kind, bool automatic) { return CacheClean(L"INetCache", kind, automatic); };
    const struct {
        const char* clean;
        std::function<void()> run;
        bool cache;  // the cache's buckets go too
    } rows[] = {
        {"Internet Explorer, automatic", cacheClean(kKindIeShellCache, true), true},
        {"INetCache, Clean Internet", cacheClean(kKindIeINetCache, false), true},
        {"cookie clean, its stores found below the Cache shell folder", [&] {
             test::ScratchRegistry::SetString(HKEY_CURRENT_USER,
                                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                              L"Cache", dir / L"INetCache");
             MainCleanCookies(ctx, kRoleStep);
             for (const auto& store : ctx.frmMain.cboLoc.Items())
                 EXPECT_EQ(store.text.find(dir / L"INetCache\\"), std::wstring::npos) << NarrowUtf8(store.text);
             EXPECT_EQ(MSIEScan(ctx, dir / L"INetCache\\Content.Outlook"), 0) << "the viewer lists it";
         }, false},
    };
    for (const auto& row : rows) {
        const auto inCache = [&](const wchar_t* file) { return dir / (std::wstring(L"INetCache\\") + file); };
        for (const wchar_t* file : spared) PutFile(inCache(file), "attachment");
        PutFile(dir / L"INetCache\\Content.IE5\\BUCKET1\\page.htm");
        PutFile(dir / L"INetCache\\loose.txt");
        row.run();

        for (const wchar_t* file : spared)
            EXPECT_EQ(test::ReadBytes(inCache(file)), "attachment") << row.clean;
        EXPECT_NE(PathExists(dir / L"INetCache\\loose.txt"), row.cache) << row.clean;
        EXPECT_NE(PathExists(dir / L"INetCache\\Content.IE5\\BUCKET1"), row.cache) << row.clean;
        test::RemoveTree(dir / L"INetCache");
    }
}

// A held folder, the top of a walk and a subfolder entered through it alike, cannot be
// renamed or removed under the walk: the handle does not share delete access.
TEST_F(HeldDeleteTest, HeldFoldersCannotBeRenamedWhileHeld) {
    test::MakeFolder(dir / L"top\\sub");
    const WalkFolder top = Hold(dir / L"top");
    std::optional<WalkFolder> sub;
    top.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.name == L"sub") sub = top.OpenChild(entry);
    });
    ASSERT_TRUE(sub.has_value());
    for (const std::wstring& held : {dir / L"top\\sub", dir / L"top"}) {
        EXPECT_FALSE(::MoveFileExW(test::LongPath(held).c_str(), test::LongPath(held + L"-moved").c_str(), 0));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << NarrowUtf8(held);
    }
}

// A file link listed in a held folder goes as the link: its target stays. Wine shows a link to
// a file as the plain file it leads to (deleting it deletes the target), so this runs on
// Windows only.
TEST_F(HeldDeleteTest, AFileLinkGoesAsTheLinkNotItsTarget) {
    if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine cannot show a file link apart from its target";
    PutFile(outside / L"letter.txt", "precious");
    const std::wstring link = dir / L"link.txt";
    if (!::CreateSymbolicLinkW(link.c_str(), (outside / L"letter.txt").c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "file links need developer mode or the right to make them";
    const WalkFolder held = Hold(dir.Path());
    EXPECT_TRUE(DeletePass(ctx).DeleteFile(held, L"link.txt"));
    EXPECT_FALSE(PathExists(link));
    EXPECT_EQ(test::ReadBytes(outside / L"letter.txt"), "precious");
}

}  // namespace
}  // namespace qm
