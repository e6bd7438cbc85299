// Emptying and listing a browser-cache-like tree: the engine's DelTree and
// SearchForFiles2 against the system shell's "rd /s /q" and "dir /s /b" and against a
// plain FindFirstFileExW/DeleteFileW loop (the floor of the platform), in one run, on
// identical trees. Prints times and ratios.
//
// Then a chain of nested folders emptied by DelTree against a bare walk of the same chain
// that opens each level relative to the one above and lists it once, and against a bare
// emptying that also holds each level and removes it on the way back.
//
//   quillmere_delete_bench.exe [--files N] [--folders N] [--large] [--depth N]
//     --files N    files per tree (default 20000)
//     --folders N  cache folders per tree (default 50)
//     --large      also run the 100,000-file variant
//     --depth N    levels of the chain (default 2000; 0 leaves the chain out)
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/relative_files.h"
#include "clean/deletion_guard.h"
#include "clean/search_delete.h"
#include "bench_trees.h"
#include "headless_app.h"
#include "startup/app_context.h"

namespace {

using namespace bench;
using qm::UniqueFile;
using qm::UniqueFindHandle;
using qm::UniqueKernelObject;


bool RunVariant(qm::AppContext& ctx, const std::wstring& base, const Shape& shape) {
    std::wprintf(L"\n%d files in %d folders\n", shape.files, shape.folders);
    const std::wstring engineTree = base + L"\\engine", shellTree = base + L"\\shell", plainTree = base + L"\\plain";
    std::wprintf(L"  building three identical trees...\n");
    for (const auto& tree : {engineTree, shellTree, plainTree}) BuildTree(tree, shape);
    SettleDisk();

    // Listing: best of three, both on the same tree.
    int listed = 0;
    const double engineList = Best(3, [&] {
        ctx.frmMain.List2.Clear();
        ctx.SearchSpec = {true, 0, 0, L"*.*", engineTree + L"\\"};
        qm::SearchForFiles2(ctx, ctx.SearchSpec.StartPath);
        listed = ctx.frmMain.List2.ListCount();
    });
    const double shellList = Best(3, [&] { RunShell(L"dir /s /b \"" + engineTree + L"\" > NUL"); });
    ctx.frmMain.List2.Clear();

    // Emptying, each on its own tree. The methods take turns group by group, so that a
    // change in the machine's load (or the disk still writing the new trees back)
    // weighs on all three alike.
    ctx.CleanCount = 0;
    double engineDelete = 0, shellDelete = 0, plainDelete = 0;
    for (int group = 0; group < kGroups; ++group) {
        const std::wstring folder = L"\\Content" + std::to_wstring(group) + L".IE5";
        engineDelete += Seconds([&] { qm::DelTree(ctx, engineTree + folder, engineTree, false); });
        shellDelete += Seconds([&] { RunShell(L"rd /s /q \"" + shellTree + folder + L"\""); });
        plainDelete += Seconds([&] { PlainDelete(Long(plainTree + folder), true); });
    }

    // What DelTree adds before the first file: each root passes the guard, which first looks
    // up the system's folders and everything above them.
    double guard = 0;
    for (int group = 0; group < kGroups; ++group) {
        const std::wstring folder = plainTree + L"\\Content" + std::to_wstring(group) + L".IE5";
        ::CreateDirectoryW(Long(folder).c_str(), nullptr);
        guard += Seconds([&] { qm::GuardDeletionRoot(folder, qm::RootKind::UserFolder); });
    }

    const int engineLeft = CountFiles(Long(engineTree)), shellLeft = CountFiles(Long(shellTree)),
              plainLeft = CountFiles(Long(plainTree));
    Report(L"list   SearchForFiles2", engineList);
    Report(L"list   cmd /c dir /s /b", shellList);
    Report(L"empty  DelTree", engineDelete);
    Report(L"empty  cmd /c rd /s /q", shellDelete);
    Report(L"empty  FindFirstFileExW/DeleteFileW", plainDelete);
    Report(L"  of DelTree: guarding the roots", guard);
    const double listing = shellList / engineList, versusShell = shellDelete / engineDelete,
                 versusFloor = engineDelete / plainDelete;
    Ratio(L"listing: dir time / engine time", listing, L">= 1", listing >= 1.0);
    Ratio(L"emptying: rd time / DelTree time", versusShell, L">= 3", versusShell >= 3.0);
    Ratio(L"emptying: DelTree time / loop time", versusFloor, L"<= 1.15", versusFloor <= 1.15);

    const bool outcomesAgree = listed == shape.files && ctx.CleanCount == shape.files && engineLeft == 0 &&
                               shellLeft == 0 && plainLeft == 0;
    if (!outcomesAgree)
        std::wprintf(L"  OUTCOMES DIFFER: listed %d, counted %d, left engine %d shell %d loop %d\n", listed,
                     ctx.CleanCount, engineLeft, shellLeft, plainLeft);
    for (const auto& tree : {engineTree, shellTree, plainTree}) PlainDelete(Long(tree), true);
    return outcomesAgree;
}

// A chain of nested folders "c\\c\\...", each level made relative to the one above (so
// building it is not itself quadratic in the path), one file at the bottom.
void BuildChain(const std::wstring& root, int depth) {
    ::CreateDirectoryW(Long(root).c_str(), nullptr);
    constexpr ACCESS_MASK kAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    UniqueFile level(::CreateFileW(Long(root).c_str(), kAccess | SYNCHRONIZE, qm::kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    for (int i = 0; i < depth && level; ++i)
        level = qm::OpenRelative(level.get(), L"c", kAccess, FILE_DIRECTORY_FILE, FILE_CREATE);
    if (level) qm::OpenRelative(level.get(), L"f.txt", GENERIC_WRITE, FILE_NON_DIRECTORY_FILE, FILE_CREATE);
}

// The floor of a deep walk: each level opened relative to the one above and listed once.
int BareChainWalk(const std::wstring& root) {
    UniqueFile level(::CreateFileW(Long(root).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, qm::kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::vector<unsigned char> buffer(64 * 1024);
    int levels = 0;
    while (level) {
        ::GetFileInformationByHandleEx(level.get(), FileIdBothDirectoryRestartInfo, buffer.data(),
                                       static_cast<DWORD>(buffer.size()));
        level = qm::OpenRelative(level.get(), L"c", FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
        ++levels;
    }
    return levels;
}

// The floor of emptying the chain: each level opened relative to the one above (held, as
// a walk that removes must), the bottom file deleted, and every level removed on the way back.
void BareChainEmpty(const std::wstring& root) {
    std::vector<UniqueFile> levels;
    levels.emplace_back(::CreateFileW(Long(root).c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE, qm::kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::vector<unsigned char> buffer(64 * 1024);
    while (levels.back()) {
        ::GetFileInformationByHandleEx(levels.back().get(), FileIdBothDirectoryRestartInfo, buffer.data(),
                                       static_cast<DWORD>(buffer.size()));
        UniqueFile next = qm::OpenRelative(levels.back().get(), L"c", FILE_LIST_DIRECTORY | DELETE, FILE_DIRECTORY_FILE);
        if (!next) break;
        levels.push_back(std::move(next));
    }
    if (UniqueFile file = qm::OpenRelative(levels.back().get(), L"f.txt", DELETE, FILE_NON_DIRECTORY_FILE))
        qm::DeleteThroughHandle(file.get());
    while (levels.size() > 1) {
        qm::DeleteThroughHandle(levels.back().get());
        levels.pop_back();
    }
}

bool RunChain(qm::AppContext& ctx, const std::wstring& base, int depth) {
    std::wprintf(L"\nA chain of %d nested folders (one file at the bottom)\n", depth);
    const std::wstring chain = base + L"\\chain";
    BuildChain(chain, depth);
    SettleDisk();
    int walked = 0;
    const double bare = Seconds([&] { walked = BareChainWalk(chain); });
    const double bareEmptying = Seconds([&] { BareChainEmpty(chain); });
    BuildChain(chain, depth);
    SettleDisk();
    ctx.CleanCount = 0;
    std::int32_t status = -1;
    const double engine = Seconds([&] { status = qm::DelTree(ctx, chain, chain, false); });
    Report(L"walk   bare relative opens", bare);
    Report(L"empty  bare relative, levels held", bareEmptying);
    Report(L"empty  DelTree", engine);
    const double ratio = engine / bare, versusEmptying = engine / bareEmptying;
    Ratio(L"chain: DelTree time / bare walk time", ratio, L"<= 2", ratio <= 2.0);
    std::wprintf(L"  %-34ls %8.2fx   (the platform's own cost of removing each level)\n",
                 L"chain: DelTree / bare emptying", versusEmptying);
    const int left = CountFiles(Long(chain));
    const bool agree = status == 0 && walked == depth + 1 && ctx.CleanCount == 1 && left == 0;
    if (!agree)
        std::wprintf(L"  OUTCOMES DIFFER: status %d, walked %d, counted %d, left %d\n", status, walked, ctx.CleanCount,
                     left);
    ::RemoveDirectoryW(Long(chain).c_str());
    return agree;
}

}  // namespace

int main() {
    // Wide arguments without a wide entry point, so every toolchain builds it the same way.
    int argc = 0;
    std::unique_ptr<wchar_t*, decltype(&::LocalFree)> arguments(::CommandLineToArgvW(::GetCommandLineW(), &argc),
                                                                 &::LocalFree);
    wchar_t** argv = arguments.get();
    Shape shape;
    bool large = false;
    int depth = 2000;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--files" && i + 1 < argc) shape.files = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--folders" && i + 1 < argc) shape.folders = std::max(5, _wtoi(argv[++i]));
        else if (arg == L"--large") large = true;
        else if (arg == L"--depth" && i + 1 < argc) depth = std::max(0, _wtoi(argv[++i]));
        else {
            std::fwprintf(stderr, L"usage: %ls [--files N] [--folders N] [--large] [--depth N]\n", argv[0]);
            return 2;
        }
    }

    std::setvbuf(stdout, nullptr, _IONBF, 0);  // progress shows while the trees are built
    bench::HeadlessApp app;
    qm::AppContext& ctx = app.ctx;

    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring base = std::wstring(temp) + L"qm-delete-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(Long(base).c_str(), nullptr);

    std::wprintf(L"Emptying and listing a cache-like tree (engine against the shell and the plain loop)\n");
    bool agree = RunVariant(ctx, base, shape);
    if (large) agree = RunVariant(ctx, base, Shape{100000, shape.folders}) && agree;
    if (depth > 0) agree = RunChain(ctx, base, depth) && agree;
    ::RemoveDirectoryW(Long(base).c_str());
    return agree ? 0 : 1;
}
