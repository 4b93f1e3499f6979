; The Vantrel installer: puts the plug-in DLL of Quillmark's architecture into
; Quillmark's plug-in folder and registers an uninstaller in Add/Remove Programs.
; Built by `./vantrel package`, which passes every input:
;   makensis -DVERSION=3.0.0 -DDLL64=... -DDLL32=... -DREADME=... -DLICENSE=...
;            -DICON=... -DSIDEBAR=... -DSIZE64=<KiB> -DSIZE32=<KiB> -DOUTFILE=... installer/vantrel.nsi
; SIZE64 and SIZE32: what the install puts on disk with each DLL, for "Space required".
;
; Command line (besides NSIS's own /S and /D=):
;   setup:     /ARCH=64 or /ARCH=32  the plug-in's architecture (default: Windows', or the earlier install's)
;   uninstall: /REMOVEPROFILE        also remove the user's settings, presets and log

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"
; The plug-in's profile: key of string 4 of its string table, under the
; application name (the DLL's file name).
!define PROFILE_ROOT "Software\Quillmark Plugins"
!define PROFILE_KEY "${PROFILE_ROOT}\Vantrel"
!define UNINSTALLER "Vantrel-uninstall.exe"
!define PUBLISHER "Vantrel"

Name "Vantrel ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Vantrel ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vantrel"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Vantrel ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 the Vantrel developers"

Var Arch          ; "64" or "32": which DLL is installed
Var DefaultDir    ; the folder last proposed for $Arch; replaced when the architecture changes
Var PrevDir       ; folder of an earlier install, or empty
Var CreatedDir    ; outermost folder this install created (removed on uninstall when empty), or empty
Var Radio64
Var Radio32

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDEBAR}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${SIDEBAR}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This installs Vantrel ${VERSION}, the plug-in that lets Quillmark cut your designs on a Silhouette SD, Cameo or Portrait.$\r$\n$\r$\nPlease close Quillmark before you continue."
!insertmacro MUI_PAGE_WELCOME
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Press Next to continue."
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
Page custom ArchPage ArchPageLeave
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder from which Quillmark loads its plug-ins. Vantrel.dll, its read-me, its licence and its uninstaller go into this folder; nothing else there is touched."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Quillmark's plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Vantrel is installed. Start Quillmark (restart it if it was open) and choose $\"Silhouette™ Machine...$\" to cut."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Vantrel-README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "Vantrel's files and its entry in Add/Remove Programs are always removed. Tick the box to remove your settings, saved presets and Vantrel's log as well; leave it to keep them for a later install."
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ComponentsShow
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------- shared

; Waits until Vantrel.dll in DIR can be written: a running Quillmark keeps it
; loaded, and Windows refuses to replace or delete a loaded image.
!macro WAIT_FOR_DLL UN
Function ${UN}WaitForDll
  Exch $0
  Push $1
  ${If} ${FileExists} "$0\Vantrel.dll"
    retry:
    ClearErrors
    FileOpen $1 "$0\Vantrel.dll" a
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Vantrel.dll is in use.$\r$\n$\r$\nClose Quillmark, then press Retry." /SD IDCANCEL IDRETRY retry
      Abort "Vantrel.dll is in use: close Quillmark and try again."
    ${EndIf}
    FileClose $1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro WAIT_FOR_DLL ""
!insertmacro WAIT_FOR_DLL "un."

; Deletes the files an install put into DIR, then DIR and its parents up to
; TOP (the outermost folder that install created) while they are empty. An
; empty TOP means DIR was there before: it stays.
!macro REMOVE_INSTALL UN
Function ${UN}RemoveInstall
  Exch $1  ; TOP
  Exch
  Exch $0  ; DIR
  Push $2
  Delete "$0\Vantrel.dll"
  Delete "$0\Vantrel-README.txt"
  Delete "$0\Vantrel-LICENSE.txt"
  Delete "$0\${UNINSTALLER}"
  ; Only a TOP that contains DIR: never walk up into folders of others.
  StrLen $2 "$1\"
  StrCpy $2 "$0\" $2
  ${If} $1 != ""
  ${AndIf} $2 == "$1\"
    StrCpy $2 $0
    ${Do}
      RMDir $2
      ${If} $2 == $1
      ${OrIf} $2 == ""
        ${ExitDo}
      ${EndIf}
      ${GetParent} $2 $2
    ${Loop}
  ${EndIf}
  Pop $2
  Pop $0
  Pop $1
FunctionEnd
!macroend
!insertmacro REMOVE_INSTALL ""
!insertmacro REMOVE_INSTALL "un."

; ---------------------------------------------------------------- installer

Function .onInit
  ReadRegStr $PrevDir HKLM "${UNINST_KEY}" "InstallLocation"
  ReadRegStr $0 HKLM "${UNINST_KEY}" "Architecture"
  ${If} $0 == "64"
  ${OrIf} $0 == "32"
    StrCpy $Arch $0
  ${ElseIf} ${RunningX64}
    StrCpy $Arch "64"
  ${Else}
    StrCpy $Arch "32"
  ${EndIf}

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ARCH=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "64"
    ${OrIf} $1 == "32"
      StrCpy $Arch $1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "Unknown architecture '$1': use /ARCH=64 or /ARCH=32." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ${If} $Arch == "64"
  ${AndIfNot} ${RunningX64}
    StrCpy $Arch "32"
  ${EndIf}

  ; /D= wins; then the earlier install's folder (an upgrade in place); then
  ; the default for the architecture.
  Call ArchDefaultDir
  ${If} $INSTDIR == ""
    ${If} $PrevDir != ""
      StrCpy $INSTDIR $PrevDir
    ${Else}
      StrCpy $INSTDIR $DefaultDir
    ${EndIf}
  ${EndIf}
  Call UpdateSize
FunctionEnd

Function ArchDefaultDir
  ${If} $Arch == "64"
    StrCpy $DefaultDir "$PROGRAMFILES64\Quillmark\Plugins"
  ${Else}
    StrCpy $DefaultDir "$PROGRAMFILES32\Quillmark\Plugins"
  ${EndIf}
FunctionEnd

Function ArchPage
  !insertmacro MUI_HEADER_TEXT "Quillmark's architecture" "Choose the kind of Quillmark the plug-in is for."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "The plug-in must match Quillmark, not Windows: a 32-bit Quillmark loads only the 32-bit plug-in, even on 64-bit Windows. Task Manager shows $\"(32 bit)$\" after the name of a 32-bit program."
  Pop $0
  ${NSD_CreateRadioButton} 10u 48u 90% 12u "&64-bit Quillmark"
  Pop $Radio64
  ${NSD_AddStyle} $Radio64 ${WS_GROUP}
  ${NSD_CreateRadioButton} 10u 64u 90% 12u "&32-bit Quillmark"
  Pop $Radio32
  ${IfNot} ${RunningX64}
    EnableWindow $Radio64 0
  ${EndIf}
  ${If} $Arch == "64"
    ${NSD_Check} $Radio64
  ${Else}
    ${NSD_Check} $Radio32
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ArchPageLeave
  ${NSD_GetState} $Radio64 $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Arch "64"
  ${Else}
    StrCpy $Arch "32"
  ${EndIf}
  ; A folder the user chose, or the earlier install's, stays; only our own
  ; proposal follows the architecture.
  ${If} $INSTDIR == $DefaultDir
    Call ArchDefaultDir
    StrCpy $INSTDIR $DefaultDir
  ${Else}
    Call ArchDefaultDir
  ${EndIf}
  Call UpdateSize
FunctionEnd

; Sets $CreatedDir to the outermost missing folder on the way to $INSTDIR.
Function FindCreatedDir
  StrCpy $CreatedDir ""
  StrCpy $0 $INSTDIR
  ${DoWhile} $0 != ""
    ${If} ${FileExists} "$0\*.*"
      ${ExitDo}
    ${EndIf}
    StrCpy $CreatedDir $0
    ${GetParent} $0 $0
  ${Loop}
FunctionEnd

; Adds the size in KiB of FILE in $INSTDIR to $R9.
!macro ADD_SIZE FILE
  ${GetSize} "$INSTDIR" "/M=${FILE} /S=0K /G=0" $0 $1 $2
  IntOp $R9 $R9 + $0
!macroend

Section "Vantrel" SecMain
  SectionIn RO

  ; An earlier install in another folder goes, so one copy stays.
  ${If} $PrevDir != ""
  ${AndIf} $PrevDir != $INSTDIR
    Push $PrevDir
    Call WaitForDll
    DetailPrint "Removing the earlier install in $PrevDir"
    ReadRegStr $0 HKLM "${UNINST_KEY}" "CreatedFolder"
    Push $PrevDir
    Push $0
    Call RemoveInstall
  ${EndIf}

  ; In place, the folder the earlier install created is still the one to remove later.
  ${If} $PrevDir == $INSTDIR
    ReadRegStr $CreatedDir HKLM "${UNINST_KEY}" "CreatedFolder"
  ${Else}
    Call FindCreatedDir
  ${EndIf}

  Push $INSTDIR
  Call WaitForDll
  SetOutPath "$INSTDIR"
  ${If} $Arch == "64"
    DetailPrint "Installing the 64-bit plug-in"
    File "/oname=Vantrel.dll" "${DLL64}"
  ${Else}
    DetailPrint "Installing the 32-bit plug-in"
    File "/oname=Vantrel.dll" "${DLL32}"
  ${EndIf}
  File "/oname=Vantrel-README.txt" "${README}"
  File "/oname=Vantrel-LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  StrCpy $R9 0
  !insertmacro ADD_SIZE "Vantrel.dll"
  !insertmacro ADD_SIZE "Vantrel-README.txt"
  !insertmacro ADD_SIZE "Vantrel-LICENSE.txt"
  !insertmacro ADD_SIZE "${UNINSTALLER}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Vantrel for Quillmark ($Arch-bit)"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R9
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ; Ours, for upgrades and the uninstaller.
  WriteRegStr HKLM "${UNINST_KEY}" "Architecture" "$Arch"
  WriteRegStr HKLM "${UNINST_KEY}" "CreatedFolder" "$CreatedDir"
SectionEnd

; The section holds both DLLs; only one is installed.
Function UpdateSize
  ${If} $Arch == "64"
    SectionSetSize ${SecMain} ${SIZE64}
  ${Else}
    SectionSetSize ${SecMain} ${SIZE32}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------- uninstaller

Section /o "un.My settings, presets and log" UnSecProfile
  DeleteRegKey HKCU "${PROFILE_KEY}"
  DeleteRegKey /ifempty HKCU "${PROFILE_ROOT}"
  Delete "$LOCALAPPDATA\Vantrel\vantrel*.log*"
  RMDir "$LOCALAPPDATA\Vantrel"
SectionEnd

; Last, so that the uninstall ends when its folders are gone.
Section "un.Vantrel" UnSecMain
  SectionIn RO
  ReadRegStr $CreatedDir HKLM "${UNINST_KEY}" "CreatedFolder"
  ; Only the entry of this install: a later install elsewhere owns its own.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${Else}
    StrCpy $CreatedDir ""
  ${EndIf}
  Push $INSTDIR
  Push $CreatedDir
  Call un.RemoveInstall
SectionEnd

; Removing frees no space worth counting: hide the page's "Space required".
Function un.ComponentsShow
  FindWindow $0 "#32770" "" $HWNDPARENT
  GetDlgItem $1 $0 1023
  ShowWindow $1 ${SW_HIDE}
FunctionEnd

Function un.onInit
  ; Before anything is removed: nothing half done while Quillmark holds the DLL.
  Push $INSTDIR
  Call un.WaitForDll
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEPROFILE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecProfile}
  ${EndIf}
FunctionEnd
