@echo off
rem Installs the VYX camera service from the folder this script is in, and starts it.
rem Run it from an administrator prompt. Running it again reinstalls and restarts the service.
setlocal
set "here=%~dp0"
net session >nul 2>&1
if errorlevel 1 (
    echo install: FAILED: administrator rights are needed. Open an administrator prompt, or right-click install.cmd and choose "Run as administrator".
    exit /b 5
)
if not exist "%here%VYXCamService.exe" (
    echo install: FAILED: VYXCamService.exe is not beside install.cmd in "%here%".
    exit /b 2
)
"%here%VYXCamService.exe" /RegServer
if errorlevel 1 (
    echo install: FAILED: the service could not be installed or started; the Application event log, source VYXDshowService, says why.
    exit /b 1
)
echo install: done. The service VYXDshowService is installed and running from "%here%".
echo install: a plugged-in Vyxon camera is listed to DirectShow applications within seconds.
exit /b 0
