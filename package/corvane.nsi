; Corvane's installer, for one user and without elevation. The program goes
; into the user's own programs folder, where it can write its state file,
; and starts with Windows from there. Over a running Corvane it first ends
; it, replaces the program, leaves the state file as it was, and starts it
; again. The uninstaller removes what the installer made, and the state
; file, but never a file the user put into the folder.
; Built by scripts/make-installer.sh, which defines VERSION, PROGRAM (the
; corvane.exe to install), ICON and OUTFILE.

Unicode true
RequestExecutionLevel user
ManifestSupportedOS all
SetCompressor /SOLID lzma
; No file times inside, so two builds of one commit give the same bytes.
SetDateSave off
; A file that cannot be written ends the install with an error: ignoring it
; would report success with the old program, or none, in place.
AllowSkipFiles off

!include FileFunc.nsh
!include LogicLib.nsh
!include MUI2.nsh
!include running_corvane.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane"
!define FOLDERID_UserProgramFiles "{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}"
!define KF_FLAG_CREATE 0x8000

Name "Corvane"
OutFile "${OUTFILE}"
; An upgrade goes where the last install went, unless /D= says otherwise.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Corvane ${VERSION}"
VIProductVersion "${VERSION}.0"
; The program's own version resource names no copyright either.
!pragma warning disable 9100
VIAddVersionKey "CompanyName" "Corvane"
VIAddVersionKey "ProductName" "Corvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Corvane ${VERSION} installer"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Corvane now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartCorvane
; MUI2's own text with one line more, which needs the taller text area.
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "Corvane has been installed on your computer.$\r$\n$\r$\nBefore you rely on it, set Windows' critical battery action to Do nothing: $\"Before first use$\" in Corvane's README says how.$\r$\n$\r$\nClick Finish to close this wizard."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!ifdef SIGN
    !uninstfinalize '"${SIGN}" "%1"'
!endif

!insertmacro DEFINE_CLOSE_RUNNING_CORVANE ""
!insertmacro DEFINE_CLOSE_RUNNING_CORVANE "un."

Function .onInit
    ; Neither /D= nor an earlier install chose the folder.
    ${If} $INSTDIR == ""
        System::Call "shell32::SHGetKnownFolderPath(g '${FOLDERID_UserProgramFiles}', i ${KF_FLAG_CREATE}, p 0, *p .r1) i .r0"
        ${If} $0 == 0
            System::Call "*$1(&w${NSIS_MAX_STRLEN} .r2)"
            StrCpy $INSTDIR "$2\Corvane"
        ${Else}
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Corvane"
        ${EndIf}
        System::Call "ole32::CoTaskMemFree(p r1)"
    ${EndIf}
FunctionEnd

; The working folder of a program that Exec starts is $OUTDIR: the install
; folder, where its state file is.
Function StartCorvane
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\corvane.exe"'
FunctionEnd

Section
    Call CloseRunningCorvane
    ClearErrors
    SetOutPath "$INSTDIR"
    File "/oname=corvane.exe" "${PROGRAM}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; A shortcut's working folder is $OUTDIR, so Corvane started from either
    ; keeps its state file beside the program.
    CreateShortcut "$SMSTARTUP\Corvane.lnk" "$INSTDIR\corvane.exe"
    CreateShortcut "$SMPROGRAMS\Corvane.lnk" "$INSTDIR\corvane.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Corvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvane.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Corvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "Corvane could not be installed completely in $INSTDIR." /SD IDOK
        Abort "Installing Corvane failed."
    ${EndIf}
    ; GetSize clears the error flag, so it comes after the check.
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; An interactive install starts it from the last page.
    ${If} ${Silent}
    ${AndIf} $CorvaneWasRunning == 1
        Call StartCorvane
    ${EndIf}
SectionEnd

Section "Uninstall"
    Call un.CloseRunningCorvane
    ; A program file that stays, held open by another program, keeps the
    ; entry too, so that the uninstall can be run again.
    ClearErrors
    Delete "$INSTDIR\corvane.exe"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "$INSTDIR\corvane.exe is in use and could not be removed. Try again later." /SD IDOK
        Abort "Corvane was not removed."
    ${EndIf}
    Delete "$SMSTARTUP\Corvane.lnk"
    Delete "$SMPROGRAMS\Corvane.lnk"
    Delete "$INSTDIR\corvaneState.dat"
    ; Left by a save that a power cut interrupted.
    Delete "$INSTDIR\corvaneState.dat.tmp"
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Only when empty: whatever the user put there stays.
    RMDir "$INSTDIR"
SectionEnd
