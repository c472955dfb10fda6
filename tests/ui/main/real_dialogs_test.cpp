// The file commands through Qt's own dialogs and message boxes, typed into as a user would.
#include "main_form_fixture.h"

#include "support/modal_script.h"
#include "ui/platform/prompts.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

namespace velmo::test {
namespace {

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
