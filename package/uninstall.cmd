@echo off
rem Stops and removes the VYX camera service and unregisters every filter build of this folder.
rem Run it from an administrator prompt. Running it again, or without an installed service, is harmless.
setlocal
set "here=%~dp0"
rem As install.cmd: fltmc where there is one, else net session.
set "fltmc=%SystemRoot%\System32\fltmc.exe"
if exist "%SystemRoot%\Sysnative\fltmc.exe" set "fltmc=%SystemRoot%\Sysnative\fltmc.exe"
if exist "%fltmc%" ("%fltmc%" >nul 2>&1) else (net session >nul 2>&1)
if errorlevel 1 (
    echo uninstall: FAILED: administrator rights are needed. Open an administrator prompt, or right-click uninstall.cmd and choose "Run as administrator".
    exit /b 5
)
set "failed="
rem The service stops, unregisters the models it registered and removes itself.
"%here%VYXCamService.exe" /UnregServer
if errorlevel 1 set "failed=the service could not be removed (the Application event log, source VYXDshowService, says why)"
rem Builds registered by hand are unregistered too; one that is not registered is no failure.
rem A 32-bit prompt sees the 32-bit System32: the 64-bit regsvr32 is then in Sysnative.
set "regsvr64=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "regsvr64=%SystemRoot%\Sysnative\regsvr32.exe"
set "regsvr32=%SystemRoot%\SysWOW64\regsvr32.exe"
if not exist "%regsvr32%" set "regsvr32=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64" (
    for %%f in ("%here%DX_x64\VYX_*.dll") do "%regsvr64%" /s /u "%%~ff"
)
for %%f in ("%here%DX_x86\VYX_*.dll") do "%regsvr32%" /s /u "%%~ff"
sc query VYXDshowService >nul 2>&1
if not errorlevel 1 if not defined failed set "failed=the service VYXDshowService is still present"
if defined failed (
    echo uninstall: FAILED: %failed%.
    exit /b 1
)
echo uninstall: done. The service VYXDshowService is removed and no VYX filter is registered.
echo uninstall: the settings file %%LOCALAPPDATA%%\VYXDShowDriver\CamSettings.ini is kept; delete it to forget them.
exit /b 0
