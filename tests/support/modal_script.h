#pragma once

// Drives Qt's own modal dialogs and message boxes from a test, as a user would answer them.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace velmo::test {

// Answers the modal windows as they appear, the i-th with steps[i]; a window left over when the
// steps run out is closed, so a test cannot hang.
class ModalScript {
public:
    explicit ModalScript(std::vector<std::function<void(QWidget*)>> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(20);
    }
    std::size_t answered() const { return next_; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == last_.data())
            return;
        last_ = modal;
        if (next_ >= steps_.size()) {
            ADD_FAILURE() << "unexpected " << modal->metaObject()->className();
            modal->close();
            return;
        }
        // Answering may open the next modal window in a nested loop; this timer must stay free to see it.
        QTimer::singleShot(0, modal, [this, modal, step = next_++] { steps_[step](modal); });
    }
    std::vector<std::function<void(QWidget*)>> steps_;
    std::size_t next_ = 0;
    QPointer<QWidget> last_;
    QTimer timer_;
};

inline void TypeAndEnter(QWidget* dialog, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

inline QStringList FilterTexts(QWidget* dialog) {
    QStringList texts;
    if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    return texts;
}

} // namespace velmo::test
