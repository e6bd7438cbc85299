// Times the cookies.txt clean of one file as the cookie clean does it: read it into the line
// table, mark every cookie line whose identity is not kept (one pass, a hash lookup), write it; and the floor of this platform on the same file:
// read it whole, write it beside, replace it. Run by scripts/bench.sh through
// bench/cookie_txt_bench.py, which builds the files, times Python's and awk's clean of the
// same file natively and prints the ratios.
//
//   quillmere_cookie_txt_timing.exe <cookies.txt> <kept identities, one per line> [rounds]
//
// Each round works on a fresh copy of the file (<cookies.txt>.work, left holding the last
// cleaned file for comparison). Prints "name value" lines.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "base/text.h"
#include "cookies/ns_cookies.h"
#include "headless_app.h"
#include "startup/file_helpers.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::unordered_set<std::wstring> ReadKept(const std::wstring& path) {
    std::unordered_set<std::wstring> kept;
    const qm::BoundedRead read = qm::ReadFileBounded(path, 1ull << 30);
    size_t at = 0;
    const std::string& bytes = read.bytes;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        if (end > at) kept.insert(qm::WidenUtf8(std::string_view(bytes).substr(at, end - at)));
        at = end + 1;
    }
    return kept;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillmere_cookie_txt_timing <cookies.txt> <kept.txt> [rounds]\n");
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring work = source + L".work";
    const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 3;
    const std::unordered_set<std::wstring> kept = ReadKept(argv[2]);
    bench::HeadlessApp app;

    double best = 1e300, floor = 1e300;
    int lines = 0, marked = 0;
    for (int round = 0; round < rounds; ++round) {
        if (!::CopyFileW(source.c_str(), work.c_str(), FALSE)) return 1;
        auto start = Clock::now();
        const qm::BoundedRead read = qm::ReadFileBounded(work, qm::kMaxCookieTxtSize);
        if (qm::ReplaceWholeFile(work, read.bytes) != 0) return 1;
        floor = std::min(floor, Milliseconds(start));

        if (!::CopyFileW(source.c_str(), work.c_str(), FALSE)) return 1;
        start = Clock::now();
        qm::CookieTxtTable table;
        if (!qm::ReadCookieTxt(work, table)) return 1;
        marked = qm::MarkUnkeptLines(table, kept);
        const qm::CookieWrite written = qm::WriteCookieTxt(app.ctx, table);
        lines = static_cast<int>(table.lines.size());
        best = std::min(best, Milliseconds(start));
        if (written != qm::CookieWrite::Written) return 1;
    }
    std::printf("ns2_ms %.1f\nfloor_ms %.1f\nlines %d\nmarked %d\n", best, floor, lines, marked);
    return 0;
}
