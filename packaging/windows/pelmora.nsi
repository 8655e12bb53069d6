; The Windows installer: puts pelmora.scr into System32, where Windows lists
; screen savers, offers to make it the current one, and registers an
; uninstaller that removes every file and key it made. Built by
; scripts/build-windows.sh:
;   makensis -DSCR=<path of pelmora.scr> -DVERSION=<x.y.z> -DOUTFILE=<setup.exe> pelmora.nsi
; A 64-bit installer for a 64-bit saver: it sees the real System32, with no
; redirection to SysWOW64.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifndef SCR
  !error "pass -DSCR=<path of pelmora.scr>"
!endif
!ifndef VERSION
  !define VERSION "0.0.0"
!endif
!ifndef OUTFILE
  !define OUTFILE "pelmora-setup.exe"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelmora"

Name "Pelmora ${VERSION}"
; The footer names the product, not the tool that made the installer.
BrandingText "Pelmora ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Pelmora"
RequestExecutionLevel admin
ShowInstDetails show

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif

!define MUI_WELCOMEPAGE_TEXT "Setup will install Pelmora, a screen saver of charged spheres that drift through each other's electric fields.$\r$\n$\r$\nAfterwards, pick Pelmora in the Screen Saver Settings, or tick the box on the last page to make it the current screen saver at once.$\r$\n$\r$\n$_CLICK"

; Modern UI gives every page a blank sub-caption, which the title bar would
; show as a trailing space; each page puts the plain title back.
!macro PELMORA_PAGE PAGE
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW PlainTitle
  !insertmacro ${PAGE}
!macroend
!macro PELMORA_UNPAGE PAGE
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW un.PlainTitle
  !insertmacro ${PAGE}
!macroend

; The last page's check box; unticked (or /S) leaves the current saver alone.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Make Pelmora the current screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION MakeCurrent
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro PELMORA_PAGE MUI_PAGE_WELCOME
!insertmacro PELMORA_PAGE MUI_PAGE_DIRECTORY
!insertmacro PELMORA_PAGE MUI_PAGE_INSTFILES
!insertmacro PELMORA_PAGE MUI_PAGE_FINISH
!insertmacro PELMORA_UNPAGE MUI_UNPAGE_CONFIRM
!insertmacro PELMORA_UNPAGE MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Pelmora"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Pelmora screen saver setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "The Pelmora developers"

Function PlainTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:$(^SetupCaption)"
FunctionEnd

Function un.PlainTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:$(^UninstallCaption)"
FunctionEnd

; A silent install (/S) shows no finish page; /CURRENT makes Pelmora the
; current screen saver there too.
Function .onInstSuccess
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CURRENT" $1
  ${IfNot} ${Errors}
    Call MakeCurrent
  ${EndIf}
FunctionEnd

Section "Pelmora"
  SetOutPath "$SYSDIR"
  File "/oname=pelmora.scr" "${SCR}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Pelmora screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pelmora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\pelmora.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size Apps shows, in KiB: the saver and the uninstaller.
  ${GetSize} "$SYSDIR" "/M=pelmora.scr /S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The current user's saver is the path in SCRNSAVE.EXE; Windows picks it up
; at the next idle time. Short names, as the Control Panel writes them.
Function MakeCurrent
  GetFullPathName /SHORT $0 "$SYSDIR\pelmora.scr"
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$0"
  WriteRegStr HKCU "Control Panel\Desktop" "ScreenSaveActive" "1"
FunctionEnd

Section "Uninstall"
  ; Only when it is ours does the current saver go back to none.
  ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$SYSDIR\pelmora.scr"
  ${If} $0 == $1
  ${OrIf} $0 == "$SYSDIR\pelmora.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}
  Delete "$SYSDIR\pelmora.scr"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The user's settings stay, as uninstallers leave what the user made; the
  ; README says where they are.
SectionEnd
