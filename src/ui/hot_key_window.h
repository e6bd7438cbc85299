#pragma once
// frmHotKeySet2 "Select Hot Key For Cleaning": the key list (F1 to F12, A to Z), the three
// modifier boxes, "Save Selection" (Enter) and "Cancel" (Esc). Opening it and cancelling
// write nothing; saving re-registers the hot key at once and keeps the old one on failure.
#include <windows.h>

#include "ui/controls.h"

namespace qm {

class AppContext;

inline constexpr wchar_t kHotKeyWindowClass[] = L"QuillmereHotKeySet";
inline constexpr wchar_t kHotKeyWindowCaption[] = L"Select Hot Key For Cleaning";

struct HotKeySetFormModel {
    FormModel form;
    ListModel ComboBox1;
    CheckBoxModel CheckBox1{L"Shift Button"};
    CheckBoxModel CheckBox2{L"Ctrl Button"};
    CheckBoxModel CheckBox3{L"Alt Button"};
    LabelModel Label1{L"Select One Or More Modifiers"};
    LabelModel Label2{L"Select Your Hot Key Alt + C Is The Default"};
    ButtonModel Command2{L"Save Selection"};
    ButtonModel Command1{L"Cancel"};
};

// Form_Load: the list filled, the stored key and modifiers shown ("F8" when none is stored).
void HotKeySetLoad(HotKeySetFormModel& form);
// Command2_Click: true when the window is done (saved, or nothing changed).
bool HotKeySetSave(AppContext& ctx, HotKeySetFormModel& form);

}  // namespace qm
