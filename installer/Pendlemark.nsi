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
!define PROCESS_SYNC_QUERY 0x00101000 ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
; The 64-bit handle of HKEY_CURRENT_USER is 0x80000001 sign-extended.
!define HKCU_HANDLE -2147483647
!define RRF_RT_ANY_NOEXPAND 0x1000FFFF ; any type, REG_EXPAND_SZ as it is stored
!define REG_SZ 1
; The record of the version installed per product, read by a Pendlemark that pins a publisher.
!define RECORD_KEY "Software\${COMPANY}\${PRODUCT}\Params\Packages"
; How long the resident Pendlemark may take to end once asked to quit: a healthy one ends within
; moments of CVLShutdown; one whose scheduler is held by its question box ("Do you wish to
; automatically update...") does not see the event, and is then closed as E&xit closes it, which
; then takes about 7 s under Wine (measured; its scheduler is given 3 s of that).
!define SHUTDOWN_WAIT_MS 2000
!define CLOSE_WAIT_MS 15000
; How long the uninstaller waits for an update run in progress to end, unless /RunWait= says otherwise.
!define RUN_WAIT_S 600

; Exit codes besides NSIS's own (0 done, 1 cancelled by the user).
!define EXIT_NEWER_INSTALLED 2
!define EXIT_RUN_IN_PROGRESS 3
!define EXIT_STILL_RUNNING 4
!define EXIT_NOT_WRITTEN 5
!define EXIT_NOT_RESTORED 6

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
Var Writing   ; 1: the program files are being written and put in place
Var SetAside  ; the files renamed to .old so far, one bit each (PutInPlace)
Var Placed    ; the new files put in place so far, the same bits
Var NotBack   ; .onInstFailed: the files that could not be put back, by name
Var Program   ; FindProgram: the installation's Pendlemark.exe, canonical
Var RunWaitMs ; uninstaller: how long an update run in progress is waited for
Var Shutdown  ; uninstaller: CVLShutdown, held signalled while it works

; Our program is the process whose image is Pendlemark.exe in the installation folder, or that file
; renamed aside by an earlier installation; its main window is the one titled "Pendlemark" that this
; process owns. A title alone names nothing: the folder windows of the installation folder and of the
; download folder carry it too.
;
; Paths are compared as the system names the file: a folder given as C:\x\..\Pendlemark, or in
; short names, is the same folder as the image path of a process started from it.
;
; Canonical: the path in $R9 made full (no "." or ".." parts) and long where the file exists.
!macro Canonical UN
Function ${UN}Canonical
  Push $0
  Push $1
  System::Call 'kernel32::GetFullPathNameW(w R9, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r0'
  ${If} $0 <> 0
  ${AndIf} $0 < ${NSIS_MAX_STRLEN}
    StrCpy $R9 $1
  ${EndIf}
  System::Call 'kernel32::GetLongPathNameW(w R9, w .r1, i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 <> 0
  ${AndIf} $0 < ${NSIS_MAX_STRLEN}
    StrCpy $R9 $1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; $Program: the installation's Pendlemark.exe, canonical. Uses $R9.
Function ${UN}ProgramPath
  StrCpy $R9 "$INSTDIR\Pendlemark.exe"
  Call ${UN}Canonical
  StrCpy $Program $R9
FunctionEnd
!macroend
!insertmacro Canonical ""
!insertmacro Canonical "un."

; FindProgram: the first process of our program, opened for waiting, in $0 (0: none), its id in $2,
; its main window in $1 (0: none yet). Uses $3-$9 and $R9.
!macro FindProgram UN
Function ${UN}FindProgram
  StrCpy $0 0
  StrCpy $1 0
  StrCpy $2 0
  Call ${UN}ProgramPath
  System::Alloc 16384
  Pop $3
  System::Call 'kernel32::K32EnumProcesses(p r3, i 16384, *i .r4) i .r5'
  ${If} $5 <> 0
    StrCpy $6 0
    ${DoWhile} $6 < $4
      IntPtrOp $7 $3 + $6
      System::Call '*$7(i .r8)'
      System::Call 'kernel32::OpenProcess(i ${PROCESS_SYNC_QUERY}, i 0, i r8) p .r9'
      ${If} $9 P<> 0
        StrCpy $R9 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p r9, i 0, w .R9, *i ${NSIS_MAX_STRLEN})'
        Call ${UN}Canonical
        ${If} $R9 == $Program
        ${OrIf} $R9 == "$Program.old"
          StrCpy $0 $9
          StrCpy $2 $8
          ${ExitDo}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r9)'
      ${EndIf}
      IntOp $6 $6 + 4
    ${Loop}
  ${EndIf}
  System::Free $3
  ${If} $0 P<> 0
    Call ${UN}WindowOfProgram
  ${EndIf}
FunctionEnd

; The main window of process $2 in $1, 0 when it has none (yet). Uses $7.
Function ${UN}WindowOfProgram
  StrCpy $1 0
  ${Do}
    System::Call 'user32::FindWindowExW(p 0, p r1, p 0, w "${PRODUCT}") p .r1'
    ${If} $1 P= 0
      ${ExitDo}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r7)'
    ${If} $7 = $2
      ${ExitDo}
    ${EndIf}
  ${Loop}
FunctionEnd

; Waits for process $0 (id $2), asked to quit through CVLShutdown, to end; after SHUTDOWN_WAIT_MS
; closes its main window as E&xit does, and gives up CLOSE_WAIT_MS later. $3: 0 when it has ended.
; Closes the handle.
Function ${UN}AwaitProgram
  System::Call 'kernel32::WaitForSingleObject(p r0, i ${SHUTDOWN_WAIT_MS}) i .r3'
  ${If} $3 <> 0
    Call ${UN}WindowOfProgram
    ${If} $1 P<> 0
      System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE}, p 0, p 0)'
    ${EndIf}
    System::Call 'kernel32::WaitForSingleObject(p r0, i ${CLOSE_WAIT_MS}) i .r3'
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r0)'
  StrCpy $0 0
FunctionEnd
!macroend
!insertmacro FindProgram ""
!insertmacro FindProgram "un."

; Pendlemark runs its packages with no switches and waits for them, CVLUpdateRunning signalled
; meanwhile. The event alone does not tell who started us (a setup started by hand during any
; update run sees it too): the parent must be the resident Pendlemark of this installation, and
; older than we are, as a process id of an ended parent may have been given again. $0: 1 if so.
; Uses $1-$5 and $R9.
Function IsRunByProgram
  StrCpy $0 0
  System::Call 'kernel32::OpenEventW(i ${SYNCHRONIZE}, i 0, w "CVLUpdateRunning") p .r1'
  ${If} $1 P= 0
    Return
  ${EndIf}
  System::Call 'kernel32::WaitForSingleObject(p r1, i 0) i .r2'
  System::Call 'kernel32::CloseHandle(p r1)'
  ${If} $2 <> 0
    Return
  ${EndIf}
  ; PROCESS_BASIC_INFORMATION: the parent's id at offset 40 of its 48 bytes.
  System::Alloc 48
  Pop $1
  System::Call 'ntdll::NtQueryInformationProcess(p -1, i 0, p r1, i 48, p 0) i .r2'
  IntPtrOp $3 $1 + 40
  System::Call '*$3(p .r3)'
  System::Free $1
  ${If} $2 <> 0
    Return
  ${EndIf}
  System::Call 'kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i r3) p .r1'
  ${If} $1 P= 0
    Return
  ${EndIf}
  StrCpy $R9 ""
  System::Call 'kernel32::QueryFullProcessImageNameW(p r1, i 0, w .R9, *i ${NSIS_MAX_STRLEN})'
  System::Call 'kernel32::GetProcessTimes(p r1, *l .r4, *l, *l, *l)'
  System::Call 'kernel32::GetProcessTimes(p -1, *l .r5, *l, *l, *l)'
  System::Call 'kernel32::CloseHandle(p r1)'
  System::Int64Op $4 > $5
  Pop $2
  ${If} $2 <> 0
    Return
  ${EndIf}
  Call Canonical
  StrCpy $1 $R9
  Call ProgramPath
  ${If} $1 == $Program
  ${OrIf} $1 == "$Program.old"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $UpdateRun 0
  StrCpy $Resident 0
  StrCpy $Writing 0
  StrCpy $SetAside 0
  StrCpy $Placed 0
  ; The package contract gives an update package no switches: run as one, it is silent.
  Call IsRunByProgram
  ${If} $0 = 1
    StrCpy $UpdateRun 1
    SetSilent silent
  ${EndIf}
FunctionEnd

; Refuses to go back: a newer Pendlemark in the installation folder stays as it is. The same version
; installs again (a repair). The version is read from a copy, never from a running program's image.
Function RefuseNewerInstalled
  ${IfNot} ${FileExists} "$INSTDIR\Pendlemark.exe"
    Return
  ${EndIf}
  InitPluginsDir
  CopyFiles /SILENT "$INSTDIR\Pendlemark.exe" "$PLUGINSDIR\installed.exe"
  ClearErrors
  GetDLLVersion "$PLUGINSDIR\installed.exe" $R0 $R1
  Delete "$PLUGINSDIR\installed.exe"
  ${If} ${Errors}
    Return
  ${EndIf}
  GetDLLVersionLocal "${PM_STAGE}/Pendlemark.exe" $R2 $R3
  IntCmpU $R0 $R2 0 older newer
  IntCmpU $R1 $R3 older older newer
  older:
    Return
  newer:
  IntOp $R4 $R0 >> 16
  IntOp $R4 $R4 & 0xFFFF
  IntOp $R5 $R0 & 0xFFFF
  IntOp $R6 $R1 >> 16
  IntOp $R6 $R6 & 0xFFFF
  MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $R4.$R5.$R6 is installed in $INSTDIR, newer than this \
      setup's version ${PM_VERSION}. Nothing was changed." /SD IDOK
  SetErrorLevel ${EXIT_NEWER_INSTALLED}
  Quit
FunctionEnd

Function SignalShutdown
  System::Call 'kernel32::OpenEventW(i ${EVENT_ALL_ACCESS}, i 0, w "CVLShutdown") p .r3'
  ${If} $3 P<> 0
    System::Call 'kernel32::SetEvent(p r3)'
    ; Closed at once: the event lives as long as a handle does, and the new instance would open it
    ; still signalled and quit.
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
FunctionEnd

; Asks every process of our program to quit and waits for each to end; one that does not end in time
; ends the installation before anything has changed.
Function CloseResident
  ${For} $R8 1 5
    Call FindProgram
    ${If} $0 P= 0
      Return
    ${EndIf}
    ${If} $R8 = 5 ; still one after four that ended: something keeps starting it
      System::Call 'kernel32::CloseHandle(p r0)'
      ${ExitFor}
    ${EndIf}
    StrCpy $Resident 1
    Call SignalShutdown
    Call AwaitProgram
    ${If} $3 <> 0
      ${ExitFor}
    ${EndIf}
  ${Next}
  MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} (process $2) did not end when asked to. Nothing was \
      changed; end it with E&xit in its menu and run setup again." /SD IDOK
  SetErrorLevel ${EXIT_STILL_RUNNING}
  Abort "${PRODUCT} is still running."
FunctionEnd

; A program is never left half written, and the installation changes whole or not at all: every new
; file is written beside the old one first, and only once all are written are they put in place. The
; old ones stay as .old until every new one is in place, so that a failure puts them back. A file in
; use (a running program) cannot be replaced or deleted, but it can be renamed aside; whatever .old
; is still in use at the end is deleted by the next start of Pendlemark.
!macro WriteNew NAME
  ClearErrors
  File "/oname=$INSTDIR\${NAME}.new" "${PM_STAGE}/${NAME}"
  ${If} ${Errors} ; skipped, not written
    Abort "${NAME} could not be written."
  ${EndIf}
!macroend

; BIT stands for the file in $SetAside and $Placed.
!macro PutInPlace NAME BIT
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    ; One left by an earlier update makes room; one still in use cannot, and nothing is changed.
    Delete "$INSTDIR\${NAME}.old"
    Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.old"
    ${If} ${Errors}
      Abort "${NAME} is in use and could not be replaced."
    ${EndIf}
    IntOp $SetAside $SetAside | ${BIT}
  ${EndIf}
  ClearErrors
  Rename "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
  ${If} ${Errors}
    Abort "${NAME} could not be written."
  ${EndIf}
  IntOp $Placed $Placed | ${BIT}
!macroend

; Undoes PutInPlace: the new file goes and the old one comes back under its name. Each step is
; checked: a new file that stays (held by a scanner, say) keeps the old one set aside, and so does a
; rename that fails; the file is then named in $NotBack. Each file is put back on its own, whatever
; became of the others, so the order does not change the outcome.
!macro PutBack NAME BIT
  IntOp $0 $Placed & ${BIT}
  ${If} $0 <> 0
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
  IntOp $0 $SetAside & ${BIT}
  IntOp $1 $Placed & ${BIT}
  ${If} ${FileExists} "$INSTDIR\${NAME}"
  ${AndIf} $1 <> 0
    StrCpy $NotBack "$NotBack ${NAME}"
  ${ElseIf} $0 <> 0
    ClearErrors
    Rename "$INSTDIR\${NAME}.old" "$INSTDIR\${NAME}"
    ${If} ${Errors}
      StrCpy $NotBack "$NotBack ${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

; A file that could not be written (a full disk, say) or set aside (held by another program) aborts
; the installation, NSIS's own error included: the old files are put back in the reverse order, what
; was written is removed, and the Pendlemark that was closed for it runs again. An old file that
; cannot be put back stays set aside as .old, and nothing deletes it: Pendlemark is then started
; without /AfterUpdate, which would.
Function .onInstFailed
  ${If} $Writing = 1
    StrCpy $NotBack ""
    !insertmacro PutBack "CVLHelp.htm" 4
    !insertmacro PutBack "cvlx.exe" 2
    !insertmacro PutBack "Pendlemark.exe" 1
    Delete "$INSTDIR\Pendlemark.exe.new"
    Delete "$INSTDIR\cvlx.exe.new"
    Delete "$INSTDIR\CVLHelp.htm.new"
    ${If} $NotBack == ""
      SetErrorLevel ${EXIT_NOT_WRITTEN}
      ${If} $Resident = 1
        Exec '"$INSTDIR\Pendlemark.exe" /AfterUpdate'
      ${EndIf}
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "The previous$NotBack could not be put back; the previous files are \
          kept beside it as .old in $INSTDIR. Close the program holding it and run setup again." /SD IDOK
      SetErrorLevel ${EXIT_NOT_RESTORED}
      ${If} $Resident = 1
        Exec '"$INSTDIR\Pendlemark.exe"'
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; The installed version as the record of product Pendlemark, so that a Pendlemark pinning a publisher
; refuses an older installer of ours, signed as well, served as a package. Never lowered: a record
; that is a.b.c.d and not lower stays; one the program would not read (another type, another text)
; is replaced. Uses $0-$9 and $R0-$R3.
Function RecordVersion
  StrCpy $2 ""
  System::Call 'advapi32::RegGetValueW(p ${HKCU_HANDLE}, w "${RECORD_KEY}", w "${PRODUCT}", \
      i ${RRF_RT_ANY_NOEXPAND}, *i .r1, w .r2, *i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 = 0
  ${AndIf} $1 = ${REG_SZ}
    Call ParseVersion
    ${IfNot} ${Errors}
      GetDLLVersionLocal "${PM_STAGE}/Pendlemark.exe" $R2 $R3
      ${If} $R0 U> $R2
        Return
      ${ElseIf} $R0 = $R2
      ${AndIf} $R1 U>= $R3
        Return
      ${EndIf}
    ${EndIf}
  ${EndIf}
  WriteRegStr HKCU "${RECORD_KEY}" "${PRODUCT}" "${PM_VERSION}.0"
FunctionEnd

; The version text $2 as GetDLLVersion gives a version, $R0 = a << 16 | b and $R1 = c << 16 | d,
; when it is a.b.c.d with each part 0 to 65535 in at most five digits, as the program reads a
; record; the error flag for any other text. Uses $4-$9.
Function ParseVersion
  ClearErrors
  StrCpy $R0 0
  StrCpy $R1 0
  StrCpy $4 0 ; where the next character is
  ${For} $5 1 4
    StrCpy $7 0 ; the part's value
    StrCpy $8 0 ; its digits
    ${Do}
      StrCpy $6 $2 1 $4
      IntOp $9 $6 + 0 ; a single character: non-zero only for 1 to 9
      ${If} $6 != "0"
      ${AndIf} $9 = 0
        ${ExitDo}
      ${EndIf}
      IntOp $8 $8 + 1
      IntOp $7 $7 * 10
      IntOp $7 $7 + $9
      IntOp $4 $4 + 1
      ${If} $8 > 5
        ${ExitDo}
      ${EndIf}
    ${Loop}
    ${If} $8 = 0
    ${OrIf} $8 > 5
    ${OrIf} $7 > 65535
      SetErrors
      Return
    ${EndIf}
    ${If} $5 = 1
    ${OrIf} $5 = 3
      IntOp $7 $7 << 16
    ${EndIf}
    ${If} $5 < 3
      IntOp $R0 $R0 | $7
    ${Else}
      IntOp $R1 $R1 | $7
    ${EndIf}
    ; A dot after each of the first three parts, the end after the fourth.
    StrCpy $6 $2 1 $4
    IntOp $4 $4 + 1
    StrCpy $9 "."
    ${If} $5 = 4
      StrCpy $9 ""
    ${EndIf}
    ${If} $6 != $9
      SetErrors
      Return
    ${EndIf}
  ${Next}
FunctionEnd

Section "Install"
  ; The folder is kept and compared in its canonical form; made full before it is created, so
  ; that a "..\" part creates nothing, and long once it exists.
  StrCpy $R9 $INSTDIR
  Call Canonical
  StrCpy $INSTDIR $R9
  SetOutPath "$INSTDIR"
  StrCpy $R9 $INSTDIR
  Call Canonical
  StrCpy $INSTDIR $R9
  SetOverwrite on
  ; Without a way to skip a file: one that cannot be written aborts the installation.
  AllowSkipFiles off
  Call RefuseNewerInstalled
  ${If} $UpdateRun = 0
    Call CloseResident
  ${EndIf}
  StrCpy $Writing 1
  !insertmacro WriteNew "Pendlemark.exe"
  !insertmacro WriteNew "cvlx.exe"
  !insertmacro WriteNew "CVLHelp.htm"
  !insertmacro PutInPlace "Pendlemark.exe" 1
  !insertmacro PutInPlace "cvlx.exe" 2
  !insertmacro PutInPlace "CVLHelp.htm" 4
  StrCpy $Writing 0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The old files; one still in use stays for the next start. Run as an update package, all stay: the
  ; Pendlemark that runs it puts them back should the new version not prove itself.
  ${If} $UpdateRun = 0
    Delete "$INSTDIR\Pendlemark.exe.old"
    Delete "$INSTDIR\cvlx.exe.old"
    Delete "$INSTDIR\CVLHelp.htm.old"
  ${EndIf}

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
  Call RecordVersion

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

Function un.onInit
  StrCpy $Shutdown 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/RunWait=" $R1
  ${If} ${Errors}
    StrCpy $R1 ${RUN_WAIT_S}
  ${EndIf}
  IntOp $RunWaitMs $R1 * 1000
FunctionEnd

; Ends the uninstallation with that exit code and text, letting go of CVLShutdown.
!macro GiveUp CODE TEXT
  ${If} $Shutdown P<> 0
    System::Call 'kernel32::CloseHandle(p $Shutdown)'
    StrCpy $Shutdown 0
  ${EndIf}
  SetErrorLevel ${CODE}
  Abort "${TEXT}"
!macroend

; Waits while an update run is in progress: when it ends, Pendlemark records what it installed, and
; a package that was Pendlemark's own installer has put files and values back. Uses $0-$3.
Function un.AwaitRun
  System::Call 'kernel32::OpenEventW(i ${SYNCHRONIZE}, i 0, w "CVLUpdateRunning") p .r0'
  ${If} $0 P= 0
    Return
  ${EndIf}
  System::Call 'kernel32::GetTickCount() i .r1'
  ${Do}
    System::Call 'kernel32::WaitForSingleObject(p r0, i 0) i .r2'
    ${If} $2 <> 0
      ${ExitDo}
    ${EndIf}
    DetailPrint "Waiting for ${PRODUCT}'s update to end..."
    System::Call 'kernel32::GetTickCount() i .r3'
    IntOp $3 $3 - $1
    ${If} $3 U>= $RunWaitMs
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is installing an update and has not \
          finished yet. Retry waits for it again; Cancel leaves ${PRODUCT} installed." /SD IDCANCEL IDRETRY retry
      System::Call 'kernel32::CloseHandle(p r0)'
      !insertmacro GiveUp ${EXIT_RUN_IN_PROGRESS} "An update of ${PRODUCT} is in progress."
      retry:
      System::Call 'kernel32::GetTickCount() i .r1'
    ${EndIf}
    Sleep 200
  ${Loop}
  System::Call 'kernel32::CloseHandle(p r0)'
FunctionEnd

; Closes every process of our program, whichever is resident once a run has ended (a self-update
; may have replaced the one that ran it). Held signalled, CVLShutdown also ends an instance that
; starts meanwhile as soon as its scheduler runs.
Function un.CloseAll
  ${For} $R8 1 5
    Call un.AwaitRun
    Call un.FindProgram
    ${If} $0 P= 0
      Return
    ${EndIf}
    ${If} $R8 = 5
      System::Call 'kernel32::CloseHandle(p r0)'
      ${ExitFor}
    ${EndIf}
    Call un.AwaitProgram
    ${If} $3 <> 0
      ${ExitFor}
    ${EndIf}
  ${Next}
  MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} (process $2) did not end when asked to. Nothing was \
      removed; end it with E&xit in its menu and uninstall again." /SD IDOK
  !insertmacro GiveUp ${EXIT_STILL_RUNNING} "${PRODUCT} is still running."
FunctionEnd

Section "Uninstall"
  Call un.AwaitRun
  System::Call 'kernel32::CreateEventW(p 0, i 1, i 1, w "CVLShutdown") p .r0'
  StrCpy $Shutdown $0
  ${If} $Shutdown P<> 0
    System::Call 'kernel32::SetEvent(p $Shutdown)'
  ${EndIf}
  Call un.CloseAll
  ; Pendlemark undoes its own changes: the browser's launcher, the empty download folder, the
  ; settings. Only now: an instance starting before would swap its launcher in again.
  ExecWait '"$INSTDIR\Pendlemark.exe" /uninstall'

  Delete /REBOOTOK "$INSTDIR\Pendlemark.exe"
  Delete /REBOOTOK "$INSTDIR\cvlx.exe"
  Delete "$INSTDIR\Pendlemark.exe.old"
  Delete "$INSTDIR\cvlx.exe.old"
  Delete "$INSTDIR\CVLHelp.htm"
  Delete "$INSTDIR\CVLHelp.htm.old"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs\${COMPANY}"
  System::Call 'kernel32::CloseHandle(p $Shutdown)'
  StrCpy $Shutdown 0
SectionEnd
