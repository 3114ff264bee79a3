; The user's PATH (HKCU\Environment\Path), edited entry by entry.
;
; An NSIS string holds NSIS_MAX_STRLEN - 1 characters (1023 in the usual
; builds). ReadRegStr gives a longer value as "" with the error flag set, and
; every string operation cuts what does not fit without a word. So a value
; is only written back when it was read without an error and shorter than
; what a string holds, and a result that would not fit is never written:
; the PATH is then left as it is and the details say so.
;
;   Push FOLDER / Call EvmUserPathAdd / Pop RESULT
;     RESULT: "added" (the installer's to remove later), "present" (an entry
;     already names FOLDER), "kept" (PATH too long to edit whole, untouched)
;     or "failed" (the write was refused).
;   Push FOLDER / Call un.EvmUserPathRemove
;     removes every entry that names FOLDER, and nothing else.
;
; An entry names FOLDER when it is FOLDER up to case, surrounding quotes and
; trailing backslashes; an entry that merely contains it does not.

!include LogicLib.nsh
!include WinMessages.nsh

; The longest PATH read or written here. One character short of what a
; string holds: a value of exactly that length may be a longer one cut.
!define /math EVM_PATH_MAX ${NSIS_MAX_STRLEN} - 2

!macro EVM_USER_PATH_HELPERS UN
; Stack: ENTRY -> the form two entries are compared in.
Function ${UN}EvmPathEntryKey
  Exch $0
  Push $1
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $1 $0 1 -1
    ${If} $1 == '"'
      StrCpy $0 $0 -1
    ${EndIf}
  ${EndIf}
  ${Do}
    StrCpy $1 $0 1 -1
    ${If} $1 != "\"
    ${AndIf} $1 != "/"
      ${ExitDo}
    ${EndIf}
    StrCpy $0 $0 -1
  ${Loop}
  Pop $1
  Exch $0
FunctionEnd

; Stack: TEXT, FOLDER -> TEXT without the entries that name FOLDER, then
; how many there were. The other entries, empty ones too, keep their order
; and spelling, so removing what was appended gives back the text before.
Function ${UN}EvmPathWithout
  Exch $1
  Exch
  Exch $0
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
  Push $1
  Call ${UN}EvmPathEntryKey
  Pop $1
  StrCpy $2 ""
  StrCpy $3 0
  StrCpy $4 ""
  StrCpy $6 0
  StrCpy $8 0
  StrLen $9 $0
  ${Do}
    StrCpy $5 $0 1 $6
    ${If} $6 >= $9
    ${OrIf} $5 == ";"
      Push $4
      Call ${UN}EvmPathEntryKey
      Pop $7
      ${If} $7 == $1
        IntOp $3 $3 + 1
      ${ElseIf} $8 = 1
        StrCpy $2 "$2;$4"
      ${Else}
        StrCpy $2 $4
        StrCpy $8 1
      ${EndIf}
      StrCpy $4 ""
      ${If} $6 >= $9
        ${ExitDo}
      ${EndIf}
    ${Else}
      StrCpy $4 "$4$5"
    ${EndIf}
    IntOp $6 $6 + 1
  ${Loop}
  StrCpy $0 $2
  StrCpy $1 $3
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Exch $0
  Exch
  Exch $1
  Exch
FunctionEnd

; -> 1 when the user has a PATH value at all (readable or not), else 0.
Function ${UN}EvmUserPathExists
  Push $0
  Push $1
  Push $2
  StrCpy $0 0
  StrCpy $2 0
  ${Do}
    ClearErrors
    EnumRegValue $1 HKCU "Environment" $0
    ${If} ${Errors}
    ${OrIf} $1 == ""
      ${ExitDo}
    ${EndIf}
    ${If} $1 == "Path"
      StrCpy $2 1
      ${ExitDo}
    ${EndIf}
    IntOp $0 $0 + 1
  ${Loop}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Stack: -> the user's PATH, then "ok", "none" (no value) or "unreadable"
; (longer than EVM_PATH_MAX, or not text).
Function ${UN}EvmReadUserPath
  Push $0
  Push $1
  Push $2
  ClearErrors
  ReadRegStr $0 HKCU "Environment" "Path"
  StrLen $2 $0
  ${If} ${Errors}
  ${OrIf} $2 > ${EVM_PATH_MAX}
    StrCpy $0 ""
    Call ${UN}EvmUserPathExists
    Pop $2
    ${If} $2 = 1
      StrCpy $1 "unreadable"
    ${Else}
      StrCpy $1 "none"
    ${EndIf}
  ${Else}
    StrCpy $1 "ok"
  ${EndIf}
  Pop $2
  Exch $1
  Exch
  Exch $0
FunctionEnd
!macroend

!insertmacro EVM_USER_PATH_HELPERS ""
!insertmacro EVM_USER_PATH_HELPERS "un."

Function EvmUserPathAdd
  Exch $0
  Push $1
  Push $2
  Push $3
  Call EvmReadUserPath
  Pop $1
  Pop $2
  ${If} $2 == "unreadable"
    DetailPrint "Your PATH was left as it is: it is longer than the ${EVM_PATH_MAX} characters this installer can edit without losing any of it."
    DetailPrint "To run evmctl from any console, add this folder to your PATH by hand: $0"
    StrCpy $0 "kept"
    Goto done
  ${EndIf}
  Push $1
  Push $0
  Call EvmPathWithout
  Pop $2
  Pop $3
  ${If} $3 > 0
    DetailPrint "Already on your PATH: $0"
    StrCpy $0 "present"
    Goto done
  ${EndIf}
  ${If} $1 == ""
    StrCpy $2 $0
  ${Else}
    StrLen $2 $1
    StrLen $3 $0
    IntOp $2 $2 + $3
    IntOp $2 $2 + 1
    ${If} $2 > ${EVM_PATH_MAX}
      DetailPrint "Your PATH was left as it is: with this folder it would be longer than the ${EVM_PATH_MAX} characters this installer can write whole."
      DetailPrint "To run evmctl from any console, add this folder to your PATH by hand: $0"
      StrCpy $0 "kept"
      Goto done
    ${EndIf}
    StrCpy $2 "$1;$0"
  ${EndIf}
  ClearErrors
  WriteRegExpandStr HKCU "Environment" "Path" $2
  ${If} ${Errors}
    DetailPrint "Your PATH could not be changed; add this folder to it by hand: $0"
    StrCpy $0 "failed"
  ${Else}
    DetailPrint "Added to your PATH: $0"
    StrCpy $0 "added"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=500
  ${EndIf}
  done:
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

Function un.EvmUserPathRemove
  Exch $0
  Push $1
  Push $2
  Push $3
  Call un.EvmReadUserPath
  Pop $1
  Pop $2
  ${If} $2 == "unreadable"
    DetailPrint "Your PATH was left as it is: it is longer than the ${EVM_PATH_MAX} characters this uninstaller can edit without losing any of it."
    DetailPrint "Remove this folder from it by hand: $0"
    Goto done
  ${EndIf}
  Push $1
  Push $0
  Call un.EvmPathWithout
  Pop $2
  Pop $3
  ${If} $3 = 0
    Goto done
  ${EndIf}
  ClearErrors
  ; The installer made the value when there was none.
  ${If} $2 == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $2
  ${EndIf}
  ${If} ${Errors}
    DetailPrint "Your PATH could not be changed; remove this folder from it by hand: $0"
  ${Else}
    DetailPrint "Removed from your PATH: $0"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=500
  ${EndIf}
  done:
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
