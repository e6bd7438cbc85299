#include "cookies/database_cookies.h"

#include <windows.h>

#include <algorithm>

#include "base/handles.h"
#include "base/text.h"
#include "cookies/cookie_display.h"
#include "cookies/current_browsers.h"
#include "cookies/discovery.h"
#include "cookies/msie_cookies.h"
#include "cookies/ns_cookies.h"
#include "startup/app_context.h"

namespace qm {

namespace {

constexpr wchar_t kDatabaseLockedCaption[] = L"The Browser Is Running: Its Cookies Cannot Be Read";

std::string_view WithoutLeadingDot(std::string_view host) {
    if (!host.empty() && host.front() == '.') host.remove_prefix(1);
    return host;
}

std::optional<SYSTEMTIME> ExpiryOf(const DatabaseCookie& cookie) {
    if (!cookie.expires) return std::nullopt;
    return ExpiryDate(*cookie.expires);
}

std::wstring ExpiryText(const DatabaseCookie& cookie) {
    if (!cookie.expires) return kSessionExpiry;
    const auto date = ExpiryOf(cookie);
    return date ? FormatGeneralDate(*date) : std::wstring();
}

}  // namespace

std::optional<CookieSchema> DatabaseSchemaOf(std::int32_t kind) {
    if ((kind & kFamilyMask) == kFamilyChromium) return CookieSchema::Chromium;
    if (kind == kKindFireFoxCookieDb) return CookieSchema::Firefox;
    return std::nullopt;
}

std::wstring DatabaseCookieLine(const DatabaseCookie& cookie) {
    return WidenUtf8(WithoutLeadingDot(cookie.host)) + L'\t' + WidenUtf8(cookie.name) + L'\t' + ExpiryText(cookie);
}

void DatabaseCookieIdentity(std::string_view host, std::string_view name, std::wstring& identity) {
    CookieIdentityOf(host, name, WidenUtf8, identity);
}

void DatabaseScan(AppContext& ctx, const std::wstring& path, CookieSchema schema) {
    auto& form = ctx.frmMain;
    auto& state = ctx.cookies;
    DelEnabled(ctx, false);
    form.lstCookie.Clear();
    state.rangeAnchor = -1;
    ClearDisp(ctx);
    state.cookieTxt = CookieTxtTable{};
    state.databaseShown = true;

    DatabaseRead read = ReadCookieDatabase(path, schema);
    state.databaseCookies = std::move(read.cookies);
    for (size_t index = 0; index < state.databaseCookies.size(); ++index) {
        const int added = form.lstCookie.AddItem(DatabaseCookieLine(state.databaseCookies[index]));
        form.lstCookie.SetItemData(added, static_cast<std::int32_t>(index));
    }
    form.lblCookieCnt.SetCaption(read.outcome == DatabaseOutcome::Locked
                                     ? std::wstring(kDatabaseLockedCaption)
                                     : kCookieCountCaption + FormatThousands(form.lstCookie.ListCount()));
    if (form.lstCookie.ListCount() > 0) {
        form.lstCookie.SetListIndex(0);
        DatabaseClick(ctx);
    }
}

void DatabaseClick(AppContext& ctx) {
    auto& form = ctx.frmMain;
    auto& state = ctx.cookies;
    ClearDisp(ctx);
    const int selected = form.lstCookie.ListIndex();
    UpdateDeletion(ctx);
    if (selected < 0) return;
    const auto index = static_cast<size_t>(form.lstCookie.ItemData(selected));
    if (index >= state.databaseCookies.size()) return;
    const DatabaseCookie& cookie = state.databaseCookies[index];

    auto& record = state.current;
    record.name = WidenUtf8(cookie.name);
    record.value = cookie.plainValue ? WidenUtf8(cookie.value) : std::wstring(kEncryptedValue);
    record.hostPath = WidenUtf8(cookie.host) + WidenUtf8(cookie.path);
    form.txtName.SetText(record.name);
    form.txtValue.SetText(record.value);
    form.txtSecure.SetText(cookie.secure ? L"Yes" : L"No");
    form.txtCreated.SetText(cookie.host.starts_with('.') ? L"Domain" : L"Host");
    if (cookie.httpOnly) form.lblHttpOnly.SetCaption(kHttpOnlyDetail);
    const auto expiry = ExpiryOf(cookie);
    if (!cookie.expires || !expiry) {
        form.txtExpire.SetText(ExpiryText(cookie));
        form.txtLife.SetText(cookie.expires ? L"" : kSessionListed);
        return;
    }
    record.expires = *expiry;
    form.txtExpire.SetText(FormatGeneralDate(*expiry));
    DispLifeTime(ctx, state.utcNow(), *expiry);
}

bool ProfileInUse(const std::wstring& database, std::int32_t kind) {
    if (kind != kKindFireFoxCookieDb) return false;
    const size_t slash = database.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    const std::wstring lock = database.substr(0, slash + 1) + L"parent.lock";
    UniqueFile file(::CreateFileW(lock.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return !file && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

std::wstring BrowserRunningText(std::int32_t kind) {
    std::wstring browser = ChromiumBrowserName(kind);
    if (browser.empty()) browser = L"Firefox";
    return browser + L" Is Running, So Its Cookies Were Not Deleted." + kCrLf + kCrLf + L"Close " + browser +
           L" And Clean The Cookies Again.";
}

}  // namespace qm
