#pragma once
// Cookie databases of today's browsers (the Chromium family's "Cookies", Firefox's
// "cookies.sqlite"), read and changed only through SQLite, so its journal and write-ahead
// log stay consistent. A database the browser holds (it is running) is never changed; one
// that is not a cookie database of the expected schema, holds anything the browser never
// creates (a trigger, a view, another table), or fails SQLite's quick check, is left
// untouched. Reads and previews open the database read-only: they never write, checkpoint or
// delete a side file. SQLite runs in its defensive mode and trusts nothing in the schema. Values are never decrypted: where the store keeps a value encrypted, it
// is reported as such and never shown.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm {

enum class CookieSchema {
    Chromium,  // table "cookies": host_key, name, value, encrypted_value, path, expires_utc, ...
    Firefox,   // table "moz_cookies": host, name, value, path, expiry, isSecure, isHttpOnly, ...
};

struct DatabaseCookie {
    std::string host;  // as stored, with its leading "." for a domain cookie
    std::string name;
    std::string path;
    std::string value;        // only when plainValue
    bool plainValue = true;   // false: the store keeps the value encrypted
    bool secure = false;
    bool httpOnly = false;
    // Seconds since 1970 (UTC); nothing for a cookie that ends with the session.
    std::optional<std::int64_t> expires;
};

enum class DatabaseOutcome {
    Done,
    Missing,        // no such file
    NotADatabase,   // no SQLite header: never handed to SQLite
    Locked,         // another program (the browser) holds it
    WrongSchema,    // an SQLite database, but not this browser's cookie table
    ForeignSchema,  // the cookie table beside objects the browser never creates (a trigger, a view, another table)
    NotItsOwnFile,  // the database or its "-journal" or "-wal" is a folder, a link or a file with other names
    Damaged,        // fails the quick check, or a read failed
    WriteFailed,    // the delete or its commit failed: rolled back
};

struct DatabaseRead {
    DatabaseOutcome outcome = DatabaseOutcome::Missing;
    std::vector<DatabaseCookie> cookies;
};
// Every cookie of the database, read-only, in row order.
DatabaseRead ReadCookieDatabase(const std::wstring& path, CookieSchema schema);

struct DatabaseClean {
    DatabaseOutcome outcome = DatabaseOutcome::Missing;
    int deleted = 0;  // rows removed (0 unless Done)
    // false: rows were removed, but the compaction after them (VACUUM, and in WAL mode the
    // checkpoint) failed; the deleted rows' bytes are overwritten all the same.
    bool compacted = true;
};
// Deletes, inside one transaction, every row for which keep(host, name) is false; any
// failure rolls the transaction back. keep sees the host and name as stored. A dry run (a
// preview) opens the database read-only, asks keep for the same rows and writes nothing.
using KeepCookie = std::function<bool(std::string_view host, std::string_view name)>;
enum class DatabaseWrite { Commit, DryRun };
DatabaseClean DeleteUnkeptCookies(const std::wstring& path, CookieSchema schema, const KeepCookie& keep,
                                  DatabaseWrite write = DatabaseWrite::Commit);

// How long a database's lock is waited for before it counts as held.
inline constexpr int kDatabaseBusyMilliseconds = 250;

// Tests: stands in for the compaction after a delete (returns an SQLite result code), as a
// full disk would fail it; nullptr restores the real one.
using CompactionStandIn = int (*)();
void SetCompactionStandIn(CompactionStandIn standIn);

}  // namespace qm
