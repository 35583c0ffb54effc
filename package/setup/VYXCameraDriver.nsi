; The setup program: installs the release layout into Program Files (or the folder /D=
; names), installs and starts the service, and adds the uninstall entry and a Start-menu
; folder. Built by package/package.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0.0 -DVERSION4=2.0.0.0 -DPUBLISHER=... \
;            -DPRODUCT=... -DSTAGE=<layout> -DOUTFILE=<setup.exe> VYXCameraDriver.nsi
; Exit codes: 0 done; 1 cancelled; 2 aborted; 3 no administrator rights; 4 a file of the
; installed version is in use (nothing changed; the uninstaller too); 5 the folder's access list could not be
; set; 6 the service could not be installed, started or removed. Every failure also goes,
; as one line, to VYXCameraDriver-setup.log beside the setup program (else in %TEMP%).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A file that cannot be replaced stops the installation rather than being skipped.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define FOLDER_NAME "VYX Camera Driver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VYXCameraDriver"
!define SERVICE_EXE "VYXCamService.exe"
!define LOG_NAME "VYXCameraDriver-setup.log"
; Owner Administrators; SYSTEM and Administrators may change the folder and what it holds,
; Users may read and run: what the service's trust rule accepts. Protected, so nothing
; inherited from the parent (such as Authenticated Users' Modify under C:\) stays.
!define TRUSTED_FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${FOLDER_NAME}"
; An installed copy is upgraded where it is, unless /D= says otherwise.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderPageOnUpgrade
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(FolderPageText)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README-Windows.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The interface follows the user's language: Chinese (PRC) or else English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!include "strings.nsh"

Var heldFile

; Fail CODE TEXT: says why (detail line, message box unless silent, the log line), sets
; the exit code and stops.
!macro DEFINE_FAIL PREFIX
Function ${PREFIX}Fail
    Exch $1  ; text
    Exch
    Exch $0  ; exit code
    DetailPrint "$1"
    MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
    ClearErrors
    FileOpen $2 "$EXEDIR\${LOG_NAME}" a
    ${If} ${Errors}
        ClearErrors
        FileOpen $2 "$TEMP\${LOG_NAME}" a
    ${EndIf}
    ${IfNot} ${Errors}
        FileSeek $2 0 END
        FileWriteUTF16LE /BOM $2 "${PRODUCT} ${VERSION}: exit code $0: $1$\r$\n"
        FileClose $2
    ${EndIf}
    SetErrorLevel $0
    Abort
FunctionEnd
!macroend
!insertmacro DEFINE_FAIL ""
!insertmacro DEFINE_FAIL "un."

!macro Fail CODE TEXT
    Push ${CODE}
    Push "${TEXT}"
    Call Fail
!macroend
!macro UnFail CODE TEXT
    Push ${CODE}
    Push "${TEXT}"
    Call un.Fail
!macroend

; Elevation is asked for by the manifest; a user who could not give it gets a clear refusal.
!macro DEFINE_REQUIRE_ADMIN CALLBACK FAIL
Function ${CALLBACK}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "admin"
        Push 3
        Push "$(NeedAdmin)"
        Call ${FAIL}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_REQUIRE_ADMIN .onInit Fail
!insertmacro DEFINE_REQUIRE_ADMIN un.onInit un.Fail

Function SkipFolderPageOnUpgrade
    ${If} ${FileExists} "$INSTDIR\${SERVICE_EXE}"
        Abort
    ${EndIf}
FunctionEnd

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
!macro DEFINE_REFUSE_WHILE_FILES_HELD PREFIX KEPT
Function ${PREFIX}RefuseWhileFilesHeld
    ${Do}
        StrCpy $heldFile ""
        !insertmacro FIND_HELD_FILE "$INSTDIR\DX_x64"
        !insertmacro FIND_HELD_FILE "$INSTDIR\DX_x86"
        !insertmacro FIND_HELD_FILE "$INSTDIR\tools_x64"
        ${If} $heldFile == ""
            Return
        ${EndIf}
        DetailPrint "$(FileInUse)"
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)$\r$\n$\r$\n$(CloseAndRetry)" /SD IDCANCEL IDRETRY retry
        Push 4
        Push "$(FileInUse) ${KEPT}"
        Call ${PREFIX}Fail
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_REFUSE_WHILE_FILES_HELD "" "$(OldVersionKept)"
!insertmacro DEFINE_REFUSE_WHILE_FILES_HELD "un." "$(NothingRemoved)"

; The service runs registration code from this folder with full rights, so a folder other
; than the default gets the access list the service trusts. Program Files already has it.
Function SecureChosenFolder
    ${If} $INSTDIR == "$PROGRAMFILES64\${FOLDER_NAME}"
        Return
    ${EndIf}
    CreateDirectory "$INSTDIR"
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${TRUSTED_FOLDER_SDDL}", i 1, *p .r6, p 0) i .r0'
    ${If} $0 == 0
        !insertmacro Fail 5 "$(FolderNotSecured)"
    ${EndIf}
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r6, *p .r7, *i .r8) i .r0'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r6, *i .r8, *p .r9, *i .r8) i .r0'
    ; OWNER | DACL | PROTECTED_DACL on a file object.
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r7, p 0, p r9, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r6)'
    ${If} $0 != 0
        !insertmacro Fail 5 "$(FolderNotSecured) (error $0)"
    ${EndIf}
    DetailPrint "$(FolderSecured)"
FunctionEnd

Section "-Install"
    SetShellVarContext all
    ${If} ${FileExists} "$INSTDIR\${SERVICE_EXE}"
        Call RefuseWhileFilesHeld
        ; Stopping and removing the old service frees its executable; /RegServer below
        ; creates the one service again from the new files.
        DetailPrint "$(StoppingService)"
        ClearErrors
        ExecWait '"$INSTDIR\${SERVICE_EXE}" /UnregServer' $0
        ${If} ${Errors}
        ${OrIf} $0 != 0
            !insertmacro Fail 6 "$(ServiceNotStopped)"
        ${EndIf}
    ${EndIf}
    Call SecureChosenFolder

    SetOutPath "$INSTDIR"
    File "${STAGE}/${SERVICE_EXE}"
    File "${STAGE}/README-Windows.txt"
    SetOutPath "$INSTDIR\DX_x86"
    File "${STAGE}/DX_x86/*.dll"
    SetOutPath "$INSTDIR\DX_x64"
    File "${STAGE}/DX_x64/*.dll"
    SetOutPath "$INSTDIR\tools_x64"
    File "${STAGE}/tools_x64/*.*"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Written before the service is installed, so a failed service start can still be
    ; uninstalled from Apps and Features.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; Shortcut names are in the installing user's language: clear an older set first.
    Delete "$SMPROGRAMS\${FOLDER_NAME}\*.lnk"
    CreateDirectory "$SMPROGRAMS\${FOLDER_NAME}"
    CreateShortcut "$SMPROGRAMS\${FOLDER_NAME}\$(ReadmeShortcut).lnk" "$INSTDIR\README-Windows.txt"
    CreateShortcut "$SMPROGRAMS\${FOLDER_NAME}\$(UninstallShortcut).lnk" "$INSTDIR\uninstall.exe"

    DetailPrint "$(InstallingService)"
    ClearErrors
    ExecWait '"$INSTDIR\${SERVICE_EXE}" /RegServer' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        !insertmacro Fail 6 "$(ServiceNotInstalled)"
    ${EndIf}
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    ; The service stops, unregisters every model it finds registered and removes itself;
    ; without a service it only unregisters. Whatever it says, the files still go.
    Call un.RefuseWhileFilesHeld
    StrCpy $9 0
    ${If} ${FileExists} "$INSTDIR\${SERVICE_EXE}"
        DetailPrint "$(RemovingService)"
        ClearErrors
        ExecWait '"$INSTDIR\${SERVICE_EXE}" /UnregServer' $0
        ${If} ${Errors}
        ${OrIf} $0 != 0
            StrCpy $9 6
        ${EndIf}
    ${EndIf}

    Delete "$INSTDIR\${SERVICE_EXE}"
    Delete "$INSTDIR\README-Windows.txt"
    Delete "$INSTDIR\DX_x86\VYX_*.dll"
    Delete "$INSTDIR\DX_x86\VyxonCamera.dll"
    Delete "$INSTDIR\DX_x64\VYX_*.dll"
    Delete "$INSTDIR\DX_x64\VyxonCamera.dll"
    Delete "$INSTDIR\tools_x64\vyxcap.exe"
    Delete "$INSTDIR\tools_x64\vyxsim.exe"
    Delete "$INSTDIR\tools_x64\vyxcatalog.exe"
    Delete "$INSTDIR\tools_x64\VyxonCamera.dll"
    Delete "$INSTDIR\uninstall.exe"
    ; Only emptied folders go: a folder the user chose may hold their own files.
    RMDir "$INSTDIR\DX_x86"
    RMDir "$INSTDIR\DX_x64"
    RMDir "$INSTDIR\tools_x64"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${FOLDER_NAME}\*.lnk"
    RMDir "$SMPROGRAMS\${FOLDER_NAME}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ${If} $9 != 0
        !insertmacro UnFail 6 "$(ServiceNotRemoved)"
    ${EndIf}
SectionEnd
