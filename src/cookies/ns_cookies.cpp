#include "cookies/ns_cookies.h"

#include <algorithm>
#include <unordered_map>

#include "base/text.h"
#include "clean/folder_walk.h"
#include "clean/report_recording.h"
#include "cookies/cookie_display.h"
#include "cookies/msie_cookies.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

constexpr int kLinesPerPump = 100;

// Cookie bytes as text: plain ASCII is copied, anything else goes through the code page.
std::wstring WidenCookieText(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return WidenAnsi(text);
    return std::wstring(text.begin(), text.end());
}

std::string_view WithoutLeadingDot(std::string_view domain) {
    if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
    return domain;
}

// How a cookie's expiry is listed: its date, "Never", "Session", or nothing when it is not
// a date. Many cookies share an expiry, so each distinct value is formatted once per scan.
class ExpiryTexts {
public:
    const std::wstring& Text(std::string_view field) {
        auto found = cache_.find(std::string(field));
        if (found != cache_.end()) return found->second;
        return cache_.emplace(std::string(field), Format(field)).first->second;
    }

private:
    static std::wstring Format(std::string_view field) {
        if (IsSessionExpiry(field)) return kSessionListed;
        const std::optional<std::int64_t> value = ParseExpiry(field);
        if (!value) return {};
        if (*value == kNeverExpires) return L"Never";
        const std::optional<SYSTEMTIME> date = ExpiryDate(*value);
        return date ? FormatGeneralDate(*date) : std::wstring();
    }

    std::unordered_map<std::string, std::wstring> cache_;
};

// The fields the viewer shows: those of a cookie line, else the fields as they fall.
CookieLineFields ShownFields(std::string_view text) {
    if (auto parsed = ParseCookieLine(text)) return *parsed;
    return {SplitNs2Fields(text), false};
}

void ShowCookieCount(AppContext& ctx, int count) {
    ctx.frmMain.lblCookieCnt.SetCaption(kCookieCountCaption + FormatThousands(count));
}

// Lists every cookie line of the table in lstCookie.
void ListCookies(AppContext& ctx) {
    auto& table = ctx.cookies.cookieTxt;
    auto& list = ctx.frmMain.lstCookie;
    ExpiryTexts expiries;
    std::wstring line;
    for (size_t index = 0; index < table.lines.size(); ++index) {
        const std::string_view text = table.lines[index].text;
        if (IsCookieLine(text)) {
            const Ns2Fields fields = ShownFields(text).fields;
            line = WidenCookieText(WithoutLeadingDot(fields.domain));
            line += L'\t';
            line += WidenCookieText(fields.name);
            line += L'\t';
            line += expiries.Text(fields.expiry);
            const int added = list.AddItem(line);
            list.SetItemData(added, static_cast<std::int32_t>(index));
        }
        if ((index + 1) % kLinesPerPump == 0) ctx.pump.DoEvents();
    }
}

// The write itself: 0, or why the file stays as it is.
DWORD ReplaceCookieTxt(const CookieTxtTable& table, const WalkFolder* store) {
    FileStamp now;
    if (!CurrentStamp(table.path, now)) return ::GetLastError();
    if (!(now == table.stamp)) return ERROR_FILE_INVALID;  // changed since the scan: a browser is writing it
    if (!store) return ReplaceWholeFile(table.path, CookieTxtBytes(table));
    const std::wstring_view name = std::wstring_view(table.path).substr(table.path.find_last_of(L"\\/") + 1);
    return ReplaceWholeFile(store->Handle(), name, CookieTxtBytes(table));
}

// Reads the file again and marks deleted the lines whose text was marked before, so a
// retry after the file changed removes the same cookies and nothing the browser added.
void ReadAgainKeepingMarks(CookieTxtTable& table) {
    std::unordered_map<std::string, int> marked;
    for (const auto& line : table.lines)
        if (line.deleted) ++marked[line.text];
    const std::wstring path = table.path;
    ReadCookieTxt(path, table);
    for (auto& line : table.lines) {
        auto found = marked.find(line.text);
        if (found == marked.end() || found->second == 0) continue;
        --found->second;
        line.deleted = true;
    }
}

bool Writable(const CookieTxtTable& table) { return table.readWhole && !table.holdsNul && !table.otherNames; }

}  // namespace

void SplitCookieTxt(std::string_view bytes, CookieTxtTable& table) {
    table.lines = SplitCookieTxtLines(bytes);
    table.holdsNul = bytes.find('\0') != std::string_view::npos;
}

std::string CookieTxtBytes(const CookieTxtTable& table) { return CookieTxtBytes(table.lines); }

std::optional<SYSTEMTIME> ExpiryDate(std::int64_t value) { return ToSystemTime(ExpiryTime(value)); }

bool ParseNS2(AppContext& ctx, std::string_view line) {
    auto& form = ctx.frmMain;
    auto& record = ctx.cookies.current;
    record.name.clear();
    record.value.clear();
    record.hostPath.clear();
    const CookieLineFields shown = ShownFields(line);
    const Ns2Fields& fields = shown.fields;
    ClearDisp(ctx);
    if (shown.httpOnly) form.lblHttpOnly.SetCaption(kHttpOnlyDetail);
    const bool session = IsSessionExpiry(fields.expiry);
    const std::optional<std::int64_t> expiry = ParseExpiry(fields.expiry);
    if (!expiry && !session) {
        BadCookie(ctx);
        return false;
    }
    record.name = WidenCookieText(fields.name);
    record.value = WidenCookieText(fields.value);
    record.hostPath = WidenCookieText(fields.domain);
    form.txtName.SetText(record.name);
    form.txtValue.SetText(record.value);
    form.txtSecure.SetText(EqualsAsciiNoCase(fields.secure, "FALSE") ? L"No" : L"Yes");
    form.txtCreated.SetText(EqualsAsciiNoCase(fields.domainFlag, "TRUE") ? L"Domain" : L"Host");
    if (session) {
        form.txtExpire.SetText(kSessionExpiry);
        form.txtLife.SetText(kSessionListed);
        return true;
    }
    if (*expiry == kNeverExpires) {
        form.txtExpire.SetText(L"Never");
        form.txtLife.SetText(L"Infinite");
        return true;
    }
    const std::optional<SYSTEMTIME> date = ExpiryDate(*expiry);
    if (!date) {
        BadCookie(ctx);
        return false;
    }
    record.expires = *date;
    form.txtExpire.SetText(FormatGeneralDate(*date));
    DispLifeTime(ctx, ctx.cookies.utcNow(), *date);
    return true;
}

void NS2Scan(AppContext& ctx, const std::wstring& path) {
    auto& form = ctx.frmMain;
    auto& table = ctx.cookies.cookieTxt;
    DelEnabled(ctx, false);
    form.lstCookie.Clear();
    ctx.cookies.rangeAnchor = -1;
    ClearDisp(ctx);
    ShowCookieCount(ctx, 0);

    if (!ReadCookieTxt(path.empty() ? form.cboLoc.Text() : path, table)) return;
    ListCookies(ctx);

    if (form.lstCookie.ListCount() > 0) {
        form.lstCookie.SetListIndex(0);
        NsClick(ctx);
    } else {
        DelEnabled(ctx, false);
        ClearDisp(ctx);
    }
    ShowCookieCount(ctx, form.lstCookie.ListCount());  // cookies, not the file's lines
}

void NsClick(AppContext& ctx) {
    auto& list = ctx.frmMain.lstCookie;
    ClearDisp(ctx);
    const int selected = list.ListIndex();
    const auto& lines = ctx.cookies.cookieTxt.lines;
    if (selected >= 0) {
        const auto index = static_cast<size_t>(list.ItemData(selected));
        if (index < lines.size()) ParseNS2(ctx, lines[index].text);
    }
    UpdateDeletion(ctx);
}

bool ViewerShowsCookieTxt(const AppContext& ctx, const std::wstring& path) {
    const auto& state = ctx.cookies;
    return !state.databaseShown && state.familyTag != L"MSIE" && !state.cookieTxt.path.empty() &&
           state.cookieTxt.path == path;
}

bool ReadCookieTxt(const std::wstring& path, CookieTxtTable& table, const WalkFolder* store) {
    table = CookieTxtTable{};
    table.path = path;
    if (IsBlankPath(path)) return false;
    BoundedRead read;
    if (store) {
        const std::wstring_view name = std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1);
        const UniqueFile file = OpenRelative(store->Handle(), name, GENERIC_READ,
                                             FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY);
        if (file) read = ReadOpenFile(file.get(), kMaxCookieTxtSize);
    } else {
        read = ReadFileBounded(path, kMaxCookieTxtSize);
    }
    // A cookie database (Firefox's cookies.sqlite) is no cookies.txt: never listed as one,
    // and the table stays unread, so the write never touches it either.
    if (!read.opened || IsSqliteDatabase(read.bytes)) return false;
    table.readWhole = read.complete;
    table.otherNames = read.links > 1;
    table.stamp = read.stamp;
    SplitCookieTxt(read.bytes, table);
    return true;
}

std::wstring CookieIdentity(std::wstring_view cookieLine) {
    const size_t firstTab = cookieLine.find(L'\t');
    const std::wstring_view first = cookieLine.substr(0, firstTab);
    std::wstring_view second;
    if (firstTab != std::wstring_view::npos) {
        second = cookieLine.substr(firstTab + 1);
        second = second.substr(0, second.find(L'\t'));
    }
    std::wstring identity(first.starts_with(L'[') ? first : first.substr(0, first.find(L'[')));
    identity += L'\t';
    identity += second;
    return identity;
}

void CookieIdentityOf(std::string_view host, std::string_view name, std::wstring (*widen)(std::string_view),
                      std::wstring& identity) {
    host = WithoutLeadingDot(host);
    // Plain ASCII without TABs (nearly every cookie) is built in place; anything else goes
    // through the line, exactly as the viewer lists it.
    const auto plain = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return c != '\t' && static_cast<unsigned char>(c) < 0x80; });
    };
    if (!plain(host) || !plain(name)) {
        identity = CookieIdentity(widen(host) + L'\t' + widen(name));
        return;
    }
    if (!host.starts_with('[')) host = host.substr(0, host.find('['));
    identity.assign(host.begin(), host.end());
    identity += L'\t';
    identity.append(name.begin(), name.end());
}

int MarkCookieLines(CookieTxtTable& table, const ChooseCookieLine& choose) {
    int marked = 0;
    std::wstring identity;
    for (size_t index = 0; index < table.lines.size(); ++index) {
        CookieTxtLine& line = table.lines[index];
        if (line.deleted) continue;
        const std::optional<CookieLineFields> parsed = ParseCookieLine(line.text);
        if (!parsed) continue;
        CookieIdentityOf(parsed->fields.domain, parsed->fields.name, WidenCookieText, identity);
        if (!choose(index, identity)) continue;
        line.deleted = true;
        ++marked;
    }
    return marked;
}

int MarkUnkeptLines(CookieTxtTable& table, const std::unordered_set<std::wstring>& keptIdentities) {
    return MarkCookieLines(table, [&](size_t, const std::wstring& identity) { return !keptIdentities.count(identity); });
}

CookieWrite WriteCookieTxt(AppContext& ctx, CookieTxtTable& table, const WalkFolder* store) {
    for (;;) {
        if (!Writable(table)) return CookieWrite::Refused;
        if (IsPreview(ctx)) return CookieWrite::Written;  // decided as a clean decides; nothing written
        if (ReplaceCookieTxt(table, store) == 0) return CookieWrite::Written;
        const int answer = ctx.dialogs.ShowMessage(
            {kCookieWriteFailedText, kCookieWriteFailedTitle, MB_RETRYCANCEL | MB_ICONWARNING});
        if (answer != IDRETRY) return CookieWrite::Cancelled;
        FileStamp now;
        if (CurrentStamp(table.path, now) && !(now == table.stamp)) ReadAgainKeepingMarks(table);
    }
}

CookieWrite NS2Write(AppContext& ctx) {
    const CookieWrite written = WriteCookieTxt(ctx, ctx.cookies.cookieTxt);
    if (written == CookieWrite::Cancelled) NS2Scan(ctx, std::wstring(ctx.cookies.cookieTxt.path));
    return written;
}

}  // namespace qm
