#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

namespace velmo {

// The three answers of one question, named for what they mean there, each with its caption; the
// first is the default, the last is also what Esc and the close box answer.
template <typename Answer> struct ThreeAnswers {
    std::pair<Answer, QString> first;
    std::pair<Answer, QString> second;
    std::pair<Answer, QString> cancel;
};

// Every message box and file dialog of the program goes through here, so tests can script answers.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A message box titled "Message" with OK.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // A message box with the platform's default title and OK (the single-instance refusal).
    virtual void messageUntitled(QWidget* parent, const QString& text) = 0;
    // Titled "Message"; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // Titled "Message"; true for OK.
    virtual bool askOkCancel(QWidget* parent, const QString& text) = 0;
    // Titled "Message", with a button for each answer; gives the answer chosen. Callers ask through
    // AskThreeWay, which carries their own answers here as numbers and back.
    virtual int askThreeWay(QWidget* parent, const QString& text, const ThreeAnswers<int>& answers) = 0;
    // Filters in the form "desc|pattern[;pattern]|desc|pattern"; the chosen full path, or nothing
    // when cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& filter, const QString& directory,
                                            const QString& fileName) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& filter, const QString& directory,
                                            const QString& fileName) = 0;
    // Several existing files at once, in the order picked; empty when cancelled.
    virtual QStringList openFiles(QWidget* parent, const QString& filter, const QString& directory) = 0;
    // A folder, the dialog captioned `title`; nothing when cancelled. Qt's own folder dialog unless
    // overridden.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                                const QString& directory);
};

template <typename Answer>
Answer AskThreeWay(Prompts& prompts, QWidget* parent, const QString& text,
                   const ThreeAnswers<Answer>& answers) {
    static_assert(std::is_enum_v<Answer>, "each question names its answers in an enum of its own");
    const auto carried = [](const std::pair<Answer, QString>& answer) {
        return std::pair{static_cast<int>(answer.first), answer.second};
    };
    return static_cast<Answer>(prompts.askThreeWay(
        parent, text, {carried(answers.first), carried(answers.second), carried(answers.cancel)}));
}

// "Media File(*.jpg;*.avi)|*.jpg;*.avi|All File(*.*)|*.*" -> "Media File(*.jpg;*.avi) (*.jpg *.avi)", ...
// The dialogs hide the appended patterns, so each choice shows its description exactly.
QStringList ConvertFileFilter(const QString& filter);

class QtPrompts final : public Prompts {
public:
    void message(QWidget* parent, const QString& text) override;
    void messageUntitled(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
    bool askOkCancel(QWidget* parent, const QString& text) override;
    std::optional<QString> openFile(QWidget* parent, const QString& filter, const QString& directory,
                                    const QString& fileName) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& filter, const QString& directory,
                                    const QString& fileName) override;
    int askThreeWay(QWidget* parent, const QString& text, const ThreeAnswers<int>& answers) override;
    QStringList openFiles(QWidget* parent, const QString& filter, const QString& directory) override;
};

} // namespace velmo
