#include "language_menu.h"

#include "model/app_state.h"
#include "model/language_setting.h"
#include "ui/platform/app_context.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QMenu>
#include <QPointer>

namespace velmo {

std::int16_t StartingLanguage(const std::string& appPath) {
    return ReadLanguageSetting(appPath).value_or(LanguageSelectorForLocale(fromQt(QLocale().name())));
}

namespace {

// The texts of the table a selector loads, for telling the user in the language just chosen.
const std::string& textIn(std::int16_t selector, TextId id) {
    return selector == kJapaneseSelector ? SecondLanguageText(id) : EnglishText(id);
}

void choose(AppContext& context, QWidget* window, std::int16_t selector) {
    const QPointer<QWidget> guard(window);
    RunInBackground<Result>(
        [appPath = context.state.appPath, selector] { return WriteLanguageSetting(appPath, selector); },
        window,
        [&context, guard, selector](Result written) {
            if (!guard)
                return;
            const QString text =
                written ? toQt(textIn(selector, TextId::MsgLanguageNextStart))
                        : toQt(FillIn(textIn(selector, TextId::MsgLanguageNotRemembered), {written.reason}));
            context.prompts.message(guard, text);
        });
}

} // namespace

void AddLanguageMenu(QMenu& view, AppContext& context, QWidget* window) {
    view.addSeparator();
    QMenu* language = view.addMenu(screenText(context.texts, TextId::TextMenuLanguage));
    language->setObjectName(QStringLiteral("subLanguage"));
    auto* group = new QActionGroup(language);
    group->setExclusive(true);
    const struct {
        std::int16_t selector;
        TextId name;
        const char* objectName;
    } choices[] = {{kEnglishSelector, TextId::TextLanguageEnglish, "subLanguageEnglish"},
                   {kJapaneseSelector, TextId::TextLanguageJapanese, "subLanguageJapanese"}};
    for (const auto& choice : choices) {
        QAction* action = language->addAction(screenText(context.texts, choice.name));
        action->setObjectName(QString::fromLatin1(choice.objectName));
        action->setCheckable(true);
        action->setChecked(context.state.languageSelector == choice.selector);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, window, [&context, window, selector = choice.selector] {
            choose(context, window, selector);
        });
    }
}

} // namespace velmo
