; Kelvarin's setup. It knows two machines:
; - the fax product is installed (QFSCH.INI names a ProgDir whose ORVIKCTR.DLL is not our
;   stand-in): only TAVON.EXE, the uninstaller, the log-on start and the Apps entry are
;   added; nothing of the product is written, registered, replaced or removed;
; - no product: the trial, the program with all its stand-ins, laid out as the product
;   lays itself out, in the folder the user picks, which QFSCH.INI's ProgDir then names.
; Built by installer/CMakeLists.txt with
;   makensis -DVERSION=x.y.z -DARCH=win32|win64 -DSTAGE=<package folder> -DOUTFILE=<exe>
; The setup process has the program's bitness, so $SYSDIR and the registry are the views
; the program and the imaging control use.
; Exit codes: 0 done, 2 failed (see the log), 3 refused (newer version or other bitness
; installed, or another folder asked for than the installation's).

!if "${ARCH}" == "win64"
  Target amd64-unicode
  !define OTHER_BITNESS "32-bit"
  !define OTHER_ARCH win32
  !define MACHINE 34404 ; IMAGE_FILE_MACHINE_AMD64
!else
  Target x86-unicode
  !define OTHER_BITNESS "64-bit"
  !define OTHER_ARCH win64
  !define MACHINE 332 ; IMAGE_FILE_MACHINE_I386
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include x64.nsh
!include nsDialogs.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvarin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Not UNINSTALL.EXE: beside the product that name may be the product's own.
!define UNINSTALLER "UNINSTALL-KELVARIN.EXE"
!define SETTINGS "$WINDIR\QFSCH.INI"
!define TRIAL_DIR "C:\FAX\PROG"
; The imaging control's class identifier (src/imaging/image_man.h).
!define CONTROL_CLSID "{0EABA3C0-D884-101B-8CAE-00006E44AAB2}"
; TAVON.EXE's own way to end: this message to its main window.
!define TAVON_CLASS "TtavonForm"
!define WM_TAVON_END 1056
!define SYNCHRONIZE 0x00100000
!define TAVON_END_WAIT_MS 30000
!define EXIT_FAILED 2
!define EXIT_REFUSED 3

Name "Kelvarin ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${TRIAL_DIR}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kelvarin"
VIAddVersionKey "CompanyName" "Kelvarin"
VIAddVersionKey "FileDescription" "Kelvarin ${VERSION} setup (${ARCH})"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Kelvarin"

Var Mode            ; "product" or "trial"
Var Installed       ; version of the installation in this bitness's view, or empty
Var InstalledDir    ; its folder
Var OwnControls     ; 1 when this setup put the imaging control in and registered it
Var TavonWasRunning ; 1 when TAVON.EXE was asked to end
Var Summary

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "LICENCE.TXT" ; makensis works in the script's folder
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!insertmacro MUI_PAGE_DIRECTORY
Page custom SummaryShow
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Kelvarin now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTavon
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Kelvarin will be removed from the folder below: what its setup installed there, its log-on start and its Apps entry. The fax product's files and settings, QFSCH.INI and the faxes stay."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; An unsigned little-endian number of BYTES bytes from an open file.
!macro ReadLittleEndian HANDLE BYTES VAR
  StrCpy ${VAR} 0
  StrCpy $R8 0
  ${DoWhile} $R8 < ${BYTES}
    FileReadByte ${HANDLE} $R9
    IntOp $R7 $R8 * 8
    IntOp $R9 $R9 << $R7
    IntOp ${VAR} ${VAR} | $R9
    IntOp $R8 $R8 + 1
  ${Loop}
!macroend

; A folder named with or without its final backslash, without it.
!macro StripSlash VAR
  StrCpy $R9 ${VAR} "" -1
  ${If} $R9 == "\"
    StrCpy ${VAR} ${VAR} -1
  ${EndIf}
!macroend

; The stand-ins of the product's parts, which only the trial installs.
!macro StandIns DO
  !insertmacro ${DO} ORVIKCTR.DLL
  !insertmacro ${DO} FAXPRINT.EXE
  !insertmacro ${DO} QUEUEMGR.EXE
  !insertmacro ${DO} ZEP.EXE
  !insertmacro ${DO} IMOCX32.OCX
  !insertmacro ${DO} IMTWAIN3.OCX
!macroend

; Functions both the setup and the uninstaller need (NSIS keeps them apart by "un.").
!macro SharedFunctions UN
  ; Pushes 1 when the file carries our version resource (CompanyName "Kelvarin"), else 0.
  ; Version numbers prove nothing: a vendor's file may have the same.
  Function ${UN}IsOurs
    Exch $R0
    Push $R1
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    StrCpy $R1 0
    System::Call 'version::GetFileVersionInfoSize(t R0, p 0) i .R2'
    ${If} $R2 > 0
      System::Alloc $R2
      Pop $R3
      System::Call 'version::GetFileVersionInfo(t R0, i 0, i R2, p R3) i .R4'
      ${If} $R4 <> 0
        ; The strings are under the resource's first language and code page.
        System::Call 'version::VerQueryValue(p R3, t "\VarFileInfo\Translation", *p .R4, *i .R5) i .R2'
        ${If} $R2 <> 0
        ${AndIf} $R5 >= 4
          System::Call '*$R4(&i2 .R2, &i2 .R5)'
          IntFmt $R2 "%04X" $R2
          IntFmt $R5 "%04X" $R5
          System::Call 'version::VerQueryValue(p R3, t "\StringFileInfo\$R2$R5\CompanyName", *p .R4, *i .R5) i .R2'
          ${If} $R2 <> 0
            System::Call 'kernel32::lstrcpyn(t .R2, p R4, i ${NSIS_MAX_STRLEN}) p'
            ${If} $R2 == "Kelvarin"
              StrCpy $R1 1
            ${EndIf}
          ${EndIf}
        ${EndIf}
      ${EndIf}
      System::Free $R3
    ${EndIf}
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    StrCpy $R0 $R1
    Pop $R1
    Exch $R0
  FunctionEnd

  ; Asks a running TAVON.EXE to end, its own way, and waits for its process to end, so
  ; that its files and the imaging control it holds can be replaced or removed.
  Function ${UN}EndTavon
    StrCpy $TavonWasRunning 0
    FindWindow $R0 "${TAVON_CLASS}"
    ${If} $R0 <> 0
      StrCpy $TavonWasRunning 1
      DetailPrint "Asking Kelvarin (TAVON.EXE) to end"
      System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1) i'
      System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i R1) p .R2'
      System::Call 'user32::PostMessage(p R0, i ${WM_TAVON_END}, p 0, p 0) i'
      StrCpy $R3 -1
      ${If} $R2 != 0
        System::Call 'kernel32::WaitForSingleObject(p R2, i ${TAVON_END_WAIT_MS}) i .R3'
        System::Call 'kernel32::CloseHandle(p R2)'
      ${EndIf}
      ${If} $R3 <> 0
        StrCpy $R0 "Kelvarin (TAVON.EXE) did not end. Close the box it shows, if any, or end it in Task Manager, then run this again."
        DetailPrint $R0
        MessageBox MB_OK|MB_ICONSTOP $R0 /SD IDOK
        SetErrorLevel ${EXIT_FAILED}
        Abort
      ${EndIf}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; Pushes the machine a module is built for, from its PE header, or 0.
Function ModuleMachine
  Exch $R0
  Push $R1
  Push $R2
  StrCpy $R2 0
  ClearErrors
  FileOpen $R1 $R0 r
  ${IfNot} ${Errors}
    FileSeek $R1 0x3C
    !insertmacro ReadLittleEndian $R1 4 $R0 ; where the "PE\0\0" header starts
    IntOp $R0 $R0 + 4
    FileSeek $R1 $R0
    !insertmacro ReadLittleEndian $R1 2 $R2
    FileClose $R1
  ${EndIf}
  Pop $R1
  StrCpy $R0 $R2
  Pop $R2
  Exch $R0
FunctionEnd

!macro IsOurs UN FILE VAR
  Push "${FILE}"
  Call ${UN}IsOurs
  Pop ${VAR}
!macroend

; Stops the setup before it changes anything, with the reason.
!macro Refuse TEXT
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${EXIT_REFUSED}
  Quit
!macroend

Function .onInit
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
  StrCpy $0 $INSTDIR ; the /D= folder, or the default
  !insertmacro StripSlash $0

  ; One bitness at a time: both would share the product's folder and the log-on start.
  StrCpy $1 ""
  !if "${ARCH}" == "win64"
    SetRegView 32
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    SetRegView 64
  !else
    ${If} ${RunningX64}
      SetRegView 64
      ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
      SetRegView default
    ${EndIf}
  !endif
  ${If} $1 != ""
    !insertmacro Refuse "The ${OTHER_BITNESS} Kelvarin is installed in $1. Uninstall it first (Settings, Apps), then run this setup again."
  ${EndIf}

  ; Versions: the same repairs, a newer setup upgrades, an older one is refused.
  ReadRegStr $Installed HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $InstalledDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
  !insertmacro StripSlash $InstalledDir
  ${If} $Installed != ""
    ${VersionCompare} $Installed "${VERSION}" $2
    ${If} $2 == 1
      !insertmacro Refuse "Kelvarin $Installed is installed, which is newer than this setup (${VERSION}). To go back to ${VERSION}, uninstall Kelvarin $Installed first."
    ${EndIf}
  ${EndIf}

  ; The product is there when the ORVIKCTR.DLL in the ProgDir of its settings is not ours.
  StrCpy $Mode trial
  ReadINIStr $1 "${SETTINGS}" "Quilfa" "ProgDir"
  !insertmacro StripSlash $1
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\ORVIKCTR.DLL"
    !insertmacro IsOurs "" "$1\ORVIKCTR.DLL" $2
    ${If} $2 == 0
      StrCpy $Mode product
    ${EndIf}
  ${EndIf}

  ${If} $Mode == product
    ; TAVON.EXE loads the product's library: only a program of its bitness can.
    Push "$1\ORVIKCTR.DLL"
    Call ModuleMachine
    Pop $2
    ${If} $2 <> ${MACHINE}
      !insertmacro Refuse "The fax product in $1 is not ${ARCH}: its ORVIKCTR.DLL cannot be loaded by this setup's TAVON.EXE. Use the setup of the product's bitness (Kelvarin-${VERSION}-${OTHER_ARCH}-setup.exe)."
    ${EndIf}
    StrCpy $INSTDIR $1 ; TAVON.EXE works beside the product's ORVIKCTR.DLL, nowhere else
  ${ElseIf} $Installed != ""
  ${AndIf} $0 == "${TRIAL_DIR}"
    StrCpy $INSTDIR $InstalledDir
  ${ElseIf} $0 == "${TRIAL_DIR}"
  ${AndIf} $1 != ""
    StrCpy $INSTDIR $1 ; settings left by an earlier trial
  ${EndIf}
  ; An upgrade or repair stays where the installation is.
  ${If} $Installed != ""
  ${AndIf} $INSTDIR != $InstalledDir
    !insertmacro Refuse "Kelvarin is installed in $InstalledDir; this setup would install it in $INSTDIR. Uninstall Kelvarin first to move it."
  ${EndIf}
FunctionEnd

Function DirectoryPre
  ; The folder is fixed beside the product and for an installation already there.
  ${If} $Mode == product
  ${OrIf} $Installed != ""
    Abort
  ${EndIf}
FunctionEnd

Function SummaryShow
  ${If} $Mode == product
    !insertmacro MUI_HEADER_TEXT "Ready to install beside the fax product" "The product's own files and settings stay as they are."
    StrCpy $Summary "The fax product is installed: ${SETTINGS} names $INSTDIR\ as its program directory, which holds its ORVIKCTR.DLL.$\r$\n$\r$\nThe setup adds TAVON.EXE and ${UNINSTALLER} to $INSTDIR, starts TAVON.EXE at log-on and adds Kelvarin to Apps. It writes, registers, replaces and removes nothing of the product's: its settings file, its files and its imaging control stay exactly as they are, now and when Kelvarin is uninstalled."
  ${Else}
    !insertmacro MUI_HEADER_TEXT "Ready to install the trial" "No fax product was found on this machine."
    StrCpy $Summary "The setup installs Kelvarin with stand-ins of the fax product's parts, for trying it:$\r$\n$\r$\n$INSTDIR: TAVON.EXE, ORVIKCTR.DLL, FAXPRINT.EXE, QUEUEMGR.EXE, ZEP.EXE and the imaging control$\r$\nC:\FAX\ADMIN and C:\FAX\USERS\0001 (the private directory)$\r$\n${SETTINGS} with ProgDir=$INSTDIR\ (the rest of an existing one is kept)$\r$\n$SYSDIR: the imaging control, registered by ZEP.EXE$\r$\n$\r$\nTAVON.EXE starts at log-on. Do not use the trial on a machine that is to get the fax product."
  ${EndIf}
  ${If} $Installed != ""
    StrCpy $Summary "$Summary$\r$\n$\r$\nKelvarin $Installed is installed there and will be replaced by ${VERSION}."
  ${EndIf}
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 100% $Summary
  Pop $0
  nsDialogs::Show
FunctionEnd

; The trial: the stand-ins, the settings file naming the chosen folder, the imaging
; control registered by ZEP.EXE as the product does.
Function InstallTrial
  !macro InstallStandIn NAME
    File "${STAGE}\STANDINS\${NAME}"
  !macroend
  !insertmacro StandIns InstallStandIn
  CreateDirectory "C:\FAX\ADMIN"
  CreateDirectory "C:\FAX\USERS\0001"

  ${If} ${FileExists} "${SETTINGS}"
    ; Only ProgDir must follow the folder; the rest of an existing file is kept.
    ReadINIStr $0 "${SETTINGS}" "Quilfa" "ProgDir"
    !insertmacro StripSlash $0
    ${If} $0 != $INSTDIR
      DetailPrint "QFSCH.INI: ProgDir=$INSTDIR\ (was $0\)"
      WriteINIStr "${SETTINGS}" "Quilfa" "ProgDir" "$INSTDIR\"
    ${EndIf}
  ${Else}
    WriteINIStr "${SETTINGS}" "Quilfa" "ProgDir" "$INSTDIR\"
    WriteINIStr "${SETTINGS}" "Quilfa" "PrivateDir" "C:\FAX\USERS\0001\"
    WriteINIStr "${SETTINGS}" "Quilfa" "User" "0001"
  ${EndIf}

  ; An imaging control that is not ours, in the system directory or registered, stays
  ; as it is: ZEP.EXE would replace it and register ours over it.
  StrCpy $OwnControls 1
  ${If} ${FileExists} "$SYSDIR\IMOCX32.OCX"
    !insertmacro IsOurs "" "$SYSDIR\IMOCX32.OCX" $1
    IntOp $OwnControls $OwnControls & $1
  ${EndIf}
  ${If} ${FileExists} "$SYSDIR\IMTWAIN3.OCX"
    !insertmacro IsOurs "" "$SYSDIR\IMTWAIN3.OCX" $1
    IntOp $OwnControls $OwnControls & $1
  ${EndIf}
  ReadRegStr $0 HKCR "CLSID\${CONTROL_CLSID}\InprocServer32" ""
  ${If} $0 != ""
  ${AndIf} ${FileExists} $0
    !insertmacro IsOurs "" $0 $1
    IntOp $OwnControls $OwnControls & $1
  ${EndIf}
  ${If} $OwnControls = 0
    DetailPrint "An imaging control that is not Kelvarin's is in $SYSDIR or registered: it stays as it is"
    Return
  ${EndIf}
  DetailPrint "Registering the imaging control with ZEP.EXE"
  ClearErrors
  ExecWait '"$INSTDIR\ZEP.EXE" /RTAVON' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    StrCpy $0 "ZEP.EXE could not register the imaging control (see $INSTDIR\ZEP.LOG)"
    DetailPrint $0
    MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
    SetErrorLevel ${EXIT_FAILED}
    Abort
  ${EndIf}
FunctionEnd

; The trial replaces no file that is not Kelvarin's: the folder may hold what is left of
; the product.
Function CheckTrialFolder
  !macro CheckStandIn NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      !insertmacro IsOurs "" "$INSTDIR\${NAME}" $0
      ${If} $0 == 0
        StrCpy $0 "$INSTDIR\${NAME} is not Kelvarin's: the trial would replace it. Choose another folder, or install the fax product first."
        DetailPrint $0
        MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
        SetErrorLevel ${EXIT_REFUSED}
        Abort
      ${EndIf}
    ${EndIf}
  !macroend
  !insertmacro StandIns CheckStandIn
FunctionEnd

Section "Kelvarin"
  ${If} $Mode == product
    DetailPrint "Fax product found in $INSTDIR: adding TAVON.EXE beside it; nothing of the product's is changed"
  ${Else}
    DetailPrint "No fax product found: installing the trial into $INSTDIR"
    Call CheckTrialFolder
  ${EndIf}
  Call EndTavon
  SetOutPath "$INSTDIR"
  File "${STAGE}\TAVON.EXE"
  ; Earlier setups' uninstaller, replaced by this one (never the product's: not ours).
  ${If} ${FileExists} "$INSTDIR\UNINSTALL.EXE"
    !insertmacro IsOurs "" "$INSTDIR\UNINSTALL.EXE" $0
    ${If} $0 == 1
      Delete "$INSTDIR\UNINSTALL.EXE"
    ${EndIf}
  ${EndIf}
  StrCpy $OwnControls 0
  ${If} $Mode == trial
    Call InstallTrial
  ${EndIf}

  WriteRegStr HKCU "${RUN_KEY}" "Kelvarin" '"$INSTDIR\TAVON.EXE"'
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvarin ${VERSION} (${ARCH})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelvarin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TAVON.EXE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  ; The uninstaller started plainly hands over to a copy of itself and returns at once.
  ; Whoever runs the quiet string waits for the end and gets its exit code: a copy in
  ; %TEMP% runs in place (_?=), so it can remove everything in the folder, its original
  ; too; cmd.exe, outside the folder, waits for it.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$SYSDIR\cmd.exe" /d /c copy /y "$INSTDIR\${UNINSTALLER}" "%TEMP%\${UNINSTALLER}" >nul && "%TEMP%\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; What the uninstaller removes: the trial's stand-ins, and the imaging control only
  ; when this setup put it in.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "KelvarinMode" $Mode
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "KelvarinOwnsControl" $OwnControls

  ${If} $TavonWasRunning == 1
    DetailPrint "Starting Kelvarin again"
    Exec '"$INSTDIR\TAVON.EXE"'
  ${EndIf}
SectionEnd

Function .onInstFailed
  ; What was running before runs again, as far as it is there.
  ${If} $TavonWasRunning == 1
  ${AndIf} ${FileExists} "$INSTDIR\TAVON.EXE"
    Exec '"$INSTDIR\TAVON.EXE"'
  ${EndIf}
FunctionEnd

Function StartTavon
  FindWindow $0 "${TAVON_CLASS}"
  ${If} $0 = 0
    Exec '"$INSTDIR\TAVON.EXE"'
  ${EndIf}
FunctionEnd

Function un.onInit
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
FunctionEnd

; The uninstaller's own file. It normally runs from a copy in %TEMP% (NSIS's own, or the
; quiet uninstall string's), which goes at the next restart; run in place, it cannot
; delete its own file either.
Function un.RemoveSelf
  ${If} $EXEDIR == $INSTDIR
    Delete /REBOOTOK "$EXEPATH"
    DetailPrint "$EXEPATH is removed at the next restart"
  ${Else}
    Delete "$INSTDIR\${UNINSTALLER}"
    Delete /REBOOTOK "$EXEPATH"
  ${EndIf}
FunctionEnd

; Removes what the setup recorded it installed. Leaves the settings file and the faxes
; (outbox\, the private directory); of the trial's files, only those still ours.
Section "Uninstall"
  Call un.EndTavon
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "KelvarinMode"
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "KelvarinOwnsControl"
  DeleteRegValue HKCU "${RUN_KEY}" "Kelvarin"

  ${If} $0 == trial
    ${If} $1 = 1
      !macro RemoveControl NAME
        !insertmacro IsOurs "un." "$SYSDIR\${NAME}" $2
        ${If} $2 == 1
          UnRegDLL "$SYSDIR\${NAME}"
          Delete "$SYSDIR\${NAME}"
        ${EndIf}
      !macroend
      !insertmacro RemoveControl IMOCX32.OCX
      !insertmacro RemoveControl IMTWAIN3.OCX
    ${EndIf}
    !macro RemoveStandIn NAME
      !insertmacro IsOurs "un." "$INSTDIR\${NAME}" $2
      ${If} $2 == 1
        Delete "$INSTDIR\${NAME}"
      ${EndIf}
    !macroend
    !insertmacro StandIns RemoveStandIn
    Delete "$INSTDIR\ZEP.LOG"
  ${EndIf}
  Delete "$INSTDIR\TAVON.EXE"
  Call un.RemoveSelf

  ${If} $0 == trial
    ; Removed only when empty; the working directory cannot be. TAVON.EXE makes ADMIN\TEMP
    ; and USERS beside the PROG in its folder's name, or in its folder when it has none.
    SetOutPath $TEMP
    RMDir "$INSTDIR\SPOOL"
    RMDir "$INSTDIR\USERS"
    RMDir "$INSTDIR"
    RMDir "C:\FAX\ADMIN\TEMP"
    RMDir "C:\FAX\ADMIN"
    RMDir "C:\FAX\USERS\0001"
    RMDir "C:\FAX\USERS"
    RMDir "C:\FAX"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
