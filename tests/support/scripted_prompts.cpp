#include "scripted_prompts.h"

#include <gtest/gtest.h>

namespace velmo::test {

QStringList ScriptedPrompts::messages() const {
    QStringList result;
    for (const Shown& item : shown)
        if (item.kind == Shown::Message || item.kind == Shown::Untitled)
            result << item.text;
    return result;
}

void ScriptedPrompts::record(const Shown& item) {
    shown.push_back(item);
    if (onShow)
        onShow(item);
}

void ScriptedPrompts::message(QWidget*, const QString& text) {
    record({Shown::Message, text, {}, {}});
}

void ScriptedPrompts::messageUntitled(QWidget*, const QString& text) {
    record({Shown::Untitled, text, {}, {}});
}

bool ScriptedPrompts::nextAnswer(Shown::Kind kind, const QString& text) {
    record({kind, text, {}, {}});
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedPrompts::nextFile(Shown::Kind kind, const QString& filter,
                                                 const QString& directory, const QString& fileName) {
    record({kind, filter, directory, fileName});
    if (files.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << filter.toStdString();
        return std::nullopt;
    }
    auto file = files.front();
    files.pop_front();
    return file;
}

bool ScriptedPrompts::askYesNo(QWidget*, const QString& text) {
    return nextAnswer(Shown::YesNo, text);
}
bool ScriptedPrompts::askOkCancel(QWidget*, const QString& text) {
    return nextAnswer(Shown::OkCancel, text);
}

std::optional<QString> ScriptedPrompts::chooseFolder(QWidget*, const QString& title,
                                                     const QString& directory) {
    return nextFile(Shown::Folder, title, directory, QString());
}

std::optional<QString> ScriptedPrompts::openFile(QWidget*, const QString& filter, const QString& directory,
                                                 const QString& fileName) {
    return nextFile(Shown::OpenFile, filter, directory, fileName);
}

std::optional<QString> ScriptedPrompts::saveFile(QWidget*, const QString& filter, const QString& directory,
                                                 const QString& fileName) {
    return nextFile(Shown::SaveFile, filter, directory, fileName);
}

int ScriptedPrompts::askThreeWay(QWidget*, const QString& text, const ThreeAnswers<int>& answers) {
    record({Shown::Choice, text, {}, {}});
    if (choices.empty()) {
        ADD_FAILURE() << "unscripted choice: " << text.toStdString();
        return answers.cancel.first;
    }
    const QString clicked = choices.front();
    choices.pop_front();
    for (const auto& [answer, caption] : {answers.first, answers.second, answers.cancel})
        if (QString(caption).remove(QLatin1Char('&')) == clicked)
            return answer;
    ADD_FAILURE() << "no button \"" << clicked.toStdString() << "\" for: " << text.toStdString();
    return answers.cancel.first;
}

QStringList ScriptedPrompts::openFiles(QWidget*, const QString& filter, const QString& directory) {
    // A script of single files answers the several-files dialog too, one file at a time.
    if (fileLists.empty() && !files.empty()) {
        const std::optional<QString> file = nextFile(Shown::OpenFile, filter, directory, QString());
        return file ? QStringList{*file} : QStringList{};
    }
    record({Shown::OpenFiles, filter, directory, {}});
    if (fileLists.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << filter.toStdString();
        return {};
    }
    QStringList files = fileLists.front();
    fileLists.pop_front();
    return files;
}

} // namespace velmo::test
