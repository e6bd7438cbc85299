#include "startup/system_info.h"

#include <shellapi.h>
#include <shlobj.h>

#include "base/handles.h"
#include "base/text.h"
#include "startup/file_helpers.h"
#include "startup/ui_host.h"

namespace qm {

namespace {

constexpr DWORD kPlatform9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kPlatformNt = VER_PLATFORM_WIN32_NT;
// Windows 98 Second Edition starts at this build number.
constexpr DWORD kFirst98SEBuild = 2222;
constexpr int kTwipsPerInch = 1440;

// On the 9x family the upper 16 bits of the build field repeat the version numbers.
DWORD BuildNumber(const OsVersionRecord& record) {
    return record.platformId == kPlatform9x ? LOWORD(record.build) : record.build;
}

template <class Test>
bool VersionIs(const OsVersionSource& os, Test&& test) {
    const std::optional<OsVersionRecord> record = os.Query();
    return record.has_value() && test(*record);
}

bool IsWin4x(const OsVersionRecord& record) { return record.platformId == kPlatform9x && record.major == 4; }

bool IsNt(const OsVersionRecord& record, DWORD major) {
    return record.platformId == kPlatformNt && record.major == major;
}

// A folder the system reports into a MAX_PATH buffer; empty when it does not fit or fails.
template <class Query>
std::wstring SystemFolder(Query&& query) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = query(buffer, static_cast<UINT>(MAX_PATH + 1));
    if (length == 0 || length > MAX_PATH) return {};
    return CutAtNul(std::wstring_view(buffer, length));
}

struct ScreenDcTraits {
    using Type = HDC;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type dc) noexcept { ::ReleaseDC(nullptr, dc); }
};
using UniqueScreenDc = UniqueHandle<ScreenDcTraits>;

int TwipsPerPixel(int axis) {
    constexpr int kDefaultTwipsPerPixel = 15;  // 96 dpi
    const UniqueScreenDc screen(::GetDC(nullptr));
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), axis) : 0;
    return dpi > 0 ? kTwipsPerInch / dpi : kDefaultTwipsPerPixel;
}

template <class Span>
std::int32_t ScreenExtent(const TaskbarSource& source, int screenMetric, int twipsPerPixel, Span&& spanOf) {
    const TaskbarFacts facts = source.Query();
    std::optional<BarSpan> bar;
    if (TaskbarExists(facts)) bar = spanOf(*facts.bar);
    return ExtentWithoutTaskbar(::GetSystemMetrics(screenMetric), twipsPerPixel, bar);
}

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

bool IsWin9X(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return IsWin4x(r) && r.minor <= 90; });
}

bool IsWin98(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) {
        return IsWin4x(r) && r.minor == 10 && BuildNumber(r) < kFirst98SEBuild;
    });
}

bool IsWin98SE(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) {
        return IsWin4x(r) && r.minor == 10 && BuildNumber(r) >= kFirst98SEBuild;
    });
}

bool IsWinME(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return IsWin4x(r) && r.minor == 90; });
}

bool IsWin2000(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return IsNt(r, 5) && r.minor == 0; });
}

bool IsWinXP(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return IsNt(r, 5) && r.minor == 1; });
}

bool IsWinVista(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return IsNt(r, 6); });
}

bool IsWinNTFamily(const OsVersionSource& os) {
    return VersionIs(os, [](const OsVersionRecord& r) { return r.platformId == kPlatformNt; });
}

WinVersionInfo WinVersion(const OsVersionSource& os) {
    const std::optional<OsVersionRecord> record = os.Query();
    if (!record) return {};
    return {record->platformId == kPlatformNt, record->major, record->minor, BuildNumber(*record)};
}

std::wstring ApiSpecialFolder(int csidl, HWND owner) {
    UniqueItemIdList items;
    if (FAILED(::SHGetSpecialFolderLocation(owner, csidl, items.put())) || !items) return {};
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(items.get(), buffer)) return {};
    const std::wstring path = TrimSpaces(CutAtNul(buffer));
    return path.empty() ? path : QualifyPath(path);
}

std::wstring GetFolderPath(UiHost& ui, int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (::SHGetFolderPathW(ui.MainWindow(), csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return {};
    std::wstring path = CutAtNul(buffer);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring RootDirOf(std::wstring_view path) {
    const size_t slash = path.find(L'\\');
    return slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, slash + 1));
}

std::wstring GetRootDir() {
    return RootDirOf(SystemFolder([](wchar_t* buffer, UINT size) { return ::GetWindowsDirectoryW(buffer, size); }));
}

std::wstring GetSystemDir() {
    return SystemFolder([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

TaskbarFacts SystemTaskbar::Query() const {
    TaskbarFacts facts;
    APPBARDATA bar{};
    bar.cbSize = sizeof(bar);
    if (::SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) facts.bar = bar.rc;
    facts.state = static_cast<UINT>(::SHAppBarMessage(ABM_GETSTATE, &bar));
    facts.screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &facts.workArea, 0)) facts.workArea = facts.screen;
    return facts;
}

bool TaskbarExists(const TaskbarFacts& facts) {
    if (!facts.bar) return false;
    const RECT& bar = *facts.bar;
    if (Width(bar) <= 1 || Height(bar) <= 1) return false;
    RECT onScreen{};
    if (!::IntersectRect(&onScreen, &bar, &facts.screen)) return false;
    if (facts.state & ABS_AUTOHIDE) return true;
    // The work area leaves out the room the bar takes.
    return Width(facts.workArea) < Width(facts.screen) || Height(facts.workArea) < Height(facts.screen);
}

bool TaskbarExists() { return TaskbarExists(SystemTaskbar().Query()); }

std::int32_t ExtentWithoutTaskbar(int screenPixels, int twipsPerPixel, const std::optional<BarSpan>& bar) {
    const std::int32_t full = screenPixels * twipsPerPixel;
    // A bar spanning the whole axis lies along the other edges and takes nothing from it.
    if (!bar || (bar->nearEdge <= 0 && bar->farEdge >= screenPixels)) return full;
    if (bar->nearEdge < 0) return (screenPixels - bar->farEdge) * twipsPerPixel;
    if (bar->farEdge < screenPixels) return full;
    return bar->nearEdge * twipsPerPixel;
}

std::int32_t ScreenHeight(const TaskbarSource& source) {
    return ScreenExtent(source, SM_CYSCREEN, TwipsPerPixelY(), [](const RECT& r) { return BarSpan{r.top, r.bottom}; });
}

std::int32_t ScreenWidth(const TaskbarSource& source) {
    return ScreenExtent(source, SM_CXSCREEN, TwipsPerPixelX(), [](const RECT& r) { return BarSpan{r.left, r.right}; });
}

int TwipsPerPixelX() { return TwipsPerPixel(LOGPIXELSX); }
int TwipsPerPixelY() { return TwipsPerPixel(LOGPIXELSY); }

std::int16_t MakeTransparent(const OsVersionSource& os, HWND window, int level) {
    // Layered windows came with Windows 2000; the 9x family has none.
    if (IsWin98(os) || IsWin98SE(os) || IsWinME(os)) return 0;
    if (level < 0 || level > 255) return 1;
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(window, 0, static_cast<BYTE>(level), LWA_ALPHA);
    return 0;
}

}  // namespace qm
