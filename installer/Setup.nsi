; Qarvo Context Menu: the installer and its uninstaller. Compiled by installer/package.py
; (target "dist"), which passes the identities PRODUCT, PUBLISHER, COMPANY, WEBSITE, COPYRIGHT,
; UNINSTALL_ID (the uninstall entry's key) and VERSION, STAGE (the staged installed layout),
; DELIVERABLES (the lists of that layout), HANDLER and EDITOR (the two programs' file names),
; HANDLER_CLSID, ICON, OUTFILE, PACKAGE (what it made of Windows 11's sparse package) and, for a
; signed release, SIGN and SIGN_KEEP.
;
; Two kinds of installation. For everyone: Torlin.dll runs in the Explorer of every user,
; administrators' included, and the editor runs as an administrator, so the install folder is one
; that only administrators can change. Only for one user: the folder, the registration
; (HKCU\Software\Classes), the uninstall entry and the shortcut are that user's, and nothing asks
; for an administrator. Either way there is one installation only, and the uninstaller removes
; only what is its own.
;
; Setup runs with the rights it was started with. A machine-wide installation started without
; administrator rights starts Setup again through the elevation prompt, with the choice on its
; command line (/AllUsers) and /Relaunched, waits for it and ends with its exit code; a
; relaunched Setup that still has no administrator rights stops (exit code 740), it never starts
; itself again. The uninstaller does the same for a machine-wide installation.

Unicode true
; Explorer is 64-bit and loads only 64-bit handlers. A 64-bit installer also finds the 64-bit
; regsvr32 in $SYSDIR and writes the 64-bit registry.
Target amd64-unicode
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma
; A file that cannot be written fails the installation, in silent mode too, instead of leaving
; the old file behind unnoticed.
AllowSkipFiles off

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include nsDialogs.nsh

; A signed release (installer/package.py passes SIGN): the uninstaller is signed as the compiler
; writes it, then the installer.
!ifdef SIGN
    !uninstfinalize '${SIGN} "%1" --keep "${SIGN_KEEP}"'
    !finalize '${SIGN} "%1"'
!endif

; Under HKLM for everyone, under HKCU for one user (SHCTX follows SetShellVarContext).
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${UNINSTALL_ID}"
!define SERVER_KEY "Software\Classes\CLSID\${HANDLER_CLSID}\InprocServer32"
!define MACHINE_FOLDER "$PROGRAMFILES64\${PRODUCT}"
!define USER_FOLDER "$LOCALAPPDATA\Programs\${PRODUCT}"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; What each run did, and why it stopped: the only word a silent run gives besides its exit code.
!define SETUP_LOG "$TEMP\QarvoContextMenu-Setup.log"
!define UNINSTALL_LOG "$TEMP\QarvoContextMenu-Uninstall.log"
; The silent uninstall command runs a copy of the uninstaller from here, so that it can remove
; the install folder and still be waited for.
!define UNINSTALL_COPY "%TEMP%\QarvoContextMenu-Uninstall.exe"

; The install folder's permissions, whatever its parent's: SYSTEM and Administrators full
; control, Users read and execute, nothing inherited, owned by Administrators. Torlin.dll
; registers only from a folder that no one else can change. The one place that sets them.
!define FOLDER_SECURITY "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)"
; One user's folder is that user's, with SYSTEM and Administrators as in the user's profile, and
; nothing inherited: chosen on a drive where all signed-in users may write, it would otherwise let
; them replace the Torlin.dll that this user's Explorer loads. The user's SID follows.
!define USER_FOLDER_SECURITY "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;"

; Exit codes besides 0. Setup and the uninstaller exit with the Windows error code that names
; what stopped them.
!define EXIT_UNREGISTERED 2        ; the extension could not be registered or unregistered
!define EXIT_IN_USE 32             ; ERROR_SHARING_VIOLATION: the editor is running
!define EXIT_NOT_OURS 145          ; ERROR_DIR_NOT_EMPTY: the folder holds files of someone else
!define EXIT_BAD_FOLDER 161        ; ERROR_BAD_PATHNAME: a folder the extension cannot read
!define EXIT_BAD_SWITCHES 87       ; ERROR_INVALID_PARAMETER: both /AllUsers and /CurrentUser
!define EXIT_NOT_ADMIN 740         ; ERROR_ELEVATION_REQUIRED: refused or without elevation
!define EXIT_INSTALLED_ELSEWHERE 1638 ; ERROR_PRODUCT_VERSION: installed in another folder, or
                                      ; as the other kind of installation
!define EXIT_RESTART 3010          ; ERROR_SUCCESS_REBOOT_REQUIRED: a restart finishes it

!include "${DELIVERABLES}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; The folder of a first machine-wide installation; an upgrade goes where the installed version
; is, and one user's installation into USER_FOLDER (UseScope).
InstallDir "${MACHINE_FOLDER}"
BrandingText "${PRODUCT} ${VERSION}"

Var Scope ; "all" (everyone, administrators' rights) or "user" (the current user only)
Var Relaunched ; 1 when this Setup is the one a Setup without administrator rights started
Var InstalledAt ; the folder the chosen kind's uninstall entry names; empty when none
Var RegisterOptions ; regsvr32's options besides /s and /u: per user "/n /i:user"
Var PackageUsers ; Win11Package.ps1's option: " -AllUsers" for everyone, empty for one user

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
Page custom ScopePage ScopePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderPageOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckChosenFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; ---- Helpers of both programs: each macro defines the installer's function and, with "un.",
; ---- the uninstaller's.

; Calls the installer's or the uninstaller's function, whichever program is being written.
!macro CallOwn NAME
    !ifdef __UNINSTALL__
        Call un.${NAME}
    !else
        Call ${NAME}
    !endif
!macroend

!macro Log TEXT
    Push `${TEXT}`
    !insertmacro CallOwn Log
!macroend

; Says why the program stops (the message box is skipped when silent), writes it to the log
; and ends with the exit code.
!macro Refuse CODE TEXT
    Push ${CODE}
    Push `${TEXT}`
    !insertmacro CallOwn Refuse
!macroend

!macro HelperFunctions UN LOGFILE
    ; Starts the log of this run.
    Function ${UN}StartLog
        FileOpen $0 "${LOGFILE}" w
        FileWriteUTF16LE /BOM $0 "$(^Name) ${VERSION}, $EXEPATH $\r$\n"
        FileClose $0
    FunctionEnd

    ; A line for the log, and for the details of the progress page.
    Function ${UN}Log
        Exch $0
        Push $1
        DetailPrint $0
        FileOpen $1 "${LOGFILE}" a
        FileSeek $1 0 END
        FileWriteUTF16LE $1 "$0$\r$\n"
        FileClose $1
        Pop $1
        Pop $0
    FunctionEnd

    Function ${UN}Refuse
        Pop $0
        Pop $1
        !insertmacro Log $0
        MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
        SetErrorLevel $1
        Quit
    FunctionEnd

    ; The folder on the stack without a trailing backslash, to compare folders.
    Function ${UN}TrimFolder
        Exch $0
        Push $1
        ${Do}
            StrCpy $1 $0 "" -1
            ${IfThen} $1 != "\" ${|} ${ExitDo} ${|}
            StrCpy $0 $0 -1
        ${Loop}
        Pop $1
        Exch $0
    FunctionEnd

    ; Whether another program holds the file on the stack (running, loaded or open without
    ; sharing): "1" or "0". A file that merely refuses to be deleted is not in use.
    Function ${UN}InUse
        Exch $0
        Push $1
        Push $2
        StrCpy $2 0
        ${If} ${FileExists} $0
            ; GENERIC_WRITE and DELETE with every sharing mode, OPEN_EXISTING: only a holder
            ; refuses that (a sharing violation), permissions refuse it otherwise.
            System::Call 'kernel32::CreateFileW(w r0, i 0x40010000, i 7, p 0, i 3, i 0, p 0) p .r1 ?e'
            Pop $2
            ${If} $1 = -1
                ${IfThen} $2 = 32 ${|} StrCpy $2 1 ${|}
            ${Else}
                System::Call 'kernel32::CloseHandle(p r1)'
                StrCpy $2 0
            ${EndIf}
            ${IfThen} $2 != 1 ${|} StrCpy $2 0 ${|}
        ${EndIf}
        StrCpy $0 $2
        Pop $2
        Pop $1
        Exch $0
    FunctionEnd

    ; Sets what the kind of installation in $Scope decides: the shell folders and SHCTX (HKLM or
    ; HKCU), regsvr32's options and the Windows 11 package's users.
    Function ${UN}SetScope
        ${If} $Scope == all
            SetShellVarContext all
            StrCpy $RegisterOptions ""
            StrCpy $PackageUsers " -AllUsers"
        ${Else}
            SetShellVarContext current
            StrCpy $RegisterOptions "/n /i:user"
            StrCpy $PackageUsers ""
        ${EndIf}
    FunctionEnd

    ; Starts this program again through the elevation prompt with the options on the stack
    ; (/Relaunched is added), waits for it and ends with its exit code. Returns, pushing the
    ; Windows error, only when it could not be started (1223: the prompt was refused).
    Function ${UN}Relaunch
        Exch $0
        Push $1
        Push $2
        !insertmacro Log "Starting $EXEPATH again as an administrator: $0"
        ; SHELLEXECUTEINFOW, padded for 64 bits: SEE_MASK_NOCLOSEPROCESS|SEE_MASK_NOASYNC,
        ; verb "runas", shown normally; hProcess is its last member.
        System::Call '*(i 112, i 0x140, p $HWNDPARENT, w "runas", w "$EXEPATH", w "/Relaunched $0", p 0, i 1, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
        System::Call 'shell32::ShellExecuteExW(p r1) i .r0 ?e'
        Pop $2
        ${If} $0 <> 0
            System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r0)'
            System::Free $1
            HideWindow
            System::Call 'kernel32::WaitForSingleObject(p r0, i -1)'
            System::Call 'kernel32::GetExitCodeProcess(p r0, *i .r2)'
            System::Call 'kernel32::CloseHandle(p r0)'
            !insertmacro Log "The administrator's run ended with $2"
            SetErrorLevel $2
            Quit
        ${EndIf}
        System::Free $1
        StrCpy $0 $2
        Pop $2
        Pop $1
        Exch $0
    FunctionEnd

    ; A running editor would write its files back after they were replaced or removed.
    Function ${UN}RefuseWhileEditorRuns
        Push "$INSTDIR\${EDITOR}"
        Call ${UN}InUse
        Pop $0
        ${If} $0 == 1
            !insertmacro Refuse ${EXIT_IN_USE} \
                "The ${PRODUCT} editor is running ($INSTDIR\${EDITOR}): close it, then try again."
        ${EndIf}
    FunctionEnd
!macroend

; Pushes 1 when this process has administrator rights (with UAC: is elevated), else 0.
!macro IsAdministrator
    UserInfo::GetAccountType
    Exch $0
    ${If} $0 == "Admin"
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
    Exch $0
!macroend

; Options for a relaunch: /S when silent, then the given ones.
!macro RelaunchOptions OPTIONS
    ${If} ${Silent}
        Push "/S ${OPTIONS}"
    ${Else}
        Push "${OPTIONS}"
    ${EndIf}
!macroend

!include "Win11Package.nsh"

; ---- The installer

!insertmacro HelperFunctions "" "${SETUP_LOG}"

Var MachineAt ; the folder of the installation for everyone, empty when none
Var UserAt ; the folder of this user's own installation, empty when none
Var CustomFolder ; 1 when /D= named the folder
Var ScopeBySwitch ; 1 when the command line chose the kind: the first page is skipped

; The folder an uninstall entry names, trimmed, or "".
!macro ReadInstalledAt ROOT VAR
    ReadRegStr ${VAR} ${ROOT} "${UNINSTALL_KEY}" "InstallLocation"
    Push ${VAR}
    !insertmacro CallOwn TrimFolder
    Pop ${VAR}
!macroend

Function .onInit
    SetRegView 64
    Call StartLog
    ${IfThen} $INSTDIR != "${MACHINE_FOLDER}" ${|} StrCpy $CustomFolder 1 ${|}
    !insertmacro ReadInstalledAt HKLM $MachineAt
    !insertmacro ReadInstalledAt HKCU $UserAt
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/Relaunched" $R1
    ${IfNot} ${Errors}
        StrCpy $Relaunched 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $R1
    ${IfNot} ${Errors}
        StrCpy $Scope all
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CurrentUser" $R1
    ${IfNot} ${Errors}
        ${If} $Scope == all
            !insertmacro Refuse ${EXIT_BAD_SWITCHES} \
                "Setup installs either for everyone (/AllUsers) or only for the current user (/CurrentUser), not both."
        ${EndIf}
        StrCpy $Scope user
    ${EndIf}
    ; Silently, machine-wide unless told otherwise; with pages, the first page asks.
    ${If} $Scope == ""
    ${AndIf} ${Silent}
        StrCpy $Scope all
    ${EndIf}
    ${If} $Scope != ""
        StrCpy $ScopeBySwitch 1
        Call CheckScope
        Pop $0
        Pop $1
        ${If} $1 = -1
            StrCpy $0 "/AllUsers"
            ${IfThen} $CustomFolder == 1 ${|} StrCpy $0 "$0 /D=$INSTDIR" ${|}
            !insertmacro RelaunchOptions $0
            Call Relaunch
            Pop $1
            !insertmacro Refuse ${EXIT_NOT_ADMIN} \
                "Installing ${PRODUCT} for everyone needs administrator rights, and Windows did not give them (error $1). Run Setup as an administrator, or with /CurrentUser to install it only for yourself."
        ${ElseIf} $1 <> 0
            !insertmacro Refuse $1 $0
        ${EndIf}
        Call UseScope
    ${EndIf}
FunctionEnd

; Whether the kind in $Scope can be installed by this process: pushes an exit code and the
; reason, or 0 and "", or -1 when the administrator's rights must be asked for first.
Function CheckScope
    ; One kind only: the other one's registration would be left behind or shadowed.
    ${If} $Scope == all
    ${AndIf} $UserAt != ""
        Push ${EXIT_INSTALLED_ELSEWHERE}
        Push "${PRODUCT} is installed only for you, in $UserAt. Setup does not add an installation for everyone beside it: uninstall yours first (Settings > Apps), then install for everyone."
        Return
    ${EndIf}
    ${If} $Scope == user
    ${AndIf} $MachineAt != ""
        Push ${EXIT_INSTALLED_ELSEWHERE}
        Push "${PRODUCT} is installed for everyone on this computer, in $MachineAt. Setup does not add an installation only for you beside it: choose to install for everyone to upgrade that one, or have an administrator uninstall it first."
        Return
    ${EndIf}
    ${If} $Scope == all
        !insertmacro IsAdministrator
        Pop $0
        ${If} $0 != 1
            ${If} $Relaunched == 1
                Push ${EXIT_NOT_ADMIN}
                Push "Setup was started again to install ${PRODUCT} for everyone, but still has no administrator rights. Run it as an administrator, or install only for yourself."
            ${Else}
                Push -1
                Push ""
            ${EndIf}
            Return
        ${EndIf}
    ${EndIf}
    Push 0
    Push ""
FunctionEnd

; Takes the kind in $Scope, checked by CheckScope: its shell folders and registry root, and its
; folder - the installed one (one installation only: an upgrade replaces it where it is), the
; one /D= named or the kind's default.
Function UseScope
    Call SetScope
    ${If} $Scope == all
        StrCpy $InstalledAt $MachineAt
        StrCpy $0 "${MACHINE_FOLDER}"
        !insertmacro Log "Installing for everyone on this computer"
    ${Else}
        StrCpy $InstalledAt $UserAt
        StrCpy $0 "${USER_FOLDER}"
        !insertmacro Log "Installing only for the current user, $LOCALAPPDATA"
    ${EndIf}
    ${If} $CustomFolder != 1
        StrCpy $INSTDIR $0
        ${IfThen} $InstalledAt != "" ${|} StrCpy $INSTDIR $InstalledAt ${|}
    ${EndIf}
    ${If} $InstalledAt != ""
        Push $INSTDIR
        Call TrimFolder
        Pop $0
        ${If} $0 != $InstalledAt
            !insertmacro Refuse ${EXIT_INSTALLED_ELSEWHERE} \
                "${PRODUCT} is installed in $InstalledAt. Setup upgrades it there: run it without /D=, or uninstall ${PRODUCT} first to install it into $0."
        ${EndIf}
        StrCpy $INSTDIR $InstalledAt
    ${EndIf}
    ; A silent run and an upgrade show no folder page: their folder is checked here.
    ${If} ${Silent}
    ${OrIf} $InstalledAt != ""
        Call CheckInstallFolder
        Pop $0
        Pop $1
        ${If} $1 <> 0
            !insertmacro Refuse $1 $0
        ${EndIf}
    ${EndIf}
    Call RefuseWhileEditorRuns
FunctionEnd

; The first page: for everyone, or only for me. Skipped when a switch chose.
Var ScopeAll
Var ScopeUser

Function ScopePage
    ${IfThen} $ScopeBySwitch == 1 ${|} Abort ${|}
    !insertmacro MUI_HEADER_TEXT "Who uses ${PRODUCT}" "Install it for everyone on this computer, or only for you."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 0 100% 12u "For &everyone on this computer (needs administrator rights)"
    Pop $ScopeAll
    ${NSD_CreateLabel} 12u 13u -12u 28u "Every user's Explorer shows the submenu, and everyone sees the same list. Changing the list needs an administrator. Installed into Program Files."
    Pop $0
    ${NSD_CreateRadioButton} 0 46u 100% 12u "Only for &me (no administrator rights)"
    Pop $ScopeUser
    ${NSD_CreateLabel} 12u 59u -12u 28u "Only your own Explorer shows the submenu, with your own list, and you change it without asking anyone. Not shown in the file dialogs of programs that run as an administrator. Installed into your own application data."
    Pop $0
    ${If} $MachineAt != ""
        StrCpy $0 "${PRODUCT} is installed for everyone, in $MachineAt: Setup upgrades it there."
    ${ElseIf} $UserAt != ""
        StrCpy $0 "${PRODUCT} is installed only for you, in $UserAt: Setup upgrades it there."
    ${Else}
        StrCpy $0 ""
    ${EndIf}
    ${NSD_CreateLabel} 0 94u 100% 20u $0
    Pop $1
    ${If} $MachineAt == ""
    ${AndIf} $UserAt != ""
    ${OrIf} $Scope == user
        ${NSD_Check} $ScopeUser
    ${Else}
        ${NSD_Check} $ScopeAll
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ScopePageLeave
    ${NSD_GetState} $ScopeUser $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $Scope user
    ${Else}
        StrCpy $Scope all
    ${EndIf}
    Call CheckScope
    Pop $0
    Pop $1
    ${If} $1 = -1
        StrCpy $0 "/AllUsers"
        ${IfThen} $CustomFolder == 1 ${|} StrCpy $0 "$0 /D=$INSTDIR" ${|}
        Push $0
        Call Relaunch
        Pop $1
        StrCpy $0 "Installing ${PRODUCT} for everyone needs administrator rights, and Windows did not give them (error $1). Try again, or install only for yourself."
        StrCpy $1 ${EXIT_NOT_ADMIN}
    ${EndIf}
    ${If} $1 <> 0
        !insertmacro Log $0
        MessageBox MB_OK|MB_ICONEXCLAMATION $0
        StrCpy $Scope ""
        Abort ; stays on the page
    ${EndIf}
    Call UseScope
FunctionEnd

; Why $INSTDIR cannot take the program, checked before anything is written: pushes an exit
; code and the reason, or 0 and "".
Function CheckInstallFolder
    ; The handler and the editor read the paths of their files as ANSI text of at most 255
    ; bytes; LONGEST_FILE is the deepest of those files.
    StrCpy $0 "$INSTDIR\${LONGEST_FILE}"
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w r0, i -1, p 0, i 0, p 0, p 0) i .r1'
    ${If} $1 > 256
        IntOp $1 $1 - 1
        Push ${EXIT_BAD_FOLDER}
        Push "The path of the folder $INSTDIR is too long: the context menu extension and the editor read the paths of their files in at most 255 bytes, and $0 takes $1. Choose a shorter folder."
        Return
    ${EndIf}
    ; The code page spells the name exactly when it comes back the same.
    System::Call '*(&i256) p .r2'
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w r0, i -1, p r2, i 256, p 0, p 0) i .r1'
    System::Call 'kernel32::MultiByteToWideChar(i 0, i 0, p r2, i -1, w .r3, i ${NSIS_MAX_STRLEN})'
    System::Free $2
    ${If} $1 = 0
    ${OrIfNot} $3 S== $0
        Push ${EXIT_BAD_FOLDER}
        Push "The folder $INSTDIR has characters that Windows cannot write in its ANSI code page, in which the context menu extension reads the path of its folder. Choose a folder with another name."
        Return
    ${EndIf}
    ; Only an empty folder or the installed one: one filled beforehand by someone else could
    ; hand the editor a Config.xml and a menu.dat, or plant a library beside the programs.
    ${If} $InstalledAt == ""
        FindFirst $1 $2 "$INSTDIR\*.*"
        ${Do}
            ${If} $2 != "."
            ${AndIf} $2 != ".."
                ${ExitDo}
            ${EndIf}
            FindNext $1 $2
        ${Loop}
        FindClose $1
        ${If} $2 != ""
            Push ${EXIT_NOT_OURS}
            Push "The folder $INSTDIR is not empty and holds no installation of ${PRODUCT}: Setup installs only into a new or empty folder. Choose another folder. (If ${PRODUCT} was uninstalled from it a moment ago, restart Windows first: that finishes the removal.)"
            Return
        ${EndIf}
    ${EndIf}
    Push 0
    Push ""
FunctionEnd

Function SkipFolderPageOnUpgrade
    ${IfThen} $InstalledAt != "" ${|} Abort ${|}
FunctionEnd

Function CheckChosenFolder
    Call CheckInstallFolder
    Pop $0
    Pop $1
    ${If} $1 <> 0
        MessageBox MB_OK|MB_ICONEXCLAMATION $0
        Abort ; stays on the page
    ${EndIf}
FunctionEnd

; The current user's SID as text, on the stack.
Function UserSid
    Push $0
    Push $1
    Push $2
    StrCpy $2 ""
    ; TOKEN_QUERY of this process's token; TokenUser, whose first member points to the SID.
    System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r0) i .r1'
    ${If} $1 <> 0
        System::Call '*(&i256) p .r1'
        System::Call 'advapi32::GetTokenInformation(p r0, i 1, p r1, i 256, *i .r2) i .r2'
        System::Call 'kernel32::CloseHandle(p r0)'
        ${If} $2 <> 0
            System::Call '*$1(p .r0)'
            System::Call 'advapi32::ConvertSidToStringSidW(p r0, *p .r0) i .r2'
            ${If} $2 <> 0
                System::Call 'kernel32::lstrcpynW(w .r2, p r0, i ${NSIS_MAX_STRLEN})'
                System::Call 'kernel32::LocalFree(p r0)'
            ${Else}
                StrCpy $2 ""
            ${EndIf}
        ${Else}
            StrCpy $2 ""
        ${EndIf}
        System::Free $1
    ${EndIf}
    Exch $2 ; the SID on the stack, $2 as it was
    Exch
    Pop $1
    Exch
    Pop $0
FunctionEnd

; Creates $INSTDIR and gives it, and what it holds, its permissions: for everyone
; FOLDER_SECURITY and Administrators as owner; for one user USER_FOLDER_SECURITY, its owner left
; as the user who created it. The log shows the descriptor as the system read it.
Function ProtectInstallFolder
    CreateDirectory $INSTDIR
    ${If} $Scope == all
        StrCpy $5 "${FOLDER_SECURITY}"
        StrCpy $6 0x80000005 ; OWNER, DACL and PROTECTED_DACL
    ${Else}
        Call UserSid
        Pop $5
        StrCpy $5 "${USER_FOLDER_SECURITY}$5)"
        StrCpy $6 0x80000004 ; DACL and PROTECTED_DACL
    ${EndIf}
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r5, i 1, *p .r1, p 0) i .r0 ?e'
    Pop $2
    ${If} $0 <> 0
        System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r3, *i .r0)'
        System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r0, *p .r4, *i .r0)'
        ; SE_FILE_OBJECT; PROTECTED_DACL: nothing inherited from the parent.
        System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i r6, p r3, p 0, p r4, p 0) i .r2'
        System::Call 'advapi32::ConvertSecurityDescriptorToStringSecurityDescriptorW(p r1, i 1, i 5, *p .r5, p 0)'
        System::Call '*$5(&w${NSIS_MAX_STRLEN} .r6)'
        System::Call 'kernel32::LocalFree(p r5)'
        System::Call 'kernel32::LocalFree(p r1)'
    ${EndIf}
    ${If} $2 <> 0
        !insertmacro Refuse $2 \
            "The permissions of $INSTDIR could not be set (error $2): the context menu extension is installed only into a folder that no one else can change. Choose a folder on an NTFS drive of this computer."
    ${EndIf}
    !insertmacro Log "Folder security of $INSTDIR: $6"
FunctionEnd

; Explorer may have the installed handler loaded. Such a file cannot be replaced but can be
; renamed; the renamed one goes at the next restart.
Function MoveAsideLoadedHandler
    ${IfNot} ${FileExists} "$INSTDIR\${HANDLER}"
        Return
    ${EndIf}
    ClearErrors
    Delete "$INSTDIR\${HANDLER}"
    ${If} ${Errors}
        GetTempFileName $0 "$INSTDIR"
        Delete $0
        Rename "$INSTDIR\${HANDLER}" $0
        Delete /REBOOTOK $0
    ${EndIf}
FunctionEnd

Function WriteUninstallEntry
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EDITOR},0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    ; Run from the folder, the uninstaller hands over to a copy of itself and ends at once. This
    ; command runs a copy itself, waits for it and ends with its exit code, 3010 included.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$SYSDIR\cmd.exe" /d /s /c "copy /b /y "$INSTDIR\Uninstall.exe" "${UNINSTALL_COPY}" >nul && "${UNINSTALL_COPY}" /S _?=$INSTDIR"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
FunctionEnd

Function RegisterHandler
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /s $RegisterOptions "$INSTDIR\${HANDLER}"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        !insertmacro Refuse ${EXIT_UNREGISTERED} \
            "The context menu extension $INSTDIR\${HANDLER} could not be registered (regsvr32 ended with $0).$\r$\n$\r$\nThe installation is incomplete: run Setup again, or remove it in Settings > Apps."
    ${EndIf}
    !insertmacro Log "Registered $INSTDIR\${HANDLER} $RegisterOptions"
FunctionEnd

Section "Install"
    Call RefuseWhileEditorRuns
    Call ProtectInstallFolder
    SetOutPath "$INSTDIR"
    ; From here on the folder is the installation (the entry names it), so a failure below
    ; leaves one that Setup upgrades and Settings > Apps removes.
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    Call WriteUninstallEntry
    Call Win11PackageRemove
    Call MoveAsideLoadedHandler
    ; The editor's Config.xml, Config.xml.bak, menu.dat and menu.icons are not part of the
    ; package, so an upgrade leaves them as they are.
    !insertmacro InstallDeliverables
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    Call RegisterHandler
    Call Win11PackageInstall

    ; The editor starts in its own folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\${EDITOR}" "" "$INSTDIR\${EDITOR}" 0 \
        SW_SHOWNORMAL "" "Edit the entries of the ${PRODUCT} submenu"
    !insertmacro Log "Installed ${PRODUCT} ${VERSION} in $INSTDIR"
SectionEnd

; ---- The uninstaller. It acts on the registration, the uninstall entry and the shortcut only
; ---- when they belong to its own folder, and removes only the files it installed.

!insertmacro HelperFunctions "un." "${UNINSTALL_LOG}"

Var IsInstallation ; an uninstall entry names this folder: the lists and the entry are ours

!macro RemoveInstalledFile PATH
    Push "${PATH}"
    Call un.RemoveFile
!macroend

!macro RemoveInstalledFolder PATH
    Push "${PATH}"
    Call un.RemoveFolder
!macroend

; Which kind it removes: the one whose uninstall entry names its folder; for a folder that no
; entry names, the kind whose registration points into it (machine-wide when none does).
Function un.onInit
    SetRegView 64
    Call un.StartLog
    Push $INSTDIR
    Call un.TrimFolder
    Pop $INSTDIR
    StrCpy $Scope all
    !insertmacro ReadInstalledAt HKLM $0
    !insertmacro ReadInstalledAt HKCU $1
    ReadRegStr $2 HKCU "${SERVER_KEY}" ""
    ${If} $0 == $INSTDIR
        StrCpy $IsInstallation 1
    ${ElseIf} $1 == $INSTDIR
        StrCpy $IsInstallation 1
        StrCpy $Scope user
    ${ElseIf} $2 == "$INSTDIR\${HANDLER}"
        StrCpy $Scope user
    ${EndIf}
    Call un.SetScope
    !insertmacro Log "Uninstalling the installation for $Scope from $INSTDIR"
    ${If} $Scope == all
        !insertmacro IsAdministrator
        Pop $0
        ${If} $0 != 1
            ; Started again already: never once more.
            ClearErrors
            ${GetOptions} $CMDLINE "/Relaunched" $0
            ${If} ${Errors}
                !insertmacro RelaunchOptions "_?=$INSTDIR"
                Call un.Relaunch
                Pop $0
            ${Else}
                StrCpy $0 "none"
            ${EndIf}
            !insertmacro Refuse ${EXIT_NOT_ADMIN} \
                "${PRODUCT} is installed for everyone on this computer: removing it needs administrator rights, and Windows did not give them (error $0)."
        ${EndIf}
    ${EndIf}
    Call un.RefuseWhileEditorRuns
FunctionEnd

; A file goes now; one that another program holds goes at the next restart; one that cannot go
; for another reason stays, and the log says so.
Function un.RemoveFile
    Exch $0
    Push $1
    Delete $0
    ${If} ${FileExists} $0
        Push $0
        Call un.InUse
        Pop $1
        ${If} $1 == 1
            ; Queuing it for the restart needs administrator rights, which one user's
            ; uninstaller does not have.
            ClearErrors
            Delete /REBOOTOK $0
            ${If} ${Errors}
                !insertmacro Log "In use, and it cannot be queued for removal at the next restart: $0"
            ${Else}
                !insertmacro Log "In use, removed at the next restart: $0"
            ${EndIf}
        ${Else}
            !insertmacro Log "Could not remove $0"
        ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; A folder goes once it is empty. When all it still holds are files in use, it goes after them
; at the next restart; anything else keeps it.
Function un.RemoveFolder
    Exch $0
    Push $1
    Push $2
    Push $3
    RMDir $0
    ${If} ${FileExists} "$0\*.*"
        StrCpy $3 1
        FindFirst $1 $2 "$0\*.*"
        ${DoUntil} $2 == ""
            ${If} $2 != "."
            ${AndIf} $2 != ".."
                Push "$0\$2"
                Call un.InUse
                Pop $3
                ${IfThen} $3 != 1 ${|} ${ExitDo} ${|}
            ${EndIf}
            FindNext $1 $2
        ${Loop}
        FindClose $1
        ${If} $3 == 1
            RMDir /REBOOTOK $0
            !insertmacro Log "In use, removed at the next restart: $0"
        ${Else}
            !insertmacro Log "Left $0: it holds files that are not the program's."
        ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Unregisters the handler only when the registration names this folder's: another folder's
; registration (a newer installation, a portable copy) stays working.
Function un.UnregisterOwnHandler
    ReadRegStr $0 SHCTX "${SERVER_KEY}" ""
    ${If} $0 != "$INSTDIR\${HANDLER}"
        ${IfThen} $0 != "" ${|} !insertmacro Log "Left registered: $0" ${|}
        Return
    ${EndIf}
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /u /s $RegisterOptions "$INSTDIR\${HANDLER}"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        !insertmacro Log "regsvr32 /u $INSTDIR\${HANDLER} failed: $0"
        MessageBox MB_OK|MB_ICONEXCLAMATION \
            "The context menu extension could not be unregistered (regsvr32 ended with $0); its files are removed all the same." \
            /SD IDOK
        SetErrorLevel ${EXIT_UNREGISTERED}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.RefuseWhileEditorRuns

    ; The package and the registration go first: Explorer then stops loading the handler. The
    ; package is the installation's, so another folder's uninstaller leaves it.
    ${If} $IsInstallation == 1
        Call un.Win11PackageRemove
    ${EndIf}
    Call un.UnregisterOwnHandler
    !insertmacro RemoveDeliverables
    ${If} $IsInstallation == 1
        ; The editor's own files: the list goes with the program.
        !insertmacro RemoveInstalledFile "$INSTDIR\Config.xml"
        !insertmacro RemoveInstalledFile "$INSTDIR\Config.xml.bak"
        !insertmacro RemoveInstalledFile "$INSTDIR\Config.xml.new"
        !insertmacro RemoveInstalledFile "$INSTDIR\menu.dat"
        !insertmacro RemoveInstalledFile "$INSTDIR\menu.icons"
        !insertmacro RemoveInstalledFile "$INSTDIR\menu.icons.new"
        Delete "${SHORTCUT}"
        DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${Else}
        !insertmacro Log "$INSTDIR is not the installed folder: its lists, the Start menu shortcut and the uninstall entry are left as they are."
    ${EndIf}
    ; Run in place (_?= naming its own folder), the uninstaller cannot remove itself: the one
    ; who ran it so removes it and the folder.
    ${If} $EXEDIR != $INSTDIR
        !insertmacro RemoveInstalledFile "$INSTDIR\Uninstall.exe"
        !insertmacro RemoveInstalledFolder "$INSTDIR"
    ${EndIf}

    ${If} ${RebootFlag}
        MessageBox MB_OK|MB_ICONINFORMATION \
            "Some files in $INSTDIR are still in use, usually ${HANDLER} by Explorer. They are removed when Windows restarts: a restart finishes the uninstallation." \
            /SD IDOK
        SetErrorLevel ${EXIT_RESTART}
    ${EndIf}
    !insertmacro Log "Uninstalled from $INSTDIR"
SectionEnd
