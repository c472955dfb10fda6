#include "screen_texts.h"

namespace velmo {

namespace {

using Table = std::array<std::string, kTextCount>;

// Indexed by TextId; the order follows the enumeration.
const Table& englishTable() {
    static const Table table = {
        "&File", // TextMenuFile
        "&Help", // TextMenuHelp
        "About Velmo Schedule Generator...", // TextAboutProduct
        "About Company...", // TextAboutCompany
        "New", // TextNew
        "Open", // TextOpen
        "Save", // TextSave
        "Save As...", // TextSaveAs
        "Exit", // TextExit
        "Basic Schedule", // TextBasicSchedule
        "Advance Schedule", // TextAdvanceSchedule
        "Detail of Advance Schedule", // TextDetailOfAdvanceSchedule
        "Add", // TextAdd
        "Modify", // TextModify
        "Remove", // TextRemove
        "Move Up", // TextMoveUp
        "Move Down", // TextMoveDown
        "File Name", // TextFileName
        "Play Times", // TextPlayTimes
        "Volume", // TextVolume
        "Start Day", // TextStartDay
        "Stop Day", // TextStopDay
        "Week Day", // TextWeekDay
        "Velmo Schedule Generator", // TextProductName
        "Schedule File Editor", // TextScheduleFileEditor
        "File Edit", // TextFileEdit
        "Browse", // TextBrowse
        "OK", // TextOK
        "Copy to...", // TextCopyTo
        "Cancel", // TextCancel
        "Default", // TextDefault
        "Date Setup", // TextDateSetup
        "Year", // TextYear
        "Month", // TextMonth
        "Day", // TextDay
        "Sunday", // TextSunday
        "Monday", // TextMonday
        "Tuesday", // TextTuesday
        "Wednesday", // TextWednesday
        "Thursday", // TextThursday
        "Friday", // TextFriday
        "Saturday", // TextSaturday
        "All Day", // TextAllDay
        "Time Setup", // TextTimeSetup
        "Start Time", // TextStartTime
        "Stop Time", // TextStopTime
        "Hour", // TextHour
        "Minute", // TextMinute
        "Second", // TextSecond
        "Advance Schecule Editor", // TextAdvanceScheduleEditor
        "Software Version", // TextSoftwareVersion
        "Schedule Kernel Version", // TextScheduleKernelVersion
        "Message", // MsgTitle
        "The program is running now!!", // MsgProgramRunning
        "System Information Error!!", // MsgSystemInfoError
        "File Not Found!", // MsgFileNotFound
        "No any schedule!", // MsgNoSchedule
        "Can't save!", // MsgCantSave
        "No any schedule file in advance schedule! Can't Save!", // MsgNoFileInAdvance
        "Too many schedules!!", // MsgTooManySchedules
        "File Already Existed, Overwrite?", // MsgFileExistsOverwrite
        "Too many basic schedules!!", // MsgTooManyBasic
        "Date Setup Error!", // MsgDateSetupError
        "Time Setup Error!", // MsgTimeSetupError
        "Link error", // MsgLinkError
        "File Name Error!", // MsgFileNameError
        "File Copied", // MsgFileCopied
        "File Copy Error!", // MsgFileCopyError
        "File Save Error!", // MsgFileSaveError
        "File Read Error!", // MsgFileReadError
    };
    return table;
}

const std::array<const char*, kTextCount> kNames = {
    "TextMenuFile",
    "TextMenuHelp",
    "TextAboutProduct",
    "TextAboutCompany",
    "TextNew",
    "TextOpen",
    "TextSave",
    "TextSaveAs",
    "TextExit",
    "TextBasicSchedule",
    "TextAdvanceSchedule",
    "TextDetailOfAdvanceSchedule",
    "TextAdd",
    "TextModify",
    "TextRemove",
    "TextMoveUp",
    "TextMoveDown",
    "TextFileName",
    "TextPlayTimes",
    "TextVolume",
    "TextStartDay",
    "TextStopDay",
    "TextWeekDay",
    "TextProductName",
    "TextScheduleFileEditor",
    "TextFileEdit",
    "TextBrowse",
    "TextOK",
    "TextCopyTo",
    "TextCancel",
    "TextDefault",
    "TextDateSetup",
    "TextYear",
    "TextMonth",
    "TextDay",
    "TextSunday",
    "TextMonday",
    "TextTuesday",
    "TextWednesday",
    "TextThursday",
    "TextFriday",
    "TextSaturday",
    "TextAllDay",
    "TextTimeSetup",
    "TextStartTime",
    "TextStopTime",
    "TextHour",
    "TextMinute",
    "TextSecond",
    "TextAdvanceScheduleEditor",
    "TextSoftwareVersion",
    "TextScheduleKernelVersion",
    "MsgTitle",
    "MsgProgramRunning",
    "MsgSystemInfoError",
    "MsgFileNotFound",
    "MsgNoSchedule",
    "MsgCantSave",
    "MsgNoFileInAdvance",
    "MsgTooManySchedules",
    "MsgFileExistsOverwrite",
    "MsgTooManyBasic",
    "MsgDateSetupError",
    "MsgTimeSetupError",
    "MsgLinkError",
    "MsgFileNameError",
    "MsgFileCopied",
    "MsgFileCopyError",
    "MsgFileSaveError",
    "MsgFileReadError",
};

} // namespace

const std::string& EnglishText(TextId id) { return englishTable()[static_cast<std::size_t>(id)]; }

const char* TextIdName(TextId id) { return kNames[static_cast<std::size_t>(id)]; }

void ScreenTexts::LoadEnglishTexts() { table_ = englishTable(); }

void ScreenTexts::SelectScreenTexts(std::int16_t selector) {
    if (selector == 1)
        LoadEnglishTexts();
    else if (selector == 2)
        LoadSecondLanguageTexts();
}

} // namespace velmo
