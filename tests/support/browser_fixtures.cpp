#include "support/browser_fixtures.h"

#include "base/text.h"
#include "support/fixtures.h"

namespace qm::test {

namespace {

void Write(const std::wstring& path, const std::string& bytes) {
    MakeFolder(path.substr(0, path.find_last_of(L'\\')));
    WriteBytes(path, bytes);
}

// What every profile holds besides caches and cookies.
constexpr const wchar_t* kChromiumOtherFiles[] = {L"Bookmarks", L"History", L"Login Data", L"Preferences",
                                                  L"Network\\Network Persistent State"};
constexpr const wchar_t* kFirefoxOtherFiles[] = {L"places.sqlite",    L"logins.json",        L"prefs.js",
                                                 L"key4.db",          L"favicons.sqlite",    L"formhistory.sqlite",
                                                 L"sessionstore.js.tmp"};
// What today's Firefox leaves of a session.
constexpr const wchar_t* kFirefoxSessionFiles[] = {
    L"sessionstore.jsonlz4", L"sessionstore.js", L"sessionstore.bak", L"sessionstore-backups\\recovery.jsonlz4",
    L"sessionstore-backups\\recovery.baklz4", L"sessionstore-backups\\previous.jsonlz4",
    L"sessionstore-backups\\upgrade.jsonlz4-20240101120000"};

}  // namespace

CurrentProfile::CurrentProfile(const std::wstring& root)
    : local(root + L"\\Local\\"),
      roaming(root + L"\\Roaming\\"),
      chromeDefault(local + L"Google\\Chrome\\User Data\\Default\\"),
      chromeProfile1(local + L"Google\\Chrome\\User Data\\Profile 1\\"),
      edgeDefault(local + L"Microsoft\\Edge\\User Data\\Default\\"),
      braveDefault(local + L"BraveSoftware\\Brave-Browser\\User Data\\Default\\"),
      braveProfile3(local + L"BraveSoftware\\Brave-Browser\\User Data\\Profile 3\\"),
      operaProfile(roaming + L"Opera Software\\Opera Stable\\"),
      firefoxProfile(roaming + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\") {
    Write(local + L"Google\\Chrome\\User Data\\Local State",
          R"({"profile":{"info_cache":{"Default":{"name":"Me"},"Profile 1":{"name":"Work"}},"last_used":"Default"}})");
    // Not named by Local State: not a profile of this browser.
    Write(local + L"Google\\Chrome\\User Data\\Profile 2\\Network\\Cookies", "x");
    Write(local + L"Microsoft\\Edge\\User Data\\Last Version", "120");
    Write(local + L"BraveSoftware\\Brave-Browser\\User Data\\Local State", "{\"profile\":");
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &braveDefault, &braveProfile3, &operaProfile})
        Write(*profile + L"Network\\Cookies", "x");
    Write(edgeDefault + L"Cookies", "x");
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &edgeDefault, &braveDefault, &braveProfile3}) {
        Write(*profile + L"Cache\\Cache_Data\\f_000001", "cached");
        Write(*profile + L"Cache\\Cache_Data\\index", "index");
        for (const auto* file : kChromiumOtherFiles) Write(*profile + file, "kept " + NarrowUtf8(*profile + file));
    }
    // Today's layout: the whole "Cache" goes, its index of cached addresses included.
    Write(chromeDefault + L"Cache\\Cache_Data\\data_0", "cached");
    Write(chromeDefault + L"Cache\\index-dir\\the-real-index", "addresses");
    Write(chromeDefault + L"Code Cache\\js\\index-dir\\the-real-index", "code");
    Write(chromeDefault + L"Code Cache\\wasm\\index", "wasm");
    Write(chromeDefault + L"GPUCache\\data_0", "gpu");
    for (const auto* file : kChromiumOtherFiles) Write(operaProfile + file, "kept opera");
    Write(operaProfile + L"GPUCache\\data_1", "gpu");
    Write(local + L"Opera Software\\Opera Stable\\Cache\\Cache_Data\\f_00000a", "opera cached");

    Write(roaming + L"Mozilla\\Firefox\\profiles.ini",
          "[Install308046B0AF4A39CB]\r\nDefault=Profiles/ab12cd.default-release\r\nLocked=1\r\n\r\n"
          "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/ab12cd.default-release\r\n\r\n"
          "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n");
    Write(roaming + L"Mozilla\\Firefox\\installs.ini",
          "[308046B0AF4A39CB]\r\nDefault=Profiles/ab12cd.default-release\r\nLocked=1\r\n");
    Write(firefoxProfile + L"cookies.sqlite", "x");
    WriteSessionFiles();
    for (const auto* file : kFirefoxOtherFiles) Write(firefoxProfile + file, "kept firefox");
    Write(local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\entries\\0A1B2C", "ff cached");
    Write(local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\doomed\\1", "ff doomed");
    Write(local + L"Microsoft\\Windows\\INetCache\\IE\\AB12CD34\\page[1].htm", "ie cached");
}

void PrintTo(const CurrentProfile::Location& location, std::ostream* out) {
    *out << NarrowUtf8(location.path) << " 0x" << std::hex << location.kind << std::dec;
}

SpecialFolderLookup CurrentProfile::Lookup() const {
    return [local = local, roaming = roaming](int csidl) {
        if (csidl == 26) return roaming;
        if (csidl == 28) return local;
        return std::wstring();
    };
}

std::vector<CurrentProfile::Location> CurrentProfile::CookieDatabases() const {
    return {
        {chromeDefault + L"Network\\Cookies", kKindChrome},  {chromeProfile1 + L"Network\\Cookies", kKindChrome},
        {edgeDefault + L"Cookies", kKindEdge},                {braveDefault + L"Network\\Cookies", kKindBrave},
        {braveProfile3 + L"Network\\Cookies", kKindBrave},    {operaProfile + L"Network\\Cookies", kKindOpera},
        {firefoxProfile + L"cookies.sqlite", kKindFireFoxCookieDb},
    };
}

std::vector<CurrentProfile::Location> CurrentProfile::CacheFolders() const {
    return {
        {chromeDefault + L"Cache\\", kKindChrome},
        {chromeDefault + L"Code Cache\\", kKindChrome},
        {chromeDefault + L"GPUCache\\", kKindChrome},
        {chromeProfile1 + L"Cache\\", kKindChrome},
        {edgeDefault + L"Cache\\", kKindEdge},
        {braveDefault + L"Cache\\", kKindBrave},
        {braveProfile3 + L"Cache\\", kKindBrave},
        {local + L"Opera Software\\Opera Stable\\Cache\\", kKindOpera},
        {operaProfile + L"GPUCache\\", kKindOpera},
        {firefoxProfile, kKindFireFoxDefault},
        {local + L"Mozilla\\Firefox\\Profiles\\ab12cd.default-release\\cache2\\", kKindFireFoxCache2},
    };
}

std::vector<std::wstring> CurrentProfile::SessionFiles() const {
    std::vector<std::wstring> files;
    for (const auto* file : kFirefoxSessionFiles) files.push_back(firefoxProfile + file);
    return files;
}

void CurrentProfile::WriteSessionFiles() const {
    for (const auto& file : SessionFiles()) Write(file, "session " + NarrowUtf8(file));
}

std::vector<std::pair<std::wstring, std::string>> CurrentProfile::OtherFiles() const {
    std::vector<std::pair<std::wstring, std::string>> files;
    for (const auto* profile : {&chromeDefault, &chromeProfile1, &edgeDefault, &braveDefault, &braveProfile3,
                                &operaProfile})
        for (const auto* file : kChromiumOtherFiles) files.emplace_back(*profile + file, ReadBytes(*profile + file));
    for (const auto* file : kFirefoxOtherFiles)
        files.emplace_back(firefoxProfile + file, ReadBytes(firefoxProfile + file));
    for (const wchar_t* index : {L"profiles.ini", L"installs.ini"})
        files.emplace_back(roaming + L"Mozilla\\Firefox\\" + index, ReadBytes(roaming + L"Mozilla\\Firefox\\" + index));
    files.emplace_back(local + L"Google\\Chrome\\User Data\\Local State",
                       ReadBytes(local + L"Google\\Chrome\\User Data\\Local State"));
    return files;
}

}  // namespace qm::test

#include <windows.h>

#include <sqlite3.h>

namespace qm::test {

namespace {

struct Connection {
    explicit Connection(const std::wstring& path) {
        if (sqlite3_open_v2(NarrowUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            throw std::runtime_error("cannot open test database " + NarrowUtf8(path));
    }
    ~Connection() { sqlite3_close_v2(db); }
    void Run(const std::string& sql) const {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("test SQL failed: ") + sqlite3_errmsg(db));
    }
    sqlite3* db = nullptr;
};

void Insert(const Connection& connection, const std::string& sql, const std::vector<CookieRow>& rows, bool chromium) {
    connection.Run("BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(connection.db, sql.c_str(), -1, &insert, nullptr);
    for (const auto& row : rows) {
        sqlite3_bind_text(insert, 1, row.host.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, row.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, row.value.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 4, row.expires);
        if (chromium) sqlite3_bind_blob(insert, 5, row.encrypted.data(), static_cast<int>(row.encrypted.size()),
                                        SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    connection.Run("COMMIT");
}

}  // namespace

void WriteChromiumCookies(const std::wstring& path, const std::vector<CookieRow>& rows) {
    ::DeleteFileW(path.c_str());
    const Connection connection(path);
    connection.Run(
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('version','21');"
        "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, top_frame_site_key TEXT NOT NULL "
        "DEFAULT '', name TEXT NOT NULL, value TEXT NOT NULL, encrypted_value BLOB NOT NULL DEFAULT x'', path TEXT "
        "NOT NULL DEFAULT '/', expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL DEFAULT 1, is_httponly "
        "INTEGER NOT NULL DEFAULT 0, last_access_utc INTEGER NOT NULL DEFAULT 0, has_expires INTEGER NOT NULL "
        "DEFAULT 1, is_persistent INTEGER NOT NULL DEFAULT 1, priority INTEGER NOT NULL DEFAULT 1, samesite INTEGER "
        "NOT NULL DEFAULT -1, source_scheme INTEGER NOT NULL DEFAULT 2, source_port INTEGER NOT NULL DEFAULT 443, "
        "last_update_utc INTEGER NOT NULL DEFAULT 0);"
        "CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key, name, path, "
        "source_scheme, source_port);");
    Insert(connection,
           "INSERT INTO cookies(creation_utc, host_key, name, value, expires_utc, encrypted_value) "
           "VALUES(13300000000000000, ?1, ?2, ?3, ?4, ?5)",
           rows, true);
}

void WriteFirefoxCookies(const std::wstring& path, const std::vector<CookieRow>& rows) {
    ::DeleteFileW(path.c_str());
    const Connection connection(path);
    connection.Run(
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT, "
        "value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER, isSecure "
        "INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, "
        "rawSameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0, isPartitionedAttributeSet INTEGER DEFAULT 0, "
        "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));");
    Insert(connection,
           "INSERT INTO moz_cookies(host, name, value, expiry, path, isSecure, isHttpOnly) "
           "VALUES(?1, ?2, ?3, ?4, '/', 1, 0)",
           rows, false);
}

std::vector<std::string> CookiesLeft(const std::wstring& path, const char* table, const char* hostColumn) {
    const Connection connection(path);
    std::vector<std::string> left;
    sqlite3_stmt* select = nullptr;
    const std::string sql = std::string("SELECT ") + hostColumn + ", name FROM " + table + " ORDER BY rowid";
    sqlite3_prepare_v2(connection.db, sql.c_str(), -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW)
        left.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(select, 0))) + "\t" +
                       reinterpret_cast<const char*>(sqlite3_column_text(select, 1)));
    sqlite3_finalize(select);
    return left;
}

bool ExecuteSql(const std::wstring& path, const std::string& sql) {
    try {
        Connection(path).Run(sql);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ExecuteSqlLeavingWal(const std::wstring& path, const std::string& sql) {
    try {
        const Connection connection(path);
        sqlite3_db_config(connection.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        connection.Run("PRAGMA wal_autocheckpoint = 0; " + sql);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

DatabaseHolder::DatabaseHolder(const std::wstring& path) : release_(path + L".release") {
    const std::wstring held = path + L".held";
    ::DeleteFileW(held.c_str());
    ::DeleteFileW(release_.c_str());
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe = self;
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"quillmere_db_holder.exe";
    std::wstring command = L"\"" + exe + L"\" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    for (int i = 0; i < 500 && !holding_; ++i) {
        holding_ = ::GetFileAttributesW(held.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!holding_ && ::WaitForSingleObject(process_, 20) == WAIT_OBJECT_0) break;
    }
}

DatabaseHolder::~DatabaseHolder() {
    WriteBytes(release_, "");
    if (process_) {
        ::WaitForSingleObject(process_, 10000);
        ::CloseHandle(process_);
    }
    ::DeleteFileW(release_.c_str());
}

}  // namespace qm::test
