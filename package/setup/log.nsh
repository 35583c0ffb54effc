; The setup's log and its ways out, for the setup program and the uninstaller alike.
; Every step goes, as one line, to %ProgramData%\VYXDShowDriver\setup.log (UTF-16), where
; only SYSTEM and Administrators may write; until that folder is known to be safe, or where
; it cannot be, the lines go to %TEMP%\VYXCameraDriver-setup.log.
; Exit codes are the ones deployment tools read: 1602 cancelled, 1603 failed, 1618 another
; setup of the product is running, 1638 a newer version is installed, 3010 done but a file
; goes only at the next restart.

!define EXIT_CANCELLED 1602
!define EXIT_FAILED 1603
!define EXIT_BUSY 1618
!define EXIT_NEWER_INSTALLED 1638
!define EXIT_RESTART_NEEDED 3010
!define LOG_FOLDER "$COMMONPROGRAMDATA\VYXDShowDriver"
!define LOG_FALLBACK "$TEMP\VYXCameraDriver-setup.log"

Var logFile
; 1 once Fail has said why and put back what it could: the abort needs nothing more.
Var failed
Var failCode
Var failText

; Log TEXT: a detail line and a log line.
!macro Log TEXT
    Push "${TEXT}"
    !ifdef __UNINSTALL__
        Call un.Log
    !else
        Call Log
    !endif
!macroend

; Fail CODE TEXT: says why (log, message box unless silent), puts back what this run
; changed, sets the exit code and stops.
!macro Fail CODE TEXT
    Push ${CODE}
    Push "${TEXT}"
    !ifdef __UNINSTALL__
        Call un.Fail
    !else
        Call Fail
    !endif
!macroend

!macro DEFINE_LOG UN WHO
Function ${UN}Log
    Exch $R9
    Push $R8
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    DetailPrint "$R9"
    ${If} $logFile == ""
        StrCpy $logFile "${LOG_FALLBACK}"
    ${EndIf}
    ${GetTime} "" "L" $0 $1 $2 $3 $4 $5 $6
    ClearErrors
    FileOpen $R8 "$logFile" a
    ${IfNot} ${Errors}
        FileSeek $R8 0 END
        FileWriteUTF16LE /BOM $R8 "$2-$1-$0 $4:$5:$6 ${WHO} ${VERSION}: $R9$\r$\n"
        FileClose $R8
    ${EndIf}
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Pop $R8
    Pop $R9
FunctionEnd

Function ${UN}Fail
    Pop $failText
    Pop $failCode
    StrCpy $failed 1
    Push "failed, exit code $failCode: $failText"
    Call ${UN}Log
    Call ${UN}PutBack
    MessageBox MB_OK|MB_ICONSTOP "$failText" /SD IDOK
    SetErrorLevel $failCode
    Abort
FunctionEnd

; The log goes to its own folder once the helper has made or judged it.
Function ${UN}OpenLog
    !insertmacro RunHelperIn "${UN}" 'ensure-folder "${LOG_FOLDER}"'
    ${If} $R0 == "ok"
        StrCpy $logFile "${LOG_FOLDER}\setup.log"
    ${Else}
        StrCpy $logFile "${LOG_FALLBACK}"
        Push "the log stays in $logFile: ${LOG_FOLDER} is not safe to write ($R0 $R1 $R2)"
        Call ${UN}Log
    ${EndIf}
FunctionEnd
!macroend
