#pragma once

#include <QString>

class QComboBox;
class QKeyEvent;
class QListWidget;
class QPushButton;
class QWidget;

namespace velmo {

// A command button that is never the dialog's Enter button.
QPushButton* makeCommandButton(const QString& objectName, QWidget* parent);
// A button that serves as a field caption: it takes no focus and does nothing when clicked.
QPushButton* makeCaptionButton(const QString& objectName, QWidget* parent);
// A drop-down list to choose from, without typing.
QComboBox* makeChoiceCombo(const QString& objectName, QWidget* parent);

// Enter, Return or Esc: the keys a dialog would answer with.
bool isDialogAnswerKey(const QKeyEvent* event);

// The main window's selected row, -1 for none (or no list).
int selectedRow(const QListWidget* list);
// Selects a row, as a click would, so the main window's selection handler runs.
void selectRow(QListWidget* list, int row);

} // namespace velmo
