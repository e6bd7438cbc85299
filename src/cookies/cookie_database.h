#pragma once
// Cookie databases of today's browsers (the Chromium family's "Cookies", Firefox's
// "cookies.sqlite"), read and changed only through SQLite, so its journal and write-ahead
// log stay consistent. A database the browser holds (it is running) is never changed; one
// that is not a cookie database of the expected schema, or fails SQLite's quick check, is
// left untouched. Values are never decrypted: where the store keeps a value encrypted, it
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
    Missing,        // the file cannot be opened
    NotADatabase,   // no SQLite header: never handed to SQLite
    Locked,         // another program (the browser) holds it
    WrongSchema,    // an SQLite database, but not this browser's cookie table
    Damaged,        // fails the quick check, or a read or write failed: rolled back
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
};
// Deletes, inside one transaction, every row for which keep(host, name) is false; any
// failure rolls the transaction back. keep sees the host and name as stored. A dry run (a
// preview) takes the same lock and asks keep for the same rows, then writes nothing.
using KeepCookie = std::function<bool(std::string_view host, std::string_view name)>;
enum class DatabaseWrite { Commit, DryRun };
DatabaseClean DeleteUnkeptCookies(const std::wstring& path, CookieSchema schema, const KeepCookie& keep,
                                  DatabaseWrite write = DatabaseWrite::Commit);

// How long a database's lock is waited for before it counts as held.
inline constexpr int kDatabaseBusyMilliseconds = 250;

}  // namespace qm
