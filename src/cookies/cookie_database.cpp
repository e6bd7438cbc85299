#include "cookies/cookie_database.h"

#include <windows.h>

#include <sqlite3.h>

#include <array>
#include <memory>
#include <string_view>

#include "base/handles.h"
#include "base/text.h"
#include "cookies/checked_vfs.h"
#include "cookies/ns_cookies.h"

namespace qm {

namespace {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using UniqueDatabase = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using UniqueStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The table and the columns each browser's schema must have, in the order they are read.
struct SchemaColumns {
    const char* table;
    std::array<const char*, 8> columns;  // nullptr where the schema has fewer
};
constexpr SchemaColumns kChromiumColumns{
    "cookies", {"host_key", "name", "value", "encrypted_value", "path", "expires_utc", "is_secure", "is_httponly"}};
constexpr SchemaColumns kFirefoxColumns{
    "moz_cookies", {"host", "name", "value", "path", "expiry", "isSecure", "isHttpOnly", nullptr}};

const SchemaColumns& ColumnsOf(CookieSchema schema) {
    return schema == CookieSchema::Chromium ? kChromiumColumns : kFirefoxColumns;
}

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
// Firefox has stored expiry in milliseconds since its schema 15; seconds before.
constexpr std::int64_t kLargestExpiryInSeconds = 100'000'000'000;  // the year 5138

DatabaseOutcome OutcomeOf(int code) {
    switch (code & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW: return DatabaseOutcome::Done;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return DatabaseOutcome::Locked;
        case SQLITE_NOTADB: return DatabaseOutcome::NotADatabase;
        case SQLITE_CANTOPEN: return DatabaseOutcome::Missing;
        default: return DatabaseOutcome::Damaged;
    }
}

// What the file's first bytes say: an SQLite database, and whether it is in WAL mode.
// Anything else (a link, an empty file, which SQLite would take for an empty database) is
// never handed to SQLite.
struct Header {
    DatabaseOutcome outcome = DatabaseOutcome::Missing;  // Done: an SQLite database
    bool wal = false;
};

Header ReadHeader(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return {DatabaseOutcome::Missing};  // a link or a folder is never a store
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return {error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? DatabaseOutcome::Locked
                                                                                  : DatabaseOutcome::Missing};
    }
    char header[20] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), header, sizeof header, &read, nullptr))
        return {::GetLastError() == ERROR_LOCK_VIOLATION ? DatabaseOutcome::Locked : DatabaseOutcome::Damaged};
    if (!IsSqliteDatabase(std::string_view(header, read))) return {DatabaseOutcome::NotADatabase};
    // Bytes 18 and 19, the file format's write and read versions, are 2 in WAL mode.
    return {DatabaseOutcome::Done, read == sizeof header && header[18] == 2 && header[19] == 2};
}

// What the SQL function qm_keep(host, name) asks; a failure of keep fails the statement.
struct KeepCall {
    const KeepCookie& keep;
    bool failed = false;
};

std::string_view TextOf(sqlite3_value* value) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))) : std::string_view();
}

void KeepFunction(sqlite3_context* context, int /*count*/, sqlite3_value** values) {
    auto& call = *static_cast<KeepCall*>(sqlite3_user_data(context));
    try {
        sqlite3_result_int(context, call.keep(TextOf(values[0]), TextOf(values[1])) ? 1 : 0);
    } catch (...) {
        call.failed = true;
        sqlite3_result_error(context, "keep failed", -1);
    }
}

class Database {
public:
    // Opens an existing file for reading and writing (never creating one), through the VFS
    // that checks its side files.
    DatabaseOutcome Open(const std::wstring& path) {
        const Header header = ReadHeader(path);
        if (header.outcome != DatabaseOutcome::Done) return header.outcome;
        wal_ = header.wal;
        sqlite3* raw = nullptr;
        const int code = sqlite3_open_v2(NarrowUtf8(path).c_str(), &raw, SQLITE_OPEN_READWRITE, CheckedVfsName());
        db_.reset(raw);
        if (code != SQLITE_OK) return OutcomeOf(code);
        sqlite3_busy_timeout(db_.get(), kDatabaseBusyMilliseconds);
        // In WAL mode the exclusive locking mode keeps the WAL index in memory: no "-shm" file
        // is opened (the VFS offers none). The file comes from outside: its schema may not call
        // functions with side effects. The check reads every page; a cache that holds them
        // spares the delete reading them again and spilling pages before the commit.
        if (wal_ && Execute("PRAGMA locking_mode = EXCLUSIVE") != SQLITE_OK) return DatabaseOutcome::Damaged;
        return OutcomeOf(Execute("PRAGMA trusted_schema = OFF; PRAGMA cache_size = -65536"));
    }
    bool Wal() const { return wal_; }

    // Leaves no readable copy of deleted rows: VACUUM rewrites the file without free pages,
    // and in WAL mode the checkpoint copies it back and empties the WAL.
    int Compact() {
        const int code = Execute("VACUUM");
        return code != SQLITE_OK || !wal_ ? code : Execute("PRAGMA wal_checkpoint(TRUNCATE)");
    }

    int Execute(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr); }
    int Changes() const { return sqlite3_changes(db_.get()); }
    // qm_keep(host, name) for this connection only, usable from top-level SQL only.
    int AddKeepFunction(KeepCall& call) {
        return sqlite3_create_function_v2(db_.get(), "qm_keep", 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, &call,
                                          KeepFunction, nullptr, nullptr, nullptr);
    }

    UniqueStatement Prepare(std::string_view sql, int& code) {
        sqlite3_stmt* raw = nullptr;
        code = sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
        return UniqueStatement(raw);
    }

    // The table has every column the schema reads.
    DatabaseOutcome CheckSchema(CookieSchema schema) {
        const SchemaColumns& expected = ColumnsOf(schema);
        int code = SQLITE_OK;
        const UniqueStatement info = Prepare(std::string("PRAGMA table_info(") + expected.table + ")", code);
        if (code != SQLITE_OK) return OutcomeOf(code);
        std::array<bool, 8> present{};
        while ((code = sqlite3_step(info.get())) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
            for (size_t i = 0; i < expected.columns.size(); ++i)
                if (name && expected.columns[i] && std::string_view(name) == expected.columns[i]) present[i] = true;
        }
        if (code != SQLITE_DONE) return OutcomeOf(code);
        for (size_t i = 0; i < expected.columns.size(); ++i)
            if (expected.columns[i] && !present[i]) return DatabaseOutcome::WrongSchema;
        return DatabaseOutcome::Done;
    }

    DatabaseOutcome QuickCheck() {
        int code = SQLITE_OK;
        const UniqueStatement check = Prepare("PRAGMA quick_check", code);
        if (code != SQLITE_OK) return OutcomeOf(code);
        code = sqlite3_step(check.get());
        if (code != SQLITE_ROW) return OutcomeOf(code);
        const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
        const bool ok = first && std::string_view(first) == "ok";
        code = sqlite3_step(check.get());
        if (code == SQLITE_ROW || !ok) return DatabaseOutcome::Damaged;
        return OutcomeOf(code);
    }

private:
    UniqueDatabase db_;
    bool wal_ = false;
};

// A database whose side file the VFS refused is skipped like one a browser holds.
class RefusalWatch {
public:
    DatabaseOutcome Judge(DatabaseOutcome outcome) const {
        return outcome != DatabaseOutcome::Done && RefusedSideFiles() != start_ ? DatabaseOutcome::Locked : outcome;
    }

private:
    unsigned start_ = RefusedSideFiles();
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) {}
    ~Transaction() {
        if (open_) db_.Execute("ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    int Begin(const char* sql) {
        const int code = db_.Execute(sql);
        open_ = code == SQLITE_OK;
        return code;
    }
    int Commit() {
        const int code = db_.Execute("COMMIT");
        if (code == SQLITE_OK) open_ = false;
        return code;
    }

private:
    Database& db_;
    bool open_ = false;
};

// Opens, waits briefly for the lock, checks schema and integrity inside the transaction.
DatabaseOutcome Prepared(Database& db, Transaction& transaction, const std::wstring& path, CookieSchema schema,
                         const char* begin) {
    DatabaseOutcome outcome = db.Open(path);
    if (outcome != DatabaseOutcome::Done) return outcome;
    outcome = OutcomeOf(transaction.Begin(begin));
    if (outcome != DatabaseOutcome::Done) return outcome;
    outcome = db.CheckSchema(schema);
    if (outcome != DatabaseOutcome::Done) return outcome;
    return db.QuickCheck();
}

std::string TextColumn(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

std::optional<std::int64_t> ChromiumExpiry(std::int64_t microsecondsSince1601) {
    if (microsecondsSince1601 <= 0) return std::nullopt;  // ends with the session
    return microsecondsSince1601 / 1'000'000 - kSecondsFrom1601To1970;
}

std::optional<std::int64_t> FirefoxExpiry(std::int64_t stored) {
    return stored > kLargestExpiryInSeconds ? stored / 1000 : stored;
}

DatabaseCookie CookieOfRow(sqlite3_stmt* row, CookieSchema schema) {
    DatabaseCookie cookie;
    cookie.host = TextColumn(row, 0);
    cookie.name = TextColumn(row, 1);
    if (schema == CookieSchema::Chromium) {
        cookie.value = TextColumn(row, 2);
        cookie.plainValue = !cookie.value.empty() || sqlite3_column_bytes(row, 3) == 0;
        cookie.path = TextColumn(row, 4);
        cookie.expires = ChromiumExpiry(sqlite3_column_int64(row, 5));
        cookie.secure = sqlite3_column_int(row, 6) != 0;
        cookie.httpOnly = sqlite3_column_int(row, 7) != 0;
    } else {
        cookie.value = TextColumn(row, 2);
        cookie.path = TextColumn(row, 3);
        cookie.expires = FirefoxExpiry(sqlite3_column_int64(row, 4));
        cookie.secure = sqlite3_column_int(row, 5) != 0;
        cookie.httpOnly = sqlite3_column_int(row, 6) != 0;
    }
    if (!cookie.plainValue) cookie.value.clear();
    return cookie;
}

std::string SelectAll(CookieSchema schema) {
    const SchemaColumns& schemaColumns = ColumnsOf(schema);
    std::string sql = "SELECT ";
    for (const char* column : schemaColumns.columns)
        if (column) sql += std::string(sql.size() > 7 ? ", " : "") + '"' + column + '"';
    return sql + " FROM " + schemaColumns.table;
}

DatabaseRead ReadRows(const std::wstring& path, CookieSchema schema) {
    DatabaseRead read;
    Database db;
    Transaction transaction(db);
    read.outcome = Prepared(db, transaction, path, schema, "BEGIN");
    if (read.outcome != DatabaseOutcome::Done) return read;
    int code = SQLITE_OK;
    const UniqueStatement rows = db.Prepare(SelectAll(schema), code);
    if (code != SQLITE_OK) return {OutcomeOf(code), {}};
    while ((code = sqlite3_step(rows.get())) == SQLITE_ROW) read.cookies.push_back(CookieOfRow(rows.get(), schema));
    read.outcome = OutcomeOf(code);
    return read;
}

DatabaseClean DeleteRows(const std::wstring& path, CookieSchema schema, const KeepCookie& keep) {
    Database db;
    Transaction transaction(db);
    // Deleted rows are overwritten with zeros where they stood. IMMEDIATE takes the write
    // lock now: a database the browser holds fails here, untouched.
    DatabaseOutcome outcome = Prepared(db, transaction, path, schema, "PRAGMA secure_delete = ON; BEGIN IMMEDIATE");
    if (outcome != DatabaseOutcome::Done) return {outcome};

    // One statement visits every row once and asks keep for it: no second pass by rowid.
    KeepCall call{keep};
    int code = db.AddKeepFunction(call);
    if (code != SQLITE_OK) return {OutcomeOf(code)};
    const SchemaColumns& columns = ColumnsOf(schema);
    code = db.Execute((std::string("DELETE FROM ") + columns.table + " WHERE NOT qm_keep(\"" + columns.columns[0] +
                       "\", \"name\")").c_str());
    if (code != SQLITE_OK || call.failed) return {code == SQLITE_OK ? DatabaseOutcome::Damaged : OutcomeOf(code)};
    const int deleted = db.Changes();
    code = transaction.Commit();
    if (code != SQLITE_OK) return {OutcomeOf(code)};
    // The rows are gone; copies left in free pages, the WAL or older pages go with them.
    if (deleted > 0) db.Compact();
    return {DatabaseOutcome::Done, deleted};
}

}  // namespace

DatabaseRead ReadCookieDatabase(const std::wstring& path, CookieSchema schema) {
    const RefusalWatch watch;
    DatabaseRead read = ReadRows(path, schema);
    read.outcome = watch.Judge(read.outcome);
    if (read.outcome != DatabaseOutcome::Done) read.cookies.clear();
    return read;
}

DatabaseClean DeleteUnkeptCookies(const std::wstring& path, CookieSchema schema, const KeepCookie& keep) {
    const RefusalWatch watch;
    DatabaseClean clean = DeleteRows(path, schema, keep);
    clean.outcome = watch.Judge(clean.outcome);
    return clean;
}

}  // namespace qm
