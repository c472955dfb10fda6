#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// Every caption (Text...) and message (Msg...) the program shows, by identifier.
enum class TextId {
    TextMenuFile,
    TextMenuHelp,
    TextAboutProduct,
    TextAboutCompany,
    TextNew,
    TextOpen,
    TextSave,
    TextSaveAs,
    TextExit,
    TextBasicSchedule,
    TextAdvanceSchedule,
    TextDetailOfAdvanceSchedule,
    TextAdd,
    TextModify,
    TextRemove,
    TextMoveUp,
    TextMoveDown,
    TextFileName,
    TextPlayTimes,
    TextVolume,
    TextStartDay,
    TextStopDay,
    TextWeekDay,
    TextProductName,
    TextScheduleFileEditor,
    TextFileEdit,
    TextBrowse,
    TextOK,
    TextCopyTo,
    TextCancel,
    TextDefault,
    TextDateSetup,
    TextYear,
    TextMonth,
    TextDay,
    TextSunday,
    TextMonday,
    TextTuesday,
    TextWednesday,
    TextThursday,
    TextFriday,
    TextSaturday,
    TextAllDay,
    TextTimeSetup,
    TextStartTime,
    TextStopTime,
    TextHour,
    TextMinute,
    TextSecond,
    TextAdvanceScheduleEditor,
    TextSoftwareVersion,
    TextScheduleKernelVersion,
    MsgTitle,
    MsgProgramRunning,
    MsgSystemInfoError,
    MsgFileNotFound,
    MsgNoSchedule,
    MsgCantSave,
    MsgNoFileInAdvance,
    MsgTooManySchedules,
    MsgFileExistsOverwrite,
    MsgTooManyBasic,
    MsgDateSetupError,
    MsgTimeSetupError,
    MsgLinkError,
    MsgFileNameError,
    MsgFileCopied,
    MsgFileCopyError,
    MsgFileSaveError,
    MsgFileReadError,
    Count
};

constexpr std::size_t kTextCount = static_cast<std::size_t>(TextId::Count);

// The active screen-text table. Empty until SelectScreenTexts fills it.
class ScreenTexts {
public:
    // 1: English, 2: second language, anything else: every entry stays empty.
    void SelectScreenTexts(std::int16_t selector);
    void LoadEnglishTexts();
    void LoadSecondLanguageTexts();

    const std::string& text(TextId id) const { return table_[static_cast<std::size_t>(id)]; }

private:
    std::array<std::string, kTextCount> table_{};
};

// A text of the English table, for the messages shown before the table is filled.
const std::string& EnglishText(TextId id);
const std::string& SecondLanguageText(TextId id);

// The identifier as written in code, e.g. "TextMenuFile".
const char* TextIdName(TextId id);

} // namespace velmo
