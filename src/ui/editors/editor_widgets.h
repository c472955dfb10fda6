#pragma once

#include <QString>

class QComboBox;
class QKeyEvent;
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

} // namespace velmo
