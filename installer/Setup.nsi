; Qarvo Context Menu: the installer and its uninstaller. Compiled by installer/package.py
; (target "dist"), which passes the identities PRODUCT, PUBLISHER, WEBSITE, COPYRIGHT and
; VERSION, STAGE (the staged installed layout), DELIVERABLES (the lists of that layout), HANDLER
; and EDITOR (the two programs' file names), ICON, OUTFILE, PACKAGE (what it made of Windows
; 11's sparse package) and, for a signed release, SIGN and SIGN_KEEP.

Unicode true
; Explorer is 64-bit and loads only 64-bit handlers. A 64-bit installer also finds the 64-bit
; regsvr32 in $SYSDIR and writes the 64-bit registry.
Target amd64-unicode
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma
; A file that cannot be written (the editor is running) fails the installation, in silent mode
; too, instead of leaving the old file behind unnoticed.
AllowSkipFiles off

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include "${DELIVERABLES}"
!include "Win11Package.nsh"

; A signed release (installer/package.py passes SIGN): the uninstaller is signed as the compiler
; writes it, then the installer.
!ifdef SIGN
    !uninstfinalize '${SIGN} "%1" --keep "${SIGN_KEEP}"'
    !finalize '${SIGN} "%1"'
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QarvoContextMenu"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; The folder keeps Program Files' permissions: ordinary users may not write beside a DLL that
; every user's Explorer loads.
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the installed version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
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

; The handler and the list are machine-wide: installing, changing and removing them are
; administrators' acts.
!macro RequireAdministrator
    SetShellVarContext all
    SetRegView 64
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP \
            "${PRODUCT} is set up for all users of this computer: run this program as an administrator." \
            /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
!macroend

Function .onInit
    !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
    !insertmacro RequireAdministrator
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
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EDITOR},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    Call Win11PackageRemove
    Call MoveAsideLoadedHandler
    ; The editor's Config.xml, Config.xml.bak and menu.dat are not part of the package, so an
    ; upgrade leaves them as they are.
    !insertmacro InstallDeliverables
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    ; Written before registering, so that a failed installation can still be removed.
    Call WriteUninstallEntry

    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\${HANDLER}"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        DetailPrint "regsvr32 $INSTDIR\${HANDLER} failed: $0"
        MessageBox MB_OK|MB_ICONSTOP \
            "The context menu extension $INSTDIR\${HANDLER} could not be registered (regsvr32 ended with $0).$\r$\n$\r$\nThe installation is incomplete: run Setup again, or remove it in Settings > Apps." \
            /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    Call Win11PackageInstall

    ; The editor starts in its own folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EDITOR}" "" "$INSTDIR\${EDITOR}" 0 \
        SW_SHOWNORMAL "" "Edit the entries of the ${PRODUCT} submenu"
SectionEnd

Section "Uninstall"
    Call un.Win11PackageRemove
    ; Unregistered first: Explorer then stops loading the handler.
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\${HANDLER}"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        DetailPrint "regsvr32 /u $INSTDIR\${HANDLER} failed: $0"
        MessageBox MB_OK|MB_ICONEXCLAMATION \
            "The context menu extension could not be unregistered (regsvr32 ended with $0); its files are removed all the same." \
            /SD IDOK
        SetErrorLevel 2
    ${EndIf}

    !insertmacro RemoveDeliverables
    ; The editor's own files: the list goes with the program.
    Delete "$INSTDIR\Config.xml"
    Delete "$INSTDIR\Config.xml.bak"
    Delete "$INSTDIR\Config.xml.new"
    Delete "$INSTDIR\menu.dat"
    Delete "$INSTDIR\Uninstall.exe"
    ; Never recursive: only what is ours goes, and the folder only when it is empty.
    RMDir /REBOOTOK "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ${If} ${RebootFlag}
        MessageBox MB_OK|MB_ICONINFORMATION \
            "Some files in $INSTDIR are still in use, usually ${HANDLER} by Explorer. They are removed when Windows restarts: a restart finishes the uninstallation." \
            /SD IDOK
    ${EndIf}
SectionEnd
