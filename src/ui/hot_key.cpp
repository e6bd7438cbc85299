#include "ui/hot_key.h"

#include "base/text.h"
#include "startup/reg_op.h"
#include "startup/ui_host.h"

namespace qm {

namespace {

constexpr wchar_t kShiftValue[] = L"65536";
constexpr wchar_t kCtrlValue[] = L"131072";
constexpr wchar_t kAltValue[] = L"262144";

bool IsFunctionKey(UINT key) { return key >= VK_F1 && key <= VK_F24; }

long long StoredNumber(RegOp& settings, const wchar_t* name) {
    long long value = 0;
    return TryParseInt(settings.Text(name), value) ? value : 0;
}

}  // namespace

bool CapturesTyping(const HotKeyCombo& combo) {
    const UINT modifiers = combo.modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT);
    if (modifiers == 0) return true;
    if (modifiers == MOD_ALT && combo.key == VK_F4) return true;
    if (IsFunctionKey(combo.key)) return false;
    const bool ctrlWithAlt = (modifiers & MOD_CONTROL) && (modifiers & MOD_ALT);
    return modifiers == MOD_SHIFT || modifiers == MOD_CONTROL || ctrlWithAlt;
}

std::wstring HotKeyName(UINT key) {
    if (key >= 'A' && key <= 'Z') return std::wstring(1, static_cast<wchar_t>(key));
    if (key >= VK_F1 && key <= VK_F12) return L"F" + std::to_wstring(key - VK_F1 + 1);
    return L"";
}

UINT HotKeyFromName(const std::wstring& name) {
    if (name.size() == 1 && name[0] >= L'A' && name[0] <= L'Z') return name[0];
    for (UINT key = VK_F1; key <= VK_F12; ++key)
        if (name == HotKeyName(key)) return key;
    return 0;
}

std::optional<HotKeyCombo> StoredHotKey() {
    RegOp settings;
    settings.SetKey(kProgramKey);
    long long key = 0;
    if (!TryParseInt(settings.Text(L"MaxMinKey"), key) || key <= 0 || key > 0xFF) return std::nullopt;
    HotKeyCombo combo{0, static_cast<UINT>(key)};
    if (StoredNumber(settings, L"MaxMinAlt") > 0) combo.modifiers |= MOD_ALT;
    if (StoredNumber(settings, L"MaxMinCtrl") > 0) combo.modifiers |= MOD_CONTROL;
    if (StoredNumber(settings, L"MaxMinShift") > 0) combo.modifiers |= MOD_SHIFT;
    return combo;
}

void StoreHotKey(const HotKeyCombo& combo) {
    RegOp settings;
    settings.SetKey(kProgramKey);
    settings.SetValue(L"MaxMinKey", std::to_wstring(combo.key));
    settings.SetValue(L"MaxMinShift", (combo.modifiers & MOD_SHIFT) ? kShiftValue : L"");
    settings.SetValue(L"MaxMinCtrl", (combo.modifiers & MOD_CONTROL) ? kCtrlValue : L"");
    settings.SetValue(L"MaxMinAlt", (combo.modifiers & MOD_ALT) ? kAltValue : L"");
}

HotKeyChange ChangeHotKey(UiHost& ui, const std::optional<HotKeyCombo>& current, const HotKeyCombo& wanted) {
    const HWND owner = ui.MaxMinWindow();
    // The same key is registered again when start-up could not register it.
    if (current == wanted && ui.HotKeyRegistered(owner, kCleanHotKeyId)) return HotKeyChange::Unchanged;
    if (CapturesTyping(wanted)) return HotKeyChange::Refused;
    // Released first: on Windows a second registration under the same id would fail.
    ui.UnregisterHotKey(owner, kCleanHotKeyId);
    if (!ui.RegisterHotKey(owner, kCleanHotKeyId, wanted.modifiers, wanted.key)) {
        if (current) ui.RegisterHotKey(owner, kCleanHotKeyId, current->modifiers, current->key);
        return HotKeyChange::Taken;
    }
    StoreHotKey(wanted);
    return HotKeyChange::Saved;
}

}  // namespace qm
