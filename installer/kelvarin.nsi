; Setup for trying Kelvarin: the program with all its stand-ins, laid out as the fax
; product installs itself. Built by installer/CMakeLists.txt with
;   makensis -DVERSION=x.y.z -DARCH=win32|win64 -DSTAGE=<package folder> -DOUTFILE=<exe>
; Silent: SETUP.EXE /S; UNINSTALL.EXE /S. The setup process has the program's bitness, so
; $SYSDIR and the registry are the views the program and the imaging control use.

!if "${ARCH}" == "win64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvarin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WM_CLOSE 0x0010

Name "Kelvarin ${VERSION}"
OutFile "${OUTFILE}"
; The product's layout is fixed: QFSCH.INI names C:\FAX\PROG\ as the program directory.
InstallDir "C:\FAX\PROG"
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

Page instfiles
UninstPage instfiles

Section "Kelvarin"
  SetOutPath "$INSTDIR"
  File "${STAGE}\TAVON.EXE"
  File "${STAGE}\STANDINS\ORVIKCTR.DLL"
  File "${STAGE}\STANDINS\FAXPRINT.EXE"
  File "${STAGE}\STANDINS\QUEUEMGR.EXE"
  File "${STAGE}\STANDINS\ZEP.EXE"
  File "${STAGE}\STANDINS\IMOCX32.OCX"
  File "${STAGE}\STANDINS\IMTWAIN3.OCX"
  CreateDirectory "C:\FAX\ADMIN"
  CreateDirectory "C:\FAX\USERS\0001"

  ; An existing settings file belongs to the product: keep it.
  IfFileExists "$WINDIR\QFSCH.INI" settings_done
    WriteINIStr "$WINDIR\QFSCH.INI" "Quilfa" "ProgDir" "C:\FAX\PROG\"
    WriteINIStr "$WINDIR\QFSCH.INI" "Quilfa" "PrivateDir" "C:\FAX\USERS\0001\"
    WriteINIStr "$WINDIR\QFSCH.INI" "Quilfa" "User" "0001"
  settings_done:

  ; As the product does: its registration tool puts the imaging control into the system
  ; directory and registers it.
  DetailPrint "Registering the imaging control with ZEP.EXE"
  ClearErrors
  ExecWait '"$INSTDIR\ZEP.EXE" /RTAVON' $0
  IfErrors zep_failed
  StrCmp $0 0 zep_done
  zep_failed:
    SetErrorLevel 2
    Abort "ZEP.EXE could not register the imaging control (see $INSTDIR\ZEP.LOG)"
  zep_done:

  WriteRegStr HKCU "${RUN_KEY}" "Kelvarin" '"$INSTDIR\TAVON.EXE"'

  WriteUninstaller "$INSTDIR\UNINSTALL.EXE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvarin ${VERSION} (${ARCH})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelvarin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TAVON.EXE"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\UNINSTALL.EXE"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\UNINSTALL.EXE" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Asks a running TAVON.EXE to end (its application window quits on WM_CLOSE) and waits
; until its file can be deleted, at most about 10 s.
Function un.EndTavon
  FindWindow $0 "TApplication" "Tavon"
  IntCmp $0 0 +2
    SendMessage $0 ${WM_CLOSE} 0 0
  StrCpy $1 0
  retry:
    ClearErrors
    Delete "$INSTDIR\TAVON.EXE"
    IfErrors 0 done
    IntOp $1 $1 + 1
    IntCmp $1 100 done
    Sleep 100
    Goto retry
  done:
FunctionEnd

; Leaves the settings file and the faxes (outbox\, the private directory) in place.
Section "Uninstall"
  Call un.EndTavon
  DeleteRegValue HKCU "${RUN_KEY}" "Kelvarin"

  UnRegDLL "$SYSDIR\IMOCX32.OCX"
  UnRegDLL "$SYSDIR\IMTWAIN3.OCX"
  Delete "$SYSDIR\IMOCX32.OCX"
  Delete "$SYSDIR\IMTWAIN3.OCX"

  Delete "$INSTDIR\ORVIKCTR.DLL"
  Delete "$INSTDIR\FAXPRINT.EXE"
  Delete "$INSTDIR\QUEUEMGR.EXE"
  Delete "$INSTDIR\ZEP.EXE"
  Delete "$INSTDIR\ZEP.LOG"
  Delete "$INSTDIR\IMOCX32.OCX"
  Delete "$INSTDIR\IMTWAIN3.OCX"
  Delete "$INSTDIR\UNINSTALL.EXE"
  ; Removed only when empty.
  RMDir "$INSTDIR\SPOOL"
  RMDir "$INSTDIR"
  RMDir "C:\FAX\ADMIN"
  RMDir "C:\FAX\USERS\0001"
  RMDir "C:\FAX\USERS"
  RMDir "C:\FAX"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
