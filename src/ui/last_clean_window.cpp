#include "ui/last_clean_window.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "clean/clean_log_entry.h"
#include "cli/report_format.h"
#include "cookies/cookie_display.h"
#include "startup/app_context.h"
#include "ui/dpi.h"
#include "ui/window.h"

namespace qm {

namespace {

enum Column { kWhat, kKind, kSize, kItem, kWhy, kColumnCount };
struct ColumnInfo {
    const wchar_t* title;
    int width;  // at 96 DPI
    int format;
};
constexpr std::array<ColumnInfo, kColumnCount> kColumns{{{L"What", 80, LVCFMT_LEFT},
                                                          {L"Kind", 70, LVCFMT_LEFT},
                                                          {L"Size", 70, LVCFMT_RIGHT},
                                                          {L"Item", 200, LVCFMT_LEFT},  // at least: it takes the rest
                                                          {L"Why", 200, LVCFMT_LEFT}}};

constexpr int kClientWidth = 760, kClientHeight = 480;  // at first, at 96 DPI
constexpr int kLeastWidth = 460, kLeastHeight = 260;
constexpr int kMargin = 10, kButtonWidth = 85, kButtonHeight = 28;

std::wstring OutcomeText(Outcome outcome) {
    static constexpr const wchar_t* kWords[] = {L"Removed", L"Kept", L"Refused", L"Failed", L"At Restart"};
    return kWords[static_cast<size_t>(outcome)];
}

std::wstring KindText(CleanKind kind) {
    std::wstring name(CleanKindName(kind));
    if (!name.empty()) name[0] = static_cast<wchar_t>(std::towupper(name[0]));
    return name;
}

std::wstring TriggerText(const std::wstring& trigger) {
    static constexpr std::pair<const wchar_t*, const wchar_t*> kTriggers[] = {
        {L"window", L"From The Options Window"}, {L"tray", L"From The Tray Menu"},
        {L"hotkey", L"From The Hot Key"},        {L"auto", L"Automatic (auto)"},
        {L"shutdown", L"Clean And Shutdown"},    {L"console", L"From quillmere-cli"},
        {L"viewer", L"From The Cookie Viewer"}};
    for (const auto& [word, text] : kTriggers)
        if (trigger == word) return text;
    return trigger;
}

// A count from the log, which may hold any 64-bit number.
std::wstring Number(std::uint64_t count) {
    return count <= INT64_MAX ? FormatThousands(static_cast<std::int64_t>(count)) : std::to_wstring(count);
}
std::wstring Counted(std::uint64_t count, const wchar_t* one, const wchar_t* many) {
    return Number(count) + L" " + (count == 1 ? one : many);
}

std::wstring TotalsText(const ReportTotals& totals) {
    std::wstring text = Counted(totals.files, L"File", L"Files") + L", " +
                        Counted(totals.folders, L"Folder", L"Folders") + L", " + FormatSize(totals.bytes) +
                        L" Freed, " + Counted(totals.cookies, L"Cookie", L"Cookies") + L"; " + Number(totals.kept) +
                        L" Kept, " + Number(totals.refused) + L" Refused, " + Number(totals.failed) + L" Failed";
    if (totals.scheduled > 0) text += L", " + Number(totals.scheduled) + L" At Restart";
    return text;
}

// The clean's moment in the user's time zone and date format.
std::wstring LocalTimeText(const LoggedTime& time) {
    SYSTEMTIME utc{};
    utc.wYear = static_cast<WORD>(time.year);
    utc.wMonth = static_cast<WORD>(time.month);
    utc.wDay = static_cast<WORD>(time.day);
    utc.wHour = static_cast<WORD>(time.hour);
    utc.wMinute = static_cast<WORD>(time.minute);
    utc.wSecond = static_cast<WORD>(time.second);
    SYSTEMTIME local{};
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    return FormatGeneralDate(local);
}

std::wstring SummaryText(const LoggedClean& clean) {
    return LocalTimeText(clean.time) + L" \x2014 " + TriggerText(clean.trigger) + L" \x2014 " + TotalsText(clean.totals);
}

// Log text shown in a cell: a control character (a file name may hold one) would break
// the line or the copied columns.
std::wstring Shown(std::wstring text) {
    for (wchar_t& c : text)
        if (c < 0x20) c = 0xFFFD;
    return text;
}

struct Row {
    std::array<std::wstring, kColumnCount> cells;
    std::wstring searched;  // every cell in capitals, for the search
};

Row RowOf(const ReportItem& item) {
    Row row;
    row.cells[kWhat] = OutcomeText(item.outcome);
    row.cells[kKind] = KindText(item.kind);
    if (item.outcome == Outcome::Removed && item.type == ItemType::File) row.cells[kSize] = FormatSize(item.bytes);
    row.cells[kItem] = item.type == ItemType::Cookie ? item.path + L"  " + item.host + L"  " + item.name : item.path;
    row.cells[kWhy] = item.reason;
    if (item.outcome == Outcome::Scheduled && item.reason.empty())
        row.cells[kWhy] = item.replacement.empty() ? L"Deleted At Restart" : L"Replaced By " + item.replacement;
    for (auto& cell : row.cells) {
        cell = Shown(std::move(cell));
        row.searched += cell + L"\n";
    }
    row.searched = ToUpper(row.searched);
    return row;
}

// A text on the clipboard as CF_UNICODETEXT; false when the clipboard could not be had.
bool PutOnClipboard(HWND owner, const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    void* target = ::GlobalLock(memory);
    if (!target) {
        ::GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    ::GlobalUnlock(memory);
    const bool opened = ::OpenClipboard(owner) != FALSE;
    const bool put = opened && ::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory);
    if (opened) ::CloseClipboard();
    if (!put) ::GlobalFree(memory);  // the clipboard owns it once taken
    return put;
}

class LastCleanWindow final : public Window {
public:
    LastCleanWindow() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        // Unowned, with a task-bar button: a list to keep open beside other work.
        Create({kLastCleanWindowClass, kLastCleanTitle, kStyle, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, CW_USEDEFAULT,
                CW_USEDEFAULT, nullptr});
        if (!Handle()) return;
        CreateControls();
        dpi_ = WindowDpi(Handle());
        RECT frame{0, 0, Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_)};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT);
        ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi();
        CentreOnScreen(Handle());
        ShowKeyboardCues(Handle());
    }

    // Reads the log's last clean into the window, the search kept.
    void Load() {
        const std::optional<LoggedClean> clean = ReadLastLoggedClean();
        rows_.clear();
        if (clean) {
            rows_.reserve(clean->items.size());
            for (const auto& item : clean->items) rows_.push_back(RowOf(item));
        }
        ::SetDlgItemTextW(Handle(), kLastCleanSummaryId, clean ? SummaryText(*clean).c_str() : kNoCleanRecorded);
        const std::uint64_t leftOut = clean ? clean->itemsLeftOut : 0;
        const std::wstring leftOutText =
            leftOut > 0 ? Number(leftOut) +
                              (leftOut == 1 ? L" More Item Was Not Recorded." : L" More Items Were Not Recorded.")
                        : L"";
        ::SetDlgItemTextW(Handle(), kLastCleanLeftOutId, leftOutText.c_str());
        Filter();
    }

    void Present() {
        BringToFront(Handle());
        ::SetFocus(::GetDlgItem(Handle(), kLastCleanSearchId));
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_COMMAND:
                if (LOWORD(wParam) == kLastCleanSearchId && HIWORD(wParam) == EN_CHANGE) Filter();
                else if (LOWORD(wParam) == kLastCleanCopyId && HIWORD(wParam) == BN_CLICKED) Copy();
                else if (LOWORD(wParam) == IDCANCEL) Destroy();
                return 0;
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header->idFrom == kLastCleanListId && header->code == LVN_GETDISPINFOW)
                    FillCell(reinterpret_cast<NMLVDISPINFOW*>(lParam)->item);
                return 0;
            }
            case WM_SIZE:
                Layout(LOWORD(lParam), HIWORD(lParam));
                return 0;
            case WM_GETMINMAXINFO:
                reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = LeastFrame();
                return 0;
            case WM_DPICHANGED: {
                dpi_ = HIWORD(wParam);
                const auto* suggested = reinterpret_cast<const RECT*>(lParam);
                ApplyDpi();
                ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
                return 0;
            }
            case WM_ACTIVATE:  // the focus comes back where the user left it
                if (LOWORD(wParam) == WA_INACTIVE) {
                    const HWND focus = ::GetFocus();
                    if (focus && ::IsChild(Handle(), focus)) focus_ = focus;
                } else {
                    ::SetFocus(focus_ && ::IsWindow(focus_) ? focus_ : ::GetDlgItem(Handle(), kLastCleanSearchId));
                }
                return 0;
            case WM_CLOSE:
                Destroy();
                return 0;
        }
        return Default(message, wParam, lParam);
    }

private:
    static constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

    // In Tab order: search, list, Copy, Close. Each text comes just before what it names for
    // a screen reader: "Search:" the box, the summary line the list.
    void CreateControls() {
        const HWND window = Handle();
        CreateControl(window, L"STATIC", L"Search:", SS_LEFT | SS_NOPREFIX, kLastCleanSearchLabelId, 0, 0, 0, 0);
        CreateControl(window, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kLastCleanSearchId, 0, 0, 0, 0);
        CreateControl(window, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kLastCleanSummaryId, 0, 0, 0, 0);
        list_ = CreateControl(window, WC_LISTVIEWW, L"",
                              LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP,
                              kLastCleanListId, 0, 0, 0, 0);
        ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
        for (int i = 0; i < kColumnCount; ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_FMT;
            column.pszText = const_cast<wchar_t*>(kColumns[i].title);
            column.fmt = kColumns[i].format;
            ListView_InsertColumn(list_, i, &column);
        }
        CreateControl(window, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kLastCleanLeftOutId, 0, 0, 0, 0);
        CreateControl(window, L"BUTTON", L"Copy", BS_PUSHBUTTON | WS_TABSTOP, kLastCleanCopyId, 0, 0, 0, 0);
        CreateControl(window, L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 0, 0, 0, 0);
    }

    // Fonts and column widths at the window's DPI.
    void ApplyDpi() {
        font_ = MessageFont(dpi_);
        for (HWND child = ::GetWindow(Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
        for (int i = 0; i < kColumnCount; ++i) ListView_SetColumnWidth(list_, i, Scale(kColumns[i].width, dpi_));
        RECT client{};
        ::GetClientRect(Handle(), &client);
        Layout(client.right, client.bottom);
    }

    POINT LeastFrame() const {
        RECT frame{0, 0, Scale(kLeastWidth, dpi_), Scale(kLeastHeight, dpi_)};
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_APPWINDOW | WS_EX_CONTROLPARENT);
        return {frame.right - frame.left, frame.bottom - frame.top};
    }

    void Layout(int width, int height) {
        if (!list_) return;  // sized while being made
        const auto s = [&](int pixels) { return Scale(pixels, dpi_); };
        const auto place = [&](int id, int x, int y, int w, int h) {
            ::MoveWindow(::GetDlgItem(Handle(), id), x, y, w > 0 ? w : 0, h > 0 ? h : 0, TRUE);
        };
        const int inner = width - 2 * s(kMargin);
        place(kLastCleanSummaryId, s(kMargin), s(10), inner, s(20));
        place(kLastCleanSearchLabelId, s(kMargin), s(41), s(50), s(20));
        place(kLastCleanSearchId, s(kMargin) + s(54), s(38), s(280), s(23));
        const int buttonsTop = height - s(kMargin) - s(kButtonHeight);
        place(kLastCleanListId, s(kMargin), s(70), inner, buttonsTop - s(kMargin) - s(70));
        place(kLastCleanLeftOutId, s(kMargin), buttonsTop + s(6), inner - 2 * s(kButtonWidth + 8), s(20));
        place(kLastCleanCopyId, width - s(kMargin) - 2 * s(kButtonWidth) - s(8), buttonsTop, s(kButtonWidth),
              s(kButtonHeight));
        place(IDCANCEL, width - s(kMargin) - s(kButtonWidth), buttonsTop, s(kButtonWidth), s(kButtonHeight));
        FitItemColumn();
    }

    // The item column takes the list's width that the others leave.
    void FitItemColumn() {
        RECT inside{};
        ::GetClientRect(list_, &inside);
        int rest = inside.right;
        for (int i = 0; i < kColumnCount; ++i)
            if (i != kItem) rest -= ListView_GetColumnWidth(list_, i);
        ListView_SetColumnWidth(list_, kItem, std::max(rest, Scale(kColumns[kItem].width, dpi_)));
    }

    std::wstring SearchText() const {
        const HWND search = ::GetDlgItem(Handle(), kLastCleanSearchId);
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(search)) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(search, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    // The rows holding the search text in any column, in the log's order.
    void Filter() {
        const std::wstring wanted = ToUpper(SearchText());
        shown_.clear();
        for (size_t i = 0; i < rows_.size(); ++i)
            if (wanted.empty() || rows_[i].searched.find(wanted) != std::wstring::npos) shown_.push_back(i);
        ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemCountEx(list_, static_cast<int>(shown_.size()), 0);
        FitItemColumn();  // the scroll bar may have come or gone
        ::InvalidateRect(list_, nullptr, TRUE);
    }

    void FillCell(LVITEMW& item) const {
        if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
        item.pszText[0] = L'\0';
        if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= shown_.size() || item.iSubItem < 0 ||
            item.iSubItem >= kColumnCount)
            return;
        const std::wstring& cell = rows_[shown_[static_cast<size_t>(item.iItem)]].cells[static_cast<size_t>(item.iSubItem)];
        wcsncpy_s(item.pszText, static_cast<size_t>(item.cchTextMax), cell.c_str(), _TRUNCATE);
    }

    // The rows shown, under a line of column titles.
    void Copy() const {
        std::wstring text;
        for (int i = 0; i < kColumnCount; ++i) text += std::wstring(i ? L"\t" : L"") + kColumns[i].title;
        text += kCrLf;
        for (const size_t index : shown_) {
            const auto& cells = rows_[index].cells;
            for (size_t i = 0; i < cells.size(); ++i) text += (i ? L"\t" : L"") + cells[i];
            text += kCrLf;
        }
        if (!PutOnClipboard(Handle(), text)) ::MessageBeep(MB_ICONWARNING);  // another program holds the clipboard
    }

    HWND list_ = nullptr;
    UINT dpi_ = kDesignDpi;
    UniqueGdiObject font_;
    HWND focus_ = nullptr;
    std::vector<Row> rows_;
    std::vector<size_t> shown_;  // indices into rows_
};

}  // namespace

void ShowLastCleanWindow(AppContext& ctx) {
    if (ctx.frmLastClean && !ctx.frmLastClean->Handle()) ctx.frmLastClean.reset();  // closed since
    if (!ctx.frmLastClean) ctx.frmLastClean = std::make_unique<LastCleanWindow>();
    auto* window = static_cast<LastCleanWindow*>(ctx.frmLastClean.get());
    if (!window->Handle()) return;
    window->Load();
    window->Present();
}

}  // namespace qm
