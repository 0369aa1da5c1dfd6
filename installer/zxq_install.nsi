; The Zentrix installer "zxq_install.exe": installs the benchmark program, its
; updater, the port-I/O driver and the language files, lets the program
; register its driver service, and arranges the program's one start with
; "autorun" after the restart. The build passes:
;   VERSION      the product version, three numbers ("1.0.0")
;   TESSARIN     the main program Tessarin.exe
;   UPDATER      the updater updater.exe
;   LANGUAGES    folder holding English.xml, German.xml and French.xml
;   DRIVER_X86   the 32-bit "zxq.sys"
;   DRIVER_X64   the 64-bit "zxq.sys"
;   ICON         the program's icon
;   OUTFILE      where to write the installer
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include WinVer.nsh
!include WordFunc.nsh

!define PRODUCT "Zentrix"
!define COMPANY "Quorvane"
!define PROGRAM_KEY "Software\Tessarin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrix"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define LOGON_START "Start Zentrix"
; The program's single-instance mutex: while it exists, the program runs.
!define INSTANCE_MUTEX "{BE83ABEC-4E9E-4FEF-8852-67416F53E737}"
; Exit codes of a refused run.
!define EXIT_NOT_ADMIN 3
!define EXIT_PROGRAM_RUNS 4

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${COMPANY}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COMPANY}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; Restarting is offered, never chosen for the user.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!define MUI_LANGDLL_REGISTRY_ROOT HKLM
!define MUI_LANGDLL_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MUI_LANGDLL_REGISTRY_VALUENAME "InstallerLanguage"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The page languages are those of the program's language files; the first
; is the one used when the system's language is none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"

LangString NotAdmin ${LANG_ENGLISH} "Installing ${PRODUCT} needs administrator rights. Please log in as an administrator and run the setup again."
LangString NotAdmin ${LANG_GERMAN} "Zur Installation von ${PRODUCT} sind Administratorrechte nötig. Bitte melden Sie sich als Administrator an und starten Sie das Setup erneut."
LangString NotAdmin ${LANG_FRENCH} "L'installation de ${PRODUCT} nécessite les droits d'administrateur. Veuillez vous connecter en tant qu'administrateur et relancer l'installation."
LangString ProgramRuns ${LANG_ENGLISH} "${PRODUCT} is running. Please close it and try again."
LangString ProgramRuns ${LANG_GERMAN} "${PRODUCT} wird gerade ausgeführt. Bitte schließen Sie das Programm und versuchen Sie es erneut."
LangString ProgramRuns ${LANG_FRENCH} "${PRODUCT} est en cours d'exécution. Veuillez le fermer et réessayer."
; The stem of the program's language file for each page language.
LangString LanguageFile ${LANG_ENGLISH} "English"
LangString LanguageFile ${LANG_GERMAN} "German"
LangString LanguageFile ${LANG_FRENCH} "French"

; Refuses to go on (message, or only the exit code when silent) without
; administrator rights or while the program runs, before anything is changed.
!macro RefuseUnlessFree
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NotAdmin)" /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p.r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(ProgramRuns)" /SD IDOK
    SetErrorLevel ${EXIT_PROGRAM_RUNS}
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetRegView 32
  SetShellVarContext all
  ; Refused at once, in the system's language; silent runs keep that
  ; language, interactive ones ask.
  !insertmacro RefuseUnlessFree
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

; Sets the program's language: the language of the pages, except that a
; silent run over an installation keeps the language chosen before.
Function SetProgramLanguage
  ${If} ${Silent}
    ReadRegStr $0 HKLM "${PROGRAM_KEY}" "Language"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$INSTDIR\Languages\$0.xml"
      Return
    ${EndIf}
  ${EndIf}
  WriteRegStr HKLM "${PROGRAM_KEY}" "Language" "$(LanguageFile)"
FunctionEnd

; Arranges the program's start with "autorun" at the next logon: a logon
; task from Windows Vista on, a RunOnce entry before.
Function ArrangeAutorun
  ${If} ${AtLeastWinVista}
    ; The folder goes into XML text.
    ${WordReplace} "$INSTDIR" "&" "&amp;" "+" $1
    InitPluginsDir
    FileOpen $0 "$PLUGINSDIR\logon.xml" w
    FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n\
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n\
<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n\
<Principals><Principal id="Author"><GroupId>S-1-5-32-544</GroupId><RunLevel>HighestAvailable</RunLevel></Principal></Principals>$\r$\n\
<Settings><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit></Settings>$\r$\n\
<Actions Context="Author"><Exec><Command>$1\Tessarin.exe</Command><Arguments>autorun</Arguments><WorkingDirectory>$1</WorkingDirectory></Exec></Actions>$\r$\n\
</Task>$\r$\n'
    FileClose $0
    nsExec::Exec '"$SYSDIR\schtasks.exe" /create /tn "${LOGON_START}" /xml "$PLUGINSDIR\logon.xml" /f'
    Pop $0
    Delete "$PLUGINSDIR\logon.xml"
  ${Else}
    WriteRegStr HKLM "${RUNONCE_KEY}" "${LOGON_START}" '"$INSTDIR\Tessarin.exe" autorun'
  ${EndIf}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=Tessarin.exe" "${TESSARIN}"
  File "/oname=updater.exe" "${UPDATER}"
  ${If} ${RunningX64}
    File "/oname=zxq.sys" "${DRIVER_X64}"
  ${Else}
    File "/oname=zxq.sys" "${DRIVER_X86}"
  ${EndIf}
  SetOutPath "$INSTDIR\Languages"
  File "${LANGUAGES}\English.xml"
  File "${LANGUAGES}\German.xml"
  File "${LANGUAGES}\French.xml"
  ; The program's install actions take the driver from the current folder.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Tessarin.exe"

  ; The language comes first: the program's start reads it.
  Call SetProgramLanguage
  ${If} ${Silent}
    ExecWait '"$INSTDIR\Tessarin.exe" s_install' $0
  ${Else}
    ExecWait '"$INSTDIR\Tessarin.exe" install' $0
  ${EndIf}
  ; The memory test works without the driver (it falls back to WMI), so a
  ; driver the program could not copy (1), register (2) or start (3) is
  ; reported and the installation goes on.
  ${If} $0 != 0
    DetailPrint "The port-I/O driver zxq.sys was not installed completely (exit code $0)."
  ${EndIf}
  WriteRegDWORD HKLM "${PROGRAM_KEY}" "RunAtStartUp" 1
  Call ArrangeAutorun

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tessarin.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The driver is started by the restart the finish page offers.
  SetRebootFlag true
SectionEnd

Function un.onInit
  SetRegView 32
  SetShellVarContext all
  !insertmacro MUI_UNGETLANGUAGE
  !insertmacro RefuseUnlessFree
FunctionEnd

Section "Uninstall"
  StrCpy $0 "not run"
  ${If} ${FileExists} "$INSTDIR\Tessarin.exe"
    SetOutPath "$INSTDIR"
    ${If} ${Silent}
      ExecWait '"$INSTDIR\Tessarin.exe" s_uninstall' $0
    ${Else}
      ExecWait '"$INSTDIR\Tessarin.exe" uninstall' $0
    ${EndIf}
    ; The folder must not be the current one when it is removed.
    SetOutPath "$TEMP"
  ${EndIf}
  ; When the program is missing, cannot run or leaves the driver behind, the
  ; kernel service must not outlive the product: stopped and deleted through
  ; the system's service tool, and its file deleted from the real drivers
  ; folder.
  ${If} $0 != 0
    nsExec::Exec '"$SYSDIR\sc.exe" stop zxq'
    Pop $1
    nsExec::Exec '"$SYSDIR\sc.exe" delete zxq'
    Pop $1
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
      Delete "$WINDIR\System32\drivers\zxq.sys"
      ${EnableX64FSRedirection}
    ${Else}
      Delete "$SYSDIR\drivers\zxq.sys"
    ${EndIf}
  ${EndIf}
  ${If} ${AtLeastWinVista}
    nsExec::Exec '"$SYSDIR\schtasks.exe" /delete /tn "${LOGON_START}" /f'
    Pop $0
  ${EndIf}
  DeleteRegValue HKLM "${RUNONCE_KEY}" "${LOGON_START}"
  ; "Language" stays: it is the user's choice.
  DeleteRegValue HKLM "${PROGRAM_KEY}" "RunAtStartUp"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\Tessarin.exe"
  Delete "$INSTDIR\updater.exe"
  Delete "$INSTDIR\zxq.sys"
  ; A downloaded update and the analysis helper the program extracts.
  Delete "$INSTDIR\zxq_install.exe"
  Delete "$INSTDIR\Ostrel.exe"
  Delete "$INSTDIR\Languages\English.xml"
  Delete "$INSTDIR\Languages\German.xml"
  Delete "$INSTDIR\Languages\French.xml"
  RMDir "$INSTDIR\Languages"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
