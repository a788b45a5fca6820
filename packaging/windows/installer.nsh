; What the NSIS installer does beyond copying files.
;
; The logon task: whoever logs on gets Quill Relay started with the highest rights they
; have, so an administrator's instance runs elevated without a prompt (the Startup folder
; would start everyone's with a standard user's rights). The Start-menu entry runs the task,
; so that an instance started by hand has those rights too. The task is written as Task
; Scheduler XML in UTF-16, the form schtasks reads, and kept beside the program, so that an
; admin can read it or register it again by hand:
;   schtasks /Create /F /TN "Quill Relay" /XML "<install folder>\logon-task.xml"
; The uninstaller removes the task. The Windows Installer package registers the same task
; from packaging/windows/logon-task.xml.
!ifndef QR_INSTALLER_NSH
!define QR_INSTALLER_NSH
!define QR_LOGON_TASK_NAME "Quill Relay"

; Before files are replaced or removed: a running instance ends as Exit ends it (settings
; saved, pen function off). The program of an earlier version takes --exit for a second
; start and ends at once.
!macro QR_END_RUNNING_INSTANCE
  IfFileExists "$INSTDIR\bin\QuillRelay.exe" 0 +3
    nsExec::ExecToLog '"$INSTDIR\bin\QuillRelay.exe" --exit'
    Pop $0
!macroend

!macro QR_CREATE_LOGON_TASK program
  FileOpen $0 "$INSTDIR\logon-task.xml" w
  FileWriteWord $0 0xFEFF
  FileWriteUTF16LE $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '  <RegistrationInfo><Description>Starts Quill Relay at logon.</Description></RegistrationInfo>$\r$\n'
  ; No user named: the trigger fires for every user's logon.
  FileWriteUTF16LE $0 '  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n'
  ; The group of all users (S-1-5-32-545), each with the highest rights they have.
  FileWriteUTF16LE $0 '  <Principals><Principal id="User"><GroupId>S-1-5-32-545</GroupId><RunLevel>HighestAvailable</RunLevel></Principal></Principals>$\r$\n'
  ; One instance per session, no time limit (the default would end it after three days), on
  ; battery too, and at normal priority (a task's default is below normal).
  FileWriteUTF16LE $0 '  <Settings><MultipleInstancesPolicy>Parallel</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Priority>4</Priority></Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="User"><Exec><Command>"${program}"</Command></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Create /F /TN "${QR_LOGON_TASK_NAME}" /XML "$INSTDIR\logon-task.xml"'
  Pop $0
  StrCmp $0 "0" +2
    DetailPrint "The logon task could not be created (schtasks: $0); see the README."
!macroend

!macro QR_DELETE_LOGON_TASK
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Delete /F /TN "${QR_LOGON_TASK_NAME}"'
  Pop $0
  Delete "$INSTDIR\logon-task.xml"
!macroend
!endif
