@echo off
rem Removes the registration of Torlin.dll, the context menu extension beside this file: the
rem one for all users (needs administrator rights), or with "/user" the current user's own.
rem "/q" ends without waiting for a key. Exit codes as Register.cmd's.
setlocal
set "HANDLER=%~dp0Torlin.dll"
set SCOPE=all
set QUIET=
set CODE=0
for %%a in (%*) do (
    if /i "%%~a"=="/user" (set SCOPE=user) else if /i "%%~a"=="/q" (set QUIET=1) else set "BAD=%%~a"
)
if defined BAD (
    echo Unknown option "%BAD%". Usage: Unregister.cmd [/user] [/q]
    set CODE=87
    goto end
)
rem The 64-bit regsvr32, also from a 32-bit prompt (see Register.cmd).
set "SYSDIR=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "SYSDIR=%SystemRoot%\Sysnative"
if %SCOPE%==user goto user
rem Administrators alone may read the permissions of the registry's own files.
"%SystemRoot%\System32\icacls.exe" "%SystemRoot%\System32\config\system" >nul 2>&1
if errorlevel 1 goto notadmin
"%SYSDIR%\regsvr32.exe" /u /s "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not unregister "%HANDLER%" (regsvr32 exit code %CODE%).
goto end
:notadmin
echo Removing the registration for all users needs administrator rights; nothing was changed.
echo Right-click Unregister.cmd and choose "Run as administrator". A registration made with
echo "Register.cmd /user" is removed with "Unregister.cmd /user", without administrator rights.
set CODE=5
goto end
:user
"%SYSDIR%\regsvr32.exe" /u /s /n /i:user "%HANDLER%"
set CODE=%ERRORLEVEL%
if %CODE%==0 goto done
echo Could not unregister "%HANDLER%" for you (regsvr32 exit code %CODE%).
goto end
:done
echo Unregistered "%HANDLER%": the submenu is gone from Explorer's context menus.
echo The folder can be deleted now; if Torlin.dll is in use, sign out and in again first.
:end
if not defined QUIET pause
exit /b %CODE%
