#include "screen_texts.h"

#include <string_view>

namespace velmo {

namespace {

using Table = std::array<std::string, kTextCount>;

struct Row {
    const char* name;
    const char* english;
    const char* japanese;
};

constexpr Row kRows[] = {
#define VELMO_SCREEN_TEXT(id, english, japanese) {#id, english, japanese},
#include "screen_text_rows.inc"
#undef VELMO_SCREEN_TEXT
};

constexpr bool everyTextFilled() {
    for (const Row& row : kRows)
        if (std::string_view(row.english).empty() || std::string_view(row.japanese).empty())
            return false;
    return true;
}
static_assert(std::size(kRows) == kTextCount);
static_assert(everyTextFilled(), "every identifier needs a text in both languages");

Table makeTable(const char* Row::*column) {
    Table table;
    for (std::size_t i = 0; i < kTextCount; ++i)
        table[i] = kRows[i].*column;
    return table;
}

const Table& englishTable() {
    static const Table table = makeTable(&Row::english);
    return table;
}

const Table& secondLanguageTable() {
    static const Table table = makeTable(&Row::japanese);
    return table;
}

} // namespace

const std::string& EnglishText(TextId id) {
    return englishTable()[static_cast<std::size_t>(id)];
}

const std::string& SecondLanguageText(TextId id) {
    return secondLanguageTable()[static_cast<std::size_t>(id)];
}

const ScreenTexts& EnglishTexts() {
    static const ScreenTexts texts = [] {
        ScreenTexts english;
        english.LoadEnglishTexts();
        return english;
    }();
    return texts;
}

const char* TextIdName(TextId id) {
    return kRows[static_cast<std::size_t>(id)].name;
}

void ScreenTexts::LoadEnglishTexts() {
    table_ = englishTable();
}

void ScreenTexts::LoadSecondLanguageTexts() {
    table_ = secondLanguageTable();
}

void ScreenTexts::SelectScreenTexts(std::int16_t selector) {
    if (selector == 1)
        LoadEnglishTexts();
    else if (selector == 2)
        LoadSecondLanguageTexts();
}

std::string FillIn(const std::string& pattern, const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < values.size()) {
                out += values[n];
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace velmo
