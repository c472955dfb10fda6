#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// Every caption (Text...) and message (Msg...) the program shows, by identifier.
enum class TextId {
#define VELMO_SCREEN_TEXT(id, english, japanese) id,
#include "screen_text_rows.inc"
#undef VELMO_SCREEN_TEXT
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
// The English table, filled once, for reports in English (the command-line tool).
const ScreenTexts& EnglishTexts();

// The identifier as written in code, e.g. "TextMenuFile".
const char* TextIdName(TextId id);

// A screen text with %1, %2, ... replaced in one pass, so a value holding "%2" stays as it is.
std::string FillIn(const std::string& pattern, const std::vector<std::string>& values);

} // namespace velmo
