#include "rules_adapter.h"

#include "texts/screen_texts.h"
#include "ui/main/main_rules.h"

namespace velmo::rules {

std::string FormatFileRow(const FileEntry& entry) {
    return velmo::FormatFileRow(entry);
}

std::string FormatAdvanceRow(const AdvanceEntry& entry) {
    return velmo::FormatAdvanceRow(entry);
}

std::optional<std::string> ScheduleSaveRefusal(const Schedule& schedule) {
    static const ScreenTexts english = [] {
        ScreenTexts texts;
        texts.LoadEnglishTexts();
        return texts;
    }();
    return velmo::ScheduleSaveRefusal(schedule, english);
}

} // namespace velmo::rules
