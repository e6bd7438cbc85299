#pragma once
// A fabricated profile of today's browsers below a temporary folder: Chrome ("Default" and
// "Profile 1" named by "Local State"), Edge (no "Local State": found by folder names, its
// cookies in the older "Cookies" place), Brave (a damaged "Local State"), Opera (its profile
// in Roaming, its cache in Local), Firefox (profiles.ini naming a "*.default-release"
// profile, its cache2 in Local, its session files) and Internet Explorer's INetCache. Every
// profile also holds files that no clean may touch (bookmarks, history, passwords, preferences).
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cookies/discovery.h"

namespace qm::test {

class CurrentProfile {
public:
    // Builds the profile below root; cookie databases are placeholder files until
    // WithDatabase* replaces them.
    explicit CurrentProfile(const std::wstring& root);

    SpecialFolderLookup Lookup() const;

    // Expected discoveries, in discovery order.
    struct Location {
        std::wstring path;
        std::int32_t kind;
        friend bool operator==(const Location&, const Location&) = default;
        friend void PrintTo(const Location& location, std::ostream* out);
    };
    std::vector<Location> CookieDatabases() const;
    // The cache list's entries of these browsers: cache folders, and the Firefox profile
    // (kKindFireFoxDefault), which only loses its session files.
    std::vector<Location> CacheFolders() const;
    // The Firefox profile's session files; (re)written by WriteSessionFiles.
    std::vector<std::wstring> SessionFiles() const;
    void WriteSessionFiles() const;
    // Every file the cleans must leave as it is, with its bytes.
    std::vector<std::pair<std::wstring, std::string>> OtherFiles() const;

    std::wstring local, roaming;  // the two application data folders, with "\"
    std::wstring chromeDefault, chromeProfile1, edgeDefault, braveDefault, braveProfile3, operaProfile,
        firefoxProfile;  // profile folders, with "\"
};

}  // namespace qm::test

namespace qm::test {

// One cookie row for a fabricated database.
struct CookieRow {
    std::string host, name, value;
    std::string encrypted;         // Chromium's encrypted_value (bytes); ignored for Firefox
    std::int64_t expires = 0;      // Chromium: microseconds since 1601; Firefox: seconds since 1970
};
// Creates (replacing) a database in each browser's schema with these rows.
void WriteChromiumCookies(const std::wstring& path, const std::vector<CookieRow>& rows);
void WriteFirefoxCookies(const std::wstring& path, const std::vector<CookieRow>& rows);
// "host\tname" of every row left, in row order (read with SQLite, independent of the code).
std::vector<std::string> CookiesLeft(const std::wstring& path, const char* table, const char* hostColumn);
// Runs SQL on a database (for arranging other schemas and damage); false on failure.
bool ExecuteSql(const std::wstring& path, const std::string& sql);
// Runs SQL on a WAL database and closes it as a crashed browser leaves it: the change only
// in its "-wal" (with its "-shm"), never checkpointed.
bool ExecuteSqlLeavingWal(const std::wstring& path, const std::string& sql);

// Another process holding a database with BEGIN EXCLUSIVE (quillmere_db_holder.exe) until
// this object ends.
class DatabaseHolder {
public:
    explicit DatabaseHolder(const std::wstring& path);
    ~DatabaseHolder();
    DatabaseHolder(const DatabaseHolder&) = delete;
    DatabaseHolder& operator=(const DatabaseHolder&) = delete;
    bool Holding() const { return holding_; }

private:
    std::wstring release_;
    void* process_ = nullptr;
    bool holding_ = false;
};

}  // namespace qm::test
