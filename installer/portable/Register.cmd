@echo off
rem Registers Torlin.dll, the context menu extension beside this file: for all users of this
rem computer (needs administrator rights), or with "/user" for the current user alone (needs
rem none). "/q" ends without waiting for a key. Exit code: regsvr32's; 5 when registering for
rem all users without administrator rights; 87 for an unknown option.
setlocal
set "HANDLER=%~dp0Torlin.dll"
set SCOPE=all
set QUIET=
set CODE=0
for %%a in (%*) do (
    if /i "%%~a"=="/user" (set SCOPE=user) else if /i "%%~a"=="/q" (set QUIET=1) else set "BAD=%%~a"
)
if defined BAD (
    echo Unknown option "%BAD%". Usage: Register.cmd [/user] [/q]
    set CODE=87
    goto end
)
rem Explorer is 64-bit: so must regsvr32 be. A 32-bit prompt sees SysWOW64 as System32 and
rem reaches the real System32 as Sysnative.
set "SYSDIR=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "SYSDIR=%SystemRoot%\Sysnative"
if %SCOPE%==user goto user
rem Only administrators may read the permissions of the registry's own files (a test that,
rem unlike "net session", needs no Server service). Without them nothing is tried: registering
rem for all users and for one user differ in who sees the menu, so the user chooses.
"%SystemRoot%\System32\icacls.exe" "%SystemRoot%\System32\config\system" >nul 2>&1
if errorlevel 1 goto notadmin
"%SYSDIR%\regsvr32.exe" /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto registered
echo Could not register "%HANDLER%" (regsvr32 exit code %CODE%).
echo The usual reason: every user's Explorer loads Torlin.dll, so it registers for all users
echo only from a folder that only administrators can change, and refuses (E_ACCESSDENIED,
echo 0x80070005) when others may write into "%~dp0" or change Torlin.dll.
echo Unzip the files into a new folder under C:\Program Files and run Register.cmd there, or
echo register for yourself alone with "Register.cmd /user";
echo "Installing and registering" in Menu.chm says more.
goto end
:notadmin
echo Registering for all users needs administrator rights; nothing was changed. Either
echo right-click Register.cmd and choose "Run as administrator", or register for yourself
echo alone, without administrator rights, with "Register.cmd /user".
set CODE=5
goto end
:registered
echo Registered "%HANDLER%" for all users: Explorer's context menus now show the submenu
echo Qarvo Context Menu.
goto moved
:user
rem The same keys below the user's own classes: no administrator, no folder rule.
"%SYSDIR%\regsvr32.exe" /s /n /i:user "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto userregistered
echo Could not register "%HANDLER%" for you (regsvr32 exit code %CODE%).
goto end
:userregistered
echo Registered "%HANDLER%" for you alone: your Explorer's context menus now show the
echo submenu Qarvo Context Menu; other users and programs run as administrator do not.
:moved
echo Moving this folder breaks the submenu until Register.cmd is run again in the new place.
:end
if not defined QUIET pause
exit /b %CODE%
