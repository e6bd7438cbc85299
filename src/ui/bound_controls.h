#pragma once
// Binds form models to real Win32 controls: model changes are mirrored into the
// controls, and user input on the controls becomes model changes (which raise the
// models' events, as the controls they stand for do).
//
// List contents follow their model lazily: a clean adds thousands of lines one by one,
// so the control is brought up to date once per batch of changes (on a posted message),
// by keeping the lines it already shows and adding or removing only the difference.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/signal.h"
#include "ui/controls.h"

namespace qm {

class ControlBinder {
public:
    // notifyWindow receives kSyncListsMessage when lists need bringing up to date;
    // tooltips are shown for the controls of topLevel.
    ControlBinder(HWND notifyWindow, HWND topLevel);
    ~ControlBinder();
    ControlBinder(const ControlBinder&) = delete;
    ControlBinder& operator=(const ControlBinder&) = delete;

    static constexpr UINT kSyncListsMessage = WM_APP + 20;

    void Label(HWND control, LabelModel& model);
    void Button(HWND control, ButtonModel& model);
    void CheckBox(HWND control, CheckBoxModel& model);
    void List(HWND control, ListModel& model, bool comboBox);
    // A list box whose lines are TAB-separated columns, at tabStops in dialog units (quarters
    // of the font's average character width). A model with check boxes needs an owner-drawn
    // control (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS): its lines are drawn here with a check box
    // in front, which the mouse and the Space bar toggle.
    void TabbedList(HWND control, ListModel& model, std::vector<int> tabStops);
    void Progress(HWND control, ProgressBarModel& model);
    // A read-only edit box showing the model's text.
    void TextBox(HWND control, TextBoxModel& model);
    // A tab control whose tabs and selection follow the model.
    void Tabs(HWND control, TabStripModel& model);

    // WM_COMMAND from a bound control; true when it was one of ours.
    bool OnCommand(HWND control, UINT code);
    // WM_NOTIFY from a bound control; true when it was one of ours.
    bool OnNotify(const NMHDR& header);
    // WM_DRAWITEM for a list with check boxes; true when it was one of ours.
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    // Brings every list up to date with its model (the posted message's handler).
    void SyncLists();
    // After the controls got a new font: tab stops, line heights and scroll widths follow it.
    void FontChanged();
    // The model bound to a control, or nullptr.
    ControlModel* ModelOf(HWND control) const;

private:
    struct ListState;
    struct Bound {
        HWND control;
        ControlModel* model;
        enum class Kind { Label, Button, CheckBox, List, Progress, TextBox, Tabs } kind;
        std::unique_ptr<ListState> list;
    };

    Bound& Add(HWND control, ControlModel& model, Bound::Kind kind);
    void SyncCommon(const Bound& bound);
    void SyncTip(const Bound& bound);
    void ScheduleListSync();
    void SyncList(Bound& bound);
    void ApplyTabStops(Bound& bound);
    void MeasureWidest(Bound& bound, size_t from);
    static LRESULT CALLBACK CheckListProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);

    HWND notifyWindow_;
    HWND tooltip_ = nullptr;
    bool listSyncPending_ = false;
    std::vector<std::unique_ptr<Bound>> bound_;
    std::vector<Subscription> subscriptions_;
};

// The pixel positions of tab stops given in dialog units, for the font selected into dc.
std::vector<int> PixelTabStops(HDC dc, const std::vector<int>& dialogUnits);

// Sets a progress bar's position so that it shows at once, without the animation that
// themed bars play when the position moves forward.
void SetProgressAtOnce(HWND bar, int value);

}  // namespace qm
