; Per-user installer of Pendlemark. Built by CMake (cmake/Installer.cmake) with
;   makensis -DPM_VERSION=x.y.z -DPM_STAGE=<folder with the stripped programs and CVLHelp.htm>
;            -DPM_SOURCE=<source tree> -DPM_OUTFILE=<setup.exe> Pendlemark.nsi
;
; Switches: /S silent, /D=<folder> (last, unquoted) another folder. Run by Pendlemark itself as an
; update package (no switches; Pendlemark waits for it), it is always silent and leaves the restart to
; Pendlemark.

Target amd64-unicode
!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} is defined by the build (see cmake/Installer.cmake)"
  !endif
!macroend
!insertmacro Required PM_VERSION
!insertmacro Required PM_STAGE
!insertmacro Required PM_SOURCE
!insertmacro Required PM_OUTFILE

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh

!define PRODUCT "Pendlemark"
!define COMPANY "Corvalis"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SYNCHRONIZE 0x00100000
!define EVENT_ALL_ACCESS 0x1F0003
; How long the resident Pendlemark may take to end once asked to quit: a healthy one ends within
; moments of CVLShutdown; one whose scheduler is held by its question box ("Do you wish to
; automatically update...") does not see the event, and is then closed as E&xit closes it.
!define SHUTDOWN_WAIT_MS 2000
!define CLOSE_WAIT_MS 8000

Name "${PRODUCT} ${PM_VERSION}"
OutFile "${PM_OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${COMPANY}\${PRODUCT}"
; An update or a second installation goes where the first one went, unless /D= says otherwise.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${PM_VERSION}.0"
VIFileVersion "${PM_VERSION}.0"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${PM_VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${PM_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${PM_VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${COMPANY}"

!define MUI_ICON "${PM_SOURCE}/src/res/Pendlemark.ico"
!define MUI_UNICON "${PM_SOURCE}/src/res/Pendlemark.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var UpdateRun ; 1: Pendlemark runs this installer as an update package and waits for it
Var Resident  ; 1: a resident Pendlemark was asked to quit

; Process handle of the resident Pendlemark in $0 (or 0), its hidden main window in $1.
!macro OpenResident UN
Function ${UN}OpenResident
  StrCpy $0 0
  System::Call 'user32::FindWindowW(p 0, w "${PRODUCT}") p .r1'
  ${If} $1 P<> 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r0'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro OpenResident ""
!insertmacro OpenResident "un."

; Waits for the process in $0, asked to quit through CVLShutdown, to end; closes its window ($1) if it
; has not ended after SHUTDOWN_WAIT_MS; gives up after CLOSE_WAIT_MS more. Closes the handle.
!macro AwaitResident UN
Function ${UN}AwaitResident
  ${If} $0 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r0, i ${SHUTDOWN_WAIT_MS}) i .r2'
    ${If} $2 <> 0
      System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE}, p 0, p 0)'
      System::Call 'kernel32::WaitForSingleObject(p r0, i ${CLOSE_WAIT_MS}) i'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro AwaitResident ""
!insertmacro AwaitResident "un."

Function .onInit
  StrCpy $UpdateRun 0
  StrCpy $Resident 0
  ; The package contract gives an update package no switches: an update run in progress makes it silent.
  System::Call 'kernel32::OpenEventW(i ${SYNCHRONIZE}, i 0, w "CVLUpdateRunning") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r0, i 0) i .r1'
    System::Call 'kernel32::CloseHandle(p r0)'
    ${If} $1 = 0
      StrCpy $UpdateRun 1
      SetSilent silent
    ${EndIf}
  ${EndIf}
FunctionEnd

; Asks a resident Pendlemark to quit and waits for it to end.
Function CloseResident
  Call OpenResident
  ${If} $0 P<> 0
    StrCpy $Resident 1
    System::Call 'kernel32::OpenEventW(i ${EVENT_ALL_ACCESS}, i 0, w "CVLShutdown") p .r3'
    ${If} $3 P<> 0
      System::Call 'kernel32::SetEvent(p r3)'
      ; Closed at once: the event lives as long as a handle does, and the new instance would open it
      ; still signalled and quit.
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
    Call AwaitResident
  ${EndIf}
FunctionEnd

; Writes a program under its final name without ever leaving half of it there: the new file is
; written beside it first; a file in use (a running program) cannot be replaced or deleted, but it
; can be renamed aside, and the next start of Pendlemark deletes what was set aside.
!macro PlaceFile NAME
  File "/oname=$INSTDIR\${NAME}.new" "${PM_STAGE}/${NAME}"
  ClearErrors
  Delete "$INSTDIR\${NAME}"
  ${If} ${Errors}
    ClearErrors
    Delete "$INSTDIR\${NAME}.old"
    Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.old"
    ${If} ${Errors}
      Delete "$INSTDIR\${NAME}.new"
      Abort "${NAME} is in use and could not be replaced."
    ${EndIf}
  ${EndIf}
  ClearErrors
  Rename "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
  ${If} ${Errors}
    Abort "${NAME} could not be written."
  ${EndIf}
!macroend

Section "Install"
  SetOutPath "$INSTDIR"
  SetOverwrite on
  ${If} $UpdateRun = 0
    Call CloseResident
  ${EndIf}
  !insertmacro PlaceFile "Pendlemark.exe"
  !insertmacro PlaceFile "cvlx.exe"
  !insertmacro PlaceFile "CVLHelp.htm"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Left over from an earlier update, or by the instance that just ended.
  Delete "$INSTDIR\Pendlemark.exe.old"
  Delete "$INSTDIR\cvlx.exe.old"

  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Pendlemark.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PM_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pendlemark.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Pendlemark that runs this package waits for it and restarts into the new version itself.
  ${If} $UpdateRun = 0
    ${If} $Resident = 1
      ; The one that was asked to quit may still hold the single-instance lock for a moment.
      Exec '"$INSTDIR\Pendlemark.exe" /AfterUpdate'
    ${Else}
      Exec '"$INSTDIR\Pendlemark.exe"'
    ${EndIf}
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; Found before it is told to quit, so that its end can be awaited.
  Call un.OpenResident
  ; Pendlemark undoes its own changes: the browser's launcher, the empty download folder, the
  ; settings; and it asks the resident instance to quit.
  ExecWait '"$INSTDIR\Pendlemark.exe" /uninstall'
  Call un.AwaitResident

  Delete /REBOOTOK "$INSTDIR\Pendlemark.exe"
  Delete /REBOOTOK "$INSTDIR\cvlx.exe"
  Delete "$INSTDIR\Pendlemark.exe.old"
  Delete "$INSTDIR\cvlx.exe.old"
  Delete "$INSTDIR\CVLHelp.htm"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs\${COMPANY}"
SectionEnd
