; The setup program of Pardwell, one script for both kinds:
;   makensis -DARCH=x64|x86 -DVERSION=1.0.0.0 -DBIN_DIR=<folder of Pardwell.exe
;            and Gorsemere.dll> -DICON=<app_icon.ico> -DOUT_FILE=<setup.exe>
;            -DAPP_KEY=<the program's key under HKCU> -DMAKER_KEY=<its parent>
;            -DHOME_PAGE=<url> pardwell.nsi
; The build passes the version and the product's facts from the one place
; each has (CMakeLists.txt, res/product_info.h).
; x64 builds a 64-bit setup with the x64 pair, x86 a 32-bit one with the x86
; pair. Either installs for the current user only, without administrator
; rights. Silent: /S, with /NOINTEGRATION, /NOPATH and /D=<folder> (last,
; unquoted) for the folder; the uninstaller takes /S and /REMOVESETTINGS.

Unicode true
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define KIND_NAME "64-bit"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define KIND_NAME "32-bit"
!else
  !error "ARCH must be x64 or x86"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "Pardwell"
!define PUBLISHER "Quillfen"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pardwell"
!define UNINSTALLER "uninstall.exe"
; Gorsemere's class, type library and interface, as shellext/gorsemere.idl
; declares them.
!define CLSID "{652C06C2-4FC0-42E0-9792-36126E42C712}"
!define LIBID "{B0B1A08D-4DED-4244-B82F-674C87941331}"
!define IID "{6BDBC567-D2FC-4D9B-8EBE-4AFF5E8E0B9F}"
; Predefined keys as pointer-sized handles: sign-extended on 64-bit.
!define HKCR_HANDLE -2147483648
!define HKCU_HANDLE -2147483647
!define KEY_ALL_ACCESS 0xF003F
; The user's own environment, read by every program started after a change
; is broadcast; and the value in the Uninstall entry that remembers the Path
; entry this setup added, so that only that one is ever removed.
!define ENV_KEY "Environment"
!define PATH_ENTRY_VALUE "PathEntry"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} (${KIND_NAME}) Setup"
UninstallCaption "${PRODUCT} ${VERSION} (${KIND_NAME}) Uninstall"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${KIND_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pardwell.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Runs `instruction` (RegDLL or UnRegDLL) on the installed Gorsemere.dll with
; HKEY_CLASSES_ROOT of this process pointing at HKCU\Software\Classes, the
; per-user half of the classes that Explorer reads. The library's own
; registrar writes through HKEY_CLASSES_ROOT, which for a user without
; administrator rights ends in the machine's half and fails; so redirected,
; it registers (or removes) the class, its type library and the handler keys
; for this user alone. The error flag is set when it failed.
!macro PerUserRegistration instruction
  StrCpy $1 1
  System::Call 'advapi32::RegCreateKeyExW(p ${HKCU_HANDLE}, w "Software\Classes", i 0, p 0, i 0, i ${KEY_ALL_ACCESS}, p 0, *p .R9, p 0) i .r0'
  ${If} $0 = 0
    System::Call 'advapi32::RegOverridePredefKey(p ${HKCR_HANDLE}, p R9) i .r0'
    ${If} $0 = 0
      System::Call 'oleaut32::OaEnablePerUserTLibRegistration()'
      ClearErrors
      ${instruction} "$INSTDIR\Gorsemere.dll"
      ${IfNot} ${Errors}
        StrCpy $1 0
      ${EndIf}
      System::Call 'advapi32::RegOverridePredefKey(p ${HKCR_HANDLE}, p 0)'
    ${EndIf}
    System::Call 'advapi32::RegCloseKey(p R9)'
  ${EndIf}
  ClearErrors
  ${If} $1 <> 0
    SetErrors
  ${EndIf}
!macroend

; What Gorsemere's registrar writes, removed from the per-user classes by
; name: the way out when the library cannot be loaded to undo it itself.
!macro RemoveGorsemereKeys
  DeleteRegKey HKCU "Software\Classes\CLSID\${CLSID}"
  DeleteRegKey HKCU "Software\Classes\Pardwell.ShellContextMenu.1"
  DeleteRegKey HKCU "Software\Classes\Pardwell.ShellContextMenu"
  DeleteRegKey HKCU "Software\Classes\*\ShellEx\ContextMenuHandlers\Pardwell"
  DeleteRegKey HKCU "Software\Classes\Folder\ShellEx\ContextMenuHandlers\Pardwell"
  DeleteRegKey HKCU "Software\Classes\TypeLib\${LIBID}"
  DeleteRegKey HKCU "Software\Classes\Interface\${IID}"
!macroend

; The parents exist in the per-user classes perhaps only because we put our
; keys there; emptied, they go too. A neighbour's key keeps them.
!macro RemoveEmptyParents
  DeleteRegKey /ifempty HKCU "Software\Classes\CLSID"
  DeleteRegKey /ifempty HKCU "Software\Classes\Interface"
  DeleteRegKey /ifempty HKCU "Software\Classes\TypeLib"
  DeleteRegKey /ifempty HKCU "Software\Classes\*\ShellEx\ContextMenuHandlers"
  DeleteRegKey /ifempty HKCU "Software\Classes\*\ShellEx"
  DeleteRegKey /ifempty HKCU "Software\Classes\*"
  DeleteRegKey /ifempty HKCU "Software\Classes\Folder\ShellEx\ContextMenuHandlers"
  DeleteRegKey /ifempty HKCU "Software\Classes\Folder\ShellEx"
  DeleteRegKey /ifempty HKCU "Software\Classes\Folder"
!macroend

; $R0 = the user's Path as stored (unexpanded), $R1 = its type (1 REG_SZ,
; 2 REG_EXPAND_SZ, 0 none). The error flag is set when the Path, with an
; entry added, might not fit in NSIS's strings: cut, it would cost the user
; the entries past the cut, so it is not touched then.
!macro ReadUserPath
  StrCpy $R0 ""
  StrCpy $R1 0
  StrCpy $R2 0
  ; RRF_RT_ANY | RRF_NOEXPAND: the type and size of whatever is there.
  System::Call 'advapi32::RegGetValueW(p ${HKCU_HANDLE}, w "${ENV_KEY}", w "Path", i 0x1000ffff, *i .R1, p 0, *i .R2) i .r0'
  ClearErrors
  ${If} $0 = 0
    IntOp $R2 $R2 / 2
    IntOp $R2 $R2 + 262
    ${If} $R2 >= ${NSIS_MAX_STRLEN}
    ${OrIf} $R1 < 1
    ${OrIf} $R1 > 2
      SetErrors
    ${Else}
      ReadRegStr $R0 HKCU "${ENV_KEY}" "Path"
      ClearErrors
    ${EndIf}
  ${Else}
    StrCpy $R1 0
  ${EndIf}
!macroend

; $R4 = $R0 without its entries naming the folder $R3 (with or without a
; final backslash, case ignored), every other entry and separator as it was;
; $R5 = how many went.
!macro PathWithout
  StrCpy $R4 ""
  StrCpy $R5 0
  StrCpy $R6 ""
  StrCpy $R7 0
  StrCpy $R9 0
  StrLen $R8 $R0
  ${Do}
    StrCpy $2 $R0 1 $R7
    ${If} $R7 >= $R8
    ${OrIf} $2 == ";"
      ${If} $R6 == $R3
      ${OrIf} $R6 == "$R3\"
        IntOp $R5 $R5 + 1
      ${Else}
        ${If} $R9 = 1
          StrCpy $R4 "$R4;"
        ${EndIf}
        StrCpy $R4 "$R4$R6"
        StrCpy $R9 1
      ${EndIf}
      StrCpy $R6 ""
      ${If} $R7 >= $R8
        ${ExitDo}
      ${EndIf}
    ${Else}
      StrCpy $R6 "$R6$2"
    ${EndIf}
    IntOp $R7 $R7 + 1
  ${Loop}
!macroend

; Writes $R0 as the user's Path in its type $R1 (a new one expandable, as
; Windows makes it), or removes an emptied one; then tells running programs.
!macro WriteUserPath
  ${If} $R0 == ""
    DeleteRegValue HKCU "${ENV_KEY}" "Path"
  ${ElseIf} $R1 = 1
    WriteRegStr HKCU "${ENV_KEY}" "Path" $R0
  ${Else}
    WriteRegExpandStr HKCU "${ENV_KEY}" "Path" $R0
  ${EndIf}
  ; As Windows' own environment dialog does: a program that does not answer
  ; for five seconds (SMTO_ABORTIFHUNG) holds nothing up.
  System::Call 'user32::SendMessageTimeoutW(p ${HWND_BROADCAST}, i ${WM_SETTINGCHANGE}, p 0, w "${ENV_KEY}", i 2, i 5000, *p .r2)'
!macroend

; Takes the entry this setup added out of the user's Path, if it added one.
!macro RemoveOurPathEntry
  ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "${PATH_ENTRY_VALUE}"
  ${If} $R3 != ""
    !insertmacro ReadUserPath
    ${IfNot} ${Errors}
      !insertmacro PathWithout
      ${If} $R5 > 0
        StrCpy $R0 $R4
        !insertmacro WriteUserPath
      ${EndIf}
    ${Else}
      DetailPrint "Your Path is too long to be changed safely here: remove $R3 from it yourself."
    ${EndIf}
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "${PATH_ENTRY_VALUE}"
  ${EndIf}
  ClearErrors
!macroend

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/Pardwell.exe"
  File "${BIN_DIR}/Gorsemere.dll"
  File "${BIN_DIR}/pardwell-cli.exe"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Pardwell.exe"

  ; Where Gorsemere finds the program and the Options dialog finds the
  ; library. Written whatever the choice below, so that a later switch in
  ; Options never uses the folder of an earlier install.
  WriteRegStr HKCU "${APP_KEY}" "InstallDir" "$INSTDIR"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${HOME_PAGE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pardwell.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Explorer integration" SecIntegration
  !insertmacro PerUserRegistration RegDLL
  ${If} ${Errors}
    DetailPrint "Gorsemere.dll could not be registered."
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "The Explorer menu could not be registered. You can switch it on later in the Options of ${PRODUCT}." \
      /SD IDOK
    SetErrorLevel 3
  ${EndIf}
SectionEnd

; pardwell-cli from any command prompt opened after the setup. An entry that
; is there already (an earlier install, or the user's own) is not added
; again, and only one this setup added is ever taken out.
Section "Add to PATH" SecPath
  !insertmacro ReadUserPath
  ${If} ${Errors}
    DetailPrint "Your Path is too long to be changed safely here: add $INSTDIR to it yourself."
  ${Else}
    StrCpy $R3 $INSTDIR
    !insertmacro PathWithout
    ${If} $R5 = 0
      ; A separator of its own even after a final one, so that taking the
      ; entry out gives back the Path exactly as it was.
      ${If} $R0 == ""
        StrCpy $R0 "$INSTDIR"
      ${Else}
        StrCpy $R0 "$R0;$INSTDIR"
      ${EndIf}
      !insertmacro WriteUserPath
      WriteRegStr HKCU "${UNINSTALL_KEY}" "${PATH_ENTRY_VALUE}" "$INSTDIR"
    ${EndIf}
  ${EndIf}
  ClearErrors
SectionEnd

; Left out on a new install over an old one, the Path entry of the old one goes.
Section "-Path left out"
  ${IfNot} ${SectionIsSelected} ${SecPath}
    !insertmacro RemoveOurPathEntry
  ${EndIf}
SectionEnd

; Left out on a new install over an old one, the menu of the old one goes.
Section "-Integration left out"
  ${IfNot} ${SectionIsSelected} ${SecIntegration}
    !insertmacro PerUserRegistration UnRegDLL
    !insertmacro RemoveEmptyParents
    ClearErrors
  ${EndIf}
SectionEnd

Section "un.${PRODUCT}" UnSecProgram
  SectionIn RO
  ; The integration first, while the library is still there to undo itself.
  ; Its own unregistration removes only its own kind's type library; the
  ; keys by name are the way out when it cannot run.
  SetErrors
  ${If} ${FileExists} "$INSTDIR\Gorsemere.dll"
    !insertmacro PerUserRegistration UnRegDLL
  ${EndIf}
  ${If} ${Errors}
    !insertmacro RemoveGorsemereKeys
  ${EndIf}
  !insertmacro RemoveEmptyParents

  !insertmacro RemoveOurPathEntry

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\Pardwell.exe"
  Delete "$INSTDIR\pardwell-cli.exe"
  ; Explorer may still hold the library it loaded for a menu. A library in
  ; use can still be moved: aside in the temporary folder, it no longer keeps
  ; the install folder, and it goes at the next restart where we may ask so.
  ClearErrors
  Delete "$INSTDIR\Gorsemere.dll"
  ${If} ${Errors}
    GetTempFileName $0
    Delete $0
    Rename "$INSTDIR\Gorsemere.dll" $0
    Delete /REBOOTOK $0
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The install folder is no setting of the user's; one that names another
  ; folder is not ours to remove.
  ReadRegStr $0 HKCU "${APP_KEY}" "InstallDir"
  ${If} $0 == $INSTDIR
    DeleteRegValue HKCU "${APP_KEY}" "InstallDir"
  ${EndIf}
  DeleteRegKey /ifempty HKCU "${APP_KEY}"
  DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
SectionEnd

Section /o "un.Remove my settings" UnSecSettings
  DeleteRegKey HKCU "${APP_KEY}"
  DeleteRegKey /ifempty HKCU "${MAKER_KEY}"
SectionEnd

; /NOINTEGRATION leaves the Explorer menu out, /NOPATH the Path entry, for a
; silent install.
Function .onInit
!if "${ARCH}" == "x86"
  ; 64-bit Explorer loads 64-bit extensions only: the menu would never show.
  ${If} ${RunningX64}
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 \
      "This is the setup of 32-bit ${PRODUCT}, and this Windows is 64-bit. Its Explorer cannot show the menu of 32-bit ${PRODUCT}: please install with Pardwell-Setup-x64.exe instead.$\n$\nInstall the 32-bit ${PRODUCT} anyway?" \
      /SD IDNO IDYES keep
    SetErrorLevel 2
    Quit
    keep:
  ${EndIf}
!endif
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOINTEGRATION" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecIntegration}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOPATH" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecPath}
  ${EndIf}
FunctionEnd

; /REMOVESETTINGS ticks "Remove my settings", for a silent uninstall.
Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd
