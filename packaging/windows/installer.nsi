; Installer of the Windows program. Built by scripts/package-windows.sh with
;   makensis -DVERSION=<version> -DSTAGE=<folder holding the files> -DOUTFILE=<setup.exe>
; It installs into a folder the user chooses, which must sit beside the
; bridge's NET_BRIDGE folder, and never touches an existing CONFIG.INI.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

Name "ZRK Throttle and Trim Controller ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "C:\Cockpit\ZRK-TQ"

!include "MUI2.nsh"
!define MUI_WELCOMEPAGE_TEXT "This installs the ZRK Throttle and Trim Controller ${VERSION}.$\r$\n$\r$\nChoose a folder beside the bridge's NET_BRIDGE folder (for example C:\Cockpit\ZRK-TQ when the bridge is in C:\Cockpit\NET_BRIDGE).$\r$\n$\r$\nAn existing CONFIG.INI in that folder is kept."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Program"
  SetOutPath "$INSTDIR"
  File "${STAGE}\zrk-tq.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut starts the program in its own folder (the current out path).
  CreateShortCut "$SMPROGRAMS\ZRK Throttle and Trim Controller.lnk" "$INSTDIR\zrk-tq.exe"
SectionEnd

Section "Uninstall"
  ; The settings (CONFIG.INI) are the user's and stay.
  Delete "$INSTDIR\zrk-tq.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\ZRK Throttle and Trim Controller.lnk"
  RMDir "$INSTDIR"
SectionEnd
