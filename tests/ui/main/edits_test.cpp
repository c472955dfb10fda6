#include "main_form_fixture.h"
#include "support/background_work.h"

#include "media/media_files.h"
#include "model/random_source.h"
#include "model/recovery_file.h"
#include "rules/entry_rules.h"
#include "rules/schedule_rules.h"
#include "ui/main/recovery_file.h"
#include "ui/platform/prompts.h"
#include "ui/platform/termination_signals.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace velmo::test {
namespace {

using Kind = ScriptedPrompts::Shown::Kind;

std::vector<std::uint8_t> encoded(const Schedule& s) {
    SeededRandomSource random(7);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeSchedule(s, random, bytes).ok);
    return bytes;
}

Schedule readBack(const std::string& dir, const std::string& name) {
    Schedule s;
    EXPECT_TRUE(ReadScheduleFile(dir, name, s).ok) << dir << name;
    return s;
}

Schedule threeBasicTwoAdvance() {
    Schedule s;
    AddBasic(s, MakeFile("A", "MP3", 1, 13));
    AddBasic(s, MakeFile("B", "AVI", 2, 5));
    AddBasic(s, MakeFile("C", "JPG", 3, 0));
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 2));
    AddAdvance(s, MakeAdvance(8, 2, 3, 1, 3, 10));
    return s;
}

class EditsTest : public MainFormTest {
protected:
    void SetUp() override { removeRecoveryFiles(); }
    void TearDown() override { removeRecoveryFiles(); }
    static void removeRecoveryFiles() {
        for (const std::string& path : RecoveryFilesNewestFirst(RecoveryFile::path()))
            QFile::remove(QString::fromStdString(path));
        (void)TakeRecoveryFailure(RecoveryFile::path());
    }
    // Ends the session as a logout does.
    void sigterm() {
        const TerminationSignals terminationSignals([this] { form->EndSession(); });
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !form->isVisible(); }, 5000));
    }

    template <typename T> T* child(const char* name) const {
        T* found = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    ScheduleListView* list(const char* name) const { return child<ScheduleListView>(name); }
    void click(const char* name) const { child<QPushButton>(name)->click(); }
    void trigger(const char* name) const { child<QAction>(name)->trigger(); }

    // Starts on a remembered schedule file, shown and active so shortcuts and focus work.
    void startOn(const Schedule& s) {
        writeSchedule(app(), "velmo.vlm", s);
        start();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void focusRow(const char* name, int row) const {
        ScheduleListView* l = list(name);
        l->setFocus();
        l->setCurrentRow(row);
    }

    // Answers the modal dialog the next command opens.
    static void answerDialog(const std::function<void(QWidget*)>& answer) {
        QTimer::singleShot(0, qApp, [answer] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                answer(dialog);
        });
    }
    static void editFile(const QString& name) {
        answerDialog([name](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->setText(name);
            dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
        });
    }

    void dropOn(const char* name, const QStringList& paths) const {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QWidget* viewport = list(name)->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        LetBackgroundWorkAnswer();
    }

    // The three lists as a refill from the model shows them, and the buttons as ButtonStatusSetup sets them.
    void expectListsAsRefill() const {
        const Schedule& s = tc.state.schedule;
        QStringList basic, advance, detail;
        for (int i = 0; i < s.basicCount; ++i)
            basic << QString::fromStdString(FormatFileRow(s.basicEntries[i]));
        for (int i = 0; i < s.advanceCount; ++i)
            advance << QString::fromStdString(FormatAdvanceRow(s.advanceEntries[i]));
        const int selected = list("AdvanceList")->currentRow();
        if (selected >= 0)
            for (int i = 0; i < s.advanceEntries[selected].fileCount; ++i)
                detail << QString::fromStdString(FormatFileRow(s.advanceEntries[selected].files[i]));
        EXPECT_EQ(Rows(list("NormalList")), basic);
        EXPECT_EQ(Rows(list("AdvanceList")), advance);
        EXPECT_EQ(Rows(list("DetailList")), detail);
        EXPECT_EQ(child<QPushButton>("NormalRemoveCmd")->isEnabled(), s.basicCount > 0);
        EXPECT_EQ(child<QPushButton>("DetailAddCmd")->isEnabled(), s.advanceCount > 0);
        EXPECT_EQ(child<QPushButton>("DetailMoveUpCmd")->isEnabled(),
                  s.advanceCount > 0 && detail.size() >= 2);
    }

    // Whether Open asks first. Both the question and the file dialog are cancelled: nothing changes.
    bool asksBeforeOpen() {
        const std::size_t before = tc.prompts.shown.size();
        tc.prompts.choices = {"Cancel"};
        tc.prompts.files = {std::nullopt};
        click("OpenCmd");
        const bool asked = tc.prompts.shown.size() > before && tc.prompts.shown[before].kind == Kind::Choice;
        tc.prompts.choices.clear();
        tc.prompts.files.clear();
        return asked;
    }

    std::string makeFile(const std::string& name) const {
        WriteText(app() + name, "media");
        return app() + name;
    }
};

TEST_F(EditsTest, MixedChanges_undoneAndRedone_modelByteIdenticalAndListsAsRefill) {
    startOn(threeBasicTwoAdvance());
    Schedule other;
    AddBasic(other, MakeFile("OTHER", "MP3", 9, 9));
    writeSchedule(app(), "other.vlm", other);

    std::vector<std::vector<std::uint8_t>> states{encoded(schedule())};
    std::vector<std::string> names{state().scheduleFileName};
    const auto step = [&](const std::function<void()>& change) {
        change();
        states.push_back(encoded(schedule()));
        names.push_back(state().scheduleFileName);
        ASSERT_TRUE(states.back() != states[states.size() - 2])
            << "step " << states.size() - 1 << " changed nothing";
    };
    step([&] { editFile(QStringLiteral("clip.avi")), click("NormalAddCmd"); });
    step([&] { focusRow("NormalList", 0), editFile(QStringLiteral("x.mpg")), click("NormalModifyCmd"); });
    step([&] { focusRow("NormalList", 2), click("NormalMoveUpCmd"); });
    step([&] { focusRow("AdvanceList", 0), click("AdvanceMoveDownCmd"); });
    step([&] { focusRow("DetailList", 1), click("DetailRemoveCmd"); });
    step([&] {
        focusRow("NormalList", 1);
        QTest::keyClick(list("NormalList"), Qt::Key_C, Qt::ControlModifier);
        focusRow("DetailList", 0);
        QTest::keyClick(list("DetailList"), Qt::Key_V, Qt::ControlModifier);
    });
    step([&] {
        focusRow("AdvanceList", 0), QTest::keyClick(list("AdvanceList"), Qt::Key_D, Qt::ControlModifier);
    });
    step([&] {
        // Neither holds media the player plays.
        tc.prompts.choices = {"Add anyway"};
        dropOn("NormalList",
               {QString::fromStdString(makeFile("d1.mp3")), QString::fromStdString(makeFile("d2.jpg"))});
    });
    step([&] { focusRow("AdvanceList", 1), click("AdvanceRemoveCmd"); });
    step([&] { tc.prompts.choices = {"Discard"}, click("NewCmd"); });
    step([&] { tc.prompts.files = {QString::fromStdString(app() + "other.vlm")}, click("OpenCmd"); });
    EXPECT_TRUE(tc.prompts.choices.empty() && tc.prompts.files.empty());
    EXPECT_TRUE(shownMessages().isEmpty()) << shownMessages().join('|').toStdString();
    EXPECT_EQ(child<QAction>("subUndo")->text(), QStringLiteral("Undo Open"));

    for (std::size_t i = states.size() - 1; i-- > 0;) {
        trigger("subUndo");
        EXPECT_TRUE(encoded(schedule()) == states[i]) << "after undoing step " << i + 1;
        EXPECT_EQ(state().scheduleFileName, names[i]);
        expectListsAsRefill();
    }
    EXPECT_FALSE(child<QAction>("subUndo")->isEnabled());
    EXPECT_EQ(child<QAction>("subRedo")->text(), QStringLiteral("Redo Add"));
    // The editors' dialogs took the activation with them.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (std::size_t i = 1; i < states.size(); ++i) {
        QTest::keySequence(list("NormalList"), QKeySequence::keyBindings(QKeySequence::Redo).constFirst());
        EXPECT_TRUE(encoded(schedule()) == states[i]) << "after redoing step " << i;
        expectListsAsRefill();
    }
    EXPECT_EQ(form->windowTitle().toStdString(), "Velmo Schedule Generator - " + app() + "other.vlm");
}

TEST_F(EditsTest, Remove_undoneWithCtrlZ_entryBackInItsPlaceAndSelected) {
    startOn(threeBasicTwoAdvance());
    focusRow("NormalList", 1);
    click("NormalRemoveCmd");
    EXPECT_EQ(child<QAction>("subUndo")->text(), QStringLiteral("Undo Remove"));
    QTest::keyClick(list("NormalList"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());
    EXPECT_EQ(list("NormalList")->currentRow(), 1);
    EXPECT_EQ(child<QAction>("subRedo")->text(), QStringLiteral("Redo Remove"));
}

// The keys of a list do what its buttons do, each as one undo step, and Ctrl+Y redoes as Ctrl+Shift+Z does.
TEST_F(EditsTest, ListKeys_deleteAndCtrlUpDown_oneUndoStepEach_redoneWithCtrlYOrCtrlShiftZ) {
    struct Case {
        const char* list;
        int row;
        QKeyCombination key;
        QKeyCombination redo;
        int selectedAfter;
    };
    const QKeyCombination ctrlY = Qt::CTRL | Qt::Key_Y;
    const QKeyCombination ctrlShiftZ = Qt::CTRL | Qt::SHIFT | Qt::Key_Z;
    const Case cases[] = {
        {"NormalList", 1, QKeyCombination(Qt::Key_Delete), ctrlY, 1},
        {"NormalList", 1, Qt::CTRL | Qt::Key_Up, ctrlShiftZ, 0},
        {"NormalList", 1, Qt::CTRL | Qt::Key_Down, ctrlY, 2},
        {"AdvanceList", 0, Qt::CTRL | Qt::Key_Down, ctrlY, 1},
        {"AdvanceList", 1, QKeyCombination(Qt::Key_Delete), ctrlShiftZ, 0},
        {"DetailList", 0, Qt::CTRL | Qt::Key_Down, ctrlY, 1},
    };
    const auto press = [](QWidget* target, QKeyCombination key) {
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
    };
    startOn(threeBasicTwoAdvance());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " row " + std::to_string(c.row) + " " +
                     QKeySequence(c.key).toString().toStdString());
        if (std::string(c.list) == "DetailList")
            list("AdvanceList")->setCurrentRow(0);
        focusRow(c.list, c.row);
        press(list(c.list), c.key);
        const Schedule changed = schedule();
        EXPECT_NE(changed, threeBasicTwoAdvance());
        EXPECT_EQ(list(c.list)->currentRow(), c.selectedAfter);
        press(list(c.list), Qt::CTRL | Qt::Key_Z);
        EXPECT_EQ(schedule(), threeBasicTwoAdvance());
        press(list(c.list), c.redo);
        EXPECT_EQ(schedule(), changed);
        press(list(c.list), Qt::CTRL | Qt::Key_Z);
        EXPECT_EQ(schedule(), threeBasicTwoAdvance());
    }
    // Enter opens the list's editor, as Modify does.
    focusRow("NormalList", 0);
    EXPECT_EQ(OpenedDialog([&] { press(list("NormalList"), QKeyCombination(Qt::Key_Enter)); }),
              QStringLiteral("velmo::ScheduleEditForm"));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    focusRow("AdvanceList", 0);
    EXPECT_EQ(OpenedDialog([&] { press(list("AdvanceList"), QKeyCombination(Qt::Key_Return)); }),
              QStringLiteral("velmo::AdvanceScheduleEditForm"));
}

TEST_F(EditsTest, ModifiedState_throughSaveUndoPastTheSaveAndRedo) {
    startOn(threeBasicTwoAdvance());
    EXPECT_FALSE(asksBeforeOpen());
    focusRow("NormalList", 0);
    click("NormalRemoveCmd");
    EXPECT_TRUE(asksBeforeOpen());
    click("SaveCmd");
    EXPECT_FALSE(asksBeforeOpen());
    trigger("subUndo");
    EXPECT_TRUE(asksBeforeOpen());
    trigger("subRedo");
    EXPECT_FALSE(asksBeforeOpen());
    EXPECT_TRUE(shownMessages().isEmpty());
}

TEST_F(EditsTest, NewOpenExitClose_eachWithSaveDiscardAndCancel) {
    const Schedule original = threeBasicTwoAdvance();
    Schedule changed = original;
    ASSERT_TRUE(RemoveEntry(changed.basicEntries, changed.basicCount, 0));
    Schedule other;
    AddBasic(other, MakeFile("OTHER", "MP3", 9, 9));
    writeSchedule(app(), "other.vlm", other);

    enum Command { New, Open, Exit, CloseBox };
    for (Command command : {New, Open, Exit, CloseBox}) {
        for (const QString choice : {"Cancel", "Discard", "Save"}) {
            SCOPED_TRACE(testing::Message() << "command " << command << " choice " << choice.toStdString());
            form.reset();
            tc.prompts.shown.clear();
            startOn(original);
            focusRow("NormalList", 0);
            click("NormalRemoveCmd");
            tc.prompts.choices = {choice};
            if (command == Open && choice != "Cancel")
                tc.prompts.files = {QString::fromStdString(app() + "other.vlm")};
            bool closed = false;
            if (command == New)
                click("NewCmd");
            else if (command == Open)
                click("OpenCmd");
            else if (command == Exit)
                click("ExitCmd");
            else
                closed = form->close();
            if (command == Exit)
                closed = !form->isVisible();

            EXPECT_TRUE(tc.prompts.choices.empty());
            EXPECT_EQ(readBack(app(), "velmo.vlm"), choice == "Save" ? changed : original);
            const bool goesOn = choice != "Cancel";
            if (command == New) {
                EXPECT_EQ(schedule().basicCount, goesOn ? 0 : 2);
            } else if (command == Open) {
                EXPECT_EQ(schedule(), goesOn ? other : changed);
            } else {
                EXPECT_EQ(closed, goesOn);
            }
        }
    }
}

// The refusal's words stay; the list and the status bar show which period it means.
TEST_F(EditsTest, SaveRefusedForAnEmptyPeriod_periodSelectedAndNamedInTheStatusBar) {
    Schedule s = threeBasicTwoAdvance();
    AddAdvance(s, MakeAdvance(9, 3, 4, 2, 0));
    std::swap(s.advanceEntries[1], s.advanceEntries[2]); // advance 2 is the one without files
    for (const char* save : {"SaveCmd", "SaveAsCmd"}) {
        SCOPED_TRACE(save);
        form.reset();
        tc.prompts.shown.clear();
        startOn(s);
        list("AdvanceList")->setCurrentRow(0);
        click(save);
        EXPECT_EQ(shownMessages(),
                  QStringList({QStringLiteral("No any schedule file in advance schedule! Can't "
                                              "Save!2 !\r\n") +
                               QString(25, QLatin1Char(' ')) + QStringLiteral("Can't save!")}));
        EXPECT_EQ(list("AdvanceList")->currentRow(), 1);
        EXPECT_TRUE(RowSelected(list("AdvanceList"), 1));
        EXPECT_EQ(form->statusBar()->currentMessage(), QStringLiteral("Advance 2 has no files"));
        EXPECT_EQ(readBack(app(), "velmo.vlm"), s);
    }
}

TEST_F(EditsTest, SaveRefusedByTheChecks_throughTheRealMessageBoxes_windowStaysOpen) {
    Schedule one;
    AddBasic(one, MakeFile("ONLY", "MP3", 1, 13));
    writeSchedule(app(), "velmo.vlm", one);
    QtPrompts real;
    AppContext context{tc.state, tc.texts, real, tc.clock, tc.random, tc.volumes, tc.links, {}};
    form = std::make_unique<MainForm>(context, tc.appPath());
    form->show();
    list("NormalList")->setCurrentRow(0);
    click("NormalRemoveCmd"); // an empty schedule cannot be saved

    QStringList seen;
    std::function<void()> answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return QTimer::singleShot(10, qApp, answer);
        seen << box->text();
        if (auto* save = box->findChild<QPushButton*>(QStringLiteral("KeepChoice"))) {
            save->click();
            QTimer::singleShot(0, qApp, answer); // the refusal follows
        } else {
            QTest::keyClick(box, Qt::Key_Return);
        }
    };
    QTimer::singleShot(0, qApp, answer);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(seen, QStringList({QStringLiteral("Save changes to the schedule before closing it?"),
                                 QStringLiteral("No any schedule!\r\nCan't save!")}));
    EXPECT_EQ(readBack(app(), "velmo.vlm"), one);

    QTimer::singleShot(0, qApp, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->findChild<QPushButton*>(QStringLiteral("DiscardChoice"))->click();
    });
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readBack(app(), "velmo.vlm"), one);
}

TEST_F(EditsTest, Sigterm_closesWithoutAQuestion_nextStartOffersTheChangesBack) {
    startOn(threeBasicTwoAdvance());
    focusRow("DetailList", 0);
    click("DetailRemoveCmd");
    const Schedule changed = schedule();
    {
        const TerminationSignals terminationSignals([this] { form->EndSession(); });
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !form->isVisible(); }, 5000));
    }
    EXPECT_TRUE(tc.prompts.shown.empty());
    RecoveredSchedule kept;
    ASSERT_EQ(ReadRecoveryFile(RecoveryFile::path(), kept), RecoveryRead::Read);
    EXPECT_EQ(kept.schedule, changed);
    EXPECT_EQ(kept.directory + kept.fileName, app() + "velmo.vlm");
    EXPECT_EQ(readBack(app(), "velmo.vlm"), threeBasicTwoAdvance());
    const std::string recovery = RecoveryFile::path();

    form.reset();
    tc.prompts.choices = {"Restore"};
    start();
    ASSERT_EQ(tc.prompts.shown.size(), 1u);
    EXPECT_EQ(tc.prompts.shown[0].text.toStdString(),
              "The program ended last time without saving changes to " + app() +
                  "velmo.vlm. Restore that schedule?");
    EXPECT_EQ(schedule(), changed);
    expectListsAsRefill();
    EXPECT_TRUE(asksBeforeOpen());
    trigger("subUndo"); // the restore is one step
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());

    // Discarded at the next start, it is gone for good.
    form.reset();
    tc.prompts.choices = {"Discard"};
    start();
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());
    EXPECT_FALSE(Exists(recovery));
}

// Kept soon after each edit, so a crash loses at most the last moments; gone once nothing is unsaved.
TEST_F(EditsTest, RecoveryFile_keptSoonAfterAnEdit_goneAfterSaveUndoOrClose) {
    const struct {
        const char* settle;
        std::function<void()> act;
    } cases[] = {
        {"Save", [this] { trigger("subSave"); }},
        {"undo back to the file",
         [this] {
             trigger("subUndo");
             trigger("subUndo");
         }},
        {"close, discarding the changes",
         [this] {
             tc.prompts.choices = {"Discard"};
             EXPECT_TRUE(form->close());
         }},
    };
    const std::string path = RecoveryFile::path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settle);
        startOn(threeBasicTwoAdvance());
        focusRow("NormalList", 0);
        click("NormalRemoveCmd");
        focusRow("DetailList", 1);
        click("DetailRemoveCmd");
        // Only the patience of a slow machine, not a measure of the delay.
        ASSERT_TRUE(QTest::qWaitFor(
            [&path] {
                RecoveredSchedule read;
                return ReadRecoveryFile(path, read) == RecoveryRead::Read &&
                       read.schedule.advanceEntries[0].fileCount == 1;
            },
            30000));
        RecoveredSchedule kept;
        ASSERT_EQ(ReadRecoveryFile(path, kept), RecoveryRead::Read);
        EXPECT_EQ(kept.schedule, schedule());
        EXPECT_EQ(kept.directory + kept.fileName, app() + "velmo.vlm");
        c.act();
        EXPECT_TRUE(QTest::qWaitFor([&path] { return !Exists(path); }, 30000));
        form.reset();
        EXPECT_FALSE(Exists(path));
    }
}

// Put off at the start, the kept schedule survives a later session that keeps its own: both are
// offered at the next start, newest first.
TEST_F(EditsTest, RecoveryPutOff_aLaterSessionKeepsItsOwnBeside_bothOfferedNewestFirst) {
    startOn(threeBasicTwoAdvance());
    focusRow("DetailList", 0);
    click("DetailRemoveCmd");
    const Schedule first = schedule();
    sigterm();

    form.reset();
    tc.prompts.choices = {"Cancel"};
    start();
    form->show();
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());
    focusRow("DetailList", 0);
    click("DetailRemoveCmd");
    focusRow("DetailList", 0);
    click("DetailRemoveCmd");
    ASSERT_NE(schedule(), first);
    const Schedule second = schedule();
    sigterm();

    const std::string base = RecoveryFile::path();
    ASSERT_TRUE(Exists(base));
    ASSERT_TRUE(Exists(base + ".2"));
    const timespec older[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, base.c_str(), older, 0), 0);
    RecoveredSchedule kept;
    ASSERT_EQ(ReadRecoveryFile(base, kept), RecoveryRead::Read);
    EXPECT_EQ(kept.schedule, first);

    // The newest is discarded, the older one restored.
    form.reset();
    tc.prompts.shown.clear();
    tc.prompts.choices = {"Discard", "Restore"};
    start();
    EXPECT_EQ(tc.prompts.shown.size(), 2u);
    EXPECT_EQ(schedule(), first);
    EXPECT_FALSE(Exists(base + ".2"));
    EXPECT_NE(second, first);
}

TEST_F(EditsTest, RecoveryFileThatCouldNotBeWritten_isSaidAtTheNextStart) {
    NoteRecoveryFailure(RecoveryFile::path(), "No space left on device");
    startOn(threeBasicTwoAdvance());
    EXPECT_EQ(shownMessages(),
              QStringList({QStringLiteral(
                  "The unsaved changes of the last session could not be kept (No space left on device).")}));
}

TEST_F(EditsTest, DropOfSeveralFiles_refusedOnesListedOnce_oneUndoTakesTheBatchBack) {
    startOn(threeBasicTwoAdvance());
    const std::string folder = makeDir("folder");
    tc.prompts.choices = {"Add anyway"}; // none holds media the player plays
    dropOn("NormalList",
           {QString::fromStdString(makeFile("one.mp3")), QString::fromStdString(makeFile("bad name.avi")),
            QString::fromStdString(folder), QString::fromStdString(makeFile("two.jpg"))});
    EXPECT_EQ(shownMessages().join('|').toStdString(),
              "These files were not added:\r\nfolder\r\nbad name.avi");
    ASSERT_EQ(schedule().basicCount, 5);
    EXPECT_EQ(schedule().basicEntries[3], MakeFile("ONE", "MP3", 1, 13));
    EXPECT_EQ(schedule().basicEntries[4], MakeFile("TWO", "JPG", 1, 13));
    EXPECT_EQ(list("NormalList")->currentRow(), 4);
    expectListsAsRefill();
    trigger("subUndo");
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());
}

// A drop of a file that plays, a folder and a file whose name the player does not take: whatever the
// answer to the question about the name, one message names the folder with every file left out.
TEST_F(EditsTest, DropWithAQuestion_oneMessageNamesTheFolderWithEveryFileLeftOut) {
    if (!FfmpegInstalled())
        GTEST_SKIP() << "ffmpeg is not installed";
    startOn(threeBasicTwoAdvance());
    const std::string folder = makeDir("folder");
    const std::vector<std::string> sound{"-f", "lavfi", "-i", "sine", "-t", "1", "-c:a", "libmp3lame"};
    ASSERT_TRUE(MakeWithFfmpeg(app() + "PLAYS.MP3", sound));
    ASSERT_TRUE(MakeWithFfmpeg(app() + "Bad Name.mp3", sound));
    const std::string copies = app() + "copies/";
    const struct {
        QString choice;
        std::string message;
        std::string last; // the last entry of the Basic list
    } cases[] = {
        {"Cancel", "These files were not added:\r\nfolder\r\nBad Name.mp3", "PLAYS.MP3"},
        {"Add anyway", "These files were not added:\r\nfolder\r\nBad Name.mp3", "PLAYS.MP3"},
        // The copies folder is not there yet: the copy fails, and is named with its reason.
        {"Add a player copy",
         "These files were not added:\r\nfolder\r\nBad Name.mp3: the conversion failed: cannot create a "
         "working folder in " +
             copies,
         "PLAYS.MP3"},
        {"Add a player copy", "These files were not added:\r\nfolder", "BAD_NAME.MP3"},
    };
    tc.prompts.files = {QString::fromStdString(copies)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        tc.prompts.shown.clear();
        tc.prompts.choices = {c.choice};
        dropOn("NormalList", {QString::fromStdString(app() + "PLAYS.MP3"), QString::fromStdString(folder),
                              QString::fromStdString(app() + "Bad Name.mp3")});
        EXPECT_EQ(shownMessages().join('|').toStdString(), c.message);
        EXPECT_EQ(
            StoredNameText(schedule().basicEntries[static_cast<std::size_t>(schedule().basicCount - 1)]),
            c.last);
        if (c.choice == "Add a player copy")
            std::filesystem::create_directories(copies); // for the next case
    }
}

TEST_F(EditsTest, CopyAndPaste_betweenTheLists_advanceEntryWithItsDetails) {
    startOn(threeBasicTwoAdvance());
    focusRow("DetailList", 1);
    trigger("subCopyEntry");
    focusRow("NormalList", 0);
    trigger("subPasteEntry");
    ASSERT_EQ(schedule().basicCount, 4);
    EXPECT_EQ(schedule().basicEntries[3], threeBasicTwoAdvance().advanceEntries[0].files[1]);

    focusRow("AdvanceList", 1);
    trigger("subCopyEntry");
    trigger("subPasteEntry");
    ASSERT_EQ(schedule().advanceCount, 3);
    EXPECT_EQ(schedule().advanceEntries[2], threeBasicTwoAdvance().advanceEntries[1]);
    EXPECT_EQ(list("AdvanceList")->currentRow(), 2);
    expectListsAsRefill();

    // An advance entry has no place in a file list.
    focusRow("NormalList", 0);
    trigger("subPasteEntry");
    EXPECT_EQ(schedule().basicCount, 4);
    EXPECT_EQ(child<QAction>("subUndo")->text(), QStringLiteral("Undo Paste"));
}

TEST_F(EditsTest, BrowseOfSeveralFilesInAdd_oneEntryEachWithTheChosenPlayCountAndVolume) {
    startOn(threeBasicTwoAdvance());
    tc.prompts.choices = {"Add anyway"}; // none holds media the player plays
    tc.prompts.fileLists = {{QString::fromStdString(makeFile("p1.mp3")),
                             QString::fromStdString(app() + "vanished.mp3"),
                             QString::fromStdString(makeFile("p2.avi"))}};
    answerDialog([](QWidget* dialog) {
        dialog->findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
        LetBackgroundWorkAnswer();
        EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->placeholderText(),
                  QStringLiteral("3 files chosen"));
        dialog->findChild<QComboBox*>(QStringLiteral("PlayTimesCombo"))->setCurrentIndex(4);
        dialog->findChild<QComboBox*>(QStringLiteral("VolumeCombo"))->setCurrentIndex(6);
        dialog->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
    });
    click("NormalAddCmd");
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("These files were not added:\r\nvanished.mp3")}));
    ASSERT_EQ(schedule().basicCount, 5);
    EXPECT_EQ(schedule().basicEntries[3], MakeFile("P1", "MP3", 4, 6));
    EXPECT_EQ(schedule().basicEntries[4], MakeFile("P2", "AVI", 4, 6));
    EXPECT_EQ(state().mediaDir, app());
    expectListsAsRefill();
    trigger("subUndo");
    EXPECT_EQ(schedule(), threeBasicTwoAdvance());
}

TEST_F(EditsTest, BrowseInAdd_theRealFileDialogTakesSeveralFiles) {
    makeFile("p1.mp3");
    makeFile("p2.avi");
    QtPrompts real;
    AppContext context{tc.state, tc.texts, real, tc.clock, tc.random, tc.volumes, tc.links, {}};
    form = std::make_unique<MainForm>(context, tc.appPath());
    form->show();

    bool typed = false;
    // Neither holds media the player plays: the question that follows is answered "Add anyway".
    std::function<void()> addAnyway = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return QTimer::singleShot(10, qApp, addAnyway);
        box->findChild<QPushButton*>(QStringLiteral("DiscardChoice"))->click();
    };
    std::function<void()> pickTwo = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return QTimer::singleShot(10, qApp, pickTwo);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("\"p1.mp3\" \"p2.avi\""));
        typed = true;
        QTimer::singleShot(10, qApp, addAnyway);
        QTest::keyClick(name, Qt::Key_Return);
    };
    answerDialog([&](QWidget* editor) {
        QTimer::singleShot(0, qApp, pickTwo);
        editor->findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
        LetBackgroundWorkAnswer();
        editor->findChild<QPushButton*>(QStringLiteral("OKCmd"))->click();
    });
    click("NormalAddCmd");
    EXPECT_TRUE(typed);
    ASSERT_EQ(schedule().basicCount, 2);
    EXPECT_EQ(schedule().basicEntries[0], MakeFile("P1", "MP3", 1, 13));
    EXPECT_EQ(schedule().basicEntries[1], MakeFile("P2", "AVI", 1, 13));
}

TEST_F(EditsTest, EditMenu_betweenFileAndHelp_standardShortcuts) {
    tc.texts = ScreenTexts(); // as at a real start: the texts are chosen after the menus are built
    startOn(threeBasicTwoAdvance());
    QStringList menus;
    for (const QAction* action : form->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus,
              QStringList({"&File", "&Edit", "&View", "&Help"})); // the overview's View menu sits before Help
    EXPECT_EQ(child<QAction>("subUndo")->shortcuts(), QKeySequence::keyBindings(QKeySequence::Undo));
    EXPECT_TRUE(child<QAction>("subRedo")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Redo))
        EXPECT_TRUE(child<QAction>("subRedo")->shortcuts().contains(key)) << key.toString().toStdString();
    EXPECT_EQ(child<QAction>("subCopyEntry")->shortcuts(), QKeySequence::keyBindings(QKeySequence::Copy));
    EXPECT_EQ(child<QAction>("subPasteEntry")->shortcuts(), QKeySequence::keyBindings(QKeySequence::Paste));
    EXPECT_EQ(child<QAction>("subDuplicateEntry")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    EXPECT_FALSE(child<QAction>("subUndo")->isEnabled());
    EXPECT_EQ(child<QAction>("subUndo")->text(), QStringLiteral("Undo"));

    QStringList items;
    for (const QAction* action : child<QMenu>("subEdit")->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items, QStringList({"Undo", "Redo", "-", "Copy", "Paste", "Duplicate"}));
}

} // namespace
} // namespace velmo::test
