; Kov's installer, built by scripts/package.sh (which defines VERSION, TARGET,
; FILES: the folder of stripped programs and documents, and OUTFILE).
;
; It installs for the current user, without administrator rights, puts the
; 64-bit pair beside the 32-bit one only on a 64-bit Windows, and keeps the
; user's kovopt.ini and kovxcept.ini over reinstalls and, unless the user says
; otherwise, over the uninstall. A running Kov is asked to close through its
; own window, as its user would close it, never ended by force: only then
; does it release every window it dressed. Silent: /S, and /D=folder.

Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "Kov"
Caption "Kov ${VERSION} Setup"
OutFile "${OUTFILE}"
BrandingText "Kov ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kov"
!define SHORTCUT "Kov.lnk"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey ProductName "Kov"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Kov ${VERSION} Setup"
VIAddVersionKey CompanyName "The Kov developers"
VIAddVersionKey LegalCopyright "Copyright (C) The Kov developers"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Kov now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartKov
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENCE.TXT"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Controller   ; the program the shortcuts start: the system's own architecture's

; Closes a running Kov as its user does (its window's Close), and waits for
; its process and for its companion of the other architecture, which follows
; it, to end; a Kov that will not close (it may be unable to let go of a
; window) is left to the user.
!macro CLOSE_KOV un
Function ${un}CloseKov
    ; The companion's process is taken while its window shows where it is: the
    ; window goes a moment before the process that holds the programs' files.
    StrCpy $5 0
    FindWindow $0 "KovCompanion" "" -3   ; a message-only window
    ${If} $0 <> 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2)'
        System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r5'   ; SYNCHRONIZE
    ${EndIf}
    again:
    FindWindow $0 "KovMainWin"
    StrCpy $1 $0
    ${If} $0 = 0
        FindWindow $0 "KovCompanion" "" -3
    ${EndIf}
    ${If} $0 = 0
        ${If} $5 <> 0
            System::Call 'kernel32::WaitForSingleObject(p r5, i 10000) i .r4'
            System::Call 'kernel32::CloseHandle(p r5)'
        ${EndIf}
        Return
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r3'   ; SYNCHRONIZE
    ${If} $1 <> 0
        DetailPrint "Closing Kov"
        SendMessage $1 ${WM_SYSCOMMAND} 0xF060 0 /TIMEOUT=5000   ; SC_CLOSE
    ${EndIf}
    System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i .r4'
    System::Call 'kernel32::CloseHandle(p r3)'
    ${IfThen} $4 = 0 ${|} Goto again ${|}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kov is still running. Close Kov, then choose Retry." \
        /SD IDCANCEL IDRETRY again
    Abort "Kov is still running."
FunctionEnd
!macroend
!insertmacro CLOSE_KOV ""
!insertmacro CLOSE_KOV "un."

; A program file that a program still holds (the hook library stays mapped
; in a program until that program lets it go, this one included) is moved
; out of the way, into the temporary folder where it can, and goes at the
; next start of Windows: the new file takes its name now.
!macro REMOVE_PROGRAM name
    Delete "$INSTDIR\${name}"
    ${If} ${FileExists} "$INSTDIR\${name}"
        GetTempFileName $2
        Delete $2
        ClearErrors
        Rename "$INSTDIR\${name}" $2
        ${If} ${Errors}
            GetTempFileName $2 "$INSTDIR"
            Delete $2
            Rename "$INSTDIR\${name}" $2
        ${EndIf}
        Delete /REBOOTOK $2
    ${EndIf}
!macroend
!macro REMOVE_PROGRAMS
    !insertmacro REMOVE_PROGRAM kovw.exe
    !insertmacro REMOVE_PROGRAM kovhook.dll
    !insertmacro REMOVE_PROGRAM kovw64.exe
    !insertmacro REMOVE_PROGRAM kovhook64.dll
!macroend

Function .onInit
    SetShellVarContext current
    ${If} $INSTDIR == ""
        ; The user's own program folder (Windows 7 and later), else Program Files.
        GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$PROGRAMFILES\Kov"
        ${Else}
            StrCpy $INSTDIR "$INSTDIR\Kov"
        ${EndIf}
    ${EndIf}
    StrCpy $Controller "kovw.exe"
    ${IfThen} ${RunningX64} ${|} StrCpy $Controller "kovw64.exe" ${|}
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Function StartKov
    Exec '"$INSTDIR\$Controller"'
FunctionEnd

Section "Kov" SecKov
    SectionIn RO
    Call CloseKov
    SetOutPath "$INSTDIR"
    !insertmacro REMOVE_PROGRAMS
    File "${FILES}\kovw.exe" "${FILES}\kovhook.dll"
    ${If} ${RunningX64}
        File "${FILES}\kovw64.exe" "${FILES}\kovhook64.dll"
    ${EndIf}
    File "${FILES}\readme.kov" "${FILES}\HISTORY.DOC" "${FILES}\LICENCE.TXT"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\$Controller"
    Delete "$SMSTARTUP\${SHORTCUT}"   ; made again below if still wanted

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Kov"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Kov developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\$Controller"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start Kov when Windows starts" SecStartup
    CreateShortcut "$SMSTARTUP\${SHORTCUT}" "$INSTDIR\$Controller"
SectionEnd

Section "Uninstall"
    Call un.CloseKov
    Delete "$SMPROGRAMS\${SHORTCUT}"
    Delete "$SMSTARTUP\${SHORTCUT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    !insertmacro REMOVE_PROGRAMS
    Delete "$INSTDIR\readme.kov"
    Delete "$INSTDIR\HISTORY.DOC"
    Delete "$INSTDIR\LICENCE.TXT"
    Delete "$INSTDIR\uninstall.exe"
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your Kov settings (kovopt.ini and kovxcept.ini) for a later install?" \
        /SD IDYES IDYES keep
    ; With them go the copies a save leaves when it is cut off.
    Delete "$INSTDIR\kovopt.ini"
    Delete "$INSTDIR\kovopt.new"
    Delete "$INSTDIR\kovxcept.ini"
    Delete "$INSTDIR\kovxcept.new"
    keep:
    RMDir "$INSTDIR"
SectionEnd
