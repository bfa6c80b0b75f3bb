@echo off
rem Registers Torlin.dll, the context menu extension beside this file, for all users of this
rem computer. Needs administrator rights. "Register.cmd /q" ends without waiting for a key.
setlocal
set "HANDLER=%~dp0Torlin.dll"
rem Explorer is 64-bit: so must regsvr32 be. A 32-bit prompt sees SysWOW64 as System32 and
rem reaches the real System32 as Sysnative.
set "SYSDIR=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "SYSDIR=%SystemRoot%\Sysnative"
"%SYSDIR%\regsvr32.exe" /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not register "%HANDLER%" (regsvr32 exit code %CODE%).
rem Only administrators may read the permissions of the registry's own files (a test that,
rem unlike "net session", needs no Server service).
"%SystemRoot%\System32\icacls.exe" "%SystemRoot%\System32\config\system" >nul 2>&1
if errorlevel 1 (
    echo Registering needs administrator rights: right-click Register.cmd and choose "Run as administrator".
    goto end
)
echo The usual reason: every user's Explorer loads Torlin.dll, so it registers only from a
echo folder that only administrators can change, and refuses (E_ACCESSDENIED, 0x80070005)
echo when others may write into "%~dp0" or change Torlin.dll.
echo Unzip the files into a new folder under C:\Program Files and run Register.cmd there;
echo "Installing and registering" in Menu.chm says more.
goto end
:done
echo Registered "%HANDLER%": Explorer's context menus now show the submenu Qarvo Context Menu.
echo Moving this folder breaks the submenu until Register.cmd is run again in the new place.
:end
if /i not "%~1"=="/q" pause
exit /b %CODE%
