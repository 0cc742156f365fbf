; The Windows setup program of the suite, made by scripts/package.sh with makensis (NSIS 3).
;
; package.sh lays out the delivered tree (packaging/assemble.py) and passes, with -D,
; RELEASE: the generated include that defines VERSION, YEAR, PRODUCT, PUBLISHER (from
; packaging/release.conf), ICON (the launcher's icon, for the setup program and the
; uninstaller), SIZE_KB (the installed size), OUTFILE, and the macros VelmoInstallFiles and
; VelmoRemovePrograms (the tree's files, from packaging/programs.tsv).
;
; Where it installs: a folder of the user's own, "%LOCALAPPDATA%\Programs\Velmo Softwares"
; by default, without administrator rights. The tools write beside themselves (settings and
; journals in Tools\softwareDatas, backups in Tools\sauvegardes, update files in
; Tools\misesAJour) and run without administrator rights when started by themselves; below
; "Program Files" a normal user may not write, so they would fail there.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmo_Softwares"
!define UNINSTALLER "Desinstaller.exe"
!define LAUNCHER "Velmo_Menu.exe"

!include "MUI2.nsh"
!include "${RELEASE}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velmo Softwares"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Lancer ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Lire LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_FRENCH} "LegalCopyright" "© ${YEAR} ${PUBLISHER}"

Section "${PRODUCT}" SectionPrograms
  SectionIn RO
  !insertmacro VelmoInstallFiles
  ; The users' data folders: made empty, and left as they are when already there (a
  ; reinstallation or an update keeps the settings, backups and update files).
  CreateDirectory "$INSTDIR\Tools\softwareDatas"
  CreateDirectory "$INSTDIR\Tools\sauvegardes"
  CreateDirectory "$INSTDIR\Tools\misesAJour"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; A shortcut's working folder is the output folder: the launcher must run in its own.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${LAUNCHER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Désinstaller ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER},0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Raccourci sur le bureau" SectionDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${LAUNCHER}"
SectionEnd

; The launcher asks for administrator rights in its manifest, which CreateProcess (what
; MUI_FINISHPAGE_RUN uses) refuses from this unelevated program; the shell asks the user.
Function StartLauncher
  SetOutPath "$INSTDIR"
  ExecShell "open" "$INSTDIR\${LAUNCHER}"
FunctionEnd

Section "Uninstall"
  ; The user's data stays unless the user says otherwise; a silent uninstall keeps it.
  StrCpy $0 "keep"
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Supprimer aussi vos données ?$\r$\n$\r$\nVos réglages et journaux (Tools\softwareDatas), vos sauvegardes du livre d'or (Tools\sauvegardes) et les fichiers de mise à jour (Tools\misesAJour) seront effacés.$\r$\n$\r$\nRépondez Non pour les garder dans $INSTDIR." \
    /SD IDNO IDNO programs
  StrCpy $0 "remove"
programs:

  !insertmacro VelmoRemovePrograms
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Désinstaller ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"

  StrCmp $0 "remove" 0 data_done
    RMDir /r "$INSTDIR\Tools\softwareDatas"
    RMDir /r "$INSTDIR\Tools\sauvegardes"
    RMDir /r "$INSTDIR\Tools\misesAJour"
data_done:
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only empty folders go: kept data keeps Tools and the installation folder.
  RMDir "$INSTDIR\Tools"
  RMDir "$INSTDIR"
SectionEnd
