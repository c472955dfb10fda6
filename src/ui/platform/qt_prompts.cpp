#include "prompts.h"

#include "ui_text.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace velmo {

namespace {
const QString kTitle = QStringLiteral("Message");

QStringList runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, QFileDialog::FileMode fileMode,
                          const QString& filter, const QString& directory, const QString& fileName) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(fileMode);
    // The converted patterns are for matching only; the user sees each description as written.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(ConvertFileFilter(filter));
    // The overwrite question is the program's own.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Patterns match regardless of letter case.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDirectory(directory);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    // The model keeps the system's own separators ("\\" on Windows).
    QStringList files = dialog.selectedFiles();
    for (QString& file : files)
        file = QDir::toNativeSeparators(file);
    return files;
}

std::optional<QString> firstFile(const QStringList& files) {
    if (files.isEmpty())
        return std::nullopt;
    return files.constFirst();
}
} // namespace

QStringList ConvertFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            // Qt's "*" matches every file; "*.*" would miss names without a dot.
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        result << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

void QtPrompts::message(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kTitle, text, QMessageBox::Ok);
}

void QtPrompts::messageUntitled(QWidget* parent, const QString& text) {
#ifdef _WIN32
    // Windows would caption an untitled box with the program's file name; the program's title it is.
    const QString title = toQt(EnglishText(TextId::TextProductName));
#else
    const QString title;
#endif
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtPrompts::askYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtPrompts::askOkCancel(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kTitle, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

std::optional<QString> QtPrompts::openFile(QWidget* parent, const QString& filter, const QString& directory,
                                           const QString& fileName) {
    // Any typed name comes back: the program applies its own extension rule and existence test,
    // with its own messages, before it decides that a name was not found.
    return firstFile(
        runFileDialog(parent, QFileDialog::AcceptOpen, QFileDialog::AnyFile, filter, directory, fileName));
}

std::optional<QString> QtPrompts::saveFile(QWidget* parent, const QString& filter, const QString& directory,
                                           const QString& fileName) {
    return firstFile(
        runFileDialog(parent, QFileDialog::AcceptSave, QFileDialog::AnyFile, filter, directory, fileName));
}

QStringList QtPrompts::openFiles(QWidget* parent, const QString& filter, const QString& directory) {
    return runFileDialog(parent, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles, filter, directory,
                         QString());
}

std::optional<QString> Prompts::chooseFolder(QWidget* parent, const QString& title,
                                             const QString& directory) {
    QFileDialog dialog(parent, title, directory);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

int QtPrompts::askThreeWay(QWidget* parent, const QString& text, const ThreeAnswers<int>& answers) {
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::NoButton, parent);
    QPushButton* first = box.addButton(answers.first.second, QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(answers.second.second, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(answers.cancel.second, QMessageBox::RejectRole);
    // The names scripts and tests find the buttons by, whatever they mean in this question.
    first->setObjectName(QStringLiteral("KeepChoice"));
    second->setObjectName(QStringLiteral("DiscardChoice"));
    cancel->setObjectName(QStringLiteral("CancelChoice"));
    box.setDefaultButton(first);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == first)
        return answers.first.first;
    if (box.clickedButton() == second)
        return answers.second.first;
    return answers.cancel.first;
}

} // namespace velmo
