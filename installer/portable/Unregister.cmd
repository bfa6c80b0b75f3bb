@echo off
rem Removes the registration of Torlin.dll, the context menu extension beside this file.
rem Needs administrator rights. "Unregister.cmd /q" ends without waiting for a key.
setlocal
set "HANDLER=%~dp0Torlin.dll"
rem The 64-bit regsvr32, also from a 32-bit prompt (see Register.cmd).
set "SYSDIR=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "SYSDIR=%SystemRoot%\Sysnative"
"%SYSDIR%\regsvr32.exe" /u /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not unregister "%HANDLER%" (regsvr32 exit code %CODE%).
rem Administrators alone may read the permissions of the registry's own files.
"%SystemRoot%\System32\icacls.exe" "%SystemRoot%\System32\config\system" >nul 2>&1
if errorlevel 1 echo Unregistering needs administrator rights: right-click Unregister.cmd and choose "Run as administrator".
goto end
:done
echo Unregistered "%HANDLER%": the submenu is gone from Explorer's context menus.
echo The folder can be deleted now; if Torlin.dll is in use, sign out and in again first.
:end
if /i not "%~1"=="/q" pause
exit /b %CODE%
