; Brindle's own parts of the Windows installer, included into CPack's NSIS script (see
; packaging/windows.cmake): the command-line page, the user's PATH, the "Brindle command prompt"
; shortcut, the .hex and .ihx file association, the removal of an earlier install and what the
; uninstaller clears away besides the files.

!include LogicLib.nsh
!include nsDialogs.nsh
!include WinMessages.nsh

!define BRINDLE_PROGID "Brindle.HexFile"
!define BRINDLE_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindle"

Var BrindleNoPath  ; "1" once the box "Add ... to my PATH" has been unticked
Var BrindlePathBox

; --- The command-line page, after the licence -------------------------------------------------

Function BrindleCommandLinePage
  !insertmacro MUI_HEADER_TEXT "Command line" "Using brindle-cli from a Command Prompt"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 40u "brindle-cli.exe works the board from a Command Prompt, a batch file or a Makefile. With the folder on your PATH it is found from any folder; the Start-menu entry $\"Brindle command prompt$\" opens one in your user folder either way."
  Pop $0
  ${NSD_CreateCheckbox} 0 48u 100% 12u "&Add the Brindle folder to my PATH (for my user account only)"
  Pop $BrindlePathBox
  ${If} $BrindleNoPath != "1"
    ${NSD_Check} $BrindlePathBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function BrindleCommandLinePageLeave
  ${NSD_GetState} $BrindlePathBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $BrindleNoPath ""
  ${Else}
    StrCpy $BrindleNoPath "1"
  ${EndIf}
FunctionEnd

; --- PATH ----------------------------------------------------------------------------------------

; Stack: a PATH value, then a folder on top. Leaves the value without any entry that names the
; folder (with or without a last backslash; case does not matter) and without empty entries.
!macro BrindlePathWithout un
Function ${un}BrindlePathWithout
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  StrCpy $R2 ""
  StrCpy $R3 ""
  StrCpy $R5 0
  ${Do}
    StrCpy $R4 $R0 1 $R5
    ${If} $R4 == ";"
    ${OrIf} $R4 == ""
      ${If} $R3 != ""
      ${AndIf} $R3 != $R1
      ${AndIf} $R3 != "$R1\"
        ${If} $R2 == ""
          StrCpy $R2 $R3
        ${Else}
          StrCpy $R2 "$R2;$R3"
        ${EndIf}
      ${EndIf}
      StrCpy $R3 ""
      ${If} $R4 == ""
        ${ExitDo}
      ${EndIf}
    ${Else}
      StrCpy $R3 "$R3$R4"
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
  StrCpy $R0 $R2
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro BrindlePathWithout ""
!insertmacro BrindlePathWithout "un."

; The user's own PATH (HKCU\Environment), read whole: $0 the value, $1 "ok", "none" where there
; is no such value, "long" where it is too long for the installer to hold and must be left alone.
!macro BrindleReadUserPath un
Function ${un}BrindleReadUserPath
  ClearErrors
  ReadRegStr $0 HKCU "Environment" "Path"
  StrCpy $1 "ok"
  ${If} ${Errors}
    StrCpy $1 "none"
    StrCpy $2 0
    ${Do}
      EnumRegValue $3 HKCU "Environment" $2
      ${If} $3 == ""
        ${ExitDo}
      ${EndIf}
      ${If} $3 == "Path"
        StrCpy $1 "long"
        ${ExitDo}
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro BrindleReadUserPath ""
!insertmacro BrindleReadUserPath "un."

Function BrindleAddToPath
  Call BrindleReadUserPath
  ${If} $1 == "long"
    DetailPrint "Your PATH is too long to change here: add $INSTDIR to it by hand."
    Return
  ${EndIf}
  Push $0
  Push $INSTDIR
  Call BrindlePathWithout
  Pop $0
  ${If} $0 == ""
    WriteRegExpandStr HKCU "Environment" "Path" "$INSTDIR"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" "$0;$INSTDIR"
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

Function un.BrindleRemoveFromPath
  Call un.BrindleReadUserPath
  ${IfThen} $1 != "ok" ${|} Return ${|}
  StrCpy $4 $0
  Push $0
  Push $INSTDIR
  Call un.BrindlePathWithout
  Pop $0
  ${IfThen} $0 == $4 ${|} Return ${|}
  ${If} $0 == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $0
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

; --- File association ----------------------------------------------------------------------------

; "Open with Brindle" for .hex and .ihx: offered beside whatever else opens them, and the
; default only where no program is.
!macro BrindleAssociate ext
  WriteRegStr SHCTX "Software\Classes\${ext}\OpenWithProgids" "${BRINDLE_PROGID}" ""
  ReadRegStr $0 HKCR "${ext}" ""
  ${If} $0 == ""
    WriteRegStr SHCTX "Software\Classes\${ext}" "" "${BRINDLE_PROGID}"
  ${EndIf}
!macroend

!macro BrindleDissociate ext
  DeleteRegValue SHCTX "Software\Classes\${ext}\OpenWithProgids" "${BRINDLE_PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${ext}\OpenWithProgids"
  ReadRegStr $0 SHCTX "Software\Classes\${ext}" ""
  ${If} $0 == "${BRINDLE_PROGID}"
    DeleteRegValue SHCTX "Software\Classes\${ext}" ""
  ${EndIf}
  DeleteRegKey /ifempty SHCTX "Software\Classes\${ext}"
!macroend

; --- Install and uninstall -----------------------------------------------------------------------

; Before any file is copied: an earlier install, in this folder or another, is removed first, its
; uninstaller included, so that none is left behind in a folder no longer used.
Function BrindleRemoveEarlierInstall
  ReadRegStr $0 SHCTX "${BRINDLE_UNINSTALL_KEY}" "UninstallString"
  ${IfThen} $0 == "" ${|} Return ${|}
  ; "C:\...\Uninstall.exe", quoted or not
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $0 $0 -1
  ${EndIf}
  ${IfNot} ${FileExists} $0
    DetailPrint "The earlier install's uninstaller $0 is gone; installing over its entries."
    Return
  ${EndIf}
  StrLen $2 "\Uninstall.exe"
  StrCpy $1 $0 -$2
  DetailPrint "Removing the earlier install in $1"
  ClearErrors
  ExecWait '"$0" /S _?=$1' $2
  ${If} ${Errors}
  ${OrIf} $2 != 0
    MessageBox MB_OK|MB_ICONSTOP "Brindle is installed in $1 and its uninstaller did not succeed (status $2). Remove it from Settings > Apps, then run this installer again." /SD IDOK
    Abort "The earlier install in $1 could not be removed."
  ${EndIf}
  ; Run where it lies, the uninstaller cannot remove itself or its folder.
  Delete $0
  RMDir $1
FunctionEnd

Function BrindleRegister
  WriteRegStr SHCTX "Software\Classes\${BRINDLE_PROGID}" "" "Intel HEX file"
  WriteRegStr SHCTX "Software\Classes\${BRINDLE_PROGID}\DefaultIcon" "" "$INSTDIR\brindle.exe,0"
  WriteRegStr SHCTX "Software\Classes\${BRINDLE_PROGID}\shell\open" "" "Open with Brindle"
  WriteRegStr SHCTX "Software\Classes\${BRINDLE_PROGID}\shell\open\command" "" '"$INSTDIR\brindle.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\Applications\brindle.exe" "FriendlyAppName" "Brindle"
  WriteRegStr SHCTX "Software\Classes\Applications\brindle.exe\SupportedTypes" ".hex" ""
  WriteRegStr SHCTX "Software\Classes\Applications\brindle.exe\SupportedTypes" ".ihx" ""
  WriteRegStr SHCTX "Software\Classes\Applications\brindle.exe\shell\open\command" "" '"$INSTDIR\brindle.exe" "%1"'
  !insertmacro BrindleAssociate ".hex"
  !insertmacro BrindleAssociate ".ihx"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  ${If} $BrindleNoPath != "1"
    Call BrindleAddToPath
  ${EndIf}
FunctionEnd

; Inside the Start-menu folder's creation. cmd strips the outer quotes of /K's command.
Function BrindleCreateShortcuts
  CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Brindle command prompt.lnk" "$SYSDIR\cmd.exe" \
    '/K "title Brindle command prompt & cd /d "%USERPROFILE%" & set "PATH=$INSTDIR;%PATH%" & brindle-cli --version"' \
    "$INSTDIR\brindle.exe" 0
FunctionEnd

; Before the uninstaller's own removals: what the installer wrote besides the files.
Function un.BrindleUnregister
  !insertmacro BrindleDissociate ".hex"
  !insertmacro BrindleDissociate ".ihx"
  DeleteRegKey SHCTX "Software\Classes\${BRINDLE_PROGID}"
  DeleteRegKey SHCTX "Software\Classes\Applications\brindle.exe"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  Call un.BrindleRemoveFromPath
  ; The key the installer keeps its folder in (the uninstaller's own entry names the Start-menu
  ; folder too), and the vendor's key around it, which holds nothing else.
  DeleteRegKey SHCTX "Software\${BRINDLE_VENDOR}\Brindle"
  DeleteRegKey /ifempty SHCTX "Software\${BRINDLE_VENDOR}"
FunctionEnd
