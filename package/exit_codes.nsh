; What Corvane's installer and uninstaller exit with, for the program that
; runs them: winget, a deployment tool or a script. 0 means done. NSIS sets
; 1 and 2 itself, 2 also when the installer cannot start (its temporary
; files cannot be written, or its data is damaged), so Corvane's own codes
; are none of those. README.md lists the codes for users, and
; scripts/make-winget-manifests.py turns them into the winget manifest's
; expected return codes.
!ifndef EXIT_CANCELLED

; The user chose Cancel. NSIS's own code, set by NSIS: nothing to do.
!define EXIT_CANCELLED 1
; A file could not be written or removed, most often because another program
; holds it open: close that program or wait for it, then run it again.
!define EXIT_FILE_NOT_WRITTEN 3
; A newer Corvane is installed and was left as it is: to go back to this
; version, uninstall the newer one first, or run this installer
; interactively and confirm.
!define EXIT_DOWNGRADE_REFUSED 4
; A running Corvane did not end when asked, so no file was changed: have the
; user choose Exit from Corvane's icon menu (or end the hung process), then
; run it again.
!define EXIT_CORVANE_STILL_RUNNING 10

!endif
