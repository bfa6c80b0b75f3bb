@echo off
rem Removes the registration of Torlin.dll, the context menu extension beside this file.
rem Needs administrator rights. "Unregister.cmd /q" ends without waiting for a key.
setlocal
set "HANDLER=%~dp0Torlin.dll"
"%SystemRoot%\System32\regsvr32.exe" /u /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not unregister "%HANDLER%" (regsvr32 exit code %CODE%).
net session >nul 2>&1
if errorlevel 1 echo Unregistering needs administrator rights: right-click Unregister.cmd and choose "Run as administrator".
goto end
:done
echo Unregistered "%HANDLER%": the submenu is gone from Explorer's context menus.
echo The folder can be deleted now; if Torlin.dll is in use, sign out and in again first.
:end
if /i not "%~1"=="/q" pause
exit /b %CODE%
