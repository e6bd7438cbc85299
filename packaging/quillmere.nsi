; Quillmere's installer, built by the project's build (makensis, 64-bit stub).
;
; Per user without administrator rights by default; per machine when started elevated
; with /AllUsers. Silent: /S (with /CurrentUser or /AllUsers, and /D=folder to choose the
; folder). An existing installation is updated in place, in its folder and mode. Started
; by the running program as its update, /WaitPid=<id> waits for that program to end.
; The uninstaller takes /S, /AllUsers and /RemoveSettings.
;
; Defined by the build: VERSION (5.0.0), PROGRAM (path of Quillmere.exe), CONSOLE_PROGRAM (path of
; quillmere-cli.exe), OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "Quillmere"
!define PUBLISHER "Dorvik Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
!define SETTINGS_KEY "Software\Dorvik Software\Quillmere"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

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

Var AllUsers  ; 1 when installing for every user of the computer

Page directory
Page instfiles
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

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  Call ChooseMode
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ; A folder given with /D= wins over an earlier installation's.
  ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${PRODUCT}"
    Call FindEarlierInstallation
  ${EndIf}
  Call WaitForProgram
FunctionEnd

Section "Quillmere"
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

Section "Uninstall"
  Delete "$INSTDIR\Quillmere.exe"
  Delete "$INSTDIR\quillmere-cli.exe"
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
