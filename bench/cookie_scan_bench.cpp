// Scanning an Internet Explorer cookie folder into cookie lines (MSIEScan2), against the
// floor of this platform: a plain loop that only opens and reads the same files.
//
// Builds a folder of 20,000 cookie files (one to three records each) in the temporary
// folder, times both a few times, prints the best of each and their ratio, and removes
// the folder again.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/handles.h"
#include "cookies/msie_cookies.h"
#include "headless_app.h"
#include "startup/app_context.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFileCount = 20000;
constexpr int kRounds = 3;


std::string RecordText(int file, int record) {
    // Plausible halves: creation in 2006, expiry in 2030, varied per file.
    const unsigned long long created = 127864512000000000ULL + static_cast<unsigned long long>(file) * 10'000'000ULL;
    const unsigned long long expires = 139239936000000000ULL + static_cast<unsigned long long>(record) * 10'000'000ULL;
    return "cookie" + std::to_string(record) + "\n" + "value" + std::to_string(file) + "&session=abcdef0123456789\n" +
           "site" + std::to_string(file) + ".example.com/\n" + "1536\n" + std::to_string(expires & 0xFFFFFFFFu) + "\n" +
           std::to_string(expires >> 32) + "\n" + std::to_string(created & 0xFFFFFFFFu) + "\n" +
           std::to_string(created >> 32) + "\n*\n";
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    qm::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length) + L"qm-cookie-scan-bench-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
}

std::vector<std::wstring> BuildFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return names;
    for (int file = 0; file < kFileCount; ++file) {
        const std::wstring name = L"user@site" + std::to_wstring(file) + L".example[1].txt";
        std::string text;
        for (int record = 0; record <= file % 3; ++record) text += RecordText(file, record);
        if (!WriteFileBytes(folder + name, text)) break;
        names.push_back(name);
    }
    return names;
}

void RemoveFolder(const std::wstring& folder, const std::vector<std::wstring>& names) {
    for (const auto& name : names) ::DeleteFileW((folder + name).c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// The floor: open, read whole, close; nothing else.
long long OpenAndReadAll(const std::wstring& folder, const std::vector<std::wstring>& names) {
    long long bytes = 0;
    char buffer[65536];
    for (const auto& name : names) {
        qm::UniqueFile file(::CreateFileW((folder + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        DWORD read = 0;
        while (file && ::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes += read;
    }
    return bytes;
}

template <class Work>
double BestMilliseconds(Work&& work) {
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main() {
    bench::HeadlessApp app;
    qm::AppContext& ctx = app.ctx;

    const std::wstring folder = TempFolder();
    std::printf("cookie scan: building %d cookie files...\n", kFileCount);
    std::fflush(stdout);
    const auto buildStart = Clock::now();
    const std::vector<std::wstring> names = BuildFolder(folder);
    std::printf("cookie scan: built in %.1f s\n", std::chrono::duration<double>(Clock::now() - buildStart).count());
    std::fflush(stdout);
    if (names.size() != static_cast<size_t>(kFileCount)) {
        std::printf("cookie scan: could not build the cookie folder\n");
        RemoveFolder(folder, names);
        return 1;
    }

    OpenAndReadAll(folder, names);  // warm the file cache for both
    long long bytes = 0;
    const double floor = BestMilliseconds([&] { bytes = OpenAndReadAll(folder, names); });
    int listed = 0;
    const double scan = BestMilliseconds([&] {
        qm::MSIEScan2(ctx, folder);
        listed = ctx.frmMain.lstCookie.ListCount();
    });
    const auto removeStart = Clock::now();
    RemoveFolder(folder, names);
    std::printf("cookie scan: removed in %.1f s\n", std::chrono::duration<double>(Clock::now() - removeStart).count());

    std::printf("cookie scan: %d files, %lld bytes\n", kFileCount, bytes);
    std::printf("  open+read floor   %9.1f ms\n", floor);
    std::printf("  MSIEScan2         %9.1f ms  (%d cookie lines)\n", scan, listed);
    std::printf("  ratio MSIEScan2 / floor = %.2f (target <= 2.00)\n", scan / floor);
    return listed == kFileCount ? 0 : 1;
}
