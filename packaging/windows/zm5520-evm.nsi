; The Windows installer: the GUI, evmctl and the DLLs they need, for the
; user who runs it (no administrator needed), with Start-menu entries, an
; entry in Apps & features and, if chosen, evmctl on the user's PATH.
; Built by tools/make-setup-windows.sh, which passes VERSION, DEPLOY (the
; deployment folder), FILES and UNFILES (the generated file lists) and OUTFILE.
; A 64-bit installer for a 64-bit program: it runs where a 32-bit one may not
; (a Windows without its 32-bit layer, a Wine without wine32).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include FileFunc.nsh
!include Sections.nsh
!addincludedir "${__FILEDIR__}"
!include user_path.nsh

!define PRODUCT "ZM5520/1 EVM"
!define PUBLISHER "ZM5520/1 EVM developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zm5520-evm"
; A file name cannot hold a slash: the Start-menu entries show the product's
; name with the division slash, which reads the same.
!define MENU_NAME "ZM5520${U+2215}1 EVM"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\ZM5520-1 EVM"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
; The GPL, shown before anything is installed; a silent install takes it as read.
LicenseData "${__FILEDIR__}/../../LICENSE"
LicenseForceSelection checkbox "I have read the licence"

Page license
Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "ZM5520/1 EVM" SecMain
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${MENU_NAME}.lnk" "$INSTDIR\zm5520-evm.exe" "" \
    "$INSTDIR\zm5520-evm.exe" 0 SW_SHOWNORMAL "" "${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${MENU_NAME} (simulated).lnk" "$INSTDIR\zm5520-evm.exe" "--simulate" \
    "$INSTDIR\zm5520-evm.exe" 0 SW_SHOWNORMAL "" "${PRODUCT} (simulated)"
  ; evmctl is a console program: double-clicked it prints its usage and its
  ; window closes. This entry opens a console that stays, with evmctl on its
  ; PATH whether or not the PATH option was chosen.
  FileOpen $0 "$INSTDIR\evmctl-console.cmd" w
  FileWrite $0 '@echo off$\r$\nset "PATH=%~dp0;%PATH%"$\r$\ncd /d "%USERPROFILE%"$\r$\n'
  FileWrite $0 'echo evmctl is on the PATH of this console: try  evmctl --help  or  evmctl --simulate read$\r$\n'
  FileClose $0
  CreateShortCut "$SMPROGRAMS\evmctl console.lnk" "$SYSDIR\cmd.exe" '/k "$INSTDIR\evmctl-console.cmd"' \
    "$SYSDIR\cmd.exe" 0 SW_SHOWNORMAL "" "A console with evmctl on its PATH"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zm5520-evm.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; For programs of the user's own: zm5520evm.dll with its import library and
; C headers, and the Python wheel (`pip install` it). Small, so on unless
; taken off.
Section "Python package and C library" SecSdk
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !include "${SDKFILES}"
SectionEnd

; Off unless chosen (or /PATH given), since it changes every later console
; of the user.
Section /o "evmctl on PATH" SecPath
  Push "$INSTDIR"
  Call EvmUserPathAdd
  Pop $0
  ; Only an entry the installer added is the uninstaller's to remove.
  StrCmp $0 "added" 0 +2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "AddedToPath" 1
SectionEnd

; Only what the installer put there goes: the state files live in the user's
; application-data folder and stay for the next installation.
Section "Uninstall"
  SetShellVarContext current
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "AddedToPath"
  StrCmp $0 1 0 +3
    Push "$INSTDIR"
    Call un.EvmUserPathRemove

  Delete "$SMPROGRAMS\${MENU_NAME}.lnk"
  Delete "$SMPROGRAMS\${MENU_NAME} (simulated).lnk"
  Delete "$SMPROGRAMS\evmctl console.lnk"
  Delete "$INSTDIR\evmctl-console.cmd"
  !include "${UNSDKFILES}"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; `setup.exe /S /PATH` chooses the PATH entry without the components page.
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH" $1
  IfErrors path_option_done
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  path_option_done:
FunctionEnd

; The last page offers to start the program; a silent install starts nothing.
Function .onInstSuccess
  IfSilent start_done
  MessageBox MB_YESNO|MB_ICONQUESTION "${PRODUCT} is installed. Start it now?" IDNO start_done
    Exec '"$INSTDIR\zm5520-evm.exe"'
  start_done:
FunctionEnd
