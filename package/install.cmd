@echo off
rem Installs the VYX camera service from the folder this script is in, and starts it.
rem Run it from an administrator prompt. Running it again reinstalls and restarts the service.
setlocal
set "here=%~dp0"
rem fltmc answers only an elevated administrator, also where the Server service (which net
rem session needs) is disabled; a 32-bit prompt finds it through Sysnative. Where there is
rem no fltmc at all (Wine), net session decides.
set "fltmc=%SystemRoot%\System32\fltmc.exe"
if exist "%SystemRoot%\Sysnative\fltmc.exe" set "fltmc=%SystemRoot%\Sysnative\fltmc.exe"
if exist "%fltmc%" ("%fltmc%" >nul 2>&1) else (net session >nul 2>&1)
if errorlevel 1 (
    echo install: FAILED: administrator rights are needed. Open an administrator prompt, or right-click install.cmd and choose "Run as administrator".
    exit /b 5
)
if not exist "%here%VYXCamService.exe" (
    echo install: FAILED: VYXCamService.exe is not beside install.cmd in "%here%".
    exit /b 2
)
rem The service runs the filters from this folder as LocalSystem: Administrators own it and all
rem it holds (also when UAC is off), only SYSTEM and Administrators may change it, and Users and
rem ALL APPLICATION PACKAGES may read and run it, as in Program Files. LOCAL SERVICE is named
rem too: Windows' camera frame server loads the media sources from here as that account.
icacls "%here%." /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX *S-1-15-2-1:(OI)(CI)RX *S-1-5-19:(OI)(CI)RX /Q >nul
if not errorlevel 1 icacls "%here%*" /reset /T /C /Q >nul
if not errorlevel 1 icacls "%here%." /setowner *S-1-5-32-544 /T /C /Q >nul
if errorlevel 1 (
    echo install: FAILED: the access list of "%here%" could not be set; the service would refuse to run from it. Use a folder on a local NTFS drive.
    exit /b 3
)
"%here%VYXCamService.exe" /RegServer
if errorlevel 1 (
    echo install: FAILED: the service could not be installed or started; the Application event log, source VYXDshowService, says why.
    exit /b 1
)
echo install: done. The service VYXDshowService is installed and running from "%here%".
echo install: a plugged-in Vyxon camera is listed to DirectShow applications within seconds.
exit /b 0
