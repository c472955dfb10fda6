#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class QWidget;

namespace velmo {

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
    // The button answered, by place: callers name the answers through AskThreeWay.
    enum class Choice { Keep, Discard, Cancel };
    // Titled "Message", with three buttons captioned as given; Esc and the close box answer Cancel.
    virtual Choice askKeepDiscardCancel(QWidget* parent, const QString& text, const QString& keep,
                                        const QString& discard, const QString& cancel) = 0;
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

// The three answers of one question, named for what they mean there, each with its caption; the
// last is also what Esc and the close box answer.
template <typename Answer> struct ThreeAnswers {
    std::pair<Answer, QString> first;
    std::pair<Answer, QString> second;
    std::pair<Answer, QString> cancel;
};

template <typename Answer>
Answer AskThreeWay(Prompts& prompts, QWidget* parent, const QString& text,
                   const ThreeAnswers<Answer>& answers) {
    switch (prompts.askKeepDiscardCancel(parent, text, answers.first.second, answers.second.second,
                                         answers.cancel.second)) {
    case Prompts::Choice::Keep:
        return answers.first.first;
    case Prompts::Choice::Discard:
        return answers.second.first;
    case Prompts::Choice::Cancel:
        break;
    }
    return answers.cancel.first;
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
    Choice askKeepDiscardCancel(QWidget* parent, const QString& text, const QString& keep,
                                const QString& discard, const QString& cancel) override;
    QStringList openFiles(QWidget* parent, const QString& filter, const QString& directory) override;
};

} // namespace velmo
