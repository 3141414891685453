; The per-user installer: no administrator rights, everything under the user's own folders and
; HKEY_CURRENT_USER. Built by `cmake --build build --target installer` (makensis), which defines
; VERSION, BINDIR (the program folder) and OUTFILE.
;
; What it writes, and the uninstaller removes again, nothing more:
;   $LOCALAPPDATA\Programs\TessaraFolder\  the program files listed below and Uninstall.exe (the
;                                          program knows an installed copy by it, and keeps its
;                                          default project in the user's documents)
;   Start menu and Send To shortcuts       "TessaraFolder", "TessaraFolder に追加" (starts /add)
;   HKCU\...\Uninstall\TessaraFolder       the entry of Settings → Apps
;   the .tfolder association (optional)    written and removed by the program itself (/associate,
;                                          /unassociate), only while it still names this copy
; The uninstaller also removes HKCU\Software\TessaraFolder, where the program remembers its most
; recently used project. Projects, backups and the files they refer to are never touched, and the
; program folder stays when something else (a default.tfolder of an older version) is left in it.
; Both run silently with /S.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "TessaraFolder"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PROGRAM_KEY "Software\${PRODUCT}"
!define MENU_LINK "$SMPROGRAMS\${PRODUCT}.lnk"
!define SENDTO_LINK "$SENDTO\${PRODUCT} に追加.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\TessaraFolder.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section "-Program"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BINDIR}\TessaraFolder.exe"
  File "${BINDIR}\GT"
  File "${BINDIR}\Setting.ini"
  File "${BINDIR}\start.wav"
  SetOutPath "$INSTDIR\imglib"
  File "${BINDIR}\imglib\imgctl.dll"
  SetOutPath "$INSTDIR\imglib\spi"
  File "${BINDIR}\imglib\spi\ifpnm.sph"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortcut "${MENU_LINK}" "$INSTDIR\TessaraFolder.exe"
  CreateShortcut "${SENDTO_LINK}" "$INSTDIR\TessaraFolder.exe" "/add"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TessaraFolder.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "プロジェクトファイル (*.tfolder) の関連付け" SecAssociate
  ExecWait '"$INSTDIR\TessaraFolder.exe" /associate'
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Before the program goes: it removes the association only where it still names this copy.
  ExecWait '"$INSTDIR\TessaraFolder.exe" /unassociate'
  Delete "${SENDTO_LINK}"
  Delete "${MENU_LINK}"
  Delete "$INSTDIR\TessaraFolder.exe"
  Delete "$INSTDIR\GT"
  Delete "$INSTDIR\Setting.ini"
  Delete "$INSTDIR\start.wav"
  Delete "$INSTDIR\imglib\spi\ifpnm.sph"
  RMDir "$INSTDIR\imglib\spi"
  Delete "$INSTDIR\imglib\imgctl.dll"
  RMDir "$INSTDIR\imglib"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${PROGRAM_KEY}"
SectionEnd
