#include "cookies/ns_cookies.h"

#include <unordered_map>

#include "base/text.h"
#include "cookies/cookie_display.h"
#include "cookies/msie_cookies.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

constexpr int kLinesPerPump = 100;
constexpr std::int64_t kLargestPackedValue = 2147483647;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kDaysFrom1601To1970 = 134774;
constexpr int kFirstYear = 1601;  // the range the system's time functions take
constexpr int kLastYear = 30827;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool EndsField(char c) { return static_cast<unsigned char>(c) < 32; }

// Days since 1970-01-01 of a civil date (proleptic Gregorian), any month or day count.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    // Months out of 1..12 carry into the year first; days carry by plain addition.
    std::int64_t months = year * 12 + (month - 1);
    year = months >= 0 ? months / 12 : -((-months + 11) / 12);
    month = months - year * 12 + 1;
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + (day - 1);
}

// Seconds since 1970 as a SYSTEMTIME; nothing outside the years the system can show.
std::optional<SYSTEMTIME> FromUnixSeconds(std::int64_t seconds) {
    constexpr std::int64_t kLimit = 400ll * 365 * kSecondsPerDay * 100;  // far beyond year 30827 either way
    if (seconds > kLimit || seconds < -kLimit) return std::nullopt;
    std::int64_t days = seconds / kSecondsPerDay;
    if (seconds % kSecondsPerDay < 0) --days;
    const std::int64_t ticks = (days + kDaysFrom1601To1970) * kSecondsPerDay + (seconds - days * kSecondsPerDay);
    if (ticks < 0) return std::nullopt;
    const std::uint64_t units = static_cast<std::uint64_t>(ticks) * 10'000'000ull;
    const FILETIME time{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
    SYSTEMTIME moment{};
    if (!::FileTimeToSystemTime(&time, &moment) || moment.wYear < kFirstYear || moment.wYear > kLastYear)
        return std::nullopt;
    return moment;
}

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

bool EqualsAsciiNoCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

bool StartsWithAsciiNoCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && EqualsAsciiNoCase(text.substr(0, head.size()), head);
}

// The header sets bits 8-15 and keeps the low byte; a file without one keeps the last.
void TakeHeader(std::int32_t& headerKind, std::string_view firstLine) {
    if (StartsWithAsciiNoCase(firstLine, "# NETSCAPE HTTP COOKIE")) headerKind = (headerKind & 0xFF) | kHeaderNetscape;
    else if (StartsWithAsciiNoCase(firstLine, "# HTTP COOKIE")) headerKind = (headerKind & 0xFF) | kHeaderHttp;
}

bool HasHttpHeader(std::int32_t headerKind) { return (headerKind & 0xFF00) == kHeaderHttp; }

// How a cookie's expiry is listed: its date, "Never", or nothing when it is not a date.
// Many cookies share an expiry, so each distinct value is formatted once per scan.
class ExpiryTexts {
public:
    ExpiryTexts(std::int32_t headerKind, SYSTEMTIME now) : headerKind_(headerKind), now_(now) {}
    const std::wstring& Text(std::string_view field) {
        auto found = cache_.find(std::string(field));
        if (found != cache_.end()) return found->second;
        return cache_.emplace(std::string(field), Format(field)).first->second;
    }

private:
    std::wstring Format(std::string_view field) const {
        const std::optional<std::int64_t> value = ParseExpiry(field);
        if (!value) return {};
        if (*value == kNeverExpires) return L"Never";
        if (*value == 0 && HasHttpHeader(headerKind_)) return FormatGeneralDate(now_);
        const std::optional<SYSTEMTIME> date = ExpiryDate(headerKind_, *value);
        return date ? FormatGeneralDate(*date) : std::wstring();
    }

    std::int32_t headerKind_;
    SYSTEMTIME now_;
    std::unordered_map<std::string, std::wstring> cache_;
};

void ShowCookieCount(AppContext& ctx, int count) {
    ctx.frmMain.lblCookieCnt.SetCaption(kCookieCountCaption + FormatThousands(count));
}

// Lists every cookie line of the table in lstCookie.
void ListCookies(AppContext& ctx) {
    auto& table = ctx.cookies.cookieTxt;
    auto& list = ctx.frmMain.lstCookie;
    ExpiryTexts expiries(ctx.cookies.headerKind, ctx.cookies.utcNow());
    std::wstring line;
    for (size_t index = 0; index < table.lines.size(); ++index) {
        const std::string_view text = table.lines[index].text;
        if (IsCookieLine(text)) {
            const Ns2Fields fields = SplitNs2Fields(text);
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
DWORD WriteCookieTxt(const CookieTxtTable& table) {
    FileStamp now;
    if (!CurrentStamp(table.path, now)) return ::GetLastError();
    if (!(now == table.stamp)) return ERROR_FILE_INVALID;  // changed since the scan: a browser is writing it
    return ReplaceWholeFile(table.path, CookieTxtBytes(table));
}

// Scans the file again and marks deleted the lines whose text was marked before, so a
// retry after the file changed removes the same cookies and nothing the browser added.
void ScanAgainKeepingMarks(AppContext& ctx, const std::wstring& path) {
    std::unordered_map<std::string, int> marked;
    for (const auto& line : ctx.cookies.cookieTxt.lines)
        if (line.deleted) ++marked[line.text];
    NS2Scan(ctx, path);
    for (auto& line : ctx.cookies.cookieTxt.lines) {
        auto found = marked.find(line.text);
        if (found == marked.end() || found->second == 0) continue;
        --found->second;
        line.deleted = true;
    }
}

}  // namespace

void SplitCookieTxt(std::string_view bytes, CookieTxtTable& table) {
    table.lines.clear();
    table.holdsNul = bytes.find('\0') != std::string_view::npos;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t textEnd = at;
        while (textEnd < bytes.size() && !IsLineBreak(bytes[textEnd])) ++textEnd;
        size_t endingEnd = textEnd;
        while (endingEnd < bytes.size() && IsLineBreak(bytes[endingEnd])) ++endingEnd;
        CookieTxtLine line;
        line.text.assign(bytes.substr(at, textEnd - at));
        line.ending.assign(bytes.substr(textEnd, endingEnd - textEnd));
        line.number = static_cast<std::int32_t>(table.lines.size()) + 1;
        table.lines.push_back(std::move(line));
        at = endingEnd;
    }
}

std::string CookieTxtBytes(const CookieTxtTable& table) {
    std::string bytes;
    size_t size = 0;
    for (const auto& line : table.lines) size += line.text.size() + line.ending.size();
    bytes.reserve(size);
    for (const auto& line : table.lines) {
        if (!line.deleted) {
            bytes += line.text;
            bytes += line.ending;
            continue;
        }
        const size_t ownBreak = line.ending.compare(0, 2, "\r\n") == 0 ? 2 : (line.ending.empty() ? 0 : 1);
        bytes.append(line.ending, ownBreak);
    }
    return bytes;
}

bool IsCookieLine(std::string_view text) { return text > std::string_view(" ") && text.front() != '#'; }

Ns2Fields SplitNs2Fields(std::string_view line) {
    Ns2Fields fields;
    std::string_view* const parts[] = {&fields.domain, &fields.domainFlag, &fields.path, &fields.secure,
                                       &fields.expiry, &fields.name,       &fields.value};
    size_t at = 0;
    for (std::string_view* part : parts) {
        if (at > line.size()) break;
        size_t end = at;
        while (end < line.size() && !EndsField(line[end])) ++end;
        *part = line.substr(at, end - at);
        at = end + 1;
    }
    return fields;
}

std::optional<std::int64_t> ParseExpiry(std::string_view field) {
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    bool negative = false;
    if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
        negative = field.front() == '-';
        field.remove_prefix(1);
    }
    if (field.empty() || field.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::optional<SYSTEMTIME> NS2Date(std::uint16_t timeWord, std::uint16_t dateWord) {
    const std::int64_t day = dateWord & 0x1F;
    const std::int64_t month = (dateWord >> 5) & 0x0F;
    const std::int64_t year = ((dateWord >> 9) & 0x7F) + 1980;
    const std::int64_t seconds = (timeWord & 0x1F) * 2;
    const std::int64_t minutes = (timeWord >> 5) & 0x3F;
    const std::int64_t hours = (timeWord >> 11) & 0x1F;
    return FromUnixSeconds(DaysFromCivil(year, month, day) * kSecondsPerDay + hours * 3600 + minutes * 60 + seconds);
}

std::optional<SYSTEMTIME> ExpiryDate(std::int32_t headerKind, std::int64_t value) {
    if (!HasHttpHeader(headerKind) && value >= 0 && value <= kLargestPackedValue)
        return NS2Date(static_cast<std::uint16_t>(value & 0xFFFF), static_cast<std::uint16_t>(value >> 16));
    if (value == 0) return std::nullopt;
    return FromUnixSeconds(value);
}

std::optional<SYSTEMTIME> ParseNsDate(AppContext& ctx, std::string_view value) {
    const std::optional<std::int64_t> number = ParseExpiry(value);
    if (!number) return std::nullopt;
    if (*number == 0 && HasHttpHeader(ctx.cookies.headerKind)) {
        const SYSTEMTIME now = ctx.cookies.utcNow();
        ctx.frmMain.txtExpire.SetText(FormatGeneralDate(now));
        ctx.frmMain.txtLife.SetText(L"0 secs");
        return now;
    }
    return ExpiryDate(ctx.cookies.headerKind, *number);
}

bool ParseNS2(AppContext& ctx, std::string_view line) {
    auto& form = ctx.frmMain;
    auto& record = ctx.cookies.current;
    record.name.clear();
    record.value.clear();
    record.hostPath.clear();
    const Ns2Fields fields = SplitNs2Fields(line);
    ClearDisp(ctx);
    const std::optional<std::int64_t> expiry = ParseExpiry(fields.expiry);
    if (!expiry) {
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
    if (*expiry == kNeverExpires) {
        form.txtExpire.SetText(L"Never");
        form.txtLife.SetText(L"Infinite");
        return true;
    }
    const bool endsNow = *expiry == 0 && HasHttpHeader(ctx.cookies.headerKind);
    const std::optional<SYSTEMTIME> date = ParseNsDate(ctx, fields.expiry);
    if (!date) {
        BadCookie(ctx);
        return false;
    }
    record.expires = *date;
    if (endsNow) return true;  // ParseNsDate has shown it
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

    table = CookieTxtTable{};
    table.path = path.empty() ? form.cboLoc.Text() : path;
    if (IsBlankPath(table.path)) return;
    BoundedRead read = ReadFileBounded(table.path, kMaxCookieTxtSize);
    // A cookie database (Firefox's cookies.sqlite) is no cookies.txt: never listed as one,
    // and the table stays unread, so the write never touches it either.
    if (!read.opened || IsSqliteDatabase(read.bytes)) return;
    table.readWhole = read.complete;
    table.stamp = read.stamp;
    SplitCookieTxt(read.bytes, table);
    if (!table.lines.empty()) TakeHeader(ctx.cookies.headerKind, table.lines.front().text);
    ListCookies(ctx);

    if (form.lstCookie.ListCount() > 0) {
        form.lstCookie.SetListIndex(0);
        NsClick(ctx);
    } else {
        DelEnabled(ctx, false);
        ClearDisp(ctx);
    }
    ShowCookieCount(ctx, static_cast<int>(table.lines.size()));
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
    DelEnabled(ctx, list.SelCount() > 0);
}

std::wstring CookieIdentity(std::wstring_view cookieLine) {
    const size_t firstTab = cookieLine.find(L'\t');
    const std::wstring_view first = cookieLine.substr(0, firstTab);
    std::wstring_view second;
    if (firstTab != std::wstring_view::npos) {
        second = cookieLine.substr(firstTab + 1);
        second = second.substr(0, second.find(L'\t'));
    }
    std::wstring identity(first.substr(0, first.find(L'[')));
    identity += L'\t';
    identity += second;
    return identity;
}

int MarkUnkeptCookies(AppContext& ctx, const std::unordered_set<std::wstring>& keptIdentities) {
    auto& lines = ctx.cookies.cookieTxt.lines;
    int marked = 0;
    for (const auto& item : ctx.frmMain.lstCookie.Items()) {
        const auto index = static_cast<size_t>(item.data);
        if (index >= lines.size() || lines[index].deleted) continue;
        if (keptIdentities.count(CookieIdentity(item.text))) continue;
        lines[index].deleted = true;
        ++marked;
    }
    return marked;
}

CookieWrite NS2Write(AppContext& ctx) {
    if (!ctx.cookies.cookieTxt.readWhole || ctx.cookies.cookieTxt.holdsNul) return CookieWrite::Refused;
    const std::wstring path = ctx.cookies.cookieTxt.path;
    for (;;) {
        if (WriteCookieTxt(ctx.cookies.cookieTxt) == 0) return CookieWrite::Written;
        const int answer = ctx.dialogs.ShowMessage(
            {kCookieWriteFailedText, kCookieWriteFailedTitle, MB_RETRYCANCEL | MB_ICONWARNING});
        if (answer != IDRETRY) {
            NS2Scan(ctx, path);
            return CookieWrite::Cancelled;
        }
        FileStamp now;
        if (CurrentStamp(path, now) && !(now == ctx.cookies.cookieTxt.stamp)) ScanAgainKeepingMarks(ctx, path);
        if (!ctx.cookies.cookieTxt.readWhole || ctx.cookies.cookieTxt.holdsNul) return CookieWrite::Refused;
    }
}

}  // namespace qm
