#pragma once
// Cookie databases in the viewer and the cookie clean: each stored cookie is listed like a
// cookies.txt line (host without its leading ".", TAB, name, TAB, expiry in the user's date
// format), so the kept lists and their identity rule serve databases unchanged.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cookies/cookie_database.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kEncryptedValue[] = L"(encrypted)";

// The schema of a cookie location's kind; nothing for a location that is no database.
std::optional<CookieSchema> DatabaseSchemaOf(std::int32_t kind);

// The line lstCookie shows for a stored cookie.
std::wstring DatabaseCookieLine(const DatabaseCookie& cookie);
// The kept identity of a stored cookie: the identity of its line (CookieIdentity), built into
// identity (the clean asks this for every row and reuses one buffer).
void DatabaseCookieIdentity(std::string_view host, std::string_view name, std::wstring& identity);

// Reads the database into lstCookie (item data = the cookie's index) and shows the first.
// A database the browser holds lists nothing and says so in the count label.
void DatabaseScan(AppContext& ctx, const std::wstring& path, CookieSchema schema);
// Shows the selected cookie's fields; a value kept encrypted shows as "(encrypted)".
void DatabaseClick(AppContext& ctx);

// True when the browser that owns the database is running and says so by holding a lock
// file of its profile: Firefox keeps "parent.lock" open without sharing while it runs, even
// between its writes to the database. (The Chromium family holds the database itself.)
bool ProfileInUse(const std::wstring& database, std::int32_t kind);

// What the user is told when a browser holds its cookie database during a cookie clean.
std::wstring BrowserRunningText(std::int32_t kind);

}  // namespace qm
