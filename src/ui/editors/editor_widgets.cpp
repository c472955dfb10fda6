#include "editor_widgets.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

namespace velmo {

QPushButton* makeCommandButton(const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QPushButton* makeCaptionButton(const QString& objectName, QWidget* parent) {
    QPushButton* button = makeCommandButton(objectName, parent);
    button->setFocusPolicy(Qt::NoFocus);
    // It only names the field beside it; a press that does nothing would only puzzle.
    button->setAttribute(Qt::WA_TransparentForMouseEvents);
    return button;
}

QComboBox* makeChoiceCombo(const QString& objectName, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->setEditable(false);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

bool isDialogAnswerKey(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}

} // namespace velmo
