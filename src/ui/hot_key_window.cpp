#include "ui/hot_key_window.h"

#include <array>
#include <memory>
#include <vector>

#include "base/app_error.h"
#include "base/dialogs.h"
#include "startup/app_context.h"
#include "startup/reg_op.h"
#include "startup/system_info.h"
#include "ui/bound_controls.h"
#include "ui/dpi.h"
#include "ui/entry_points.h"
#include "ui/hot_key.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr TrapSite kTrapLoad{L"frmHotKeySet2", L"Form_Load"};
constexpr TrapSite kTrapSave{L"frmHotKeySet2", L"Command2_Click"};
constexpr int kOpacity = 220;

int Info(AppContext& ctx, const wchar_t* text, const wchar_t* title = kTitleInformation) {
    return ctx.dialogs.ShowMessage({text, title, MB_OK | MB_ICONINFORMATION});
}

bool Ticked(const CheckBoxModel& box) { return box.Value() == 1; }

}  // namespace

void HotKeySetLoad(HotKeySetFormModel& form) {
    RegOp settings;
    settings.SetKey(kProgramKey);
    const std::wstring stored = settings.Text(L"MaxMinKey");
    long long code = 0;
    const std::wstring name =
        stored.empty() || stored == L"0" ? L"F8"
                                         : (TryParseInt(stored, code) && code > 0 && code <= 0xFF
                                                ? HotKeyName(static_cast<UINT>(code))
                                                : L"");
    form.CheckBox2.SetValue(settings.Text(L"MaxMinCtrl").empty() ? 0 : 1);
    form.CheckBox1.SetValue(settings.Text(L"MaxMinShift").empty() ? 0 : 1);
    form.CheckBox3.SetValue(settings.Text(L"MaxMinAlt").empty() ? 0 : 1);
    form.ComboBox1.Clear();
    for (UINT key = VK_F1; key <= VK_F12; ++key) form.ComboBox1.AddItem(HotKeyName(key));
    for (UINT key = 'A'; key <= 'Z'; ++key) form.ComboBox1.AddItem(HotKeyName(key));
    form.ComboBox1.SetListIndex(form.ComboBox1.FindNoCase(name));
}

bool HotKeySetSave(AppContext& ctx, HotKeySetFormModel& form) {
    form.form.SetVisible(false);
    const UINT key = HotKeyFromName(form.ComboBox1.Text());
    if (key == 0) {
        Info(ctx, L"You must select a key!");
        form.form.SetVisible(true);
        return false;
    }
    HotKeyCombo wanted{0, key};
    if (Ticked(form.CheckBox1)) wanted.modifiers |= MOD_SHIFT;
    if (Ticked(form.CheckBox2)) wanted.modifiers |= MOD_CONTROL;
    if (Ticked(form.CheckBox3)) wanted.modifiers |= MOD_ALT;
    switch (ChangeHotKey(ctx.ui, StoredHotKey(), wanted)) {
        case HotKeyChange::Unchanged: return true;
        case HotKeyChange::Saved: Info(ctx, kHotKeySavedMessage, kHotKeySavedTitle); return true;
        case HotKeyChange::Refused: Info(ctx, kHotKeyRefusedMessage); break;
        case HotKeyChange::Taken: Info(ctx, kHotKeyTakenSaveMessage); break;
    }
    form.form.SetVisible(true);
    return false;
}

namespace {

enum : int { kComboId = 100, kShiftId, kCtrlId, kAltId, kLabel1Id, kLabel2Id };
constexpr int kWidth = 300, kHeight = 190;  // client area at 96 DPI

class HotKeyWindow final : public Window {
public:
    explicit HotKeyWindow(AppContext& ctx) : ctx_(ctx) {
        const DWORD style = WS_CAPTION | WS_SYSMENU | WS_POPUP;
        Create({kHotKeyWindowClass, kHotKeyWindowCaption, style, WS_EX_DLGMODALFRAME, kWidth, kHeight,
                ctx.ui.MaxMinWindow()});
        const UINT dpi = WindowDpi(Handle());
        RECT frame{0, 0, Scale(kWidth, dpi), Scale(kHeight, dpi)};
        ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
        ::SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        font_ = MessageFont(dpi);
        const auto add = [&](const wchar_t* cls, DWORD controlStyle, int id, int x, int y, int w, int h) {
            const HWND control = CreateControl(Handle(), cls, L"", controlStyle, id, Scale(x, dpi), Scale(y, dpi),
                                               Scale(w, dpi), Scale(h, dpi));
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
            return control;
        };
        binder_ = std::make_unique<ControlBinder>(Handle(), Handle());
        binder_->Label(add(L"STATIC", SS_NOPREFIX, kLabel2Id, 12, 10, 276, 18), form_.Label2);
        binder_->List(add(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kComboId, 12, 32, 120, 300),
                      form_.ComboBox1, true);
        binder_->Label(add(L"STATIC", SS_NOPREFIX, kLabel1Id, 12, 66, 276, 18), form_.Label1);
        binder_->CheckBox(add(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kShiftId, 12, 88, 90, 22), form_.CheckBox1);
        binder_->CheckBox(add(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kCtrlId, 106, 88, 90, 22), form_.CheckBox2);
        binder_->CheckBox(add(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kAltId, 200, 88, 90, 22), form_.CheckBox3);
        // The ids of the dialog keys: Enter saves, Esc cancels.
        binder_->Button(add(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 12, 140, 130, 30), form_.Command2);
        binder_->Button(add(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 158, 140, 130, 30), form_.Command1);
        form_.Command2.Click.Connect([this] { Save(); });
        form_.Command1.Click.Connect([this] { Close(); });
        subscriptions_.push_back(form_.form.Changed.Subscribe([this] {
            ::ShowWindow(Handle(), form_.form.Visible() ? SW_SHOW : SW_HIDE);
        }));
        TrapStep(ctx_.dialogs, kTrapLoad, [&] { HotKeySetLoad(form_); });
        binder_->SyncLists();
        CentreOnScreen(Handle());
        MakeTransparent(ctx_.os, Handle(), kOpacity);
    }

    void Present() {
        form_.form.SetVisible(true);
        ::ShowWindow(Handle(), SW_SHOW);
        ::SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);  // above the main window
        ::SetForegroundWindow(Handle());
        ::SetFocus(::GetDlgItem(Handle(), kComboId));
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_COMMAND: {
                const UINT id = LOWORD(wParam);
                // Enter and Esc arrive as IDOK and IDCANCEL without a control handle.
                if (lParam == 0 && id == IDOK) form_.Command2.Click();
                else if (lParam == 0 && id == IDCANCEL) form_.Command1.Click();
                else binder_->OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
                return 0;
            }
            case WM_CLOSE: Close(); return 0;
            case ControlBinder::kSyncListsMessage: binder_->SyncLists(); return 0;
            default: return Default(message, wParam, lParam);
        }
    }

private:
    void Save() {
        bool done = false;
        TrapStep(ctx_.dialogs, kTrapSave, [&] { done = HotKeySetSave(ctx_, form_); });
        if (done) Close();
    }
    // Unloads the window: the object stays until the next opening finds its handle gone.
    void Close() { Destroy(); }

    AppContext& ctx_;
    HotKeySetFormModel form_;
    UniqueGdiObject font_;
    std::unique_ptr<ControlBinder> binder_;
    std::vector<Subscription> subscriptions_;
};

}  // namespace

void ShowHotKeySetter(AppContext& ctx) {
    if (ctx.frmHotKeySet2 && !ctx.frmHotKeySet2->Handle()) ctx.frmHotKeySet2.reset();  // closed since
    if (!ctx.frmHotKeySet2) ctx.frmHotKeySet2 = std::make_unique<HotKeyWindow>(ctx);
    if (auto* window = static_cast<HotKeyWindow*>(ctx.frmHotKeySet2.get()); window->Handle()) window->Present();
}

}  // namespace qm
