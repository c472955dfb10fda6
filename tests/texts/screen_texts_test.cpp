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
    const std::set<TextId> english = {TextId::TextOK,
                                      TextId::TextCopyTo,
                                      TextId::TextSoftwareVersion,
                                      TextId::TextScheduleKernelVersion,
                                      TextId::MsgTitle,
                                      TextId::MsgFileCopied,
                                      TextId::MsgFileCopyError};
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
