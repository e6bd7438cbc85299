; Quillmere's installer, built by the project's build (makensis, 64-bit stub).
;
; Per user without administrator rights by default; per machine when started elevated
; with /AllUsers. Silent: /S (with /CurrentUser or /AllUsers, and /D=folder to choose the
; folder). An existing installation is updated in place, in its folder and mode. Started
; by the running program as its update, "/S /Update /WaitPid=<id>" waits for that program to
; end, installs without pages and starts the installed program again. Before any file is
; replaced or removed, a running Quillmere is asked to exit, as its tray menu's "Exit Program"
; does, and given 15 seconds. The uninstaller takes /S, /AllUsers and /RemoveSettings.
;
; Defined by the build: VERSION (5.0.0), PROGRAM (path of Quillmere.exe), CONSOLE_PROGRAM (path of
; quillmere-cli.exe), OUTFILE, EXIT_COMMAND (the tray menu's "Exit Program" command id).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh
!include WinMessages.nsh

!define PRODUCT "Quillmere"
!define PUBLISHER "Dorvik Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
!define SETTINGS_KEY "Software\Dorvik Software\Quillmere"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The running program's hidden window, which takes its tray menu's commands.
!define PROGRAM_WINDOW_CLASS "QuillmereMaxMin"

Name "Dorvik ${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
BrandingText "${PUBLISHER}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Var AllUsers    ; 1 when installing for every user of the computer
Var UpdateMode  ; 1 for the update the running program starts
Var RunBox      ; the last page's "Run Quillmere" box
Var FileStays   ; 1 when the uninstaller could not remove a program file
Var EndCaption  ; the uninstaller's caption once it has run: never "Completed" when it failed

Page directory
Page instfiles
Page custom RunPageShow RunPageLeave
UninstallSubCaption 2 "$EndCaption"
UninstPage uninstConfirm
UninstPage instfiles

; Per machine only when asked for and elevated; everything else is per user.
Function ChooseMode
  StrCpy $AllUsers 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    UserInfo::GetAccountType
    Pop $R2
    ${If} $R2 == "Admin"
      StrCpy $AllUsers 1
    ${Else}
      MessageBox MB_ICONEXCLAMATION|MB_OK "Installing for all users needs administrator rights; ${PRODUCT} is installed for you alone." /SD IDOK
    ${EndIf}
  ${EndIf}
FunctionEnd

; An earlier installation of the same mode is updated where it is.
Function FindEarlierInstallation
  ${If} $AllUsers == 1
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Else}
    ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $R0 != ""
    StrCpy $INSTDIR $R0
  ${ElseIf} $AllUsers == 1
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${EndIf}
FunctionEnd

; The program that started this update ends first; its file must be free to replace.
Function WaitForProgram
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/WaitPid=" $R1
  ${IfNot} ${Errors}
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p.R2'
    ${If} $R2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i 60000) i.R3'
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
  ${EndIf}
FunctionEnd

; Asks a running Quillmere to exit and waits for it, so that its files are free. A program
; that does not end in time keeps its files: replacing or removing them then fails and says so.
!macro DEFINE_CLOSE_PROGRAM UN
Function ${UN}CloseProgram
  FindWindow $R0 "${PROGRAM_WINDOW_CLASS}"
  ${If} $R0 == 0
    Return
  ${EndIf}
  DetailPrint "Closing the running ${PRODUCT}..."
  System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p.R2'
  System::Call 'user32::PostMessageW(p R0, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)'
  ${If} $R2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p R2, i 15000)'
    System::Call 'kernel32::CloseHandle(p R2)'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_PROGRAM ""
!insertmacro DEFINE_CLOSE_PROGRAM "un."

; The last page of an interactive per-user install: "Run Quillmere", on by default. A per-machine
; install runs elevated, so it does not start the program as the administrator.
Function RunPageShow
  ${If} $AllUsers == 1
    Abort
  ${EndIf}
  nsDialogs::Create 1018
  Pop $R0
  ${NSD_CreateLabel} 0 0 100% 24u "${PRODUCT} is installed in $INSTDIR."
  Pop $R0
  ${NSD_CreateCheckbox} 0 30u 100% 12u "Run ${PRODUCT}"
  Pop $RunBox
  ${NSD_Check} $RunBox
  GetDlgItem $R0 $HWNDPARENT 1
  SendMessage $R0 ${WM_SETTEXT} 0 "STR:$(^CloseBtn)"
  GetDlgItem $R0 $HWNDPARENT 2
  EnableWindow $R0 0
  GetDlgItem $R0 $HWNDPARENT 3
  ShowWindow $R0 ${SW_HIDE}
  nsDialogs::Show
FunctionEnd

Function RunPageLeave
  ${NSD_GetState} $RunBox $R0
  ${If} $R0 == ${BST_CHECKED}
    Exec '"$INSTDIR\Quillmere.exe"'
  ${EndIf}
FunctionEnd

; The silent update starts the updated program again, as the resident program (no arguments).
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $UpdateMode == 1
    Exec '"$INSTDIR\Quillmere.exe"'
  ${EndIf}
FunctionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  Call ChooseMode
  StrCpy $UpdateMode 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/Update" $R1
  ${IfNot} ${Errors}
    StrCpy $UpdateMode 1
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ; A folder given with /D= wins over an earlier installation's.
  ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${PRODUCT}"
    Call FindEarlierInstallation
  ${EndIf}
FunctionEnd

Section "Quillmere"
  Call CloseProgram
  Call WaitForProgram
  SetOutPath "$INSTDIR"
  SetOverwrite on
  ClearErrors
  File "/oname=Quillmere.exe" "${PROGRAM}"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP|MB_OK "Quillmere.exe could not be replaced. Close ${PRODUCT} and run the installer again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  File "/oname=quillmere-cli.exe" "${CONSOLE_PROGRAM}"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP|MB_OK "quillmere-cli.exe could not be replaced. Wait for the running clean to end and run the installer again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Quillmere.exe" "" "$INSTDIR\Quillmere.exe" 0

  ; Where and how it is installed, for Windows' list of programs, updates and the uninstaller.
  ${If} $AllUsers == 1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallMode" "AllUsers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillmere.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /AllUsers'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /AllUsers /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${Else}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallMode" "CurrentUser"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillmere.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${EndIf}
SectionEnd

Function un.onInit
  SetRegView 64
  StrCpy $EndCaption ": Completed"
  StrCpy $AllUsers 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Removes one program file; one that stays (held by a running program) is named in the details.
!macro REMOVE_PROGRAM_FILE NAME
  ClearErrors
  Delete "$INSTDIR\${NAME}"
  ${If} ${Errors}
    DetailPrint "Could not remove $INSTDIR\${NAME}: it is in use."
    StrCpy $FileStays 1
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.CloseProgram
  StrCpy $FileStays 0
  !insertmacro REMOVE_PROGRAM_FILE "Quillmere.exe"
  !insertmacro REMOVE_PROGRAM_FILE "quillmere-cli.exe"
  ; Not removed means not uninstalled: the uninstaller and its entry stay, so that it can be
  ; run again once the program is closed.
  ${If} $FileStays == 1
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} could not be removed completely: a file of it is in use (see the details). Close ${PRODUCT} and any clean that is running, then uninstall it again." /SD IDOK
    SetErrorLevel 2
    StrCpy $EndCaption ": Not Completed"
    Abort "${PRODUCT} could not be removed completely."
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; The start with Windows that the program registered for the current user.
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $AllUsers == 1
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
  ; The settings are the user's: removed only when the user says so. Silent, they stay
  ; unless /RemoveSettings is given.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/RemoveSettings" $R1
  ${If} ${Errors}
    MessageBox MB_ICONQUESTION|MB_YESNO|MB_DEFBUTTON2 "Remove your ${PRODUCT} settings (options, kept cookies and your folder list) too?" /SD IDNO IDNO keep_settings
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Dorvik Software"
  keep_settings:
SectionEnd
