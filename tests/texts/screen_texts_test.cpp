#include "texts/screen_texts.h"

#include <gtest/gtest.h>
#include <set>

using namespace velmo;

TEST(ScreenTexts, EmptyUntilSelected) {
    ScreenTexts texts;
    EXPECT_EQ(texts.text(TextId::TextMenuFile), "");
}

TEST(ScreenTexts, EnglishTableHoldsTheProgramsOwnTexts) {
    ScreenTexts texts;
    texts.SelectScreenTexts(1);
    EXPECT_EQ(texts.text(TextId::TextMenuFile), "&File");
    EXPECT_EQ(texts.text(TextId::TextSaveAs), "Save As...");
    EXPECT_EQ(texts.text(TextId::TextStartDay), "Start Day");
    EXPECT_EQ(texts.text(TextId::TextAdvanceScheduleEditor), "Advance Schecule Editor");
    EXPECT_EQ(texts.text(TextId::MsgNoFileInAdvance),
              "No any schedule file in advance schedule! Can't Save!");
    EXPECT_EQ(texts.text(TextId::MsgTooManyBasic), "Too many basic schedules!!");
    EXPECT_EQ(texts.text(TextId::MsgFileSaveError), "File Save Error!");
    EXPECT_EQ(texts.text(TextId::MsgFileReadError), "File Read Error!");
    for (std::size_t i = 0; i < kTextCount; ++i)
        EXPECT_FALSE(texts.text(static_cast<TextId>(i)).empty()) << TextIdName(static_cast<TextId>(i));
}

TEST(ScreenTexts, SecondLanguageIsCompleteAndKeepsTheNamedEnglishEntries) {
    ScreenTexts texts;
    texts.SelectScreenTexts(2);
    const std::set<TextId> english = {TextId::TextOK, TextId::TextCopyTo, TextId::TextSoftwareVersion,
                                      TextId::TextScheduleKernelVersion, TextId::MsgTitle,
                                      TextId::MsgFileCopied, TextId::MsgFileCopyError,
                                      // Each language is offered in its own name.
                                      TextId::TextLanguageEnglish, TextId::TextLanguageJapanese};
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<TextId>(i);
        ASSERT_FALSE(texts.text(id).empty()) << TextIdName(id);
        if (english.count(id))
            EXPECT_EQ(texts.text(id), EnglishText(id)) << TextIdName(id);
        else
            EXPECT_NE(texts.text(id), EnglishText(id)) << TextIdName(id);
    }
}

TEST(ScreenTexts, OtherSelectorsLeaveEveryEntryEmpty) {
    for (std::int16_t selector : {0, 3, -1}) {
        ScreenTexts texts;
        texts.SelectScreenTexts(selector);
        for (std::size_t i = 0; i < kTextCount; ++i)
            EXPECT_TRUE(texts.text(static_cast<TextId>(i)).empty());
    }
}

namespace {

// The %1..%9 a text fills in, in order of their numbers.
std::multiset<char> placeholdersOf(const std::string& text) {
    std::multiset<char> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
            found.insert(text[i + 1]);
    return found;
}

std::size_t accessKeysOf(const std::string& text) {
    std::size_t keys = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '&' && text[i + 1] != '&' && text[i + 1] != ' ')
            ++keys;
    return keys;
}

bool validUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80         ? 1
                                   : (lead >> 5) == 6  ? 2
                                   : (lead >> 4) == 14 ? 3
                                   : (lead >> 3) == 30 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2)
                return false;
        i += length;
    }
    return true;
}

} // namespace

// What the table's form cannot catch: a translation that drops or adds a value to fill in, loses
// a menu's access key, or is not text at all.
TEST(ScreenTexts, BothLanguagesFillInTheSameValuesAndKeepTheirAccessKeys) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<TextId>(i);
        const std::string& english = EnglishText(id);
        const std::string& japanese = SecondLanguageText(id);
        EXPECT_EQ(placeholdersOf(english), placeholdersOf(japanese)) << TextIdName(id);
        EXPECT_EQ(accessKeysOf(english), accessKeysOf(japanese)) << TextIdName(id);
        EXPECT_LE(accessKeysOf(japanese), 1u) << TextIdName(id);
        EXPECT_TRUE(validUtf8(english) && validUtf8(japanese)) << TextIdName(id);
    }
}
