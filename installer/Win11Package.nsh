; Windows 11's first context menu shows only commands of packages with an identity: a signed
; release carries the sparse package that puts "Qarvo Context Menu" there, and the installer
; registers it on Windows 11 only (build 22000 and later), with the install folder as its
; external location: for every user of the machine when it installs for everyone, for the
; current user alone when it installs for that user only ($PackageUsers). The deployment
; itself is Win11Package.ps1's, run by the system's PowerShell. An unsigned release carries no
; package and leaves Windows 11 to the classic handler under "Show more options". Included by
; Setup.nsi, which calls Win11PackageInstall once the classic handler is registered,
; Win11PackageRemove before an upgrade replaces any file and un.Win11PackageRemove before the
; uninstaller removes them.
;
; Once Windows has registered the package, its family name is recorded under PACKAGE_KEY, in
; HKLM or HKCU as the installation (SHCTX): the classic handler then steps aside on Windows 11,
; where Explorer shows the packaged command in "Show more options" as well, so the submenu never
; appears twice; and the removal knows what to remove.

!include "${PACKAGE}"

!define PACKAGE_KEY "Software\${COMPANY}\${PRODUCT}"
!define PACKAGE_VALUE "PackageFamilyName"
!define DEPLOY '"$SYSDIR\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -ExecutionPolicy Bypass -File'
!define PACKAGE_NAME "${PRODUCT}.msix"

!macro Win11PackageRemove un
Function ${un}Win11PackageRemove
    ReadRegStr $R0 SHCTX "${PACKAGE_KEY}" "${PACKAGE_VALUE}"
    ${If} $R0 == ""
        Return ; never registered here (before Windows 11, or an unsigned release)
    ${EndIf}
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "${__FILEDIR__}\Win11Package.ps1"
    DetailPrint "Removing the Windows 11 package $R0"
    nsExec::ExecToLog '${DEPLOY} "$PLUGINSDIR\Win11Package.ps1" -Remove$PackageUsers -Family "$R0" -Handler "$INSTDIR\${HANDLER}" -ExternalLocation "$INSTDIR" -Key "${PACKAGE_KEY}"'
    Pop $R1
    ${If} $R1 != 0
        !insertmacro Log "The Windows 11 package $R0 could not be removed ($R1)"
    ${EndIf}
    DeleteRegValue SHCTX "${PACKAGE_KEY}" "${PACKAGE_VALUE}"
    DeleteRegValue SHCTX "${PACKAGE_KEY}" "FolderSecurity"
    DeleteRegKey /ifempty SHCTX "${PACKAGE_KEY}"
    Delete "$INSTDIR\${PACKAGE_NAME}"
    ; Out of the install folder: a folder that is a program's current one cannot be removed.
    SetOutPath "$TEMP"
FunctionEnd
!macroend
!insertmacro Win11PackageRemove ""
!insertmacro Win11PackageRemove "un."

Function Win11PackageInstall
!ifdef PACKAGE_FILE
    ReadRegStr $R0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
    IntCmp $R0 22000 0 done
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "${__FILEDIR__}\Win11Package.ps1"
    SetOutPath "$INSTDIR"
    File "/oname=${PACKAGE_NAME}" "${PACKAGE_FILE}"
    DetailPrint "Registering the Windows 11 package ${PACKAGE_FAMILY}$PackageUsers"
    nsExec::ExecToLog '${DEPLOY} "$PLUGINSDIR\Win11Package.ps1" -Register$PackageUsers -Package "$INSTDIR\${PACKAGE_NAME}" -ExternalLocation "$INSTDIR" -Key "${PACKAGE_KEY}" -Family "${PACKAGE_FAMILY}"'
    Pop $R1
    ${If} $R1 == 0
        WriteRegStr SHCTX "${PACKAGE_KEY}" "${PACKAGE_VALUE}" "${PACKAGE_FAMILY}"
        !insertmacro Log "Registered the Windows 11 package ${PACKAGE_FAMILY}$PackageUsers"
    ${Else}
        ; The classic menu keeps working: the installation does not fail for this.
        !insertmacro Log "Windows refused the package ${PACKAGE_FAMILY} ($R1)"
        Delete "$INSTDIR\${PACKAGE_NAME}"
        MessageBox MB_OK|MB_ICONINFORMATION \
            "Windows did not accept the ${PRODUCT} package for the first context menu of Windows 11 ($R1); the details are in the installation's log.$\r$\n$\r$\nThe submenu is still there under $\"Show more options$\"." \
            /SD IDOK
    ${EndIf}
    ; Explorer reads the menus anew.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
done:
!endif
FunctionEnd
