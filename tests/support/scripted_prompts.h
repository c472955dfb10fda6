#pragma once

#include "ui/platform/prompts.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

namespace velmo::test {

// Prompts that answer from a script and record what was shown. An unscripted question or dialog
// fails the test and answers No / Cancel, so a forgotten answer cannot hang a test.
class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        enum Kind { Message, Untitled, YesNo, OkCancel, OpenFile, SaveFile, Choice, OpenFiles, Folder } kind;
        QString text; // message text, or the filter of a file dialog
        QString directory;
        QString fileName;
    };

    std::deque<bool> answers;                 // for askYesNo / askOkCancel
    std::deque<std::optional<QString>> files; // for openFile / saveFile / chooseFolder
    std::deque<QString> choices;              // for askThreeWay: captions of the buttons clicked, no "&"
    std::deque<QStringList> fileLists;        // for openFiles
    std::vector<Shown> shown;                 // everything shown, in order
    std::function<void(const Shown&)> onShow; // runs as each prompt is shown

    QStringList messages() const; // texts of message() and messageUntitled(), in order

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
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                        const QString& directory) override;

private:
    bool nextAnswer(Shown::Kind kind, const QString& text);
    std::optional<QString> nextFile(Shown::Kind kind, const QString& filter, const QString& directory,
                                    const QString& fileName);
    void record(const Shown& item);
};

} // namespace velmo::test
