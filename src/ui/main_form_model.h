#pragma once
// The data of the main window frmMain and of the result window frmCount, by control
// name. The cleaning engine, the cookie manager and start-up hand each other data
// through these lists, so they live here, apart from the Win32 windows that show them.
#include <windows.h>

#include <array>
#include <cstdint>

#include "ui/controls.h"

namespace qm {

// The tabs of SSTab1, in order.
enum MainTab : int { kTabOptions = 0, kTabInternet = 1, kTabTemp = 2, kTabCookies = 3, kTabYourFolder = 4 };

struct MainFormModel {
    FormModel form;  // the window itself: Visible, Top/Left, Loaded
    TabStripModel SSTab1 = MainTabs();

    // Browser caches and cookie locations (item data = kind code).
    ListModel cache;
    ListModel cboLoc;
    ListModel Combo1;  // browser folders found
    ListModel Combo2;  // the Temp folder
    ListModel Combo3;  // mirror of cboLoc's paths

    // Previews of what each clean would remove; MSIE, NS, FireFox and Chromium are stacked
    // and one of them is shown at a time.
    ListModel MSIE;
    ListModel NS{false};
    ListModel FireFox{false};
    ListModel Chromium{false};  // the Chromium family's caches
    ListModel List2;  // remaining Temp files (full paths)

    // Cookie viewer and kept-cookie lists.
    ListModel lstCookie{true, ListModel::Style::CheckBoxes};
    ListModel MSSaved;
    ListModel NS2Saved;
    ListModel FireFoxSaved;
    ListModel ChromiumSaved;
    ListModel List1;
    ListModel List8;
    TabStripModel tabKV;
    TextBoxModel txtName, txtValue, txtSecure, txtCreated, txtExpire, txtLife;
    LabelModel lblHttpOnly;  // a line of the details of its own: kHttpOnlyDetail, or empty
    ButtonModel btnDel{L"&Delete"};
    ButtonModel btnClear{L"De&select"};
    LabelModel lblCookieCnt{L"Number of Cookies in selected location: 0"};
    LabelModel Label12;
    LabelModel Label14{L"Double Click On \"Cookie\" To Remove From Saved List"};
    std::array<LabelModel, 2> Label19;

    // Work lists of the cookie clean and the folder editor.
    ListModel List6;
    ListModel List7;

    // The folder editor ("Your Folder" tab): the stored folders, the folder chosen in browse
    // mode (through the system's folder picker) and the files of the folder shown.
    ListModel List5;
    TextBoxModel Dir1;
    ListModel File1;
    ButtonModel Browse{L"Browse..."};

    // Options ("Options" tab, group Frame2) and their hint line.
    LabelModel Frame2{L"AutoClean Options"};
    LabelModel Label4{L"Select An Option Below For AutoClean Function"};
    CheckBoxModel Check1{L"Clean Internet Files"};
    CheckBoxModel Check2{L"Clean Temp Folder"};
    CheckBoxModel Check3{L"Enable AutoClean"};
    CheckBoxModel Check4{L"Clean Cookie Folder"};
    CheckBoxModel Check5{L"Clean Your Folder"};
    CheckBoxModel Check6{L"AutoClean  && Shutdown"};
    CheckBoxModel Check7{L"Remove Dat Files"};
    CheckBoxModel Check8{L"Turn Off Dat Message"};

    // Locations group of the "Options" tab.
    LabelModel Label2{L"Locations of Folders To Be Cleaned"};
    LabelModel Label3{L"Internet Files"};   // labels of Combo1..Combo3
    LabelModel Label7{L"Temp Files"};
    LabelModel Label8{L"Cookie Files"};
    LabelModel Label13{L"Double Click On Name To Delete From List", false};

    // Status labels of the previews and the folder editor.
    LabelModel Label1{L"Internet Folder Contains 0 Files"};
    LabelModel Label5;
    LabelModel Label6{L"Files In Use Can Not Be Deleted"};
    LabelModel Label15{L"Select Folder And Click Save"};
    // The heading of the stored folders and the folder contents below them.
    LabelModel Label16{L"Make Sure This List Is Correct Before Cleaning\r\nThe Lower List Shows Contents of Folders"};

    // Clean commands.
    ButtonModel Command1{L"Clean Internet"};
    ButtonModel Command3{L"Clean Temp"};
    ButtonModel Command5{L"AutoClean Now"};
    ButtonModel Command8{L"Clean Cookies"};
    ButtonModel Command15{L"Clean Folders"};

    // Close and help buttons of each tab, and the rest of the pages' buttons.
    ButtonModel Command2{L"Close Form"}, Command4{L"Close Form"}, Command7{L"Close Form"}, Command10{L"Close Form"};
    ButtonModel Command6{L"Help"}, Command9{L"Help"}, Command11{L"Help"}, Command12{L"Help"};
    ButtonModel Command13{L"Reset Lists"};
    ButtonModel Command16{L"Save Folder"}, Command17{L"Help"}, Command18{L"Close Form"};

    // The browser kind of the current selection (a form-level value shared by the
    // "Clean Internet" command and the cookie viewer).
    std::int32_t currentKind = 0;

private:
    static TabStripModel MainTabs() {
        TabStripModel tabs;
        for (const wchar_t* caption : {L"Options", L"Internet", L"Temp", L"Cookies", L"Your Folder"})
            tabs.AddTab(caption);
        return tabs;
    }
};

// A timer control: fires Timer every Interval milliseconds while Enabled.
class TimerModel : public ControlModel {
public:
    explicit TimerModel(UINT interval) : interval_(interval) { SetEnabled(false); }
    Signal<> Timer;
    UINT Interval() const { return interval_; }
    std::wstring Tag;

private:
    UINT interval_;
};

// Where frmCount stands and its colour, by the role of the run.
enum class CountPlacement { Unchanged, NearTrayClick, Centred };

// The progress and result window frmCount.
struct CountFormModel {
    FormModel form;
    LabelModel Label1{L"Cleaning"};
    LabelModel Label2{L"Files Cleaned", false};
    LabelModel Label3{L"", false};  // under the count: folders removed, space freed, cookies
    ProgressBarModel ProgressBar1;
    TimerModel Timer1{3000};  // disabled until the result view arms it; Tag = the run's role
    bool bMsgShow = false;

    CountPlacement placement = CountPlacement::Unchanged;
    COLORREF BackColor = RGB(128, 128, 128);
};

}  // namespace qm
