#include "cookies/msie_cookies.h"

#include "base/handles.h"
#include "base/text.h"
#include "clean/folder_walk.h"
#include "cookies/cookie_display.h"
#include "startup/api.h"
#include "startup/app_context.h"
#include "startup/file_helpers.h"

namespace qm {

namespace {

constexpr int kFilesPerPump = 50;

// Both name tests look for a part found after the first character (and only the first
// occurrence counts, so "dat.txt" is no index file but "index.dat.txt" is).
bool FoundAfterFirst(std::wstring_view text, std::wstring_view part) {
    const size_t at = text.find(part);
    return at != std::wstring_view::npos && at > 0;
}

// Index files are listed only from folders whose (lower-case) path speaks of cookies.
bool IsListedIndexFile(std::wstring_view name, bool cookieFolder) {
    return cookieFolder && FoundAfterFirst(name, L"dat");
}

bool IsCookieFolder(const std::wstring& folder) { return FoundAfterFirst(ToLower(folder), L"cookie"); }

// A lstCookie line names its file in its first field.
std::wstring FileNameOfLine(const std::wstring& line) { return line.substr(0, line.find(L'\t')); }

// Long paths need the "\\?\" form; short ones are opened as given, so that relative or
// unusual spellings keep working.
std::wstring OpenablePath(const std::wstring& path) {
    return path.size() < MAX_PATH ? path : UnicodeFid(path);
}

bool ReadWhole(HANDLE file, std::string& text, DWORD size) {
    text.assign(size, '\0');
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!::ReadFile(file, text.data() + total, size - total, &read, nullptr)) return false;
        if (read == 0) break;  // the file shrank meanwhile
        total += read;
    }
    text.resize(total);
    return true;
}

void ShowDecoded(AppContext& ctx, const std::optional<MsieRecord>& decoded) {
    auto& form = ctx.frmMain;
    ClearDisp(ctx);
    if (!decoded) {
        // A record that cannot be decoded leaves no stale cookie behind it.
        ctx.cookies.current = CookieRecord{};
        BadCookie(ctx);
        return;
    }
    ctx.cookies.current = decoded->record;
    form.txtName.SetText(decoded->record.name);
    form.txtValue.SetText(decoded->record.value);
    form.txtSecure.SetText(decoded->secure ? L"Yes" : L"No");
    form.txtCreated.SetText(decoded->createdText);
    form.txtExpire.SetText(decoded->expiresText);
    DispLifeTime(ctx, ctx.cookies.utcNow(), decoded->record.expires);
}

void SetRecordTabs(TabStripModel& tabs, int records) {
    while (tabs.TabCount() < records) tabs.AddTab(kRecordTabCaption + std::to_wstring(tabs.TabCount() + 1));
    while (tabs.TabCount() > records) tabs.RemoveLastTab();
}

void ShowCookieCount(AppContext& ctx, int count) {
    ctx.frmMain.lblCookieCnt.SetCaption(kCookieCountCaption + FormatThousands(count));
}

}  // namespace

bool IsBlankPath(std::wstring_view path) { return path <= std::wstring_view(L" "); }

bool IsSparedCookieFolder(const std::wstring& folder) {
    const std::wstring path = WithoutTrailingSeparators(folder);
    return IsOutlookOrOfficeFolder(std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1));
}

bool IsMsieCookieFileName(std::wstring_view name) {
    return FoundAfterFirst(name, L"@") && MatchSpec(std::wstring(name), kMsieCookieFilePattern);
}

int MSIEScan(AppContext& ctx, const std::wstring& folder) {
    auto& list = ctx.frmMain.lstCookie;
    list.Clear();
    ctx.cookies.rangeAnchor = -1;
    ClearDisp(ctx);
    ShowCookieCount(ctx, 0);
    if (IsBlankPath(folder)) return -1;

    const std::wstring path = QualifyPath(folder);
    const bool cookieFolder = IsCookieFolder(path);
    FID fid;
    int seen = 0;
    if (!IsSparedCookieFolder(path)) ApiFindFirstFile(fid, path, kMsieCookieFilePattern);
    for (; fid.found; ApiFindNextFile(fid)) {
        if (fid.IsDirectory() || fid.IsReparsePoint()) continue;
        if (MatchSpec(fid.name, L"*.txt") && IsListedIndexFile(fid.name, cookieFolder)) list.AddItem(fid.name);
        if (IsMsieCookieFileName(fid.name)) {
            list.AddItem(fid.name);
            MsieClick(ctx, path);
        }
        if (++seen % kFilesPerPump == 0) ctx.pump.DoEvents();
    }
    ApiFindClose(fid);

    if (list.ListCount() > 0) {
        list.SetListIndex(0);
        MsieClick(ctx, path);
    } else {
        DelEnabled(ctx, false);
        ClearDisp(ctx);
    }
    ShowCookieCount(ctx, list.ListCount());
    return list.ListCount();
}

int MSIEScan2(AppContext& ctx, const std::wstring& folder) {
    auto& list = ctx.frmMain.lstCookie;
    list.Clear();
    if (IsBlankPath(folder)) return -1;

    const std::wstring path = QualifyPath(folder);
    const bool cookieFolder = IsCookieFolder(path);
    // Without any "*.txt*" name, the index files of a cookie folder are listed instead.
    FID fid;
    if (IsSparedCookieFolder(path)) return -1;
    ApiFindFirstFile(fid, path, kMsieCookieFilePattern);
    if (!fid.found) {
        ApiFindClose(fid);
        fid = FID{};
        ApiFindFirstFile(fid, path, L"*.dat*");
    }

    // The detail boxes end up showing the last record decoded; they are filled once at
    // the end rather than for every file.
    bool decodedAny = false;
    std::optional<MsieRecord> lastDecoded;
    int seen = 0;
    for (; fid.found; ApiFindNextFile(fid)) {
        if (fid.IsDirectory() || fid.IsReparsePoint()) continue;
        if (IsListedIndexFile(fid.name, cookieFolder)) list.AddItem(fid.name);
        if (IsMsieCookieFileName(fid.name)) {
            MsieClick2(ctx, path, fid.name);
            lastDecoded = DecodeMsieRecord(ctx.cookies.text);
            decodedAny = true;
            list.AddItem(lastDecoded ? MsieCookieLine(fid.name, lastDecoded->record.name, lastDecoded->createdText)
                                     : MsieCookieLine(fid.name, {}, {}));
        }
        if (++seen % kFilesPerPump == 0) ctx.pump.DoEvents();
    }
    ApiFindClose(fid);

    if (decodedAny) ShowDecoded(ctx, lastDecoded);
    if (list.ListCount() > 0) list.SetListIndex(0);
    return list.ListCount() > 0 ? 1 : -1;
}

CookieLoadResult LoadCookieFile(CookieState& state, const std::wstring& path) {
    state.text.clear();
    state.recordStarts.clear();

    UniqueFile file(::CreateFileW(OpenablePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {CookieLoad::Unreadable, ::GetLastError()};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return {CookieLoad::Unreadable, ::GetLastError()};
    // Larger files are not split into records, so they are not read at all.
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxCookieFileSize) return {CookieLoad::NoRecords};

    std::string text;
    if (!ReadWhole(file.get(), text, static_cast<DWORD>(size.QuadPart))) return {CookieLoad::Unreadable, ::GetLastError()};
    if (!CompleteCookieFileText(text)) return {CookieLoad::NoRecords};

    state.recordStarts = RecordStarts(text);
    state.text = std::move(text);
    return {CookieLoad::Records};
}

bool MsieClick2(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName) {
    return LoadCookieFile(ctx.cookies, QualifyPath(folder) + fileName).outcome == CookieLoad::Records;
}

bool frmMainMsieClick(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName) {
    return MsieClick2(ctx, folder, fileName);
}

void MsieClick(AppContext& ctx, const std::wstring& folder) {
    auto& form = ctx.frmMain;
    ClearDisp(ctx);
    const int line = form.lstCookie.ListIndex();
    if (line < 0) return;

    const std::wstring fileName = FileNameOfLine(form.lstCookie.List(line));
    const CookieLoadResult loaded = LoadCookieFile(ctx.cookies, QualifyPath(folder) + fileName);
    if (loaded.outcome == CookieLoad::Unreadable) {
        ctx.dialogs.ShowMessage({L"Cookie \"" + fileName + L"\" Could not be accessed " + ApiError(loaded.error),
                                 kCookieErrorTitle, MB_OK | MB_ICONINFORMATION});
        return;
    }
    if (loaded.outcome == CookieLoad::Records) {
        SetRecordTabs(form.tabKV, static_cast<int>(ctx.cookies.recordStarts.size()));
        form.tabKV.Select(0);
        ShowMsieRecord(ctx, 0);
    }
    UpdateDeletion(ctx);
}

void ShowMsieRecord(AppContext& ctx, int recordIndex) {
    const auto& starts = ctx.cookies.recordStarts;
    if (recordIndex < 0 || recordIndex >= static_cast<int>(starts.size())) {
        ClearDisp(ctx);
        return;
    }
    const std::string_view text = ctx.cookies.text;
    ParseMSIE(ctx, text.substr(static_cast<size_t>(starts[static_cast<size_t>(recordIndex)] - 1)));
}

std::optional<SYSTEMTIME> MSIEDate(std::string_view high, std::string_view low) {
    return ToSystemTime(MsieTime(high, low));
}

std::optional<MsieRecord> DecodeMsieRecord(std::string_view recordText) {
    const std::optional<MsieFields> fields = ParseMsieFields(recordText);
    if (!fields) return std::nullopt;
    MsieRecord decoded;
    decoded.record.name = WidenAnsi(fields->name);
    decoded.record.value = WidenAnsi(fields->value);
    decoded.record.hostPath = WidenAnsi(fields->hostPath);
    decoded.record.created = ToSystemTime(fields->created);
    decoded.record.expires = ToSystemTime(fields->expires);
    decoded.secure = fields->secure;
    decoded.createdText = FormatGeneralDate(decoded.record.created);
    decoded.expiresText = FormatGeneralDate(decoded.record.expires);
    return decoded;
}

bool ParseMSIE(AppContext& ctx, std::string_view recordText) {
    const std::optional<MsieRecord> decoded = DecodeMsieRecord(recordText);
    ShowDecoded(ctx, decoded);
    return decoded.has_value();
}

bool ParseMSIE2(AppContext& ctx, std::string_view recordText) { return ParseMSIE(ctx, recordText); }

void BadCookie(AppContext& ctx) {
    ctx.frmMain.txtName.SetText(kInvalidCookieFormat);
    ctx.frmMain.txtValue.SetText(kInvalidCookieFormat);
}

std::wstring MsieCookieLine(const std::wstring& fileName, const std::wstring& cookieName,
                            const std::wstring& createdText) {
    return fileName + L'\t' + cookieName + L'\t' + createdText;
}

}  // namespace qm
