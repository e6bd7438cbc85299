#include "ui/bound_controls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/dpi.h"
#include "ui/window.h"

namespace qm {

struct ControlBinder::ListState {
    bool comboBox = false;
    std::vector<int> tabStops;        // dialog units; empty: the control's default stops
    std::vector<int> pixelStops;      // the same for the control's font
    std::vector<std::wstring> shown;  // the lines the control holds
    int widest = 0;                   // pixels of the widest line added since the list was empty
};

namespace {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A DC of the control with its own font selected, for measuring its text.
class ControlDc {
public:
    explicit ControlDc(HWND control)
        : control_(control), dc_(::GetDC(control)),
          oldFont_(::SelectObject(dc_, reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)))) {}
    ~ControlDc() {
        ::SelectObject(dc_, oldFont_);
        ::ReleaseDC(control_, dc_);
    }
    ControlDc(const ControlDc&) = delete;
    ControlDc& operator=(const ControlDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ oldFont_;
};

// The side of a line's check box and the room in front of its text, in pixels.
int CheckBoxSide(int lineHeight) { return std::max(lineHeight - 4, 8); }
int TextIndent(int lineHeight) { return CheckBoxSide(lineHeight) + 6; }

int LineHeight(HWND list) { return static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)); }

}  // namespace

ControlBinder::ControlBinder(HWND notifyWindow, HWND topLevel) : notifyWindow_(notifyWindow) {
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, topLevel, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
}

ControlBinder::~ControlBinder() {
    subscriptions_.clear();
    if (tooltip_ && ::IsWindow(tooltip_)) ::DestroyWindow(tooltip_);
}

ControlBinder::Bound& ControlBinder::Add(HWND control, ControlModel& model, Bound::Kind kind) {
    bound_.push_back(std::make_unique<Bound>(Bound{control, &model, kind, nullptr}));
    Bound& bound = *bound_.back();
    if (tooltip_) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = ::GetParent(control);
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<wchar_t*>(model.ToolTipText().c_str());
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    subscriptions_.push_back(model.FocusRequested.Subscribe([control] {
        if (::IsWindowVisible(control)) ::SetFocus(control);
    }));
    return bound;
}

void ControlBinder::SyncTip(const Bound& bound) {
    if (!tooltip_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = ::GetParent(bound.control);
    tool.uId = reinterpret_cast<UINT_PTR>(bound.control);
    tool.lpszText = const_cast<wchar_t*>(bound.model->ToolTipText().c_str());
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ControlBinder::SyncCommon(const Bound& bound) {
    const HWND control = bound.control;
    const ControlModel& model = *bound.model;
    // By the control's own flag, not IsWindowVisible: a control on a hidden page is not visible either.
    ShowControl(control, model.Visible());
    EnableControl(control, model.Enabled());
    SyncTip(bound);
}

void ControlBinder::Label(HWND control, LabelModel& model) {
    Bound& bound = Add(control, model, Bound::Kind::Label);
    const auto sync = [this, &bound, &model] {
        if (WindowText(bound.control) != model.Caption()) ::SetWindowTextW(bound.control, model.Caption().c_str());
        SyncCommon(bound);
    };
    sync();
    subscriptions_.push_back(model.Changed.Subscribe(sync));
}

void ControlBinder::Button(HWND control, ButtonModel& model) {
    Label(control, model);
    bound_.back()->kind = Bound::Kind::Button;
}

void ControlBinder::CheckBox(HWND control, CheckBoxModel& model) {
    Label(control, model);
    Bound& bound = *bound_.back();
    bound.kind = Bound::Kind::CheckBox;
    const auto sync = [&bound, &model] {
        const WPARAM state = model.Value() == 1 ? BST_CHECKED : model.Value() == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
        ::SendMessageW(bound.control, BM_SETCHECK, state, 0);
    };
    sync();
    subscriptions_.push_back(model.Changed.Subscribe(sync));
}

void ControlBinder::Progress(HWND control, ProgressBarModel& model) {
    Bound& bound = Add(control, model, Bound::Kind::Progress);
    ::SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(model.Min()), model.Max());
    const auto sync = [this, &bound, &model] {
        SyncCommon(bound);
        SetProgressAtOnce(bound.control, model.Value());
        // Refresh means "paint now": the work that follows keeps the loop busy.
        ::RedrawWindow(bound.control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    };
    sync();
    subscriptions_.push_back(model.Changed.Subscribe(sync));
}

void ControlBinder::TextBox(HWND control, TextBoxModel& model) {
    Bound& bound = Add(control, model, Bound::Kind::TextBox);
    const auto sync = [this, &bound, &model] {
        if (WindowText(bound.control) != model.Text()) ::SetWindowTextW(bound.control, model.Text().c_str());
        SyncCommon(bound);
    };
    sync();
    subscriptions_.push_back(model.Changed.Subscribe(sync));
}

void ControlBinder::Tabs(HWND control, TabStripModel& model) {
    Bound& bound = Add(control, model, Bound::Kind::Tabs);
    const auto sync = [this, &bound, &model] {
        const HWND tabs = bound.control;
        const int shown = static_cast<int>(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
        for (int i = shown; i > model.TabCount(); --i) ::SendMessageW(tabs, TCM_DELETEITEM, static_cast<WPARAM>(i - 1), 0);
        for (int i = 0; i < model.TabCount(); ++i) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(model.Caption(i).c_str());
            ::SendMessageW(tabs, i < shown ? TCM_SETITEMW : TCM_INSERTITEMW, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(&item));
        }
        if (static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0)) != model.SelectedIndex())
            ::SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(model.SelectedIndex()), 0);
        SyncCommon(bound);
        if (model.TabCount() == 0) ::EnableWindow(tabs, FALSE);  // nothing for Tab to stop at
    };
    sync();
    subscriptions_.push_back(model.Changed.Subscribe(sync));
}

bool ControlBinder::OnNotify(const NMHDR& header) {
    for (auto& bound : bound_) {
        if (bound->control != header.hwndFrom || bound->kind != Bound::Kind::Tabs) continue;
        if (header.code == TCN_SELCHANGE)
            static_cast<TabStripModel*>(bound->model)
                ->Select(static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
        return true;
    }
    return false;
}

void ControlBinder::List(HWND control, ListModel& model, bool comboBox) {
    Bound& bound = Add(control, model, Bound::Kind::List);
    bound.list = std::make_unique<ListState>();
    bound.list->comboBox = comboBox;
    if (model.HasCheckBoxes()) ::SetWindowSubclass(control, &ControlBinder::CheckListProc, 0,
                                                   reinterpret_cast<DWORD_PTR>(&bound));
    SyncList(bound);
    subscriptions_.push_back(model.Changed.Subscribe([this, &bound] {
        SyncCommon(bound);
        ScheduleListSync();
    }));
}

void ControlBinder::TabbedList(HWND control, ListModel& model, std::vector<int> tabStops) {
    List(control, model, false);
    Bound& bound = *bound_.back();
    bound.list->tabStops = std::move(tabStops);
    ApplyTabStops(bound);
    MeasureWidest(bound, 0);
}

void ControlBinder::ApplyTabStops(Bound& bound) {
    auto& state = *bound.list;
    if (state.tabStops.empty()) return;
    // Cleared first: the stops are read in the units of the font the control has now.
    ::SendMessageW(bound.control, LB_SETTABSTOPS, 0, 0);
    ::SendMessageW(bound.control, LB_SETTABSTOPS, state.tabStops.size(), reinterpret_cast<LPARAM>(state.tabStops.data()));
    const ControlDc dc(bound.control);
    state.pixelStops = PixelTabStops(dc.get(), state.tabStops);
    if (static_cast<ListModel*>(bound.model)->HasCheckBoxes()) {
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc.get(), &metrics);
        ::SendMessageW(bound.control, LB_SETITEMHEIGHT, 0, metrics.tmHeight + 2);
    }
    ::InvalidateRect(bound.control, nullptr, TRUE);
}

// The widest of the lines from index from on, measured as the control draws them (TABs
// expanded), and the horizontal scroll width that shows it whole.
void ControlBinder::MeasureWidest(Bound& bound, size_t from) {
    auto& state = *bound.list;
    if (state.comboBox) return;
    if (from == 0) state.widest = 0;
    const ControlDc dc(bound.control);
    const auto* stops = state.pixelStops.empty() ? nullptr : state.pixelStops.data();
    const int stopCount = static_cast<int>(state.pixelStops.size());
    const bool checkBoxes = static_cast<ListModel*>(bound.model)->HasCheckBoxes();
    const int indent = checkBoxes ? TextIndent(LineHeight(bound.control)) : 0;
    for (size_t i = from; i < state.shown.size(); ++i) {
        const std::wstring& text = state.shown[i];
        const DWORD extent = ::GetTabbedTextExtentW(dc.get(), text.c_str(), static_cast<int>(text.size()), stopCount,
                                                    stops);
        state.widest = std::max(state.widest, indent + static_cast<int>(LOWORD(extent)));
    }
    // Long lines can be scrolled to rather than cut off.
    ::SendMessageW(bound.control, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(state.widest + 8), 0);
}

void ControlBinder::FontChanged() {
    for (auto& bound : bound_) {
        if (!bound->list) continue;
        ApplyTabStops(*bound);
        MeasureWidest(*bound, 0);
    }
}

bool ControlBinder::OnDrawItem(const DRAWITEMSTRUCT& item) {
    for (auto& bound : bound_) {
        if (bound->control != item.hwndItem || !bound->list) continue;
        const auto& model = static_cast<ListModel&>(*bound->model);
        const auto& state = *bound->list;
        const HDC dc = item.hDC;
        RECT line = item.rcItem;
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        ::FillRect(dc, &line, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        if (item.itemID < state.shown.size()) {
            const int index = static_cast<int>(item.itemID);
            const int height = line.bottom - line.top, side = CheckBoxSide(height);
            RECT box{line.left + 2, line.top + (height - side) / 2, line.left + 2 + side,
                     line.top + (height - side) / 2 + side};
            const bool checked = index < model.ListCount() && model.Checked(index);
            ::DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0));
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            const std::wstring& text = state.shown[item.itemID];
            const int left = line.left + TextIndent(height);
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            ::TabbedTextOutW(dc, left, line.top + (height - metrics.tmHeight) / 2, text.c_str(),
                             static_cast<int>(text.size()), static_cast<int>(state.pixelStops.size()),
                             state.pixelStops.empty() ? nullptr : state.pixelStops.data(), left);
        }
        if (item.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &line);
        return true;
    }
    return false;
}

// The check box of a line answers the mouse and the Space bar; the rest of the line is
// an ordinary list line (a click selects, a double click acts).
LRESULT CALLBACK ControlBinder::CheckListProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data) {
    auto& bound = *reinterpret_cast<Bound*>(data);
    auto& model = static_cast<ListModel&>(*bound.model);
    const auto toggle = [&](int index) {
        if (index >= 0 && index < model.ListCount()) model.SetChecked(index, !model.Checked(index));
    };
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            const DWORD hit = static_cast<DWORD>(::SendMessageW(control, LB_ITEMFROMPOINT, 0, lParam));
            const int x = static_cast<short>(LOWORD(lParam));
            const bool onBox = HIWORD(hit) == 0 && x < TextIndent(LineHeight(control));
            if (!onBox) break;
            // The click makes the line current (and shows it), then flips its box.
            const LRESULT result = ::DefSubclassProc(control, WM_LBUTTONDOWN, wParam, lParam);
            toggle(static_cast<int>(LOWORD(hit)));
            return result;
        }
        case WM_KEYDOWN:
            if (wParam != VK_SPACE) break;
            toggle(static_cast<int>(::SendMessageW(control, LB_GETCARETINDEX, 0, 0)));
            return 0;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(control, &ControlBinder::CheckListProc, 0);
            break;
        default: break;
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

std::vector<int> PixelTabStops(HDC dc, const std::vector<int>& dialogUnits) {
    // The average character width as the system measures it for dialog units.
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    ::GetTextExtentPoint32W(dc, kAlphabet, 52, &size);
    const int average = (size.cx / 26 + 1) / 2;
    std::vector<int> pixels;
    for (const int units : dialogUnits) pixels.push_back(MulDiv(units, average, 4));
    return pixels;
}

void ControlBinder::ScheduleListSync() {
    if (listSyncPending_) return;
    listSyncPending_ = ::PostMessageW(notifyWindow_, kSyncListsMessage, 0, 0) != FALSE;
}

void ControlBinder::SyncLists() {
    listSyncPending_ = false;
    for (auto& bound : bound_)
        if (bound->list) SyncList(*bound);
}

void ControlBinder::SyncList(Bound& bound) {
    auto& model = static_cast<ListModel&>(*bound.model);
    auto& state = *bound.list;
    const HWND control = bound.control;
    const bool combo = state.comboBox;
    const auto& items = model.Items();

    size_t same = 0;
    while (same < state.shown.size() && same < items.size() && state.shown[same] == items[same].text) ++same;
    const size_t changes = (state.shown.size() - same) + (items.size() - same);
    const bool quiet = changes > 32;
    if (quiet) ::SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    for (size_t i = state.shown.size(); i > same; --i)
        ::SendMessageW(control, combo ? CB_DELETESTRING : LB_DELETESTRING, i - 1, 0);
    state.shown.resize(same);
    for (size_t i = same; i < items.size(); ++i) {
        const std::wstring& text = items[i].text;
        ::SendMessageW(control, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        state.shown.push_back(text);
    }
    MeasureWidest(bound, same);
    const WPARAM index = static_cast<WPARAM>(model.ListIndex());
    ::SendMessageW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
    if (model.HasCheckBoxes() && !quiet) ::InvalidateRect(control, nullptr, FALSE);  // the boxes may have changed
    if (quiet) {
        ::SendMessageW(control, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(control, nullptr, TRUE);
    }
    SyncCommon(bound);
}

bool ControlBinder::OnCommand(HWND control, UINT code) {
    for (auto& bound : bound_) {
        if (bound->control != control) continue;
        switch (bound->kind) {
            case Bound::Kind::Button:
                if (code == BN_CLICKED) static_cast<ButtonModel*>(bound->model)->Click();
                return true;
            case Bound::Kind::CheckBox:
                if (code == BN_CLICKED) {
                    const bool checked = ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
                    static_cast<CheckBoxModel*>(bound->model)->SetValue(checked ? 1 : 0);
                }
                return true;
            case Bound::Kind::List: {
                const bool combo = bound->list->comboBox;
                if (!combo && code == LBN_DBLCLK) {
                    static_cast<ListModel*>(bound->model)->DblClick();
                    return true;
                }
                if (code != (combo ? CBN_SELCHANGE : LBN_SELCHANGE)) return true;
                // The line the user chose, read before the sync puts the model's current line back.
                const int index = static_cast<int>(::SendMessageW(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
                SyncList(*bound);  // the indexes the user sees are the model's
                auto& model = static_cast<ListModel&>(*bound->model);
                model.SetListIndex(index < model.ListCount() ? index : -1);
                return true;
            }
            default: return true;
        }
    }
    return false;
}

ControlModel* ControlBinder::ModelOf(HWND control) const {
    for (const auto& bound : bound_)
        if (bound->control == control) return bound->model;
    return nullptr;
}

void SetProgressAtOnce(HWND bar, int value) {
    // Moving backwards is drawn at once; so step one past the value and back.
    const int high = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    if (value < high) {
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value + 1), 0);
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
        return;
    }
    ::SendMessageW(bar, PBM_SETRANGE32, 0, high + 1);
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(high + 1), 0);
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, high);
}

}  // namespace qm
