; What an upgrade does with the installed version's files: none may be in use; they are
; moved aside into $INSTDIR\~upgrade (a rename: the old service's executable may be renamed
; even in the moment its process is still ending), kept there until the new version runs,
; and moved back if it does not.

!define ASIDE "~upgrade"

Var heldFile

; $heldFile: the first file of FOLDER that cannot be opened for writing, else unchanged.
; A library loaded by a running program (a capture application with the filter) is one.
!macro FIND_HELD_FILE FOLDER
    ${If} $heldFile == ""
        ClearErrors
        FindFirst $3 $4 "${FOLDER}\*.*"
        ${DoUntil} ${Errors}
            ${If} ${FileExists} "${FOLDER}\$4"
            ${AndIfNot} ${FileExists} "${FOLDER}\$4\*.*"
                ClearErrors
                FileOpen $5 "${FOLDER}\$4" a
                ${If} ${Errors}
                    StrCpy $heldFile "${FOLDER}\$4"
                    ${Break}
                ${EndIf}
                FileClose $5
            ${EndIf}
            ClearErrors
            FindNext $3 $4
        ${Loop}
        FindClose $3
        ClearErrors
    ${EndIf}
!macroend

; Before the installed version is touched: none of its filters or tools may be in use.
; KEPT names what stays as it was when the user cancels.
!macro DEFINE_REFUSE_WHILE_FILES_HELD UN KEPT
Function ${UN}RefuseWhileFilesHeld
    ${Do}
        StrCpy $heldFile ""
        !insertmacro FIND_HELD_FILE "$INSTDIR\DX_x64"
        !insertmacro FIND_HELD_FILE "$INSTDIR\DX_x86"
        !insertmacro FIND_HELD_FILE "$INSTDIR\tools_x64"
        ${If} $heldFile == ""
            Return
        ${EndIf}
        Push "$(FileInUse)"
        Call ${UN}Log
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)$\r$\n$\r$\n$(CloseAndRetry)" /SD IDCANCEL IDRETRY retry
        ; Nobody chose to cancel a silent run: it failed.
        ${If} ${Silent}
            Push ${EXIT_FAILED}
        ${Else}
            Push ${EXIT_CANCELLED}
        ${EndIf}
        Push "$(FileInUse) ${KEPT}"
        Call ${UN}Fail
        retry:
    ${Loop}
FunctionEnd
!macroend

; MoveAside NAME: $INSTDIR\NAME into the aside folder, when it is there.
!macro MoveAside NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}"
        ClearErrors
        Rename "$INSTDIR\${NAME}" "$INSTDIR\${ASIDE}\${NAME}"
        ${If} ${Errors}
            !insertmacro Fail ${EXIT_FAILED} "$(CannotReplace) $INSTDIR\${NAME}"
        ${EndIf}
    ${EndIf}
!macroend

; MoveAsideAll FOLDER PATTERN: every file of $INSTDIR\FOLDER that matches.
!macro MoveAsideAll FOLDER PATTERN
    FindFirst $3 $4 "$INSTDIR\${FOLDER}\${PATTERN}"
    ${DoUntil} $4 == ""
        !insertmacro MoveAside "${FOLDER}\$4"
        FindNext $3 $4
    ${Loop}
    FindClose $3
!macroend

; MoveBackAll FOLDER: everything the aside folder holds of FOLDER goes back.
!macro MoveBackAll FOLDER
    FindFirst $3 $4 "$INSTDIR\${ASIDE}\${FOLDER}\*.*"
    ${DoUntil} $4 == ""
        ${IfNot} ${FileExists} "$INSTDIR\${ASIDE}\${FOLDER}\$4\*.*"
            Delete "$INSTDIR\${FOLDER}\$4"
            Rename "$INSTDIR\${ASIDE}\${FOLDER}\$4" "$INSTDIR\${FOLDER}\$4"
        ${EndIf}
        FindNext $3 $4
    ${Loop}
    FindClose $3
!macroend
