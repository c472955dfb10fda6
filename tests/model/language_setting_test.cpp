#include "model/language_setting.h"
#include "model/settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(LanguageSetting, DesktopLocaleChoosesJapaneseOnlyForJapanese) {
    const struct {
        const char* locale;
        std::int16_t selector;
    } cases[] = {
        {"ja_JP.UTF-8", kJapaneseSelector},
        {"ja_JP", kJapaneseSelector},
        {"ja-JP", kJapaneseSelector},
        {"JA_jp.eucJP", kJapaneseSelector},
        {"ja", kJapaneseSelector},
        {"ja@x", kJapaneseSelector},
        {"en_GB.UTF-8", kEnglishSelector},
        {"C", kEnglishSelector},
        {"C.UTF-8", kEnglishSelector},
        {"POSIX", kEnglishSelector},
        {"de_DE", kEnglishSelector},
        {"jav_ID", kEnglishSelector},
        {"", kEnglishSelector},
        {"zh_CN.UTF-8", kEnglishSelector},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LanguageSelectorForLocale(c.locale), c.selector) << c.locale;
}

TEST(LanguageSetting, AChoiceIsReadBackAndTheSettingsFileIsNotTouched) {
    test::TempDir dir;
    EXPECT_EQ(ReadLanguageSetting(dir.dir()), std::nullopt);
    test::WriteText(dir.file(kSettingsFileName), "six lines\r\n");
    for (const std::int16_t selector : {kJapaneseSelector, kEnglishSelector}) {
        ASSERT_TRUE(WriteLanguageSetting(dir.dir(), selector));
        EXPECT_EQ(ReadLanguageSetting(dir.dir()), selector);
    }
    EXPECT_EQ(test::ReadText(dir.file(kLanguageFileName)), "en\n");
    EXPECT_EQ(test::ReadText(dir.file(kSettingsFileName)), "six lines\r\n");
    EXPECT_FALSE(WriteLanguageSetting(dir.dir(), 3));
    EXPECT_EQ(ReadLanguageSetting(dir.dir()), kEnglishSelector);
}

TEST(LanguageSetting, AnUnknownOrDamagedFileLeavesTheChoiceToTheDesktop) {
    const struct {
        std::string content;
        std::optional<std::int16_t> read;
    } cases[] = {
        {"ja\r\n", kJapaneseSelector},
        {"  en  ", kEnglishSelector},
        {"", std::nullopt},
        {"fr\n", std::nullopt},
        {"jaja\n", std::nullopt},
        {std::string(100, 'j'), std::nullopt},
        {std::string("ja\0\n", 4), std::nullopt},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        test::WriteText(dir.file(kLanguageFileName), c.content);
        EXPECT_EQ(ReadLanguageSetting(dir.dir()), c.read) << c.content;
    }
}

} // namespace
} // namespace velmo
