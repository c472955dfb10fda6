// The file commands through Qt's own dialogs and message boxes, typed into as a user would.
#include "main_form_fixture.h"

#include "ui/platform/prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

namespace velmo::test {
namespace {

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

void TypeAndEnter(QWidget* dialog, const QString& text) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QStringList FilterTexts(QWidget* dialog) {
    QStringList texts;
    if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    return texts;
}

class RealDialogsTest : public MainFormTest {
protected:
    QtPrompts qtPrompts;
    AppContext context{tc.state, tc.texts, qtPrompts, tc.clock, tc.random, tc.volumes, tc.links, {}};

    void SetUp() override { form = std::make_unique<MainForm>(context, tc.appPath()); }
};

TEST_F(RealDialogsTest, Open_typedNameWithoutExtensionOpensTheSchedule) {
    Schedule s;
    AddBasic(s, MakeFile("SONG", "MP3", 1, 13));
    writeSchedule(app(), "mine.vlm", s);
    QStringList filters;
    ModalScript script({[&](QWidget* dialog) {
        filters = FilterTexts(dialog);
        TypeAndEnter(dialog, QStringLiteral("mine"));
    }});
    Button(*form, "OpenCmd")->click();

    EXPECT_EQ(script.answered(), 1u);
    EXPECT_EQ(filters, QStringList({QStringLiteral("Velmo Schedule Reference File(*.vlm)")}));
    EXPECT_EQ(state().scheduleFileName, "mine.vlm");
    EXPECT_EQ(List(*form, "NormalList")->count(), 1);
}

TEST_F(RealDialogsTest, Open_missingNameGetsTheProgramsOwnMessageThenTheDialogAgain) {
    QString title, text;
    bool askedAgain = false;
    ModalScript script({[](QWidget* dialog) { TypeAndEnter(dialog, QStringLiteral("nothere")); },
                        [&](QWidget* box) {
                            title = box->windowTitle();
                            if (auto* message = qobject_cast<QMessageBox*>(box))
                                text = message->text();
                            QTest::keyClick(box, Qt::Key_Return);
                        },
                        [&](QWidget* dialog) {
                            askedAgain = qobject_cast<QFileDialog*>(dialog) != nullptr;
                            qobject_cast<QDialog*>(dialog)->reject();
                        }});
    Button(*form, "OpenCmd")->click();

    EXPECT_EQ(title, QStringLiteral("Message"));
    EXPECT_EQ(text, QStringLiteral("File Not Found!"));
    EXPECT_TRUE(askedAgain);
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
}

TEST_F(RealDialogsTest, SaveAs_showsItsFilterAsWrittenAndSavesTheTypedName) {
    Schedule s;
    AddBasic(s, MakeFile("SONG", "MP3", 1, 13));
    load(s);
    QStringList filters;
    ModalScript script({[&](QWidget* dialog) {
        filters = FilterTexts(dialog);
        TypeAndEnter(dialog, QStringLiteral("typed"));
    }});
    Button(*form, "SaveAsCmd")->click();

    EXPECT_EQ(filters, QStringList({QStringLiteral("Schedule File(*.vlm)")}));
    EXPECT_TRUE(Exists(app() + "typed.vlm"));
}

TEST_F(RealDialogsTest, SaveAs_ontoTheSameNameInOtherCase_askedThenThatFileReplaced) {
    Schedule old;
    AddBasic(old, MakeFile("OLD", "MP3", 1, 13));
    writeSchedule(app(), "TEST.VLM", old);
    Schedule s;
    AddBasic(s, MakeFile("NEW", "MP3", 1, 13));
    load(s);
    QString question;
    ModalScript script({[](QWidget* dialog) { TypeAndEnter(dialog, QStringLiteral("test")); },
                        [&](QWidget* box) {
                            auto* message = qobject_cast<QMessageBox*>(box);
                            ASSERT_NE(message, nullptr);
                            question = message->text();
                            message->button(QMessageBox::Yes)->click();
                        }});
    Button(*form, "SaveAsCmd")->click();

    EXPECT_EQ(question, QStringLiteral("File Already Existed, Overwrite?"));
    EXPECT_FALSE(Exists(app() + "test.vlm"));
    Schedule back;
    ASSERT_TRUE(ReadScheduleFile(app(), "TEST.VLM", back).ok);
    EXPECT_EQ(back, s);
    EXPECT_EQ(state().scheduleFileName, "TEST.VLM");
}

} // namespace
} // namespace velmo::test
