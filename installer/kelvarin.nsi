; Kelvarin's setup. It knows two machines:
; - the fax product is installed (QFSCH.INI names a ProgDir whose ORVIKCTR.DLL is not our
;   stand-in): only TAVON.EXE, the uninstaller, the log-on start and the Apps entry are
;   added; the product's own TAVON.EXE is kept as TAVON.EXE.ORIGINAL and put back at the
;   uninstall; nothing else of the product is written, registered, replaced or removed;
; - no product: the trial, the program with all its stand-ins, laid out as the product
;   lays itself out, in the folder the user picks, which QFSCH.INI's ProgDir then names.
; Built by installer/CMakeLists.txt with
;   makensis -DVERSION=x.y.z -DARCH=win32|win64 -DPUBLISHER=<CompanyName of our files>
;            -DCOPYRIGHT=<holder> -DSTAGE=<package folder> -DOUTFILE=<exe>
; The setup process has the program's bitness, so the system directory and the registry
; are the views the program and the imaging control use.
; Exit codes: 0 done, 2 failed (see the progress page), 3 refused (see README.TXT).

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
; The product's own TAVON.EXE, kept beside ours under a name nothing starts.
!define ORIGINAL "TAVON.EXE.ORIGINAL"
!define SETTINGS "$WINDIR\QFSCH.INI"
!define TRIAL_DIR "C:\FAX\PROG"
; The imaging control's class identifier (src/imaging/image_man.h).
!define CONTROL_CLSID "{0EABA3C0-D884-101B-8CAE-00006E44AAB2}"
; TAVON.EXE's own way to end: this message to its main window.
!define TAVON_CLASS "TtavonForm"
!define WM_TAVON_END 1056
!define SYNCHRONIZE 0x00100000
!define TAVON_END_WAIT_MS 30000
!define MOVEFILE_REPLACE_WRITE_THROUGH 9 ; MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH
; The first version that starts TAVON.EXE at log-on per machine, not per account.
!define MACHINE_START_SINCE "1.1.0"
!define EXIT_FAILED 2
!define EXIT_REFUSED 3

Name "Kelvarin ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${TRIAL_DIR}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "Kelvarin ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kelvarin"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Kelvarin ${VERSION} setup (${ARCH})"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

Var Mode            ; "product" or "trial"
Var Installed       ; version of the installation in this bitness's view, or empty
Var InstalledDir    ; its folder
Var SystemDir       ; the system directory this bitness's files go to
Var ForeignControl  ; the imaging control that is not ours, in the system directory or registered
Var ProductStart    ; how the product starts TAVON.EXE at log-on, if it does
Var TavonWasRunning ; 1 when TAVON.EXE was asked to end
Var Size            ; bytes installed, for the Apps entry
Var Summary

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Kelvarin ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Kelvarin (TAVON.EXE) works beside a fax product's virtual fax printer. For each document printed to the fax printer it merges the pages, in order, into one multi-page fax image and hands it to the product's fax scheduler or its fax interface.$\r$\n$\r$\nThis setup looks for the fax product and adds Kelvarin beside it. On a machine without the product it installs a trial: Kelvarin with stand-ins of the product's parts.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_HEADER_TEXT "Licence terms"
!define MUI_PAGE_HEADER_SUBTEXT "Please read the licence terms of Kelvarin."
!define MUI_LICENSEPAGE_TEXT_TOP "Press Page Down to see the rest of the licence."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "If you accept the licence terms, click I Agree to continue. You must accept them to install Kelvarin."
!insertmacro MUI_PAGE_LICENSE "LICENCE.TXT" ; makensis works in the script's folder
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom SummaryShow
; Its details (what was kept, what was left alone) stay to be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Kelvarin now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTavon
!insertmacro MUI_PAGE_FINISH
UninstPage custom un.SummaryShow
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
LangString ^LicenseSubCaption ${LANG_ENGLISH} ": Licence terms"

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
  ; Pushes 1 when the file carries our version resource (CompanyName ${PUBLISHER}), else 0.
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
            ${If} $R2 == "${PUBLISHER}"
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

  ; Fails when TAVON.EXE cannot be written: it runs for another user, whose windows
  ; EndTavon cannot reach. Nothing is replaced or removed half-way then.
  Function ${UN}CheckTavonFree
    ${If} ${FileExists} "$INSTDIR\TAVON.EXE"
      ClearErrors
      FileOpen $R0 "$INSTDIR\TAVON.EXE" a
      ${If} ${Errors}
        StrCpy $R0 "$INSTDIR\TAVON.EXE is in use: Kelvarin runs for another user. Ask them to sign out, or end TAVON.EXE in Task Manager (Users), then run this again."
        DetailPrint $R0
        MessageBox MB_OK|MB_ICONSTOP $R0 /SD IDOK
        SetErrorLevel ${EXIT_FAILED}
        Abort
      ${EndIf}
      FileClose $R0
    ${EndIf}
  FunctionEnd

  ; The system directory this bitness's modules go to. A 32-bit process on 64-bit Windows
  ; that names system32 writes SysWOW64; the pages and the log name that.
  Function ${UN}FindSystemDir
    StrCpy $SystemDir $SYSDIR
    !if "${ARCH}" == "win32"
      ${If} ${RunningX64}
        StrCpy $SystemDir "$WINDIR\SysWOW64"
      ${EndIf}
    !endif
  FunctionEnd

  ; Kelvarin 1.0.0 started TAVON.EXE at log-on per account. That value goes from every
  ; account whose registry is loaded now (the one running this, and those signed in).
  Function ${UN}RemoveAccountStarts
    DeleteRegValue HKCU "${RUN_KEY}" "Kelvarin"
    StrCpy $R0 0
    ${Do}
      ClearErrors
      EnumRegKey $R1 HKU "" $R0
      ${If} ${Errors}
      ${OrIf} $R1 == ""
        ${ExitDo}
      ${EndIf}
      DeleteRegValue HKU "$R1\${RUN_KEY}" "Kelvarin"
      IntOp $R0 $R0 + 1
    ${Loop}
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

; The log-on start is in the machine's own registry view: on 64-bit Windows the 64-bit
; one, whose Run key every shell runs; the 32-bit view's is a WOW64 addition.
!macro MachineRunView
  !if "${ARCH}" == "win32"
    ${If} ${RunningX64}
      SetRegView 64
    ${EndIf}
  !endif
!macroend
!macro SetupRegView
  !if "${ARCH}" == "win32"
    SetRegView default
  !endif
!macroend

; Stops the setup before it changes anything, with the reason.
!macro Refuse TEXT
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${EXIT_REFUSED}
  Quit
!macroend

; Stops the setup's work with the reason; .onInstFailed runs.
!macro Fail CODE TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${CODE}
  Abort
!macroend

; Pushes the program a shortcut (.lnk) starts, or "".
Function ShortcutTarget
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 ""
  ; IShellLinkW and its IPersistFile
  System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, g "{000214F9-0000-0000-C000-000000000046}", *p .R1) i .R2'
  ${If} $R2 = 0
    System::Call '$R1->0(g "{0000010B-0000-0000-C000-000000000046}", *p .R3) i .R2'
    ${If} $R2 = 0
      System::Call '$R3->5(w R0, i 0) i .R2' ; Load
      ${If} $R2 = 0
        System::Call '$R1->3(w .R4, i ${NSIS_MAX_STRLEN}, p 0, i 0) i .R2' ; GetPath
      ${EndIf}
      System::Call '$R3->2()'
    ${EndIf}
    System::Call '$R1->2()'
  ${EndIf}
  StrCpy $R0 $R4
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; Sets $ProductStart when the product starts $INSTDIR\TAVON.EXE at log-on itself: by a Run
; value of its own or a shortcut in a Startup folder.
Function FindProductStart
  StrCpy $ProductStart ""
  !macro RunValueNaming ROOT ROOT_NAME
    StrCpy $R0 0
    ${Do}
      ClearErrors
      EnumRegValue $R1 ${ROOT} "${RUN_KEY}" $R0
      ${If} ${Errors}
      ${OrIf} $R1 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $R0 $R0 + 1
      ReadRegStr $R2 ${ROOT} "${RUN_KEY}" $R1
      System::Call 'shlwapi::StrStrIW(w R2, w "$INSTDIR\TAVON.EXE") p .R3'
      ${If} $R1 != "Kelvarin"
      ${AndIf} $R3 != 0
        StrCpy $ProductStart 'the value "$R1" under ${ROOT_NAME}\${RUN_KEY}'
      ${EndIf}
    ${Loop}
  !macroend
  !insertmacro RunValueNaming HKLM HKEY_LOCAL_MACHINE
  ; The product's own setup may have written the other view.
  !if "${ARCH}" == "win64"
    SetRegView 32
    !insertmacro RunValueNaming HKLM HKEY_LOCAL_MACHINE
    SetRegView 64
  !else
    ${If} ${RunningX64}
      SetRegView 64
      !insertmacro RunValueNaming HKLM HKEY_LOCAL_MACHINE
      SetRegView default
    ${EndIf}
  !endif
  !insertmacro RunValueNaming HKCU HKEY_CURRENT_USER

  System::Call 'ole32::CoInitialize(p 0)'
  !macro StartupShortcutNaming CONTEXT
    SetShellVarContext ${CONTEXT}
    ClearErrors
    FindFirst $R0 $R1 "$SMSTARTUP\*.lnk"
    ${Do}
      ${If} ${Errors}
      ${OrIf} $R1 == ""
        ${ExitDo}
      ${EndIf}
      Push "$SMSTARTUP\$R1"
      Call ShortcutTarget
      Pop $R2
      ${If} $R2 == "$INSTDIR\TAVON.EXE"
        StrCpy $ProductStart "the shortcut $SMSTARTUP\$R1"
      ${EndIf}
      FindNext $R0 $R1
    ${Loop}
    FindClose $R0
  !macroend
  !insertmacro StartupShortcutNaming current
  !insertmacro StartupShortcutNaming all
  SetShellVarContext current
  System::Call 'ole32::CoUninitialize()'
FunctionEnd

; Sets $ForeignControl to the imaging control's files that are not ours, in the system
; directory or registered: ZEP.EXE replaces and registers none of them, nor does the setup.
Function FindForeignControl
  StrCpy $ForeignControl ""
  !macro ForeignControlFile FILE
    ${If} ${FILE} != ""
    ${AndIf} ${FileExists} ${FILE}
      !insertmacro IsOurs "" ${FILE} $1
      ${If} $1 == 0
        ${If} $ForeignControl != ""
          StrCpy $ForeignControl "$ForeignControl, "
        ${EndIf}
        StrCpy $ForeignControl "$ForeignControl${FILE}"
      ${EndIf}
    ${EndIf}
  !macroend
  !insertmacro ForeignControlFile "$SystemDir\IMOCX32.OCX"
  !insertmacro ForeignControlFile "$SystemDir\IMTWAIN3.OCX"
  ReadRegStr $0 HKCR "CLSID\${CONTROL_CLSID}\InprocServer32" ""
  !insertmacro ForeignControlFile $0
FunctionEnd

Function .onInit
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
  Call FindSystemDir
  ; NSIS takes /D= only last and unquoted; a quoted one would be passed over in silence.
  StrCpy $0 $CMDLINE
  StrCpy $1 '"/D='
  System::Call 'shlwapi::StrStrIW(w r0, w r1) p .r0'
  ${If} $0 != 0
    !insertmacro Refuse 'The folder was not taken: /D= must come last on the command line and without quotes, even when the folder has blanks (setup.exe /S /D=C:\Program Files\Kelvarin).'
  ${EndIf}
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
    Call FindProductStart
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
  ${If} $Mode == trial
    Call FindForeignControl
  ${EndIf}
FunctionEnd

Function DirectoryPre
  ; The folder is fixed beside the product and for an installation already there.
  ${If} $Mode == product
  ${OrIf} $Installed != ""
    Abort
  ${EndIf}
FunctionEnd

; Pushes why the trial cannot go into $INSTDIR, or "": the printer (as the user who
; prints) writes its spool there and the scheduler its outbox, which standard users
; cannot do in the programs' and the system's folders.
Function TrialFolderProblem
  Push ""
  !macro Under FOLDER
    StrLen $R0 "${FOLDER}\"
    StrCpy $R1 "$INSTDIR\" $R0
    ${If} $R1 == "${FOLDER}\"
      Pop $R1
      Push "$INSTDIR is in ${FOLDER}, which standard users cannot write, and the trial keeps the printer's spool and the faxes in its folder. Choose a folder such as ${TRIAL_DIR}."
    ${EndIf}
  !macroend
  !insertmacro Under $PROGRAMFILES
  !insertmacro Under $PROGRAMFILES64
  !insertmacro Under $WINDIR
FunctionEnd

Function DirectoryLeave
  Call TrialFolderProblem
  Pop $0
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION $0
    Abort
  ${EndIf}
FunctionEnd

; Pushes 1 when $INSTDIR holds a TAVON.EXE that is not ours (the product's), else 0.
Function HasOriginalTavon
  Push 0
  ${If} ${FileExists} "$INSTDIR\TAVON.EXE"
    !insertmacro IsOurs "" "$INSTDIR\TAVON.EXE" $R0
    ${If} $R0 == 0
      Pop $R0
      Push 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function SummaryShow
  ; $1: what becomes of TAVON.EXE where one is there already.
  StrCpy $1 ""
  Call HasOriginalTavon
  Pop $0
  ${If} $0 == 1
    StrCpy $1 "The product's TAVON.EXE in $INSTDIR is replaced by Kelvarin's; the product's own is kept, byte for byte, as $INSTDIR\${ORIGINAL} and put back when Kelvarin is uninstalled."
  ${ElseIf} ${FileExists} "$INSTDIR\${ORIGINAL}"
    StrCpy $1 "The product's own TAVON.EXE stays kept as $INSTDIR\${ORIGINAL} and is put back when Kelvarin is uninstalled."
  ${EndIf}
  ${If} $ProductStart == ""
    StrCpy $2 "starts TAVON.EXE at log-on for all users (HKEY_LOCAL_MACHINE\${RUN_KEY})"
  ${Else}
    StrCpy $2 "adds no start at log-on: the product already starts TAVON.EXE with $ProductStart"
  ${EndIf}
  ${If} $Mode == product
    !insertmacro MUI_HEADER_TEXT "Ready to install beside the fax product" "The product's settings, its other files and its imaging control stay as they are."
    StrCpy $Summary "The fax product is installed: ${SETTINGS} names $INSTDIR\ as its program directory, which holds its ORVIKCTR.DLL. The setup:$\r$\n$\r$\n- puts Kelvarin's TAVON.EXE into $INSTDIR;$\r$\n- adds the uninstaller $INSTDIR\${UNINSTALLER} and the entry Kelvarin in Settings, Apps;$\r$\n- $2.$\r$\n$\r$\n$1 Nothing else of the product's is written, registered, replaced or removed: its settings file, its other files and its imaging control stay as they are."
  ${Else}
    !insertmacro MUI_HEADER_TEXT "Ready to install the trial" "No fax product was found on this machine."
    ${If} $ForeignControl == ""
      StrCpy $3 "$SystemDir: the imaging control IMOCX32.OCX and IMTWAIN3.OCX, put there and registered by ZEP.EXE"
    ${Else}
      StrCpy $3 "$SystemDir: nothing. An imaging control that is not Kelvarin's is there or registered ($ForeignControl): it stays as it is, and neither the setup nor ZEP.EXE puts Kelvarin's in or registers it"
    ${EndIf}
    StrCpy $Summary "The setup installs Kelvarin with stand-ins of the fax product's parts, for trying it:$\r$\n$\r$\n- $INSTDIR: TAVON.EXE, ORVIKCTR.DLL, FAXPRINT.EXE, QUEUEMGR.EXE, ZEP.EXE, the imaging control and the uninstaller ${UNINSTALLER};$\r$\n- C:\FAX\ADMIN and C:\FAX\USERS\0001 (the private directory);$\r$\n- ${SETTINGS} with ProgDir=$INSTDIR\ (the rest of an existing one is kept);$\r$\n- $3;$\r$\n- the entry Kelvarin in Settings, Apps.$\r$\n$\r$\nIt also $2. Do not use the trial on a machine that is to get the fax product. $1"
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

  ${If} $ForeignControl != ""
    DetailPrint "An imaging control that is not Kelvarin's is in $SystemDir or registered ($ForeignControl): it stays as it is"
    Return
  ${EndIf}
  DetailPrint "Registering the imaging control in $SystemDir with ZEP.EXE"
  ClearErrors
  ExecWait '"$INSTDIR\ZEP.EXE" /RTAVON' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    !insertmacro Fail ${EXIT_FAILED} "ZEP.EXE could not register the imaging control (see $INSTDIR\ZEP.LOG)"
  ${EndIf}
FunctionEnd

; The trial replaces no file that is not Kelvarin's (the folder may hold what is left of
; the product) and goes nowhere standard users cannot write.
Function CheckTrialFolder
  Call TrialFolderProblem
  Pop $0
  ${If} $0 != ""
    !insertmacro Fail ${EXIT_REFUSED} $0
  ${EndIf}
  !macro CheckStandIn NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      !insertmacro IsOurs "" "$INSTDIR\${NAME}" $0
      ${If} $0 == 0
        !insertmacro Fail ${EXIT_REFUSED} "$INSTDIR\${NAME} is not Kelvarin's: the trial would replace it. Choose another folder, or install the fax product first."
      ${EndIf}
    ${EndIf}
  !macroend
  !insertmacro StandIns CheckStandIn
FunctionEnd

; A copy kept earlier is never replaced: a TAVON.EXE that is not ours beside it is refused
; before anything changes.
Function CheckKeptTavon
  Call HasOriginalTavon
  Pop $0
  ${If} $0 == 1
  ${AndIf} ${FileExists} "$INSTDIR\${ORIGINAL}"
    !insertmacro Fail ${EXIT_REFUSED} "$INSTDIR\TAVON.EXE is not Kelvarin's, and $INSTDIR\${ORIGINAL} holds the TAVON.EXE an earlier Kelvarin setup kept. Keep the one the product needs as TAVON.EXE, move the other out of the folder, then run this again."
  ${EndIf}
FunctionEnd

; The product's own TAVON.EXE is kept, whole and on the disk, before ours replaces it.
Function KeepOriginalTavon
  Call HasOriginalTavon
  Pop $0
  ${If} $0 == 0
    Return
  ${EndIf}
  StrCpy $1 "$INSTDIR\${ORIGINAL}.part"
  System::Call 'kernel32::CopyFileW(w "$INSTDIR\TAVON.EXE", w r1, i 0) i .r0'
  ${If} $0 <> 0
    ; GENERIC_WRITE, OPEN_EXISTING: flushed before the name says it is whole
    System::Call 'kernel32::CreateFileW(w r1, i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .r2'
    System::Call 'kernel32::FlushFileBuffers(p r2) i .r0'
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
  ${If} $0 <> 0
    System::Call 'kernel32::MoveFileExW(w r1, w "$INSTDIR\${ORIGINAL}", i ${MOVEFILE_REPLACE_WRITE_THROUGH}) i .r0'
  ${EndIf}
  ${If} $0 = 0
    Delete $1
    !insertmacro Fail ${EXIT_FAILED} "The product's TAVON.EXE could not be kept as $INSTDIR\${ORIGINAL}; nothing was replaced."
  ${EndIf}
  DetailPrint "The product's TAVON.EXE is kept as $INSTDIR\${ORIGINAL}"
FunctionEnd

; Adds the size of a file to $Size.
Function AddSize
  Exch $R0
  Push $R1
  ClearErrors
  FileOpen $R1 $R0 r
  ${IfNot} ${Errors}
    FileSeek $R1 0 END $R0
    FileClose $R1
    IntOp $Size $Size + $R0
  ${EndIf}
  Pop $R1
  Pop $R0
FunctionEnd

!macro AddSize FILE
  Push "${FILE}"
  Call AddSize
!macroend

; The program, as the user signed in to this desktop: through the shell, not elevated
; with the setup, so it answers the printer and writes files as that user.
Function StartTavonAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\TAVON.EXE"'
FunctionEnd

Section "Kelvarin"
  ${If} $Mode == product
    DetailPrint "Fax product found in $INSTDIR: adding TAVON.EXE beside it"
  ${Else}
    DetailPrint "No fax product found: installing the trial into $INSTDIR"
    Call CheckTrialFolder
  ${EndIf}
  Call CheckKeptTavon
  Call EndTavon
  Call CheckTavonFree
  Call KeepOriginalTavon
  SetOutPath "$INSTDIR"
  File "${STAGE}\TAVON.EXE"
  ; Earlier setups' uninstaller, replaced by this one (never the product's: not ours).
  ${If} ${FileExists} "$INSTDIR\UNINSTALL.EXE"
    !insertmacro IsOurs "" "$INSTDIR\UNINSTALL.EXE" $0
    ${If} $0 == 1
      Delete "$INSTDIR\UNINSTALL.EXE"
    ${EndIf}
  ${EndIf}
  ${If} $Mode == trial
    Call InstallTrial
  ${EndIf}

  Call RemoveAccountStarts
  ${If} $Installed != ""
    ${VersionCompare} $Installed "${MACHINE_START_SINCE}" $0
    ${If} $0 == 2
      DetailPrint "Kelvarin $Installed started TAVON.EXE at log-on for each account; that start is removed for the accounts signed in now. An account not signed in keeps it: the second start at its log-on ends at once."
    ${EndIf}
  ${EndIf}
  !insertmacro MachineRunView
  ${If} $ProductStart == ""
    WriteRegStr HKLM "${RUN_KEY}" "Kelvarin" '"$INSTDIR\TAVON.EXE"'
  ${Else}
    DeleteRegValue HKLM "${RUN_KEY}" "Kelvarin"
    DetailPrint "The fax product starts TAVON.EXE at log-on ($ProductStart): Kelvarin adds no start of its own"
  ${EndIf}
  !insertmacro SetupRegView

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  StrCpy $Size 0
  !insertmacro AddSize "$INSTDIR\TAVON.EXE"
  !insertmacro AddSize "$INSTDIR\${UNINSTALLER}"
  ${If} $Mode == trial
    !macro AddStandInSize NAME
      !insertmacro AddSize "$INSTDIR\${NAME}"
    !macroend
    !insertmacro StandIns AddStandInSize
    ${If} $ForeignControl == ""
      !insertmacro AddSize "$SystemDir\IMOCX32.OCX"
      !insertmacro AddSize "$SystemDir\IMTWAIN3.OCX"
    ${EndIf}
  ${EndIf}
  IntOp $Size $Size + 1023
  IntOp $Size $Size / 1024
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvarin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $Size ; KiB
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
  ; Whether the uninstaller removes the trial's stand-ins.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "KelvarinMode" $Mode

  ${If} $TavonWasRunning == 1
    DetailPrint "Starting Kelvarin again"
    Call StartTavonAsUser
  ${EndIf}
SectionEnd

Function .onInstFailed
  ; What was running before runs again, as far as it is there.
  ${If} $TavonWasRunning == 1
  ${AndIf} ${FileExists} "$INSTDIR\TAVON.EXE"
    Call StartTavonAsUser
  ${EndIf}
FunctionEnd

Function StartTavon
  FindWindow $0 "${TAVON_CLASS}"
  ${If} $0 = 0
    Call StartTavonAsUser
  ${EndIf}
FunctionEnd

Function un.onInit
  !if "${ARCH}" == "win64"
    SetRegView 64
  !endif
  Call un.FindSystemDir
  ReadRegStr $Mode HKLM "${UNINSTALL_KEY}" "KelvarinMode"
FunctionEnd

Function un.SummaryShow
  !insertmacro MachineRunView
  ReadRegStr $3 HKLM "${RUN_KEY}" "Kelvarin"
  !insertmacro SetupRegView
  ${If} $3 != ""
    StrCpy $3 "- the start of TAVON.EXE at log-on, and the entry Kelvarin in Settings, Apps."
  ${Else}
    StrCpy $3 "- the entry Kelvarin in Settings, Apps."
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${ORIGINAL}"
    StrCpy $1 "TAVON.EXE, Kelvarin's, replaced by the product's own TAVON.EXE that the setup kept as ${ORIGINAL}"
  ${Else}
    StrCpy $1 "TAVON.EXE"
  ${EndIf}
  ${If} $Mode == product
    StrCpy $Summary "Kelvarin is removed from beside the fax product:$\r$\n$\r$\n- $INSTDIR: $1, and ${UNINSTALLER};$\r$\n$3$\r$\n$\r$\nThe fax product's other files, its imaging control, ${SETTINGS} and the faxes stay."
  ${Else}
    !insertmacro IsOurs "un." "$SystemDir\IMOCX32.OCX" $2
    ${If} $2 == 1
      StrCpy $2 "- $SystemDir: the imaging control IMOCX32.OCX and IMTWAIN3.OCX, Kelvarin's, unregistered;$\r$\n"
    ${Else}
      StrCpy $2 ""
    ${EndIf}
    StrCpy $Summary "The trial of Kelvarin is removed:$\r$\n$\r$\n- $INSTDIR: $1, ORVIKCTR.DLL, FAXPRINT.EXE, QUEUEMGR.EXE, ZEP.EXE and ZEP.LOG, the imaging control and ${UNINSTALLER}; the folder itself when nothing else is left in it;$\r$\n$2- C:\FAX\ADMIN and C:\FAX\USERS\0001 when they are empty;$\r$\n$3$\r$\n$\r$\n${SETTINGS}, the faxes (outbox, the private directory) and any file that is not Kelvarin's stay."
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Uninstall Kelvarin ${VERSION}" "What goes and what stays."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 100% $Summary
  Pop $0
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:&Uninstall"
  nsDialogs::Show
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

; The imaging control goes only where it is ours: our files in the system directory, the
; class unregistered only while it names our file.
Function un.RemoveControls
  !insertmacro IsOurs "un." "$SystemDir\IMOCX32.OCX" $0
  ${If} $0 == 1
    ReadRegStr $1 HKCR "CLSID\${CONTROL_CLSID}\InprocServer32" ""
    ${If} $1 == "$SYSDIR\IMOCX32.OCX"
    ${OrIf} $1 == "$SystemDir\IMOCX32.OCX"
      UnRegDLL "$SystemDir\IMOCX32.OCX"
    ${EndIf}
    Delete "$SystemDir\IMOCX32.OCX"
  ${EndIf}
  !insertmacro IsOurs "un." "$SystemDir\IMTWAIN3.OCX" $0
  ${If} $0 == 1
    Delete "$SystemDir\IMTWAIN3.OCX"
  ${EndIf}
FunctionEnd

; Ours goes; the product's own TAVON.EXE, kept by the setup, comes back in its place. A
; TAVON.EXE that is not ours (the product put its own back since) stays, and so does the
; kept copy.
Function un.RestoreTavon
  ${If} ${FileExists} "$INSTDIR\TAVON.EXE"
    !insertmacro IsOurs "un." "$INSTDIR\TAVON.EXE" $0
    ${If} $0 == 0
      DetailPrint "$INSTDIR\TAVON.EXE is not Kelvarin's: it stays"
      Return
    ${EndIf}
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\${ORIGINAL}"
    Delete "$INSTDIR\TAVON.EXE"
    Return
  ${EndIf}
  System::Call 'kernel32::MoveFileExW(w "$INSTDIR\${ORIGINAL}", w "$INSTDIR\TAVON.EXE", i ${MOVEFILE_REPLACE_WRITE_THROUGH}) i .r0'
  ${If} $0 = 0
    StrCpy $0 "The product's TAVON.EXE could not be put back from $INSTDIR\${ORIGINAL}. Run the uninstall again."
    DetailPrint $0
    MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
    SetErrorLevel ${EXIT_FAILED}
    Abort
  ${EndIf}
  DetailPrint "The product's own TAVON.EXE is back in $INSTDIR"
FunctionEnd

; Removes what the setup installed. Leaves the settings file and the faxes (outbox\, the
; private directory); of the trial's files, only those still ours.
Section "Uninstall"
  Call un.EndTavon
  Call un.CheckTavonFree
  !insertmacro MachineRunView
  DeleteRegValue HKLM "${RUN_KEY}" "Kelvarin"
  !insertmacro SetupRegView
  Call un.RemoveAccountStarts

  ${If} $Mode == trial
    Call un.RemoveControls
    !macro RemoveStandIn NAME
      !insertmacro IsOurs "un." "$INSTDIR\${NAME}" $2
      ${If} $2 == 1
        Delete "$INSTDIR\${NAME}"
      ${EndIf}
    !macroend
    !insertmacro StandIns RemoveStandIn
    Delete "$INSTDIR\ZEP.LOG"
  ${EndIf}
  Call un.RestoreTavon
  Call un.RemoveSelf

  ${If} $Mode == trial
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
