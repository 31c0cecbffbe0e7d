; The per-user installer of Ombrix: the program folder into the user's own programs folder,
; with no administrator rights asked; a Start-menu shortcut; the start at logon, hidden in the
; tray; and an uninstaller that ends a running copy the way a logoff does and keeps what the
; user made (the settings file, the two lists and the log) unless asked to remove it.
;
; scripts/package builds it; it passes:
;   VERSION       the version, as project(VERSION) sets it ("1.0.0")
;   VERSION_QUAD  the same in four numbers ("1.0.0.0")
;   FILES         an include with the macros OmbrixInstallFiles and OmbrixRemoveFiles, which
;                 name every file of the program folder
;   OUTFILE       where the installer goes
;   SIGN          (optional) a command that signs the file it is given in place; it signs the
;                 uninstaller before it goes in and the installer once it is written
;   ICON          the program's icon
;   TARGET        (optional) the installer's own processor and character set, for a 64-bit
;                 build of the program: amd64-unicode

Unicode true
!ifdef TARGET
    Target ${TARGET}
!endif
!ifndef VERSION | VERSION_QUAD | FILES | OUTFILE | ICON
    !error "scripts/package passes VERSION, VERSION_QUAD, FILES, OUTFILE and ICON"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh
!include "${FILES}"

!define PRODUCT "Ombrix"
!define PUBLISHER "Ombrix"
!define EXE "ombrix.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ombrix"
; The main window's class: how a running copy is found.
!define WINDOW_CLASS "Ombrix"
; How long a running copy may take to end once asked.
!define END_WAIT_MS 15000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Ombrix"
; An installation over an older one goes where that one is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!ifdef SIGN
    !uninstfinalize '"${SIGN}" "%1"' = 0
    !finalize '"${SIGN}" "%1"' = 0
!endif

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryWhenInstalled
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Ombrix"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

; A running copy holds ombrix.exe and its table open, so it must end before either is
; replaced or removed. It is asked as Windows asks at logoff: it agrees to WM_QUERYENDSESSION,
; and from then on a close request ends it instead of hiding it to the tray; it then closes its
; table and stops its hook on the way out. It is never killed: one that does not end leaves
; the choice to the user (a silent run gives up).
!macro DEFINE_END_RUNNING_COPY prefix
Function ${prefix}EndRunningCopy
    Push $0
    Push $1
    Push $2
    Push $3
again:
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 = 0
        Goto done
    ${EndIf}
    DetailPrint "Asking the running Ombrix to end"
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    ; SYNCHRONIZE: enough to wait for the process, nothing more.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    ; SMTO_ABORTIFHUNG: a hung copy does not hang the installer.
    System::Call 'user32::SendMessageTimeout(p r0, i ${WM_QUERYENDSESSION}, p 0, p 0, i 2, i 5000, *p .r3) p'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${If} $2 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_WAIT_MS}) i .r3'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${Else}
        ; Without a handle on the process only its window can be watched.
        StrCpy $3 0
        ${Do}
            IsWindow $0 +1 windowGone
            ${If} $3 >= ${END_WAIT_MS}
                ${Break}
            ${EndIf}
            Sleep 100
            IntOp $3 $3 + 100
        ${Loop}
        StrCpy $3 258
        Goto waited
    windowGone:
        StrCpy $3 0
    waited:
    ${EndIf}
    ${If} $3 = 0
        Goto again
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Ombrix is running and did not end when asked.$\r$\nEnd it with Exit in its tray menu, then choose Retry." \
        /SD IDCANCEL IDRETRY again
    Pop $3
    Pop $2
    Pop $1
    Pop $0
    Abort "Ombrix is still running."
done:
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro DEFINE_END_RUNNING_COPY ""
!insertmacro DEFINE_END_RUNNING_COPY "un."

Section "Ombrix" SecProgram
    SectionIn RO
    Call EndRunningCopy
    ; The user's own files (the settings file, wl.txt, bl.txt, pl.txt, keyloggerstop.log) are not
    ; among these, so an installation over an older one keeps them.
    !insertmacro OmbrixInstallFiles
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    SetShellVarContext current
    ; A shortcut's start-in folder is the output folder: the program folder, where the
    ; program finds its table and writes its log.
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
        SW_SHOWNORMAL "" "Keystroke protection"
    ; The next section puts it back when it is chosen.
    Delete "$SMSTARTUP\${PRODUCT}.lnk"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "StartAtLogon" 0
SectionEnd

Section "Start at logon, hidden in the tray" SecLogon
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "h" "$INSTDIR\${EXE}" 0 \
        SW_SHOWNORMAL "" "Keystroke protection, hidden in the tray"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "StartAtLogon" 1
SectionEnd

Section "-Size"
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
    ; The logon start stays as the user last chose it; a first installation turns it on.
    ClearErrors
    ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "StartAtLogon"
    ${IfNot} ${Errors}
    ${AndIf} $0 = 0
        !insertmacro UnselectSection ${SecLogon}
    ${EndIf}
FunctionEnd

Function SkipDirectoryWhenInstalled
    ; Over an installation, the folder is that installation's.
    ClearErrors
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${IfNot} ${Errors}
    ${AndIf} $0 != ""
        Abort
    ${EndIf}
FunctionEnd

Function StartProgram
    ; The program opens its table and log in the current folder.
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\${EXE}"'
FunctionEnd

; Uninstaller. Sections run in this order: the running copy ends before any file goes.
Section "-un.End the running copy"
    Call un.EndRunningCopy
SectionEnd

Section /o "un.Also remove my settings, lists and log" SecRemoveUserFiles
    ; The settings file is named after the executable (ombrix.ini beside ombrix.exe).
    Delete "$INSTDIR\ombrix.ini"
    Delete "$INSTDIR\wl.txt"
    Delete "$INSTDIR\bl.txt"
    Delete "$INSTDIR\pl.txt"
    Delete "$INSTDIR\keyloggerstop.log"
SectionEnd

Section "-un.Ombrix"
    SetShellVarContext current
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    !insertmacro OmbrixRemoveFiles
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Only when empty: kept user files keep the folder.
    RMDir "$INSTDIR"
    ; Last, so that its going tells that the uninstallation is over.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
    ; The option of the components page, for a run without it: /REMOVEUSERFILES.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEUSERFILES" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecRemoveUserFiles}
    ${EndIf}
FunctionEnd
