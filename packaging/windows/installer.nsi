; The Windows installer: the runnable folder build-windows/dist/ into Program Files, a Start menu
; entry, an uninstaller listed in Apps & features, and .vlm files opened by the editor.
; 64-bit installer, so it runs wherever the 64-bit program does (and under a 64-bit-only Wine).
;   makensis -DVERSION=1.0.0 -DDIST=.../dist -DICON=...ico -DOUTFILE=...-setup.exe installer.nsi
; The uninstaller keeps every schedule; the settings it removes only when the user says so (silently: kept).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Velmo Schedule Generator"
!define EDITOR "velmo-schedule-generator.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoScheduleGenerator"
!define PROGID "VelmoScheduleGenerator.Schedule"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Ticked unless the user clears it.
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EDITOR}"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunText)"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\licences"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(LicencesText)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString WelcomeText ${LANG_ENGLISH} "This installs ${PRODUCT} ${VERSION}, the editor of your media players' schedules.$\r$\n$\r$\nIt reads and converts media with FFmpeg and libjpeg-turbo, which are free software under the GNU Lesser General Public License 2.1 and their own licences; their texts are installed in the licences folder beside the program.$\r$\n$\r$\nClick Next to continue."
LangString WelcomeText ${LANG_JAPANESE} "${PRODUCT} ${VERSION} (メディアプレーヤーのスケジュールエディタ) をインストールします。$\r$\n$\r$\nメディアの読み取りと変換には FFmpeg と libjpeg-turbo を使います。これらは GNU Lesser General Public License 2.1 などのライセンスによるフリーソフトウェアで、ライセンス文はプログラムと同じ場所の licences フォルダに入ります。$\r$\n$\r$\n続けるには [次へ] をクリックしてください。"
LangString RunText ${LANG_ENGLISH} "Run ${PRODUCT}"
LangString RunText ${LANG_JAPANESE} "Velmo スケジュールジェネレータを起動する"
LangString LicencesText ${LANG_ENGLISH} "Show the licences of FFmpeg and libjpeg-turbo"
LangString LicencesText ${LANG_JAPANESE} "FFmpeg と libjpeg-turbo のライセンスを表示する"
LangString RemoveSettingsText ${LANG_ENGLISH} "Remove your ${PRODUCT} settings too?$\r$\n$\r$\nYour schedules are kept either way."
LangString RemoveSettingsText ${LANG_JAPANESE} "Velmo スケジュールジェネレータの設定も削除しますか?$\r$\n$\r$\nスケジュールはどちらの場合も残ります。"

Section "Install"
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${DIST}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0

  SetShellVarContext all
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EDITOR}"

  WriteRegStr HKLM "Software\Classes\.vlm" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "${PRODUCT} schedule"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${EDITOR},0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EDITOR}" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velmo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EDITOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Only what the installer put there: schedules and settings the user saved beside it stay.
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\licences"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\velmo-schedule-generator.exe"
  Delete "$INSTDIR\velmo-schedule.exe"
  Delete "$INSTDIR\ffmpeg.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ReadRegStr $0 HKLM "Software\Classes\.vlm" ""
  StrCmp $0 "${PROGID}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.vlm"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; The user's settings, only when asked; the folder goes only when nothing else (a schedule, an
  ; unsaved schedule's recovery) is left in it.
  SetShellVarContext current
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveSettingsText)" /SD IDNO IDNO keepSettings
    Delete "$APPDATA\velmo-schedule-generator\SystemInfo.txt"
    Delete "$APPDATA\velmo-schedule-generator\PublishInfo.txt"
    RMDir "$APPDATA\velmo-schedule-generator"
    Delete "$LOCALAPPDATA\velmo-schedule-generator\velmo-schedule-generator.lock"
    RMDir "$LOCALAPPDATA\velmo-schedule-generator"
  keepSettings:
SectionEnd
