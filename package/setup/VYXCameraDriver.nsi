; The setup program: installs the release layout into Program Files (or a new or empty
; folder that /D= or the folder page names), installs and starts the service, adds the
; uninstall entry and a Start-menu folder; upgrades an installed copy where it is; and its
; uninstaller. Built by package/package.sh:
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode -DVERSION=2.0.0 -DVERSION4=2.0.0.0
;            -DPRODUCT=... -DPUBLISHER=... -DSTAGE=<layout> -DFILES=<files.nsh>
;            -DHELPER=<vyxsetup.exe> -DOUTFILE=<setup.exe> [-DSIGN_COMMAND=<sign.sh>]
;            VYXCameraDriver.nsi
; A 32-bit program, so that 32-bit Windows gets a clear refusal instead of the system's
; "cannot run"; it installs for 64-bit Windows (the 64-bit registry view, Program Files).
; Exit codes: log.nsh. Every step is logged there.

Unicode true
Target ${TARGET}
ManifestDPIAware true
!ifdef UNCOMPRESSED
    SetCompress off  ; tests' builds: the compression costs a minute of a busy machine
!else
    SetCompressor /SOLID lzma
!endif
RequestExecutionLevel admin
; A file that cannot be written stops the installation, which then puts back what it changed.
AllowSkipFiles off
!ifdef SIGN_COMMAND
    !finalize '"${SIGN_COMMAND}" "%1"'
    !uninstfinalize '"${SIGN_COMMAND}" "%1"'
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include TextFunc.nsh
!include Sections.nsh
!include x64.nsh
!include "${FILES}"

!define FOLDER_NAME "VYX Camera Driver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VYXCameraDriver"
!define SERVICE_EXE "VYXCamService.exe"
!define SETUP_LOCK "Global\VYXCameraDriverSetup"
!define WEB_SITE "https://www.vyx-astro.example/"
!define SUPPORT_MAIL "mailto:support@vyx-astro.example"
!ifdef SIMULATED_EDITION
    !define DISPLAY_NAME "${PRODUCT} (simulated camera)"
    !define EDITION "simulated"
!else
    !define DISPLAY_NAME "${PRODUCT}"
    !define EDITION "maker"
!endif

Name "$(EditionName)"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${FOLDER_NAME}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "VYXCameraDriver.ico"
!define MUI_UNICON "VYXCameraDriver.ico"
!define MUI_ABORTWARNING
!define MUI_CUSTOMFUNCTION_ABORT UserCancelled
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderPageOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE RefuseUnsafeFolder
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(FolderPageText)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowReadmeAsUser
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The interface follows the user's language: Chinese (PRC) or else English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!include "strings.nsh"
!include "log.nsh"
!include "helper.nsh"
!include "upgrade.nsh"

Var upgrade         ; 1: this product is installed in $INSTDIR (its uninstall entry says so)
Var oldVersion
Var oldEdition      ; empty for an install by a setup that recorded no edition
Var createdTop      ; the highest folder this run created, empty when none
Var phase           ; what to put back: 0 nothing, 1 the service stopped, 2 files moved, 3 new service
; Per camera library: the digest of the one this run installed, "kept" for an
; administrator's own, empty when none.
Var libDX_x86
Var libDX_x64
Var libtools_x64

!insertmacro DEFINE_LOG "" "setup"
!insertmacro DEFINE_LOG "un." "uninstall"
!insertmacro DEFINE_HELPER ""
!insertmacro DEFINE_HELPER "un."
!insertmacro DEFINE_REFUSE_WHILE_FILES_HELD "" "$(OldVersionKept)"
!insertmacro DEFINE_REFUSE_WHILE_FILES_HELD "un." "$(NothingRemoved)"

; Elevation is asked for by the manifest; a user who could not give it gets a clear refusal.
; The log cannot be in its own folder yet: the refusal goes to the user's %TEMP%.
!macro RequireAdmin
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "admin"
        !insertmacro Fail ${EXIT_FAILED} "$(NeedAdmin)"
    ${EndIf}
!macroend

; One setup or uninstall of the product at a time, machine-wide: the lock is held until
; the process ends.
!macro TakeSetupLock
    System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${SETUP_LOCK}") p .r1 ?e'
    Pop $0
    ${If} $0 == 183  ; ERROR_ALREADY_EXISTS
        !insertmacro Fail ${EXIT_BUSY} "$(AnotherSetupRunning)"
    ${EndIf}
!macroend

; RemoveCreatedFolders: $INSTDIR and, up to $createdTop, the folders above it, each only
; when empty. Folders that held files, or that were there before, stay.
!macro DEFINE_REMOVE_CREATED_FOLDERS UN
Function ${UN}RemoveCreatedFolders
    StrCpy $R5 $INSTDIR
    ${Do}
        RMDir $R5
        StrLen $R6 $createdTop
        ${If} $R6 == 0
        ${OrIf} $R5 == $createdTop
            ${Break}
        ${EndIf}
        ${GetParent} $R5 $R5
        StrCpy $R7 $R5 $R6
        ${If} $R7 != $createdTop
            ${Break}
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_CREATED_FOLDERS ""
!insertmacro DEFINE_REMOVE_CREATED_FOLDERS "un."

; ---------------------------------------------------------------------------------------
; The setup program

Function .onInit
    SetRegView 64
    StrCpy $failed 0
    StrCpy $phase 0
    ; Windows on anything but x64 can run neither the x64 filters' registration nor, on
    ; 32-bit Windows, the rest.
    !ifdef TEST_SEAMS
        ; Test builds only: the machine the test says this Windows runs on.
        ReadEnvStr $0 VYX_TEST_NATIVE_MACHINE
        ${If} $0 == ""
            ${GetNativeMachineArchitecture} $0
        ${EndIf}
    !else
        ${GetNativeMachineArchitecture} $0
    !endif
    ${If} $0 == 332  ; IMAGE_FILE_MACHINE_I386
        !insertmacro Fail ${EXIT_FAILED} "$(Needs64BitWindows)"
    ${ElseIf} $0 != 34404  ; IMAGE_FILE_MACHINE_AMD64
        !insertmacro Fail ${EXIT_FAILED} "$(NoArmWindows)"
    ${EndIf}
    !insertmacro RequireAdmin
    !insertmacro ExtractHelper
    Call OpenLog
    !insertmacro TakeSetupLock
    !insertmacro Log "started: $CMDLINE"
    Call FindInstalledVersion
FunctionEnd

; An install by this product's setup: upgraded where it is, never downgraded, never
; installed a second time elsewhere.
Function FindInstalledVersion
    ReadRegStr $oldVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $oldEdition HKLM "${UNINSTALL_KEY}" "Edition"
    StrCpy $upgrade 0
    ${If} $oldVersion == ""
        Return
    ${EndIf}
    ${VersionCompare} "${VERSION}" "$oldVersion" $R0
    ${If} $R0 == 2
        !insertmacro Fail ${EXIT_NEWER_INSTALLED} "$(NewerInstalled)"
    ${EndIf}
    ; NSIS takes /D= off the command line: a folder other than the default is /D='s.
    ${If} $INSTDIR == "$PROGRAMFILES64\${FOLDER_NAME}"
        StrCpy $INSTDIR $R1
    ${ElseIf} $INSTDIR != $R1
        !insertmacro Fail ${EXIT_FAILED} "$(InstalledElsewhere)"
    ${EndIf}
    StrCpy $upgrade 1
    !insertmacro Log "version $oldVersion ($oldEdition) is installed in $INSTDIR"
    Call KeepToolsAsInstalled
FunctionEnd

Function UserCancelled
    !insertmacro Log "cancelled, exit code ${EXIT_CANCELLED}"
    SetErrorLevel ${EXIT_CANCELLED}
FunctionEnd

Function .onInstFailed
    ; A failure Fail did not see: a file NSIS could not write.
    ${If} $failed != 1
        !insertmacro Log "failed, exit code ${EXIT_FAILED}: a file could not be written"
        Call PutBack
        SetErrorLevel ${EXIT_FAILED}
    ${EndIf}
FunctionEnd

Function .onInstSuccess
    !insertmacro Log "done, exit code 0"
FunctionEnd

Function SkipFolderPageOnUpgrade
    ${If} $upgrade == 1
        Abort
    ${EndIf}
FunctionEnd

; On the folder page: a folder the setup would refuse is said at once, and the page stays.
Function RefuseUnsafeFolder
    ${If} $INSTDIR == "$PROGRAMFILES64\${FOLDER_NAME}"
        Return
    ${EndIf}
    !insertmacro RunHelper 'check-folder "$INSTDIR"'
    ${If} $R0 != "ok"
        Call FolderRefusal
        !insertmacro Log "folder refused: $R0 $R1 $R2"
        MessageBox MB_OK|MB_ICONEXCLAMATION "$R9"
        Abort
    ${EndIf}
FunctionEnd

; The service runs code from the install folder as LocalSystem: a folder other than
; Program Files' own must be new or empty, or this product's earlier install, and safe
; with every folder above it; a new one gets the access list the service trusts.
Function MakeFolderSafe
    ${If} $INSTDIR == "$PROGRAMFILES64\${FOLDER_NAME}"
        ${IfNot} ${FileExists} "$INSTDIR\*.*"
            StrCpy $createdTop $INSTDIR
        ${EndIf}
        Return
    ${EndIf}
    ${If} $upgrade == 1
        !insertmacro RunHelper 'check-folder --installed "$INSTDIR"'
    ${Else}
        !insertmacro RunHelper 'prepare-folder "$INSTDIR"'
    ${EndIf}
    ${If} $R0 != "ok"
        Call FolderRefusal
        !insertmacro Fail ${EXIT_FAILED} "$R9"
    ${EndIf}
    ${If} $upgrade != 1
        StrCpy $createdTop $R3
        StrCpy $phase 1
        !insertmacro Log "$INSTDIR is new or empty and now only SYSTEM and Administrators may change it"
    ${EndIf}
FunctionEnd

; The installed service is stopped, and its process has ended, before any file is touched.
Function StopService
    !insertmacro RunHelper "stop-service"
    ${Select} $R0
    ${Case} "absent"
        !insertmacro Log "no service VYXDshowService is installed"
    ${Case2} "stopped" "was-stopped"
        StrCpy $phase 1
        !insertmacro Log "the service VYXDshowService is stopped and its process has ended"
    ${Case} "marked-for-deletion"
        !insertmacro Fail ${EXIT_FAILED} "$(ServiceMarkedForDeletion)"
    ${CaseElse}
        !insertmacro Fail ${EXIT_FAILED} "$(ServiceNotStopped) ($R2)"
    ${EndSelect}
FunctionEnd

; IsOwnLibrary FOLDER: $R4 is 1 when $INSTDIR\FOLDER\VyxonCamera.dll is the one this
; product's setup installed (its digest is the one recorded), 0 for one an administrator put there.
!macro IsOwnLibrary FOLDER
    StrCpy $R4 0
    ReadRegStr $R5 HKLM "${UNINSTALL_KEY}" "CameraLibrary${FOLDER}"
    ${If} $upgrade == 1
    ${AndIf} $oldEdition == ""
        StrCpy $R4 1  ; an earlier setup that recorded nothing always installed its own
    ${ElseIf} $R5 != ""
        !insertmacro RunHelper 'digest "$INSTDIR\${FOLDER}\VyxonCamera.dll"'
        ${If} $R3 == $R5
            StrCpy $R4 1
        ${EndIf}
    ${EndIf}
!macroend

!macro MoveLibraryAside FOLDER
    ${If} ${FileExists} "$INSTDIR\${FOLDER}\VyxonCamera.dll"
        !insertmacro IsOwnLibrary ${FOLDER}
        ${If} $R4 == 1
            !insertmacro MoveAside "${FOLDER}\VyxonCamera.dll"
        ${EndIf}
    ${EndIf}
!macroend

Function MoveInstalledAside
    ${If} ${FileExists} "$INSTDIR\${ASIDE}\*.*"
        !insertmacro Log "removing $INSTDIR\${ASIDE}, left by an interrupted upgrade"
        RMDir /r "$INSTDIR\${ASIDE}"
    ${EndIf}
    CreateDirectory "$INSTDIR\DX_x86"
    CreateDirectory "$INSTDIR\DX_x64"
    CreateDirectory "$INSTDIR\tools_x64"
    CreateDirectory "$INSTDIR\${ASIDE}\DX_x86"
    CreateDirectory "$INSTDIR\${ASIDE}\DX_x64"
    CreateDirectory "$INSTDIR\${ASIDE}\tools_x64"
    StrCpy $phase 2
    !insertmacro MoveAside "${SERVICE_EXE}"
    !insertmacro MoveAside "README-Windows.txt"
    !insertmacro MoveAside "uninstall.exe"
    !insertmacro MoveAsideAll "DX_x86" "VYX_*.dll"
    !insertmacro MoveAsideAll "DX_x64" "VYX_*.dll"
    !insertmacro MoveAside "DX_x64\VYXVirtualCamera.exe"
    !insertmacro MoveAside "tools_x64\vyxcap.exe"
    !insertmacro MoveAside "tools_x64\vyxsim.exe"
    !insertmacro MoveAside "tools_x64\vyxcatalog.exe"
    !insertmacro MoveLibraryAside DX_x86
    !insertmacro MoveLibraryAside DX_x64
    !insertmacro MoveLibraryAside tools_x64
    ${If} $upgrade == 1
        !insertmacro Log "the installed version's files are moved aside into $INSTDIR\${ASIDE}"
    ${EndIf}
FunctionEnd

!macro RemoveNew NAME SOURCE
    Delete "$INSTDIR\${NAME}"
!macroend
!macro RemoveNewLibrary FOLDER
    ${If} $lib${FOLDER} != ""
    ${AndIf} $lib${FOLDER} != "kept"
        Delete "$INSTDIR\${FOLDER}\VyxonCamera.dll"
    ${EndIf}
!macroend

; After a failure: the new files go, the moved ones come back, and the version that was
; installed runs again; a new install leaves nothing.
Function PutBack
    ${If} $phase == 0
        Return
    ${EndIf}
    !insertmacro Log "putting back what this run changed"
    ; A folder that is a process's current folder cannot be removed: not this one's.
    SetOutPath "$TEMP"
    ${If} $phase >= 3
        !insertmacro RunHelper "stop-service"
        !insertmacro Log "stopping the new service: $R0 $R2"
    ${EndIf}
    ${If} $phase >= 2
        !insertmacro ForEachProgramFile RemoveNew
        !insertmacro ForEachToolFile RemoveNew
        !insertmacro RemoveNewLibrary DX_x86
        !insertmacro RemoveNewLibrary DX_x64
        !insertmacro RemoveNewLibrary tools_x64
        Delete "$INSTDIR\uninstall.exe"
        !insertmacro MoveBackAll ""
        !insertmacro MoveBackAll "DX_x86"
        !insertmacro MoveBackAll "DX_x64"
        !insertmacro MoveBackAll "tools_x64"
        RMDir "$INSTDIR\${ASIDE}\DX_x86"
        RMDir "$INSTDIR\${ASIDE}\DX_x64"
        RMDir "$INSTDIR\${ASIDE}\tools_x64"
        RMDir "$INSTDIR\${ASIDE}"
        RMDir "$INSTDIR\DX_x86"
        RMDir "$INSTDIR\DX_x64"
        RMDir "$INSTDIR\tools_x64"
    ${EndIf}
    ${If} $upgrade == 1
        ExecWait '"$INSTDIR\${SERVICE_EXE}" /RegServer' $0
        ${If} $0 == 0
            !insertmacro Log "version $oldVersion is back and its service runs"
        ${Else}
            !insertmacro Log "version $oldVersion is back but its service could not be started (exit code $0)"
        ${EndIf}
    ${ElseIf} $createdTop != ""
        Call RemoveCreatedFolders
        !insertmacro Log "nothing of this run is left"
    ${EndIf}
    StrCpy $phase 0
FunctionEnd

!macro InstallFile NAME SOURCE
    SetOutPath "$INSTDIR"
    File "/oname=$INSTDIR\${NAME}" "${STAGE}/${SOURCE}"
    !insertmacro Log "copied $INSTDIR\${NAME}"
!macroend

; A camera library an administrator put in place (it was not moved aside) stays.
!macro InstallCameraLibrary FOLDER DIGEST
    ${If} ${FileExists} "$INSTDIR\${FOLDER}\VyxonCamera.dll"
        StrCpy $lib${FOLDER} "kept"
        !insertmacro Log "kept $INSTDIR\${FOLDER}\VyxonCamera.dll: not installed by this setup"
    ${Else}
        !insertmacro InstallFile "${FOLDER}\VyxonCamera.dll" "${FOLDER}/VyxonCamera.dll"
        StrCpy $lib${FOLDER} "${DIGEST}"
    ${EndIf}
!macroend

!macro RecordLibrary FOLDER
    ${If} $lib${FOLDER} == ""
    ${OrIf} $lib${FOLDER} == "kept"
        DeleteRegValue HKLM "${UNINSTALL_KEY}" "CameraLibrary${FOLDER}"
    ${Else}
        WriteRegStr HKLM "${UNINSTALL_KEY}" "CameraLibrary${FOLDER}" $lib${FOLDER}
    ${EndIf}
!macroend

Function WriteUninstallEntry
    ; A folder made by the first install stays recorded across upgrades.
    ${If} $upgrade != 1
        WriteRegStr HKLM "${UNINSTALL_KEY}" "CreatedFolder" $createdTop
    ${EndIf}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Edition" "${EDITION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEB_SITE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "${SUPPORT_MAIL}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    ; Run in place, the uninstaller waits and its exit code is the caller's to read.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    !insertmacro RecordLibrary DX_x86
    !insertmacro RecordLibrary DX_x64
    !insertmacro RecordLibrary tools_x64
    !insertmacro Log "wrote the uninstall entry HKLM\${UNINSTALL_KEY}"
FunctionEnd

Function ShowReadmeAsUser
    ; The shell that is already running opens it, as the user and not elevated.
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\README-Windows.txt"'
FunctionEnd

Section "-Prepare"
    SetShellVarContext all
    ${If} $upgrade == 1
        !insertmacro Log "upgrading $oldVersion to ${VERSION} (${EDITION} edition) in $INSTDIR"
        Call RefuseWhileFilesHeld
    ${Else}
        !insertmacro Log "installing ${VERSION} (${EDITION} edition) into $INSTDIR"
    ${EndIf}
    Call MakeFolderSafe
    Call StopService
    Call MoveInstalledAside
SectionEnd

Section "!$(SectionDriver)" SecDriver
    SectionIn RO
    !insertmacro ForEachProgramFile InstallFile
SectionEnd

Section "$(SectionCameraLibrary)" SecLibrary
    SectionIn RO
    !insertmacro InstallCameraLibrary DX_x86 "${LIBRARY_DIGEST_DX_x86}"
    !insertmacro InstallCameraLibrary DX_x64 "${LIBRARY_DIGEST_DX_x64}"
SectionEnd

Section "$(SectionTools)" SecTools
    !insertmacro ForEachToolFile InstallFile
    !ifdef LIBRARY_DIGEST_tools_x64
        !insertmacro InstallCameraLibrary tools_x64 "${LIBRARY_DIGEST_tools_x64}"
    !endif
SectionEnd

Section "-Complete"
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        !insertmacro Fail ${EXIT_FAILED} "$(CannotWrite) $INSTDIR\uninstall.exe"
    ${EndIf}
    ; Files copied with UAC off, or by the built-in Administrator, belong to that user, and
    ; the service refuses to run code from them.
    !insertmacro RunHelper 'own-tree "$INSTDIR"'
    ${If} $R0 != "ok"
        !insertmacro Fail ${EXIT_FAILED} "$(OwnerNotSet) $R1 ($R2)"
    ${EndIf}
    !insertmacro Log "Administrators own $INSTDIR and everything in it ($R3 files and folders)"

    StrCpy $phase 3
    !insertmacro Log "installing and starting the service VYXDshowService"
    ClearErrors
    ExecWait '"$INSTDIR\${SERVICE_EXE}" /RegServer' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        ${If} $upgrade == 1
            !insertmacro Fail ${EXIT_FAILED} "$(ServiceNotInstalled) $(OldVersionBack)"
        ${Else}
            !insertmacro Fail ${EXIT_FAILED} "$(ServiceNotInstalled) $(NothingLeft)"
        ${EndIf}
    ${EndIf}
    !insertmacro Log "the service VYXDshowService runs from $INSTDIR"

    Call WriteUninstallEntry
    ; Shortcut names are in the installing user's language: an older set goes first.
    Delete "$SMPROGRAMS\${FOLDER_NAME}\*.lnk"
    CreateDirectory "$SMPROGRAMS\${FOLDER_NAME}"
    CreateShortcut "$SMPROGRAMS\${FOLDER_NAME}\$(ReadmeShortcut).lnk" "$INSTDIR\README-Windows.txt"
    CreateShortcut "$SMPROGRAMS\${FOLDER_NAME}\$(UninstallShortcut).lnk" "$INSTDIR\uninstall.exe"
    RMDir /r "$INSTDIR\${ASIDE}"
    RMDir "$INSTDIR\tools_x64"
    StrCpy $phase 0
SectionEnd

; An upgrade leaves the tools out when the installed version had none.
Function KeepToolsAsInstalled
    ${IfNot} ${FileExists} "$INSTDIR\tools_x64\vyxcap.exe"
        !insertmacro UnselectSection ${SecTools}
    ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDriver} "$(DescriptionDriver)"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecLibrary} "$(DescriptionCameraLibrary)"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecTools} "$(DescriptionTools)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; ---------------------------------------------------------------------------------------
; The uninstaller

Function un.onInit
    SetRegView 64
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AFTER=" $R1
    ${IfNot} ${Errors}
        Call un.CleanUpAfter
    ${EndIf}
    StrCpy $failed 0
    !insertmacro RequireAdmin
    !insertmacro ExtractHelper
    Call un.OpenLog
    !insertmacro TakeSetupLock
    !insertmacro Log "started: $CMDLINE"
    ReadRegStr $oldVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ReadRegStr $oldEdition HKLM "${UNINSTALL_KEY}" "Edition"
    ReadRegStr $createdTop HKLM "${UNINSTALL_KEY}" "CreatedFolder"
FunctionEnd

Function un.PutBack
    ; Nothing is removed before the service is: a failure leaves everything in place.
FunctionEnd

Function un.onUninstSuccess
    GetErrorLevel $0
    ${If} $0 == -1
        StrCpy $0 0
    ${EndIf}
    !insertmacro Log "done, exit code $0"
FunctionEnd

; A file Windows will not delete now (held open by a program) goes at the next restart.
!macro RemoveFile NAME SOURCE
    Delete /REBOOTOK "$INSTDIR\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${NAME}"
        !insertmacro Log "$INSTDIR\${NAME} is in use: it is removed at the next restart"
    ${EndIf}
!macroend

!macro RemoveCameraLibrary FOLDER
    ${If} ${FileExists} "$INSTDIR\${FOLDER}\VyxonCamera.dll"
        StrCpy $R4 0
        ReadRegStr $R5 HKLM "${UNINSTALL_KEY}" "CameraLibrary${FOLDER}"
        ${If} $oldVersion != ""
        ${AndIf} $oldEdition == ""
            StrCpy $R4 1  ; an earlier setup that recorded nothing always installed its own
        ${ElseIf} $R5 != ""
            !insertmacro RunHelper 'digest "$INSTDIR\${FOLDER}\VyxonCamera.dll"'
            ${If} $R3 == $R5
                StrCpy $R4 1
            ${EndIf}
        ${EndIf}
        ${If} $R4 == 1
            !insertmacro RemoveFile "${FOLDER}\VyxonCamera.dll" ""
        ${Else}
            !insertmacro Log "kept $INSTDIR\${FOLDER}\VyxonCamera.dll: not installed by the setup"
        ${EndIf}
    ${EndIf}
!macroend

; The quiet-uninstall command runs this program in place, from the folder it removes, so
; that it is waited for; a running program cannot delete itself. A copy of it, started from
; %TEMP% with /AFTER=<this process>, waits for this one to end, deletes it and removes the
; folders (un.CleanUpAfter); the copy goes at the next restart, as NSIS's own copies do.
Function un.RemoveUninstaller
    ${If} $EXEDIR != $INSTDIR
        Delete "$INSTDIR\uninstall.exe"
        Call un.RemoveFolders
        Return
    ${EndIf}
    GetTempFileName $0
    CopyFiles /SILENT "$EXEPATH" "$0.exe"
    ; Its current folder (this one's output folder) must not be the one it removes.
    SetOutPath "$TEMP"
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    System::Call 'kernel32::SetEnvironmentVariableW(w "VYX_UNINSTALL_CREATED_FOLDER", w "$createdTop")'
    Exec '"$0.exe" /S /AFTER=$1 _?=$INSTDIR'
    System::Call 'kernel32::MoveFileExW(w "$0.exe", p 0, i 4)'  ; MOVEFILE_DELAY_UNTIL_REBOOT
    Delete $0
    !insertmacro Log "the uninstaller and the folders go once it has ended"
FunctionEnd

Function un.RemoveFolders
    ${If} ${RebootFlag}
        RMDir /REBOOTOK "$INSTDIR\DX_x86"
        RMDir /REBOOTOK "$INSTDIR\DX_x64"
        RMDir /REBOOTOK "$INSTDIR\tools_x64"
        RMDir /REBOOTOK "$INSTDIR"
    ${Else}
        RMDir "$INSTDIR\DX_x86"
        RMDir "$INSTDIR\DX_x64"
        RMDir "$INSTDIR\tools_x64"
        Call un.RemoveCreatedFolders
    ${EndIf}
FunctionEnd

; The copy that cleans up after an uninstaller run in place: no log, no lock (the
; uninstaller holds it until it ends), no questions.
Function un.CleanUpAfter
    SetOutPath "$TEMP"
    IntOp $R1 $R1 + 0  ; the number alone: GetOptions leaves the rest of the line after it
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i R1) p .r2'  ; SYNCHRONIZE
    ${If} $2 != 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 60000) i'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    ReadEnvStr $createdTop VYX_UNINSTALL_CREATED_FOLDER
    Call un.RemoveFolders
    Quit
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    !insertmacro Log "uninstalling from $INSTDIR"
    Call un.RefuseWhileFilesHeld
    ${If} ${FileExists} "$INSTDIR\${SERVICE_EXE}"
        !insertmacro Log "stopping and removing the service VYXDshowService and its filter registrations"
        ClearErrors
        ExecWait '"$INSTDIR\${SERVICE_EXE}" /UnregServer' $0
        ${If} ${Errors}
        ${OrIf} $0 != 0
            !insertmacro Fail ${EXIT_FAILED} "$(ServiceNotRemoved)"
        ${EndIf}
    ${EndIf}
    !insertmacro ForEachProgramFile RemoveFile
    !insertmacro ForEachToolFile RemoveFile
    !insertmacro RemoveCameraLibrary DX_x86
    !insertmacro RemoveCameraLibrary DX_x64
    !insertmacro RemoveCameraLibrary tools_x64
    Call un.RemoveUninstaller
    Delete "$SMPROGRAMS\${FOLDER_NAME}\*.lnk"
    RMDir "$SMPROGRAMS\${FOLDER_NAME}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    !insertmacro Log "removed the files, the Start-menu folder and the uninstall entry"
    ${If} ${RebootFlag}
        SetErrorLevel ${EXIT_RESTART_NEEDED}
    ${EndIf}
SectionEnd
