// The whole cookie clean (CleanCookieStores) against the floor of this platform:
//  - an Internet Explorer cookie folder of 20,000 files with 2,000 kept entries, against a
//    loop that opens and reads every file and deletes the unkept ones;
//  - a cookies.txt of 100,000 lines with 10,000 kept entries, against reading the file,
//    writing the remaining lines to a new file and putting it in the old one's place.
// The kept lists go to a scratch key (HKEY_CURRENT_USER is redirected there). Each round
// builds its fixture again, untimed, because the clean removes it.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/handles.h"
#include "clean/cookie_clean.h"
#include "clean/deletion_guard.h"
#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "headless_app.h"
#include "startup/app_context.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFiles = 20000, kKeptFiles = 2000;
constexpr int kLines = 100000, kKeptLines = 10000;
constexpr int kRounds = 2;

std::wstring TempPath(const wchar_t* name) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length) + name + std::to_wstring(::GetCurrentProcessId());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    qm::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    qm::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return {};
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

std::string CookieRecord(int file) {
    return "id\nvalue" + std::to_string(file) + "\nsite" + std::to_string(file) +
           ".example.com/\n0\n2916217856\n31094476\n2916217856\n30806476\n*\n";
}
std::wstring CookieFileName(int file) { return L"user@site" + std::to_wstring(file) + L"[1].txt"; }
bool FileKept(int file) { return file % (kFiles / kKeptFiles) == 0; }

std::string CookieLine(int line) {
    return "site" + std::to_string(line) + ".example.com\tFALSE\t/\tFALSE\t2000000000\tname" +
           std::to_string(line % 7) + "\tvalue" + std::to_string(line) + "\n";
}
bool LineKept(int line) { return line % (kLines / kKeptLines) == 0; }

void BuildFolder(const std::wstring& folder) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (int file = 0; file < kFiles; ++file) WriteFileBytes(folder + CookieFileName(file), CookieRecord(file));
}

void EmptyFolder(const std::wstring& folder) {
    for (int file = 0; file < kFiles; ++file) ::DeleteFileW((folder + CookieFileName(file)).c_str());
    ::DeleteFileW((folder + L"old.txt").c_str());
}

std::string CookieTxt(bool keptOnly) {
    std::string text = "# Netscape HTTP Cookie File\n";
    for (int line = 0; line < kLines; ++line)
        if (!keptOnly || LineKept(line)) text += CookieLine(line);
    return text;
}

// Open and read every file, delete the unkept ones.
void FolderFloor(const std::wstring& folder) {
    char buffer[4096];
    for (int file = 0; file < kFiles; ++file) {
        const std::wstring path = folder + CookieFileName(file);
        {
            qm::UniqueFile handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
            DWORD read = 0;
            while (handle && ::ReadFile(handle.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {}
        }
        if (!FileKept(file)) ::DeleteFileW(path.c_str());
    }
}

// Read the file, write what stays to a new file, put it in the old one's place.
void FileFloor(const std::wstring& path, const std::string& remaining) {
    const std::string bytes = ReadFileBytes(path);
    if (bytes.empty()) return;
    WriteFileBytes(path + L".new", remaining);
    ::MoveFileExW((path + L".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

template <class Prepare, class Work>
double Best(Prepare&& prepare, Work&& work) {
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        prepare();
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

void StoreKeptLists() {
    std::vector<std::wstring> files, lines;
    for (int file = 0; file < kFiles; file += kFiles / kKeptFiles)
        files.push_back(CookieFileName(file) + L"\tid\t1/1/2020");
    for (int line = 0; line < kLines; line += kLines / kKeptLines)
        lines.push_back(L"site" + std::to_wstring(line) + L".example.com\tname" + std::to_wstring(line % 7) + L"\tx");
    qm::WriteKeptList(qm::kMsieSavedKey, files);
    qm::WriteKeptList(qm::kNsSavedKey, lines);
}

void UseOnly(qm::AppContext& ctx, const std::wstring& store, std::int32_t kind) {
    auto& locations = ctx.frmMain.cboLoc;
    locations.Clear();
    locations.SetItemData(locations.AddItem(store), kind);
}

}  // namespace

int main() {
    bench::HeadlessApp app;
    qm::AppContext& ctx = app.ctx;
    const bench::ScratchUserKey scratch;
    StoreKeptLists();

    const std::wstring folder = TempPath(L"qm-cookie-clean-bench-") + L"\\";
    std::printf("cookie clean: %d cookie files (%d kept), rounds of building them take a while...\n", kFiles, kKeptFiles);
    std::fflush(stdout);
    const double folderFloor = Best([&] { BuildFolder(folder); }, [&] { FolderFloor(folder); });
    int deleted = 0;
    const double folderOurs = Best([&] { EmptyFolder(folder); BuildFolder(folder); }, [&] {
        UseOnly(ctx, folder, qm::kKindIeShellCookies);
        qm::CleanCookieStores(ctx);
        deleted = ctx.CleanCount;
    });
    EmptyFolder(folder);
    ::RemoveDirectoryW(folder.c_str());

    const std::wstring file = TempPath(L"qm-cookie-clean-bench-") + L".txt";
    const std::string before = CookieTxt(false), after = CookieTxt(true);
    const double fileFloor = Best([&] { WriteFileBytes(file, before); }, [&] { FileFloor(file, after); });
    int removed = 0;
    const double fileOurs = Best([&] { WriteFileBytes(file, before); }, [&] {
        UseOnly(ctx, file, qm::kKindNetscapeCookieFile);
        qm::CleanCookieStores(ctx);
        removed = ctx.CleanCount;
    });
    const bool sameBytes = ReadFileBytes(file) == after;
    ::DeleteFileW(file.c_str());
    // Parts every clean pays before its first store: the kept lists, and the folder guard that
    // asks for every protected folder.
    const double keptLists = Best([] {}, [] {
        for (const wchar_t* key : {qm::kMsieSavedKey, qm::kNsSavedKey, qm::kFireFoxSavedKey, qm::kChromiumSavedKey})
            qm::IdentitiesOf(qm::ReadKeptList(key).entries);
    });
    const double guard = Best([] {}, [] { qm::DeletionGuard made; });


    std::printf("cookie clean, Internet Explorer: %d files, %d kept, %d deleted\n", kFiles, kKeptFiles, deleted);
    std::printf("  floor (open, read, delete)   %9.1f ms\n", folderFloor);
    std::printf("  CleanCookieStores            %9.1f ms\n", folderOurs);
    std::printf("  ratio clean / floor = %.2f (target <= 2.00)\n", folderOurs / folderFloor);
    std::printf("cookie clean, cookies.txt: %d lines, %d kept entries, %d removed, output %s\n", kLines, kKeptLines,
                removed, sameBytes ? "as expected" : "DIFFERS");
    std::printf("  floor (read, write, replace) %9.1f ms\n", fileFloor);
    std::printf("  CleanCookieStores            %9.1f ms\n", fileOurs);
    std::printf("  ratio clean / floor = %.2f\n", fileOurs / fileFloor);
    std::printf("  of which every clean pays: reading the kept lists %.1f ms, the folder guard %.1f ms\n", keptLists,
                guard);
    const bool right = deleted == kFiles - kKeptFiles && removed == kLines - kKeptLines && sameBytes;
    return right ? 0 : 1;
}
