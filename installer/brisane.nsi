; Installer of the screensaver, for the current user only: no administrator
; rights, nothing outside the user's own profile and registry hive.
;
; makensis -DPROGRAM=path\to\Brisane.scr -DARCH=amd64|x86 -DOUTFILE=Setup.exe [-DICON=program.ico] brisane.nsi
;
; Brisane-Setup.exe [/S] [/D=folder]        installs, makes it the screensaver
; Uninstall.exe [/S] [/REMOVESETTINGS]       removes it, gives the previous one back
;
; The uninstall entry lives in HKCU because the install is per user: an HKLM
; entry would need administrator rights and would show the program to users
; who do not have it.

!ifndef PROGRAM | ARCH | OUTFILE
  !error "define PROGRAM, ARCH and OUTFILE"
!endif

; The installer has the program's own word size: a 64-bit program comes in
; a 64-bit installer, which a 32-bit system refuses to start.
!if "${ARCH}" == "amd64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh

!define NAME "Brisane 3D Screensaver"
!define VERSION "1.0"
!define PUBLISHER "Duskwright"
!define SCR "Brisane.scr"
!define DESKTOP "Control Panel\Desktop"
!define SETTINGS "Control Panel\Desktop\ScreenSaver.Brisane 3D Screensaver"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brisane3DScreensaver"

Name "${NAME}"
OutFile "${OUTFILE}"
!ifdef ICON
  Icon "${ICON}"
  UninstallIcon "${ICON}"
!endif
; No blanks in the path: the screensaver setting is a bare path, and some
; older systems split it at the first blank.
InstallDir "$LOCALAPPDATA\Programs\Brisane"
InstallDirRegKey HKCU "${UNINSTALL}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${NAME} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=${SCR}" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The screensaver the user had, to give back on uninstall; a reinstall over
  ; this one keeps what was there before it.
  ReadRegStr $0 HKCU "${DESKTOP}" "SCRNSAVE.EXE"
  ${If} $0 != "$INSTDIR\${SCR}"
    WriteRegStr HKCU "${UNINSTALL}" "PreviousScreenSaver" $0
    ReadRegStr $1 HKCU "${DESKTOP}" "ScreenSaveActive"
    WriteRegStr HKCU "${UNINSTALL}" "PreviousScreenSaveActive" $1
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP}" "SCRNSAVE.EXE" "$INSTDIR\${SCR}"
  WriteRegStr HKCU "${DESKTOP}" "ScreenSaveActive" "1"
  ; SPI_SETSCREENSAVEACTIVE, sent to every window, so the change is seen now.
  System::Call 'user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)'

  WriteRegStr HKCU "${UNINSTALL}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayIcon" "$INSTDIR\${SCR},0"
  WriteRegStr HKCU "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
  WriteRegDWORD HKCU "${UNINSTALL}" "EstimatedSize" $2
SectionEnd

Section "Uninstall"
  ; The previous screensaver comes back only while this one is still the
  ; user's choice; a screensaver chosen since is left alone.
  ReadRegStr $0 HKCU "${DESKTOP}" "SCRNSAVE.EXE"
  ${If} $0 == "$INSTDIR\${SCR}"
    ReadRegStr $1 HKCU "${UNINSTALL}" "PreviousScreenSaver"
    ${If} $1 == ""
      DeleteRegValue HKCU "${DESKTOP}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP}" "SCRNSAVE.EXE" $1
    ${EndIf}
    ReadRegStr $2 HKCU "${UNINSTALL}" "PreviousScreenSaveActive"
    ${If} $2 == ""
      DeleteRegValue HKCU "${DESKTOP}" "ScreenSaveActive"
    ${Else}
      WriteRegStr HKCU "${DESKTOP}" "ScreenSaveActive" $2
    ${EndIf}
    ${If} $2 == "1"
      System::Call 'user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)'
    ${Else}
      System::Call 'user32::SystemParametersInfoW(i 17, i 0, p 0, i 2)'
    ${EndIf}
  ${EndIf}

  ; The user's settings go only when asked for: by the switch, or by a yes
  ; to the question (silent runs keep them without the switch).
  ${GetParameters} $3
  ClearErrors
  ${GetOptions} $3 "/REMOVESETTINGS" $4
  ${IfNot} ${Errors}
    DeleteRegKey HKCU "${SETTINGS}"
  ${Else}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove your ${NAME} settings?" /SD IDNO IDNO keep
      DeleteRegKey HKCU "${SETTINGS}"
    keep:
  ${EndIf}

  Delete "$INSTDIR\${SCR}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL}"
SectionEnd
