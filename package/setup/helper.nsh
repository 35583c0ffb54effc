; vyxsetup.exe, the setup's helper (package/setup/helper/): extracted into the setup's own
; temporary folder and run hidden, one command at a time, with the setup's rights.

!macro ExtractHelper
    InitPluginsDir
    File "/oname=$PLUGINSDIR\vyxsetup.exe" "${HELPER}"
!macroend

; RunHelperIn UN ARGS: runs one command. $R0..$R3 are the four lines of its result (word,
; path, detail, extra); $R0 is "failed" when the helper could not run at all.
!macro RunHelperIn UN ARGS
    Push `${ARGS}`
    Call ${UN}RunHelper
!macroend
!macro RunHelper ARGS
    !ifdef __UNINSTALL__
        !insertmacro RunHelperIn un. `${ARGS}`
    !else
        !insertmacro RunHelperIn "" `${ARGS}`
    !endif
!macroend

!macro DEFINE_HELPER UN
Function ${UN}RunHelper
    Exch $R9
    Push $R8
    Push $R7
    SetDetailsPrint none  ; the helper's own files are no step of the install
    Delete "$PLUGINSDIR\result.txt"
    nsExec::Exec `"$PLUGINSDIR\vyxsetup.exe" $R9 "$PLUGINSDIR\result.txt"`
    Pop $R8
    StrCpy $R0 "failed"
    StrCpy $R1 ""
    StrCpy $R2 "the helper ended with $R8"
    StrCpy $R3 ""
    ClearErrors
    FileOpen $R7 "$PLUGINSDIR\result.txt" r
    ${IfNot} ${Errors}
        FileReadUTF16LE $R7 $R0
        FileReadUTF16LE $R7 $R1
        FileReadUTF16LE $R7 $R2
        FileReadUTF16LE $R7 $R3
        FileClose $R7
        ${TrimNewLines} "$R0" $R0
        ${TrimNewLines} "$R1" $R1
        ${TrimNewLines} "$R2" $R2
        ${TrimNewLines} "$R3" $R3
    ${EndIf}
    SetDetailsPrint lastused
    Pop $R7
    Pop $R8
    Pop $R9
FunctionEnd
!macroend

; FolderRefusal: the text that says why the folder check refused ($R0 the word, $R1 the
; folder it is about, $R2 the account or error), into $R9.
Function FolderRefusal
    ${Select} $R0
    ${Case} "not-local"
        StrCpy $R9 "$(FolderNotLocal)"
    ${Case} "not-a-folder"
        StrCpy $R9 "$(FolderIsAFile)"
    ${Case} "not-empty"
        StrCpy $R9 "$(FolderNotEmpty)"
    ${Case} "reparse-point"
        StrCpy $R9 "$(FolderIsALink)"
    ${Case} "untrusted-owner"
        StrCpy $R9 "$(FolderOwnedByOther)"
    ${Case} "writable-by-others"
        StrCpy $R9 "$(FolderWritableByOther)"
    ${CaseElse}
        StrCpy $R9 "$(FolderNotSecured)"
    ${EndSelect}
FunctionEnd
