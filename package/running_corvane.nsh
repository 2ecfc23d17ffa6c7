; Ending every running Corvane before its files are replaced or removed.
; Each one is asked through its own Exit command, the tray menu's, so it
; ends as it would for the user, with its state file as it last saved it.

!include LogicLib.nsh
!include WinMessages.nsh
!include exit_codes.nsh

!define CORVANE_WINDOW_CLASS "CORVANE"
!define CORVANE_WINDOW_TITLE "Corvane"
!define IDM_TRAY_EXIT 1026
; How long one Corvane may take to end. It ends at once when asked; one that
; has not ended after this long is hung or is not Corvane.
!define CLOSE_TIMEOUT_MS 5000
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0

Var CorvaneWasRunning

; Defines CloseRunningCorvane, or un.CloseRunningCorvane for the uninstaller:
; ends every window of Corvane's class and title (the status window, hidden
; or not) and waits for its process, one at a time. When one does not end
; in time it aborts with EXIT_CORVANE_STILL_RUNNING, before any file is
; touched.
!macro DEFINE_CLOSE_RUNNING_CORVANE PREFIX
Function ${PREFIX}CloseRunningCorvane
    StrCpy $CorvaneWasRunning 0
    ${Do}
        FindWindow $0 "${CORVANE_WINDOW_CLASS}" "${CORVANE_WINDOW_TITLE}"
        ${If} $0 == 0
            Return
        ${EndIf}
        DetailPrint "Ending the running Corvane"
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
        System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
        System::Call "user32::PostMessage(p r0, i ${WM_COMMAND}, p ${IDM_TRAY_EXIT}, p 0) i"
        ; A process that cannot be opened cannot be waited for: WAIT_FAILED.
        System::Call "kernel32::WaitForSingleObject(p r2, i ${CLOSE_TIMEOUT_MS}) i .r3"
        System::Call "kernel32::CloseHandle(p r2) i"
        ${If} $3 != ${WAIT_OBJECT_0}
            MessageBox MB_ICONSTOP|MB_OK "Corvane is running and did not end when asked.$\n$\nChoose Exit from its icon's menu in the notification area, then try again." /SD IDOK
            SetErrorLevel ${EXIT_CORVANE_STILL_RUNNING}
            Abort "Corvane did not end; no file was changed."
        ${EndIf}
        StrCpy $CorvaneWasRunning 1
    ${Loop}
FunctionEnd
!macroend
