#include "screen_texts.h"

namespace velmo {

namespace {

// Japanese. Entries the device's documentation keeps in English stay English here too.
const std::array<std::string, kTextCount>& secondLanguageTable() {
    static const std::array<std::string, kTextCount> table = {
        "ファイル(&F)",                    // TextMenuFile
        "ヘルプ(&H)",                      // TextMenuHelp
        "Velmo スケジュールジェネレータについて...", // TextAboutProduct
        "会社情報...",                     // TextAboutCompany
        "新規",                            // TextNew
        "開く",                            // TextOpen
        "保存",                            // TextSave
        "名前を付けて保存...",             // TextSaveAs
        "終了",                            // TextExit
        "基本スケジュール",                // TextBasicSchedule
        "詳細スケジュール",                // TextAdvanceSchedule
        "詳細スケジュールの内容",          // TextDetailOfAdvanceSchedule
        "追加",                            // TextAdd
        "変更",                            // TextModify
        "削除",                            // TextRemove
        "上へ",                            // TextMoveUp
        "下へ",                            // TextMoveDown
        "ファイル名",                      // TextFileName
        "再生回数",                        // TextPlayTimes
        "音量",                            // TextVolume
        "開始日",                          // TextStartDay
        "終了日",                          // TextStopDay
        "曜日",                            // TextWeekDay
        "Velmo スケジュールジェネレータ",  // TextProductName
        "スケジュールファイル編集",        // TextScheduleFileEditor
        "ファイル編集",                    // TextFileEdit
        "参照",                            // TextBrowse
        "OK",                              // TextOK
        "Copy to...",                      // TextCopyTo
        "キャンセル",                      // TextCancel
        "標準",                            // TextDefault
        "日付設定",                        // TextDateSetup
        "年",                              // TextYear
        "月",                              // TextMonth
        "日",                              // TextDay
        "日曜日",                          // TextSunday
        "月曜日",                          // TextMonday
        "火曜日",                          // TextTuesday
        "水曜日",                          // TextWednesday
        "木曜日",                          // TextThursday
        "金曜日",                          // TextFriday
        "土曜日",                          // TextSaturday
        "毎日",                            // TextAllDay
        "時刻設定",                        // TextTimeSetup
        "開始時刻",                        // TextStartTime
        "終了時刻",                        // TextStopTime
        "時",                              // TextHour
        "分",                              // TextMinute
        "秒",                              // TextSecond
        "詳細スケジュール編集",            // TextAdvanceScheduleEditor
        "Software Version",                // TextSoftwareVersion
        "Schedule Kernel Version",         // TextScheduleKernelVersion
        "Message",                         // MsgTitle
        "プログラムは既に実行中です!!",    // MsgProgramRunning
        "システム情報エラー!!",            // MsgSystemInfoError
        "ファイルが見つかりません!",       // MsgFileNotFound
        "スケジュールがありません!",       // MsgNoSchedule
        "保存できません!",                 // MsgCantSave
        "詳細スケジュールにファイルがありません! 保存できません!", // MsgNoFileInAdvance
        "スケジュールが多すぎます!!",      // MsgTooManySchedules
        "ファイルは既に存在します。上書きしますか?", // MsgFileExistsOverwrite
        "基本スケジュールが多すぎます!!",  // MsgTooManyBasic
        "日付設定エラー!",                 // MsgDateSetupError
        "時刻設定エラー!",                 // MsgTimeSetupError
        "リンクエラー",                    // MsgLinkError
        "ファイル名エラー!",               // MsgFileNameError
        "File Copied",                     // MsgFileCopied
        "File Copy Error!",                // MsgFileCopyError
        "ファイル保存エラー!",             // MsgFileSaveError
        "ファイル読み込みエラー!",         // MsgFileReadError
    };
    return table;
}

} // namespace

const std::string& SecondLanguageText(TextId id) { return secondLanguageTable()[static_cast<std::size_t>(id)]; }

void ScreenTexts::LoadSecondLanguageTexts() { table_ = secondLanguageTable(); }

} // namespace velmo
