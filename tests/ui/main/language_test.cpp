// The language the editor speaks: the desktop's on a first start, the one chosen in View > Language
// from the next start on.
#include "main_form_fixture.h"

#include "model/language_setting.h"

#include <QAbstractButton>
#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>

#include <set>

namespace velmo::test {
namespace {

// The desktop's language for the test's length.
class DesktopLocale {
public:
    explicit DesktopLocale(QLocale::Language language) { QLocale::setDefault(QLocale(language)); }
    ~DesktopLocale() { QLocale::setDefault(before_); }
    DesktopLocale(const DesktopLocale&) = delete;
    DesktopLocale& operator=(const DesktopLocale&) = delete;

private:
    QLocale before_;
};

// Every caption, menu entry and accessible name of the window and its menus.
QStringList shownTexts(const QWidget& window) {
    QStringList texts = {window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->accessibleName();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            texts << button->text();
        if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
            texts << frame->title();
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            texts << label->text();
        if (const auto* menu = qobject_cast<const QMenu*>(widget))
            texts << menu->title();
    }
    for (const QAction* action : window.findChildren<QAction*>())
        texts << action->text();
    texts.removeAll(QString());
    return texts;
}

// The English texts a Japanese window must not show: those whose Japanese differs.
std::set<QString> englishOnlyTexts() {
    std::set<QString> english;
    for (std::size_t i = 0; i < kTextCount; ++i) {
        const auto id = static_cast<TextId>(i);
        if (EnglishText(id) != SecondLanguageText(id))
            english.insert(QString::fromStdString(EnglishText(id)));
    }
    return english;
}

TEST_F(MainFormTest, Language_firstStartFollowsTheDesktop) {
    const struct {
        QLocale::Language desktop;
        const char* fileMenu;
    } cases[] = {
        {QLocale::Japanese, "ファイル(&F)"}, {QLocale::German, "&File"}, {QLocale::English, "&File"}};
    for (const auto& c : cases) {
        const DesktopLocale desktop(c.desktop);
        start();
        EXPECT_EQ(Menu(*form, "subFile")->title(), QString::fromUtf8(c.fileMenu));
        // Followed, not chosen: nothing is written until the user chooses.
        EXPECT_FALSE(std::filesystem::exists(app() + kLanguageFileName));
        form.reset();
    }
}

TEST_F(MainFormTest, Language_japaneseWindowShowsNoEnglishOnlyText) {
    const DesktopLocale desktop(QLocale::Japanese);
    Schedule s;
    AddBasic(s, MakeFile("SONG", "MP3", 1, 13));
    AddAdvance(s, MakeAdvance(26, 3, 2, 1, 2));
    writeSchedule(app(), "velmo.vlm", s);
    start();
    form->show();
    ASSERT_EQ(Button(*form, "NormalAddCmd")->text(), QString::fromUtf8("追加"));
    const std::set<QString> english = englishOnlyTexts();
    for (const QString& text : shownTexts(*form))
        EXPECT_EQ(english.count(text), 0u) << text.toStdString();
}

TEST_F(MainFormTest, Language_chosenInTheMenuIsRememberedForTheNextStart) {
    start();
    QAction* japanese = Action(*form, "subLanguageJapanese");
    EXPECT_TRUE(Action(*form, "subLanguageEnglish")->isChecked());
    EXPECT_FALSE(japanese->isChecked());
    EXPECT_EQ(Menu(*form, "subLanguage")->title(), QStringLiteral("&Language (from the next start)"));
    EXPECT_EQ(Menu(*form, "subLanguage")->parent(), Menu(*form, "subView"));

    japanese->trigger();
    // Told, in the language chosen, once the choice is written.
    while (tc.prompts.messages().isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(tc.prompts.messages(), QStringList{QString::fromUtf8("次回の起動から日本語で表示します。")});
    EXPECT_EQ(ReadLanguageSetting(app()), kJapaneseSelector);
    // This run keeps its language.
    EXPECT_EQ(Menu(*form, "subFile")->title(), QStringLiteral("&File"));
    form.reset();

    // An English desktop does not undo the choice.
    const DesktopLocale desktop(QLocale::English);
    start();
    EXPECT_EQ(Menu(*form, "subFile")->title(), QString::fromUtf8("ファイル(&F)"));
    EXPECT_TRUE(Action(*form, "subLanguageJapanese")->isChecked());
    EXPECT_EQ(Menu(*form, "subLanguage")->title(), QString::fromUtf8("言語(&L) (次回の起動から)"));
    form->close();
    form.reset();
    // The settings file keeps its six lines.
    std::ifstream settings(app() + "SystemInfo.txt");
    int lines = 0;
    for (std::string line; std::getline(settings, line);)
        ++lines;
    EXPECT_EQ(lines, 6);
}

} // namespace
} // namespace velmo::test
