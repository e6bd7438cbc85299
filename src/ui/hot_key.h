#pragma once
// The one global hot key that starts the hot-key clean: its stored values, the combinations
// refused because they would fire while the user types, and replacing the registered key
// without ever ending up with none.
#include <windows.h>

#include <optional>
#include <string>

namespace qm {

class UiHost;

inline constexpr int kCleanHotKeyId = 1;

// Modifiers as RegisterHotKey takes them (MOD_ALT, MOD_CONTROL, MOD_SHIFT) and a virtual key.
struct HotKeyCombo {
    UINT modifiers = 0;
    UINT key = 0;
    bool operator==(const HotKeyCombo&) const = default;
};

inline constexpr HotKeyCombo kDefaultCleanHotKey{MOD_ALT, 'C'};

inline constexpr wchar_t kHotKeyRefusedMessage[] =
    L"That Hot Key Would Start A Clean While You Type Or Close A Window!\r\n\r\n"
    L"Please Choose Alt With A Letter, Ctrl + Shift With A Letter, Or A Modifier With A Function Key "
    L"(But Not Alt + F4).";
inline constexpr wchar_t kStoredHotKeyRefusedMessage[] =
    L"Your Saved Hot Key Would Start A Clean While You Type Or Close A Window!\r\n\r\n"
    L"Alt + C Is Used Instead, Choose Another With \"Select HotKey\".";
inline constexpr wchar_t kHotKeyTakenSaveMessage[] =
    L"Unable to register the selected hotkey, it may already be in use!";
inline constexpr wchar_t kHotKeySavedMessage[] = L"Your Hot Key Changes Have Been Saved!";
inline constexpr wchar_t kHotKeySavedTitle[] = L"Dorvik MinMax HotKey Select";

// True for combinations that would start a clean while the user types or works: no
// modifier, Shift or Ctrl alone with a typing key, Ctrl with Alt and a typing key (AltGr
// on many keyboards), and Alt+F4. Typing keys are all but the function keys.
bool CapturesTyping(const HotKeyCombo& combo);

// The key's name in the chooser ("A" to "Z", "F1" to "F12"); "" for any other key.
std::wstring HotKeyName(UINT key);
// The key of a name of the chooser; 0 for any other text.
UINT HotKeyFromName(const std::wstring& name);

// The stored combination as start-up reads it ("MaxMinKey" and the three modifier values,
// a modifier above 0 counting as set); nothing when "MaxMinKey" is missing, "0" or no key.
std::optional<HotKeyCombo> StoredHotKey();
// Writes "MaxMinKey" and the three modifier values ("65536", "131072", "262144" or "").
void StoreHotKey(const HotKeyCombo& combo);

enum class HotKeyChange {
    Unchanged,  // the same combination, registered: nothing was touched
    Refused,    // CapturesTyping: nothing was touched
    Taken,      // the system refused it; the old key is registered again, the values kept
    Saved,      // registered and stored
};

// Replaces the registered hot key 1 of the hot-key window by wanted. The values are
// written only once the new key is registered.
HotKeyChange ChangeHotKey(UiHost& ui, const std::optional<HotKeyCombo>& current, const HotKeyCombo& wanted);

}  // namespace qm
