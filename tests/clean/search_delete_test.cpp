// The engine's walks on real folders: the tree delete and its statuses, the file
// collector, the searches that fill the previews, the progress tick, and links.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <limits>
#include <thread>

#include "base/text.h"
#include "clean/progress_tick.h"
#include "clean/search_delete.h"
#include "support/doubles.h"
#include "support/fixtures.h"
#include "support/link_fixtures.h"

namespace qm {
namespace {

using test::Attributes;
using test::ListTree;
using test::MakeFolder;
using test::PathExists;
using test::WriteBytes;

// A long name and a non-ASCII one, so every walk is tried beyond the classic limits.
const std::wstring kLongName(120, L'x');
const std::wstring kForeignName = L"\u00dcbersicht \u65e5\u672c\u8a9e \u0416";

std::vector<std::wstring> Items(const ListModel& list) {
    std::vector<std::wstring> texts;
    for (const auto& item : list.Items()) texts.push_back(item.text);
    return texts;
}

class EngineFolders : public ::testing::Test {
protected:
    test::TestApp app;
    test::TempFolder dir{L"qm-engine"};
    AppContext& ctx = app.ctx;

    std::wstring Make(const std::wstring& relative, std::string_view bytes = "data") {
        const std::wstring path = dir / relative;
        MakeFolder(path.substr(0, path.find_last_of(L'\\')));
        WriteBytes(path, bytes);
        return path;
    }
    void SetAttributes(const std::wstring& path, DWORD attributes) {
        ASSERT_TRUE(::SetFileAttributesW(test::LongPath(path).c_str(), attributes));
    }
};

// ---- DelTree ---------------------------------------------------------------------

using DelTreeTest = EngineFolders;

TEST_F(DelTreeTest, RefusesWhatIsNotAFolderItMayEmpty) {
    const std::wstring file = Make(L"file.txt");
    const std::wstring sentinel = L"C:\\qm-deltree-sentinel-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    WriteBytes(sentinel, "keep");
    const std::wstring missing = dir / L"missing";
    for (const wchar_t* folder : {L"", L"   ", L"C:\\", L"c:\\", L"C:", L"no-backslash", file.c_str(), missing.c_str()})
        EXPECT_EQ(DelTree(ctx, folder, folder, false), -1) << folder;
    EXPECT_TRUE(PathExists(sentinel));
    EXPECT_TRUE(PathExists(file));
    EXPECT_EQ(ctx.CleanCount, 0);
    ::DeleteFileW(sentinel.c_str());
}

TEST_F(DelTreeTest, RecognisesEverySpellingOfADriveRoot) {
    for (const wchar_t* root : {L"C:\\", L"c:\\", L"C:/", L"C:\\\\", L"C:\\windows\\..", L"C:\\.", L"\\\\?\\C:\\",
                                L"\\\\server\\share", L"\\\\server\\share\\"})
        EXPECT_TRUE(IsDriveRoot(root)) << root;
    for (const std::wstring& folder : {std::wstring(L"C:\\windows"), dir.Path(), std::wstring(L"\\\\server\\share\\x")})
        EXPECT_FALSE(IsDriveRoot(folder)) << folder;
}

TEST_F(DelTreeTest, EmptiesTheRootAndKeepsIt) {
    Make(L"a.txt");
    Make(L"sub\\b.txt");
    Make(L"sub\\deeper\\c.txt");
    MakeFolder(dir / L"empty");

    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    EXPECT_TRUE(PathExists(dir.Path()));
    EXPECT_EQ(test::ListSubfolders(dir.Path()).size(), 0u);
    EXPECT_EQ(ListTree(dir.Path()), L"");
    EXPECT_EQ(ctx.CleanCount, 3) << "files count, removed folders do not";
}

TEST_F(DelTreeTest, RemovesTheRootItselfWhenGivenWithATrailingBackslash) {
    const std::wstring top = dir / L"top";
    Make(L"top\\a.txt");
    Make(L"top\\sub\\b.txt");
    std::wstring root = top + L"\\";

    EXPECT_EQ(DelTree(ctx, root, root, false), 0);

    EXPECT_FALSE(PathExists(top));
    EXPECT_EQ(ctx.CleanCount, 2);
}

// A folder written with blanks is never trimmed into the folder without them.
TEST_F(DelTreeTest, NeverTrimsBlanksIntoAnotherFolder) {
    Make(L"a.txt");
    for (const std::wstring& spelled : {L"  " + dir.Path(), dir.Path() + L" ", dir.Path() + L".", dir.Path() + L" \\"})
        EXPECT_EQ(DelTree(ctx, spelled, spelled, false), -1) << spelled;
    EXPECT_EQ(ListTree(dir.Path()), L"a.txt\n");
}

TEST_F(DelTreeTest, StopsAtTheFirstSubfolderThatCannotBeRemoved) {
    MakeFolder(dir / L"one");
    MakeFolder(dir / L"two");
    const auto order = test::ListSubfolders(dir.Path());
    ASSERT_EQ(order.size(), 2u);
    const std::wstring first = order[0], second = order[1];
    Make(L"top.txt");
    Make(first + L"\\gone1.txt");
    Make(first + L"\\gone2.txt");
    test::LockedFile locked(Make(first + L"\\locked.txt"));
    ASSERT_TRUE(locked.Held());
    Make(second + L"\\untouched.txt");
    Make(second + L"\\inner\\untouched2.txt");

    EXPECT_NE(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    std::vector<std::wstring> remaining{first + L"\\locked.txt", second + L"\\inner\\untouched2.txt",
                                        second + L"\\untouched.txt"};
    std::sort(remaining.begin(), remaining.end());
    std::wstring expected;
    for (const auto& name : remaining) expected += name + L"\n";
    EXPECT_EQ(ListTree(dir.Path()), expected);
    EXPECT_EQ(ctx.CleanCount, 3) << "top.txt and the two free files of the first subfolder";
}

TEST_F(DelTreeTest, DeletesReadOnlyHiddenAndSystemFilesAndCountsThem) {
    SetAttributes(Make(L"readonly.txt"), FILE_ATTRIBUTE_READONLY);
    SetAttributes(Make(L"hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(Make(L"sub\\system.txt"), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    EXPECT_EQ(ListTree(dir.Path()), L"");
    EXPECT_EQ(ctx.CleanCount, 3);
}

TEST_F(DelTreeTest, LeavesAFileInUseWithNormalAttributes) {
    const std::wstring kept = Make(L"kept.txt");
    SetAttributes(kept, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    test::LockedFile locked(kept);

    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0) << "a file that stays is not an error of the root";

    EXPECT_TRUE(PathExists(kept));
    EXPECT_EQ(Attributes(kept) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    EXPECT_EQ(ctx.CleanCount, 0);
}

// The bar shows the files dealt with against those counted ahead: the count leaves out what
// the walk never enters (Outlook's folder) and removes nothing, and each file moves it on.
TEST_F(DelTreeTest, TheBarFollowsTheFilesDealtWithAgainstThoseCountedAhead) {
    Make(L"a.txt");
    Make(L"sub\\b.txt");
    Make(L"sub\\deeper\\c.txt");
    Make(L"Content.Outlook\\kept.txt");
    struct PercentAtEachFile final : DeleteObserver {
        const CleanProgress* progress = nullptr;
        std::vector<int> seen;
        void Seen(const DeleteEvent& event) override {
            if (event.kind == ItemKind::File) seen.push_back(progress->Percent());
        }
    } observer;
    observer.progress = &ctx.progress;
    ctx.deletes.observer = &observer;

    StartProgress(ctx);
    {
        const GuardVerdict verdict = GuardDeletionRoot(dir.Path(), RootKind::UserFolder);
        ASSERT_TRUE(verdict.root);
        CountAhead(ctx, verdict.root->Folder());
    }
    EXPECT_EQ(ctx.progress.expected, 3u);
    EXPECT_TRUE(PathExists(dir / L"sub\\deeper\\c.txt")) << "counting removes nothing";
    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    EXPECT_EQ(observer.seen, (std::vector<int>{0, 33, 66}));
    EXPECT_EQ(ctx.progress.Percent(), 100);
    EXPECT_TRUE(PathExists(dir / L"Content.Outlook\\kept.txt"));
    ctx.deletes.observer = nullptr;
}

TEST_F(DelTreeTest, HandlesLongAndForeignNames) {
    std::wstring deep = kForeignName;
    for (int i = 0; i < 3; ++i) deep += L"\\" + kLongName;
    Make(deep + L"\\" + kForeignName + L".txt");
    Make(kForeignName + L".dat");
    ASSERT_GT((dir / deep).size(), 400u);

    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    EXPECT_EQ(ListTree(dir.Path()), L"");
    EXPECT_FALSE(PathExists(dir / kForeignName));
    EXPECT_EQ(ctx.CleanCount, 2);
}

// ---- Links are never followed ----------------------------------------------------

class LinkTest : public EngineFolders {
protected:
    test::TempFolder documents{L"qm-documents"};
    std::wstring documentsBefore;

    void FillDocuments() {
        WriteBytes(documents / L"letter.txt", "precious");
        MakeFolder(documents / L"Photos");
        WriteBytes(documents / L"Photos\\holiday.jpg", "precious");
        ::SetFileAttributesW(test::LongPath(documents / L"letter.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        MakeFolder(documents / L"Empty");
        documentsBefore = ListTree(documents.Path());
    }
    void ExpectDocumentsIntact() {
        EXPECT_EQ(ListTree(documents.Path()), documentsBefore);
        EXPECT_TRUE(PathExists(documents / L"Empty"));
        EXPECT_NE(Attributes(documents / L"letter.txt") & FILE_ATTRIBUTE_READONLY, 0u) << "target attributes kept";
    }
};

TEST_F(LinkTest, DelTreeRemovesNothingBehindALink) {
    FillDocuments();
    Make(L"a.txt");
    Make(L"sub\\b.txt");
    test::ScopedDirectoryLink link(dir / L"My Documents", documents.Path());
    ASSERT_TRUE(link.Made());
    test::ScopedDirectoryLink linkInside(dir / L"sub\\docs", documents.Path());

    DelTree(ctx, dir.Path(), dir.Path(), false);

    ExpectDocumentsIntact();
    EXPECT_FALSE(PathExists(dir / L"a.txt"));
}

TEST_F(LinkTest, DelTreeOnALinkNeverEmptiesItsTarget) {
    FillDocuments();
    test::ScopedDirectoryLink link(dir / L"link", documents.Path());
    ASSERT_TRUE(link.Made());

    EXPECT_EQ(DelTree(ctx, link.Path(), link.Path(), false), -1) << "a link kept as root cannot be emptied";
    std::wstring withBackslash = link.Path() + L"\\";
    DelTree(ctx, withBackslash, withBackslash, false);

    ExpectDocumentsIntact();
    EXPECT_EQ(ctx.CleanCount, 0);
}

TEST_F(LinkTest, RemoveLinkKeepsAnEmptyTarget) {
    const std::wstring empty = documents / L"Empty";
    MakeFolder(empty);
    test::ScopedDirectoryLink link(dir / L"link", empty);
    ASSERT_TRUE(link.Made());

    const bool removed = RemoveLink(link.Path());

    EXPECT_TRUE(PathExists(empty));
    EXPECT_EQ(removed, !PathExists(link.Path()));
}

TEST_F(LinkTest, TheSearchesDoNotEnterLinks) {
    FillDocuments();
    Make(L"a.txt");
    test::ScopedDirectoryLink link(dir / L"docs", documents.Path());
    ASSERT_TRUE(link.Made());

    ctx.SearchSpec = {true, 0, 0, L"*.*", dir.Path() + L"\\"};
    SearchForFiles2(ctx, ctx.SearchSpec.StartPath);
    EXPECT_EQ(Items(ctx.frmMain.List2), std::vector<std::wstring>{dir / L"a.txt"});
    ExpectDocumentsIntact();
}

// ---- SearchForFiles and SearchForFiles2 ------------------------------------------

class SearchTest : public EngineFolders {
protected:
    void SetUp() override {
        Make(L"a.txt");
        Make(L".dotfile");
        Make(L".dotdir\\hidden-inside.txt");
        Make(L"sub\\b.txt");
        Make(L"sub\\" + kLongName + L"\\" + kForeignName + L".txt");
        Start();
    }
    void Start(bool recurse = true) { ctx.SearchSpec = {recurse, 0, 0, L"*.*", dir.Path() + L"\\"}; }
};

TEST_F(SearchTest, FillsTheBrowserListWithBareNamesAndSkipsDotFolders) {
    SearchForFiles(ctx, ctx.SearchSpec.StartPath, L"FireFox");

    auto names = Items(ctx.frmMain.FireFox);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L".dotfile", L"a.txt", L"b.txt", kForeignName + L".txt"}));
    EXPECT_EQ(ctx.SearchSpec.FilesMatched, 4);
    // Every entry counts, "." and ".." included: 6 at the top, 4 in sub, 3 below it.
    EXPECT_EQ(ctx.SearchSpec.EntriesSeen, 13);
    EXPECT_EQ(ctx.frmMain.NS.ListCount(), 0);
    EXPECT_EQ(ctx.frmMain.MSIE.ListCount(), 0);
}

TEST_F(SearchTest, TheTagChoosesTheList) {
    SearchForFiles(ctx, ctx.SearchSpec.StartPath, L"NS2");
    EXPECT_EQ(ctx.frmMain.NS.ListCount(), 4);
    Start();
    SearchForFiles(ctx, ctx.SearchSpec.StartPath, L"Other");
    EXPECT_EQ(ctx.SearchSpec.FilesMatched, 4) << "an unknown tag only counts";
    EXPECT_EQ(ctx.frmMain.FireFox.ListCount() + ctx.frmMain.MSIE.ListCount() + ctx.frmMain.List2.ListCount(), 0);
    EXPECT_EQ(ctx.frmMain.NS.ListCount(), 4);
}

TEST_F(SearchTest, TheMsieTagListsBareNames) {
    SearchForFiles(ctx, ctx.SearchSpec.StartPath, L"MSIE");
    EXPECT_EQ(ctx.frmMain.MSIE.ListCount(), 4);
    EXPECT_EQ(ctx.SearchSpec.FilesMatched, 4);
}

TEST_F(SearchTest, SearchForFiles2ListsFullPaths) {
    SearchForFiles2(ctx, ctx.SearchSpec.StartPath);

    auto paths = Items(ctx.frmMain.List2);
    std::sort(paths.begin(), paths.end());
    const std::wstring top = dir.Path() + L"\\";
    EXPECT_EQ(paths, (std::vector<std::wstring>{top + L".dotfile", top + L"a.txt", top + L"sub\\b.txt",
                                                top + L"sub\\" + kLongName + L"\\" + kForeignName + L".txt"}));
}

TEST_F(SearchTest, AFolderWithoutItsBackslashStillGivesFullPaths) {
    SearchForFiles2(ctx, dir.Path());
    EXPECT_GE(ctx.frmMain.List2.FindNoCase(dir / L"a.txt"), 0);
    EXPECT_GE(ctx.frmMain.List2.FindNoCase(dir / L"sub\\b.txt"), 0);
}

TEST_F(SearchTest, WithoutRecurseOnlyTheTopFolder) {
    Start(false);
    SearchForFiles2(ctx, ctx.SearchSpec.StartPath);
    EXPECT_EQ(ctx.frmMain.List2.ListCount(), 2);
    EXPECT_EQ(ctx.SearchSpec.EntriesSeen, 6);
}

TEST_F(SearchTest, TheFileSpecFilters) {
    ctx.SearchSpec.FileSpec = L"*.txt";
    SearchForFiles2(ctx, ctx.SearchSpec.StartPath);
    EXPECT_EQ(ctx.frmMain.List2.ListCount(), 3);
    EXPECT_EQ(ctx.SearchSpec.FilesMatched, 3);
}

TEST_F(SearchTest, AMissingFolderAddsNothing) {
    SearchForFiles2(ctx, dir.Path() + L"\\missing\\");
    SearchForFiles(ctx, L"", L"FireFox");
    EXPECT_EQ(ctx.frmMain.List2.ListCount() + ctx.frmMain.FireFox.ListCount(), 0);
    EXPECT_EQ(ctx.SearchSpec.EntriesSeen, 0);
    EXPECT_TRUE(app.dialogs.messages.empty());
}

// ---- GetShortPath ----------------------------------------------------------------

using ShortPathTest = EngineFolders;

TEST_F(ShortPathTest, GivesTheShortFormOfAnExistingPath) {
    const std::wstring file = Make(L"A Rather Long File Name.text");
    const std::wstring shortPath = GetShortPath(file);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_TRUE(PathExists(shortPath));
    EXPECT_EQ(shortPath.find(L"A Rather Long"), std::wstring::npos);
}

TEST_F(ShortPathTest, AMissingPathGivesNothing) {
    EXPECT_EQ(GetShortPath(dir / L"missing.txt"), L"");
    EXPECT_EQ(GetShortPath(L""), L"");
}

TEST_F(ShortPathTest, PathsBeyondTheClassicLimitWork) {
    const std::wstring file = Make(kLongName + L"\\" + kLongName + L"\\" + kLongName + L".txt");
    const std::wstring shortPath = GetShortPath(file);
    ASSERT_FALSE(shortPath.empty());
    EXPECT_LT(shortPath.size(), file.size());
    EXPECT_TRUE(PathExists(shortPath));
    EXPECT_NE(shortPath.rfind(L"\\\\?\\", 0), 0u) << "the answer carries no long-path prefix";
}

// ---- The progress tick -----------------------------------------------------------

TEST(ProgressTickTest, RepaintsAtMostOncePerInterval) {
    test::TestApp app;
    auto& bar = app.ctx.frmCount.ProgressBar1;
    app.ctx.progress.expected = 3;
    int repaints = 0;
    bar.Changed.Connect([&] { ++repaints; });
    // Waited out on the clock itself: a sleep may come back early once other tests' threads ran.
    const auto due = RepaintThrottle::Clock::now() + kProgressRepaintInterval + std::chrono::milliseconds(20);
    while (RepaintThrottle::Clock::now() < due) ::Sleep(5);
    FileDealtWith(app.ctx);
    FileDealtWith(app.ctx);
    FileDealtWith(app.ctx);
    EXPECT_EQ(repaints, 1) << "one repaint for three files";
    EXPECT_EQ(bar.Value(), 33) << "where the first file left it";
    EXPECT_EQ(app.ctx.progress.done, 3u);
}

TEST(RepaintThrottleTest, LetsOneRepaintThroughPerInterval) {
    RepaintThrottle throttle(std::chrono::milliseconds(50));
    const RepaintThrottle::Clock::time_point start{std::chrono::seconds(100)};
    EXPECT_TRUE(throttle.Due(start));
    EXPECT_FALSE(throttle.Due(start + std::chrono::milliseconds(49)));
    EXPECT_TRUE(throttle.Due(start + std::chrono::milliseconds(50)));
    EXPECT_FALSE(throttle.Due(start + std::chrono::milliseconds(60)));
    EXPECT_TRUE(throttle.Due(start + std::chrono::milliseconds(100)));
}

}  // namespace
}  // namespace qm

namespace qm {
// ---- A folder changed between listing and descending ---------------------------

namespace {

// Windows refuses to remove a read-only folder (Explorer marks every customised folder so);
// Wine keeps no read-only bit on folders, so the rule is played here.
class ReadOnlyFolders final : public WalkHooks {
public:
    std::vector<std::wstring> readOnly;  // folder names
    DWORD FolderAttributes(const WalkFolder& folder) override {
        const DWORD attributes = WalkHooks::FolderAttributes(folder);
        return IsReadOnly(folder.LongPath()) ? attributes | FILE_ATTRIBUTE_READONLY : attributes;
    }
    bool SetFolderAttributes(const WalkFolder& folder, DWORD attributes) override {
        if (!(attributes & FILE_ATTRIBUTE_READONLY)) std::erase(readOnly, Name(folder.LongPath()));
        return WalkHooks::SetFolderAttributes(folder, attributes);
    }
    bool RemoveFolder(const WalkFolder& folder) override {
        if (!IsReadOnly(folder.LongPath())) return WalkHooks::RemoveFolder(folder);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

private:
    static std::wstring Name(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
    bool IsReadOnly(const std::wstring& path) const {
        return std::find(readOnly.begin(), readOnly.end(), Name(path)) != readOnly.end();
    }
};

}  // namespace

// A listed folder replaced before the walk goes down, by a link or by another plain folder
// at the same place (only its file ID tells): never entered, by any walk.
TEST_F(LinkTest, AFolderReplacedAfterListingIsNeverEntered) {
    FillDocuments();
    const std::vector<std::pair<const char*, std::function<void()>>> walks{
        {"DelTree", [&] { EXPECT_NE(DelTree(ctx, dir.Path(), dir.Path(), false), 0); }},
        {"SearchForFiles2",
         [&] {
             ctx.SearchSpec = {true, 0, 0, L"*.*", dir.Path() + L"\\"};
             SearchForFiles2(ctx, ctx.SearchSpec.StartPath);
         }},
    };
    for (const bool byLink : {true, false}) {
        for (const auto& [name, walk] : walks) {
            Make(L"sub\\a.txt");
            test::SwapBeforeOpen swap(L"sub", byLink ? documents.Path() : L"");
            {
                ScopedWalkHooks hooks(swap);
                walk();
            }
            ExpectDocumentsIntact();
            EXPECT_EQ(Items(ctx.frmMain.List2), std::vector<std::wstring>{}) << name << byLink;
            ASSERT_EQ(swap.Swaps(), 1) << name;
            swap.RemoveLinks();
            if (!byLink) {
                EXPECT_TRUE(PathExists(dir / L"sub\\planted.txt")) << name;
            }
            EXPECT_TRUE(PathExists(dir / L"sub-moved\\a.txt")) << name;
            test::RemoveTree(dir / L"sub");
            test::RemoveTree(dir / L"sub-moved");
        }
    }
}

TEST_F(DelTreeTest, AReadOnlySubfolderIsOpenedUpAndRemoved) {
    Make(L"custom\\desktop.ini");
    Make(L"custom\\inner\\x.txt");
    Make(L"later\\y.txt");
    ReadOnlyFolders folders;
    folders.readOnly = {L"custom", L"inner"};
    ScopedWalkHooks hooks(folders);

    EXPECT_EQ(DelTree(ctx, dir.Path(), dir.Path(), false), 0);

    EXPECT_EQ(ListTree(dir.Path()), L"");
    EXPECT_FALSE(PathExists(dir / L"custom"));
    EXPECT_FALSE(PathExists(dir / L"later")) << "the later subfolder is reached too";
    EXPECT_TRUE(folders.readOnly.empty());
}

}  // namespace qm
