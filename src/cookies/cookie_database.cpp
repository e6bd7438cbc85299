#include "cookies/cookie_database.h"

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
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

// Tables SQLite itself may add to a browser's database (AUTOINCREMENT, ANALYZE).
constexpr std::string_view kSqliteTables[] = {"sqlite_sequence", "sqlite_stat1", "sqlite_stat4"};

CompactionStandIn compactionStandIn = nullptr;

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

DatabaseOutcome OpenFailure(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return DatabaseOutcome::Missing;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return DatabaseOutcome::Locked;
    return DatabaseOutcome::Damaged;
}

Header ReadHeader(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {OpenFailure(::GetLastError())};
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return {DatabaseOutcome::NotItsOwnFile};  // a link or a folder is never a store
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return {OpenFailure(::GetLastError())};
    char header[20] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), header, sizeof header, &read, nullptr))
        return {::GetLastError() == ERROR_LOCK_VIOLATION ? DatabaseOutcome::Locked : DatabaseOutcome::Damaged};
    if (!IsSqliteDatabase(std::string_view(header, read))) return {DatabaseOutcome::NotADatabase};
    // Bytes 18 and 19, the file format's write and read versions, are 2 in WAL mode; SQLite
    // opens the WAL when either is (a header a browser left half changed included).
    return {DatabaseOutcome::Done, read == sizeof header && (header[18] == 2 || header[19] == 2)};
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

std::string TextColumn(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

enum class Access { Read, Write };

class Database {
public:
    // Opens an existing file (never creating one) through the VFS that checks its side files.
    // Neither access checkpoints on closing: a read leaves the file and a WAL a browser left
    // behind as they are, and so does a clean that changes nothing (see Compact).
    DatabaseOutcome Open(const std::wstring& path, Access access) {
        const Header header = ReadHeader(path);
        if (header.outcome != DatabaseOutcome::Done) return header.outcome;
        wal_ = header.wal;
        sqlite3* raw = nullptr;
        const int flags = access == Access::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
        const int code = sqlite3_open_v2(NarrowUtf8(path).c_str(), &raw, flags, CheckedVfsName());
        db_.reset(raw);
        if (code != SQLITE_OK) return OutcomeOf(code);
        // The file comes from outside: nothing in its schema is trusted, and SQL cannot
        // corrupt it on purpose.
        for (const auto& [option, value] : {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                            std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                            std::pair{SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1}})
            if (sqlite3_db_config(db_.get(), option, value, nullptr) != SQLITE_OK) return DatabaseOutcome::Damaged;
        sqlite3_busy_timeout(db_.get(), kDatabaseBusyMilliseconds);
        // In WAL mode the exclusive locking mode keeps the WAL index in memory: no "-shm" file
        // is opened (the VFS offers none). The check reads every page; a cache that holds them
        // spares the delete reading them again and spilling pages before the commit.
        if (wal_ && Execute("PRAGMA locking_mode = EXCLUSIVE") != SQLITE_OK) return DatabaseOutcome::Damaged;
        return OutcomeOf(Execute("PRAGMA cache_size = -65536"));
    }

    // Leaves no readable copy of deleted rows: VACUUM rewrites the file without free pages,
    // and in WAL mode the checkpoint copies it back and empties the WAL. Closing then
    // checkpoints too, and removes the WAL, as the browser's own closing does.
    int Compact() {
        sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        if (compactionStandIn) return compactionStandIn();
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

    // The table has every column the schema reads, and the database holds nothing its
    // browser does not create.
    DatabaseOutcome CheckSchema(CookieSchema schema) {
        const DatabaseOutcome columns = CheckColumns(schema);
        return columns == DatabaseOutcome::Done ? CheckObjects(schema) : columns;
    }

    DatabaseOutcome CheckColumns(CookieSchema schema) {
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

    // Every object is one the browser (or SQLite for it) creates: the cookie table as a plain
    // table, Chromium's "meta" table, indexes of those two, and SQLite's own tables. A
    // trigger, a view or any other table could keep or bring back what a delete removes.
    // (Indexes are not named: browsers have renamed theirs over the years, and an index
    // loses its entries with its rows.)
    DatabaseOutcome CheckObjects(CookieSchema schema) {
        const std::string_view cookieTable = ColumnsOf(schema).table;
        const auto ownTable = [&](std::string_view name) {
            return name == cookieTable || (schema == CookieSchema::Chromium && name == "meta");
        };
        int code = SQLITE_OK;
        const UniqueStatement objects = Prepare("SELECT type, name, tbl_name, sql FROM sqlite_schema", code);
        if (code != SQLITE_OK) return OutcomeOf(code);
        while ((code = sqlite3_step(objects.get())) == SQLITE_ROW) {
            const std::string type = TextColumn(objects.get(), 0), name = TextColumn(objects.get(), 1);
            const bool known =
                type == "index" ? ownTable(TextColumn(objects.get(), 2))
                : type != "table" ? false
                : name == cookieTable
                    ? TextColumn(objects.get(), 3).starts_with("CREATE TABLE ")  // not a virtual table
                    : ownTable(name) || std::find(std::begin(kSqliteTables), std::end(kSqliteTables), name) !=
                                            std::end(kSqliteTables);
            if (!known) return DatabaseOutcome::ForeignSchema;
        }
        return OutcomeOf(code);
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

// A database whose own file or side file the VFS refused is not its own file.
class RefusalWatch {
public:
    DatabaseOutcome Judge(DatabaseOutcome outcome) const {
        return outcome != DatabaseOutcome::Done && RefusedSideFiles() != start_ ? DatabaseOutcome::NotItsOwnFile
                                                                                 : outcome;
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
                         Access access, const char* begin) {
    DatabaseOutcome outcome = db.Open(path, access);
    if (outcome != DatabaseOutcome::Done) return outcome;
    outcome = OutcomeOf(transaction.Begin(begin));
    if (outcome != DatabaseOutcome::Done) return outcome;
    outcome = db.CheckSchema(schema);
    if (outcome != DatabaseOutcome::Done) return outcome;
    return db.QuickCheck();
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
    read.outcome = Prepared(db, transaction, path, schema, Access::Read, "BEGIN");
    if (read.outcome != DatabaseOutcome::Done) return read;
    int code = SQLITE_OK;
    const UniqueStatement rows = db.Prepare(SelectAll(schema), code);
    if (code != SQLITE_OK) return {OutcomeOf(code), {}};
    while ((code = sqlite3_step(rows.get())) == SQLITE_ROW) read.cookies.push_back(CookieOfRow(rows.get(), schema));
    read.outcome = OutcomeOf(code);
    return read;
}

// A write that failed: the browser took the lock meanwhile, or the write itself failed.
DatabaseOutcome WriteOutcome(int code) {
    const DatabaseOutcome outcome = OutcomeOf(code);
    return outcome == DatabaseOutcome::Locked ? outcome : DatabaseOutcome::WriteFailed;
}

DatabaseClean DeleteRows(const std::wstring& path, CookieSchema schema, const KeepCookie& keep, DatabaseWrite write) {
    Database db;
    Transaction transaction(db);
    // Deleted rows are overwritten with zeros where they stood. IMMEDIATE takes the write
    // lock now: a database the browser holds fails here, untouched. A dry run only reads.
    const bool commit = write == DatabaseWrite::Commit;
    DatabaseOutcome outcome = Prepared(db, transaction, path, schema, commit ? Access::Write : Access::Read,
                                       commit ? "PRAGMA secure_delete = ON; BEGIN IMMEDIATE" : "BEGIN");
    if (outcome != DatabaseOutcome::Done) return {outcome};

    // One statement visits every row once and asks keep for it: no second pass by rowid.
    KeepCall call{keep};
    int code = db.AddKeepFunction(call);
    if (code != SQLITE_OK) return {OutcomeOf(code)};
    const SchemaColumns& columns = ColumnsOf(schema);
    const char* verb = commit ? "DELETE FROM " : "SELECT count(*) FROM ";
    code = db.Execute((std::string(verb) + columns.table + " WHERE NOT qm_keep(\"" + columns.columns[0] +
                       "\", \"name\")").c_str());
    if (call.failed) return {DatabaseOutcome::Damaged};
    if (code != SQLITE_OK) return {commit ? WriteOutcome(code) : OutcomeOf(code)};
    if (!commit) return {DatabaseOutcome::Done};  // rolled back: nothing was written
    const int deleted = db.Changes();
    code = transaction.Commit();
    if (code != SQLITE_OK) return {WriteOutcome(code)};
    // The rows are gone; copies left in free pages, the WAL or older pages go with them.
    const bool compacted = deleted == 0 || db.Compact() == SQLITE_OK;
    return {DatabaseOutcome::Done, deleted, compacted};
}

}  // namespace

void SetCompactionStandIn(CompactionStandIn standIn) { compactionStandIn = standIn; }

DatabaseRead ReadCookieDatabase(const std::wstring& path, CookieSchema schema) {
    const RefusalWatch watch;
    DatabaseRead read = ReadRows(path, schema);
    read.outcome = watch.Judge(read.outcome);
    if (read.outcome != DatabaseOutcome::Done) read.cookies.clear();
    return read;
}

DatabaseClean DeleteUnkeptCookies(const std::wstring& path, CookieSchema schema, const KeepCookie& keep,
                                  DatabaseWrite write) {
    const RefusalWatch watch;
    DatabaseClean clean = DeleteRows(path, schema, keep, write);
    clean.outcome = watch.Judge(clean.outcome);
    return clean;
}

}  // namespace qm
