// The cookie clean of a Chromium-family cookie database (CleanCookieStores: open, lock,
// schema and quick check, read every row, match the kept identities, delete the unkept rows
// in one transaction) against the floor of SQLite itself: one prepared DELETE of the same
// rows by rowid inside one transaction, the rows known beforehand. 100,000 cookies, 10,000
// kept. Each round works on a fresh copy of the database, made untimed.
#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "clean/cookie_clean.h"
#include "cookies/discovery.h"
#include "cookies/kept_cookies.h"
#include "headless_app.h"
#include "startup/app_context.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 100000, kKept = 10000;
constexpr int kRounds = 5;

bool Kept(int row) { return row % (kRows / kKept) == 0; }
std::string Host(int row) { return ".site" + std::to_string(row) + ".example.com"; }
std::string Name(int row) { return "name" + std::to_string(row % 7); }

std::wstring TempPath(const wchar_t* name) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length) + name + std::to_wstring(::GetCurrentProcessId());
}

bool Run(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// A database in the Chromium schema; row i has rowid i + 1.
bool BuildDatabase(const std::wstring& path) {
    ::DeleteFileW(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(qm::NarrowUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return false;
    bool ok = Run(db,
                  "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, top_frame_site_key TEXT "
                  "NOT NULL DEFAULT '', name TEXT NOT NULL, value TEXT NOT NULL, encrypted_value BLOB NOT NULL, path "
                  "TEXT NOT NULL, expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL, is_httponly INTEGER NOT "
                  "NULL, last_access_utc INTEGER NOT NULL DEFAULT 0, has_expires INTEGER NOT NULL DEFAULT 1, "
                  "is_persistent INTEGER NOT NULL DEFAULT 1, priority INTEGER NOT NULL DEFAULT 1, samesite INTEGER NOT "
                  "NULL DEFAULT -1, source_scheme INTEGER NOT NULL DEFAULT 2, source_port INTEGER NOT NULL DEFAULT 443);"
                  "CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key, name, path, "
                  "source_scheme, source_port);"
                  "BEGIN");
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO cookies(rowid, creation_utc, host_key, name, value, encrypted_value, "
                                  "path, expires_utc, is_secure, is_httponly) VALUES(?1, 13300000000000000, ?2, ?3, '', "
                                  "randomblob(48), '/', 13400000000000000, 1, 0)",
                                  -1, &insert, nullptr) == SQLITE_OK;
    for (int row = 0; ok && row < kRows; ++row) {
        const std::string host = Host(row), name = Name(row);
        sqlite3_bind_int64(insert, 1, row + 1);
        sqlite3_bind_text(insert, 2, host.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, name.c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && Run(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

// SQLite's own floor: the unkept rows deleted by rowid with one prepared statement in one
// transaction; with SQLite's default page cache, or with the larger one the clean asks for.
bool Floor(const std::wstring& path, bool largeCache) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(qm::NarrowUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
    bool ok = (!largeCache || Run(db, "PRAGMA cache_size = -65536")) && Run(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* remove = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "DELETE FROM cookies WHERE rowid = ?", -1, &remove, nullptr) == SQLITE_OK;
    for (int row = 0; ok && row < kRows; ++row) {
        if (Kept(row)) continue;
        sqlite3_bind_int64(remove, 1, row + 1);
        ok = sqlite3_step(remove) == SQLITE_DONE;
        sqlite3_reset(remove);
    }
    sqlite3_finalize(remove);
    ok = ok && Run(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

int RowsLeft(const std::wstring& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(qm::NarrowUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* count = nullptr;
    int left = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM cookies", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW)
        left = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    sqlite3_close(db);
    return left;
}

// The best time of each of two works over several rounds, the rounds taken in turn so
// that both meet the same load of the machine.
// Each work is followed, untimed, by its check.
template <class Prepare, class First, class Second, class Check>
std::pair<double, double> BestOfEach(Prepare&& prepare, First&& first, Second&& second, Check&& check) {
    double bestFirst = 1e300, bestSecond = 1e300;
    const auto timed = [&](auto& work, bool isFirst) {
        prepare();
        const auto start = Clock::now();
        work();
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        check(isFirst);
        return elapsed;
    };
    for (int round = 0; round < kRounds; ++round) {
        bestFirst = std::min(bestFirst, timed(first, true));
        bestSecond = std::min(bestSecond, timed(second, false));
    }
    return {bestFirst, bestSecond};
}

}  // namespace

int main() {
    bench::HeadlessApp app;
    qm::AppContext& ctx = app.ctx;
    const bench::ScratchUserKey scratch;
    std::vector<std::wstring> kept;
    for (int row = 0; row < kRows; ++row)
        if (Kept(row)) kept.push_back(qm::WidenUtf8(Host(row).substr(1) + "\t" + Name(row) + "\tx"));
    qm::WriteKeptList(qm::kChromiumSavedKey, kept);

    const std::wstring folder = TempPath(L"qm-cookie-db-bench-") + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring original = folder + L"original", database = folder + L"Cookies";
    if (!BuildDatabase(original)) {
        std::printf("cookie database clean: could not build the database\n");
        return 1;
    }
    const auto copy = [&] { ::CopyFileW(original.c_str(), database.c_str(), FALSE); };

    bool floorOk = true;
    int floorLeft = -1, deleted = 0, left = -1;
    const auto clean = [&] {
        auto& locations = ctx.frmMain.cboLoc;
        locations.Clear();
        locations.SetItemData(locations.AddItem(database), qm::kKindChrome);
        qm::CleanCookieStores(ctx);
        deleted = ctx.CleanCount;
    };
    const auto check = [&](bool isFloor) { (isFloor ? floorLeft : left) = RowsLeft(database); };
    const auto [floor, ours] = BestOfEach(copy, [&] { floorOk = Floor(database, false) && floorOk; }, clean, check);
    const auto [largeCacheFloor, oursAgain] =
        BestOfEach(copy, [&] { floorOk = Floor(database, true) && floorOk; }, clean, check);

    for (const wchar_t* name : {L"original", L"Cookies", L"Cookies-journal"}) ::DeleteFileW((folder + name).c_str());
    ::RemoveDirectoryW(folder.c_str());

    std::printf("cookie clean, Chromium cookie database: %d rows, %d kept, %d deleted, %d left (floor left %d)\n", kRows,
                kKept, deleted, left, floorLeft);
    std::printf("  floor (one prepared DELETE by rowid, one transaction)  %9.1f ms\n", floor);
    std::printf("  the same with the clean's 64 MiB page cache            %9.1f ms\n", largeCacheFloor);
    std::printf("  CleanCookieStores (quick check and kept list included) %9.1f ms, %9.1f ms\n", ours, oursAgain);
    std::printf("  ratio clean / floor = %.2f (target <= 1.50); against the large-cache floor %.2f\n", ours / floor,
                oursAgain / largeCacheFloor);
    return floorOk && deleted == kRows - kKept && left == kKept && floorLeft == kKept ? 0 : 1;
}
