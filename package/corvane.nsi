; Corvane's installer, for one user and without elevation. The program goes
; into the user's own programs folder, where it can write its state file,
; and starts with Windows from there. Over a running Corvane it first ends
; it, replaces the program, leaves the state file as it was, and starts it
; again. The user may decline "Start with Windows". The uninstaller
; removes what the installer made, and the state file, but never a file the
; user put into the folder. Both end with the codes of exit_codes.nsh.
; Built by scripts/make-installer.sh, which defines RELEASE (the build's
; generated release.nsh: version, copyright, icon and the texts beside the
; program), PROGRAM (the corvane.exe to install), OUTFILE, PLUGINS (the
; folder of the plug-ins to pack) and SIGN (scripts/sign.sh).

Unicode true
RequestExecutionLevel user
ManifestSupportedOS all
SetCompressor /SOLID lzma
; No file times inside, so two builds of one commit give the same bytes.
SetDateSave off
; A file that cannot be written ends the install with an error: ignoring it
; would report success with the old program, or none, in place.
AllowSkipFiles off

!include "${RELEASE}"
!include FileFunc.nsh
!include LogicLib.nsh
!include MUI2.nsh
!include Sections.nsh
!include WordFunc.nsh
!include exit_codes.nsh
!include running_corvane.nsh

; The plug-ins this installer and its uninstaller unpack: NSIS's own, signed
; when the release is. A folder added here wins over NSIS's.
!addplugindir "${PLUGINS}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane"
!define FOLDERID_UserProgramFiles "{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}"
!define KF_FLAG_CREATE 0x8000
; The entry's uninstaller ends as soon as it has started the one that removes
; its program file; that one gives up waiting after this long.
!define UNINSTALLER_END_TIMEOUT_MS 60000

Name "Corvane"
OutFile "${OUTFILE}"
; An upgrade goes where the last install went, unless /D= says otherwise.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Corvane ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "CompanyName" "Corvane"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"
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
; The README the text points to, installed beside the program.
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Signed as makensis writes it, when the release is signed. A signer that
; fails, as when the time-stamp server does not answer, fails the build:
; without "= 0" makensis would carry on and pack the unsigned uninstaller.
!uninstfinalize '"${SIGN}" "%1"' = 0

!insertmacro DEFINE_CLOSE_RUNNING_CORVANE ""
!insertmacro DEFINE_CLOSE_RUNNING_CORVANE "un."

Section "Corvane"
    SectionIn RO
    Call CloseRunningCorvane
    ; A file that cannot be written ends the install at once, with this code.
    SetErrorLevel ${EXIT_FILE_NOT_WRITTEN}
    ClearErrors
    SetOutPath "$INSTDIR"
    File "/oname=corvane.exe" "${PROGRAM}"
    File "/oname=LICENSE.txt" "${LICENSE_TEXT}"
    File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES_TEXT}"
    File "/oname=README.txt" "${README_TEXT}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; A shortcut's working folder is $OUTDIR, so Corvane started from it, or
    ; from the Startup one, keeps its state file beside the program.
    CreateShortcut "$SMPROGRAMS\Corvane.lnk" "$INSTDIR\corvane.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Corvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvane.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Corvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    ; In place (_?=), so that whoever runs it can wait for its exit code:
    ; see un.onInit.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A component of its own, so that the user can decline it on the components
; page, or with /NOAUTOSTART.
Section "Start with Windows" SEC_START_WITH_WINDOWS
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMSTARTUP\Corvane.lnk" "$INSTDIR\corvane.exe"
SectionEnd

Section "-Finish"
    ; Declined on an upgrade: the earlier install's shortcut goes.
    ${IfNot} ${SectionIsSelected} ${SEC_START_WITH_WINDOWS}
        Delete "$SMSTARTUP\Corvane.lnk"
    ${EndIf}
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "Corvane could not be installed completely in $INSTDIR." /SD IDOK
        SetErrorLevel ${EXIT_FILE_NOT_WRITTEN}
        Abort "Installing Corvane failed."
    ${EndIf}
    SetErrorLevel 0
    ; GetSize clears the error flag, so it comes after the check.
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; An interactive install starts it from the last page.
    ${If} ${Silent}
    ${AndIf} $CorvaneWasRunning == 1
        Call StartCorvane
    ${EndIf}
SectionEnd

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
    Call RefuseDowngrade
    Call ChooseStartWithWindows
FunctionEnd

; A newer Corvane stays unless the user confirms going back to this one; a
; silent install never replaces it.
Function RefuseDowngrade
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 == ""
        Return
    ${EndIf}
    ${VersionCompare} "${VERSION}" "$0" $1
    ${If} $1 == 2
    ${AndIfNot} ${Cmd} `MessageBox MB_ICONEXCLAMATION|MB_YESNO|MB_DEFBUTTON2 "Corvane $0 is installed, which is newer than this installer's ${VERSION}.$\n$\nReplace it with the older version?" /SD IDNO IDYES`
        SetErrorLevel ${EXIT_DOWNGRADE_REFUSED}
        Quit
    ${EndIf}
FunctionEnd

; "Start with Windows" is chosen unless /NOAUTOSTART says otherwise, or an
; earlier install is there without its Startup shortcut: an upgrade keeps
; what the user chose then.
Function ChooseStartWithWindows
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SEC_START_WITH_WINDOWS}
    ${EndIf}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIfNot} ${FileExists} "$SMSTARTUP\Corvane.lnk"
        !insertmacro UnselectSection ${SEC_START_WITH_WINDOWS}
    ${EndIf}
FunctionEnd

; The working folder of a program that Exec starts is $OUTDIR: the install
; folder, where its state file is. Exec, not ExecWait: Corvane runs until
; the user ends it.
Function StartCorvane
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\corvane.exe"'
FunctionEnd

Section "Uninstall"
    Call un.CloseRunningCorvane
    ; A program file that stays, held open by another program, keeps the
    ; entry too, so that the uninstall can be run again.
    ClearErrors
    Delete "$INSTDIR\corvane.exe"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "$INSTDIR\corvane.exe is in use and could not be removed. Try again later." /SD IDOK
        SetErrorLevel ${EXIT_FILE_NOT_WRITTEN}
        Abort "Corvane was not removed."
    ${EndIf}
    Delete "$SMSTARTUP\Corvane.lnk"
    Delete "$SMPROGRAMS\Corvane.lnk"
    Delete "$INSTDIR\corvaneState.dat"
    ; Left by a save that a power cut interrupted.
    Delete "$INSTDIR\corvaneState.dat.tmp"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
    Delete "$INSTDIR\README.txt"
    ; Stays while the entry's uninstaller waits for this copy; it goes
    ; after that one has ended (un.UninstallFromCopy).
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Only when empty: whatever the user put there stays.
    RMDir "$INSTDIR"
SectionEnd

; Started from the entry, in place (_?=), so that its caller can wait for it,
; this uninstaller does what NSIS's documentation prescribes for learning an
; uninstaller's exit code: it runs a copy of itself from the temporary
; folder, in place as well, waits for it, and exits with its code. The copy
; does the work, as NSIS's own copy would. Any other start is such a copy
; already, or the one that removes this program file after it has ended.
Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVE_AFTER=" $1
    ${IfNot} ${Errors}
        Call un.RemoveUninstallerAfter
    ${ElseIf} $EXEDIR == $INSTDIR
        Call un.UninstallFromCopy
    ${EndIf}
FunctionEnd

Function un.UninstallFromCopy
    InitPluginsDir
    ClearErrors
    CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\uninstall.exe"
    StrCpy $0 ""
    ${If} ${Silent}
        StrCpy $0 "/S "
    ${EndIf}
    ${IfNot} ${Errors}
        ExecWait '"$PLUGINSDIR\uninstall.exe" $0_?=$INSTDIR' $1
    ${EndIf}
    ${If} ${Errors}
        SetErrorLevel ${EXIT_FILE_NOT_WRITTEN}
        Quit
    ${EndIf}
    ; The copy removed all but this program file, which Windows keeps while
    ; it runs. Another start of the copy removes it, and the folder, once
    ; this one has ended: Exec, not ExecWait, since it waits for this one.
    ${If} $1 == 0
        System::Call "kernel32::GetCurrentProcessId() i .r2"
        Exec '"$PLUGINSDIR\uninstall.exe" /REMOVE_AFTER=$2 _?=$INSTDIR'
    ${EndIf}
    SetErrorLevel $1
    Quit
FunctionEnd

; Waits for the entry's uninstaller, process $1, to end, then removes its
; program file and the folder, if empty.
Function un.RemoveUninstallerAfter
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
    ; A process that has already ended cannot be opened: WAIT_FAILED at once.
    System::Call "kernel32::WaitForSingleObject(p r2, i ${UNINSTALLER_END_TIMEOUT_MS}) i"
    System::Call "kernel32::CloseHandle(p r2) i"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Quit
FunctionEnd
