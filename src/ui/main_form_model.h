#pragma once
// The data of the main window frmMain, by control name. The cleaning engine, the cookie
// manager and start-up hand each other data through these lists, so they live here,
// apart from the Win32 window that shows them.
#include <array>
#include <cstdint>

#include "ui/controls.h"

namespace qm {

struct MainFormModel {
    FormModel form;  // the window itself: Visible, Top/Left, Loaded

    // Browser caches and cookie locations (item data = kind code).
    ListModel cache;
    ListModel cboLoc;
    ListModel Combo1;  // browser folders found
    ListModel Combo2;  // the Temp folder
    ListModel Combo3;  // mirror of cboLoc's paths

    // Previews of what each clean would remove.
    ListModel MSIE;
    ListModel NS;
    ListModel FireFox;
    ListModel List2;  // remaining Temp files (full paths)

    // Cookie viewer and kept-cookie lists.
    ListModel lstCookie;
    ListModel MSSaved;
    ListModel NS2Saved;
    ListModel FireFoxSaved;
    ListModel List1;
    ListModel List8;
    TabStripModel tabKV;
    TextBoxModel txtName, txtValue, txtSecure, txtCreated, txtExpire, txtLife;
    ButtonModel btnDel{L"&Delete"};
    ButtonModel btnClear{L"De&select"};
    LabelModel lblCookieCnt;
    LabelModel Label12, Label14;
    std::array<LabelModel, 2> Label19;

    // Work lists of the cookie clean and the folder editor.
    ListModel List6;
    ListModel List7;

    // Options.
    CheckBoxModel Check1{L"Clean Internet Files"};
    CheckBoxModel Check2{L"Clean Temp Folder"};
    CheckBoxModel Check3;
    CheckBoxModel Check4{L"Clean Cookie Folder"};
    CheckBoxModel Check5{L"Clean Your Folder"};
    CheckBoxModel Check6;
    CheckBoxModel Check7{L"Remove Dat Files"};
    CheckBoxModel Check8;

    // Status labels of the previews and the folder editor.
    LabelModel Label1;
    LabelModel Label5;
    LabelModel Label6{L"Files In Use Can Not Be Deleted"};
    LabelModel Label15{L"Select Folder And Click Save"};

    // Clean commands.
    ButtonModel Command1{L"Clean Internet"};
    ButtonModel Command3{L"Clean Temp"};
    ButtonModel Command5{L"AutoClean Now"};
    ButtonModel Command8{L"Clean Cookies"};
    ButtonModel Command15{L"Clean Your Folders"};

    // The browser kind of the current selection (a form-level value shared by the
    // "Clean Internet" command and the cookie viewer).
    std::int32_t currentKind = 0;
};

// The progress and result window frmCount.
struct CountFormModel {
    FormModel form;
    LabelModel Label1{L"Cleaning"};
    LabelModel Label2{L"Files Cleaned"};
    ProgressBarModel ProgressBar1;
    std::wstring timerTag;  // the role of the run that armed the return timer
    bool bMsgShow = false;
};

}  // namespace qm
