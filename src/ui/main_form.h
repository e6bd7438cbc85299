#pragma once
// The main window frmMain as its handlers see it: the option boxes mirrored to the
// settings, the previews of what the Internet and Temp cleans would remove, the tab
// switch and the hint line. Everything here works on the form model; the Win32 window
// (main_window) follows the model and turns clicks into model changes.
#include <string>

namespace qm {

class AppContext;
class ControlModel;
struct MainFormModel;

// The Internet tab's count line for a Firefox profile: its saved session goes with the clean.
inline constexpr wchar_t kFirefoxSessionCountPrefix[] = L"FireFox Saved Session (The Open Tabs): ";
inline constexpr wchar_t kFirefoxSessionCountSuffix[] = L" Files, Removed By Clean Internet Files";

// Connects the form's handlers to its model. Call once, after the context is made.
void BindMainForm(AppContext& ctx);

// The non-visual part of loading the window: position (0, 0). The update check at start
// waits until the tray icon and the hot key exist (start-up runs it).
void Form_Load(AppContext& ctx);
// Runs each time the window goes from hidden to shown (not on every switch back to it).
void Form_Activate(AppContext& ctx);
void SSTab1_Click(AppContext& ctx);
void CheckBoxValue(AppContext& ctx);
void cache_Click(AppContext& ctx);
void SetCacheList(AppContext& ctx);
void SetTempList(AppContext& ctx);

// The pointer moved over control: the hint line of its group shows its hint (over the
// options frame, the group's own text).
void ShowHintFor(MainFormModel& form, const ControlModel& control);

}  // namespace qm
