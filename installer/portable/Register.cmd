@echo off
rem Registers Torlin.dll, the context menu extension beside this file, for all users of this
rem computer. Needs administrator rights. "Register.cmd /q" ends without waiting for a key.
setlocal
set "HANDLER=%~dp0Torlin.dll"
"%SystemRoot%\System32\regsvr32.exe" /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not register "%HANDLER%" (regsvr32 exit code %CODE%).
net session >nul 2>&1
if errorlevel 1 echo Registering needs administrator rights: right-click Register.cmd and choose "Run as administrator".
goto end
:done
echo Registered "%HANDLER%": Explorer's context menus now show the submenu Qarvo Context Menu.
echo Moving this folder breaks the submenu until Register.cmd is run again in the new place.
:end
if /i not "%~1"=="/q" pause
exit /b %CODE%
