#include "support/background_work.h"
#include "support/find_control.h"
#include "support/fuse_server.h"
#include "support/gated_io.h"
#include "support/test_context.h"

#include "model/file_io.h"
#include "ui/copy/copy_form.h"
#include "ui/copy/directory_list.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

using namespace velmo;
using velmo::test::ScriptedPrompts;
using velmo::test::TestContext;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(1234);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

QStringList fileNames(const QString& directory) {
    return QDir(directory).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The drives are asked off the window's thread; a hanging one is given up on after two seconds. Until
// they have answered, there is no drive to choose.
bool drivesListed(const CopyForm& form) {
    return form.findChild<QComboBox*>(QStringLiteral("CopyDrive"))->isEnabled();
}
void waitForDrives(const CopyForm& form) {
    EXPECT_TRUE(QTest::qWaitFor([&form] { return drivesListed(form); }, 10000));
}

// Presses Copy and lets the window run until the press has been dealt with.
void pressCopy(CopyForm& form) {
    QSignalSpy ended(&form, &CopyForm::copyEnded);
    form.findChild<QPushButton*>(QStringLiteral("CopyCmd"))->click();
    EXPECT_TRUE(ended.wait(20000));
}

// The directory list opens what was asked off the window's thread.
void waitForListing(const DirectoryList& list) {
    EXPECT_TRUE(QTest::qWaitFor([&list] { return !list.listing(); }, 10000));
}

// An application directory with a media directory holding Clip.Avi, and a stick mounted inside it
// that holds a music directory.
struct CopyCase {
    TestContext t;
    QString app = QDir::cleanPath(t.dir.path());
    QString media = app + QStringLiteral("/media");
    QString stick = app + QStringLiteral("/stick");
    QString music = stick + QStringLiteral("/music");
    QByteArray clip = randomBytes(300000);
    std::unique_ptr<CopyForm> form;

    CopyCase() {
        QDir().mkpath(media);
        QDir().mkpath(music);
        writeAll(media + QStringLiteral("/Clip.Avi"), clip);
        t.state.mediaDir = fromQt(media + QLatin1Char('/'));
        t.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4")}, {stick, QStringLiteral("vfat")}};
    }
    void rememberDestination(const QString& drive, const QString& directory) {
        t.state.copyDrive = fromQt(drive);
        t.state.copyDir = fromQt(directory);
    }
    CopyForm& open(const QString& name = QStringLiteral("Clip.Avi")) {
        form = std::make_unique<CopyForm>(t.context, name);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        waitForDrives(*form);
        return *form;
    }
    template <typename T> T* control(const char* name) const {
        return test::FindControl<T>(form.get(), name);
    }
    QComboBox* CopyDrive() const { return control<QComboBox>("CopyDrive"); }
    DirectoryList* CopyDir() const { return control<DirectoryList>("CopyDir"); }
    QLineEdit* CopyText() const { return control<QLineEdit>("CopyText"); }
    QPushButton* CopyCmd() const { return control<QPushButton>("CopyCmd"); }
    QPushButton* CancelCmd() const { return control<QPushButton>("CancelCmd"); }

    QListWidgetItem* entry(const QString& path) const {
        DirectoryList* list = CopyDir();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(DirectoryList::PathRole).toString() == path)
                return list->item(i);
        ADD_FAILURE() << "no entry " << path.toStdString();
        return nullptr;
    }
    void doubleClick(const QString& path) const {
        DirectoryList* list = CopyDir();
        QListWidgetItem* item = entry(path);
        ASSERT_NE(item, nullptr);
        // The events of a real double click; the item view needs the press before the double click.
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        waitForListing(*list);
    }
    void selectDrive(const QString& drive) const {
        QSignalSpy answered(form.get(), &CopyForm::volumesAnswered);
        CopyDrive()->setCurrentIndex(CopyDrive()->findText(drive));
        EXPECT_TRUE(answered.wait(10000));
    }
    // Where the dialog shows its destination, all three views of it.
    void expectDestination(const QString& drive, const QString& directory) const {
        EXPECT_EQ(CopyDrive()->currentText(), drive);
        EXPECT_EQ(CopyDir()->path(), directory);
        EXPECT_EQ(CopyText()->text(), directory);
    }
    QStringList messages() const { return t.prompts.messages(); }
    std::vector<ScriptedPrompts::Shown::Kind> kinds() const {
        std::vector<ScriptedPrompts::Shown::Kind> result;
        for (const auto& shown : t.prompts.shown)
            result.push_back(shown.kind);
        return result;
    }
};

const QString kCopied = QStringLiteral("File Copied");
const QString kCopyError = QStringLiteral("File Copy Error!");
const QString kOverwrite = QStringLiteral("File Already Existed, Overwrite?");

} // namespace

TEST(CopyForm, ShowsItsControlsInTabOrderWithTheRememberedDestination) {
    CopyCase c;
    c.rememberDestination(c.stick, c.music);
    CopyForm& form = c.open();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Copy to ..."));
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(c.CopyCmd()->text(), QStringLiteral("Copy"));
    EXPECT_EQ(c.CancelCmd()->text(), QStringLiteral("Exit"));
    EXPECT_EQ(c.CopyText()->palette().color(QPalette::Base), QColor(255, 255, 128));
    c.expectDestination(c.stick, c.music);
    EXPECT_EQ(c.CopyDrive()->count(), 2);

    const QList<QWidget*> controls = {c.CopyDrive(), c.CopyDir(), c.CancelCmd(), c.CopyCmd(), c.CopyText()};
    QList<QWidget*> order;
    QWidget* widget = c.CopyDrive();
    do {
        if (controls.contains(widget) && !order.contains(widget) && (widget->focusPolicy() & Qt::TabFocus))
            order << widget;
        widget = widget->nextInFocusChain();
    } while (widget != c.CopyDrive());
    EXPECT_EQ(order, controls);
    EXPECT_TRUE(c.messages().isEmpty());
}

TEST(CopyForm, RememberedPlaceThatIsGoneOpensAtTheApplicationDirectorySilently) {
    struct Gone {
        const char* what;
        std::function<void(CopyCase&)> arrange;
    };
    const std::vector<Gone> cases = {
        {"directory deleted", [](CopyCase& c) { c.rememberDestination(c.stick, c.stick + "/deleted"); }},
        {"drive not ready",
         [](CopyCase& c) {
             c.rememberDestination(c.stick, c.music);
             c.t.volumes.notReady = QStringList{c.stick};
         }},
        {"drive no longer mounted",
         [](CopyCase& c) { c.rememberDestination(c.app + "/usb", c.app + "/usb"); }},
    };
    for (const Gone& gone : cases) {
        SCOPED_TRACE(gone.what);
        CopyCase c;
        gone.arrange(c);
        c.open();

        c.expectDestination(QStringLiteral("/"), c.app);
        EXPECT_EQ(c.t.state.copyDrive, "/");
        EXPECT_EQ(c.t.state.copyDir, c.t.appPath());
        EXPECT_TRUE(c.t.prompts.shown.empty());
    }
}

TEST(CopyForm, OnlyAnOpenedDirectoryBecomesTheDestination) {
    CopyCase c;
    c.rememberDestination(c.stick, c.stick);
    c.open();
    DirectoryList* list = c.CopyDir();

    // Highlighting is no change.
    list->setFocus();
    list->setCurrentItem(c.entry(c.music));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(c.entry(c.music)).center());
    c.expectDestination(c.stick, c.stick);
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.stick));

    // Enter opens the highlighted directory, and stays in the list.
    QTest::keyClick(list, Qt::Key_Return);
    waitForListing(*list);
    c.expectDestination(c.stick, c.music);
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.music));
    EXPECT_TRUE(c.form->isVisible());
    EXPECT_TRUE(c.t.prompts.shown.empty());

    // A double click on an ancestor goes back up.
    c.doubleClick(c.stick);
    c.expectDestination(c.stick, c.stick);
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.stick));
    EXPECT_EQ(c.t.state.copyDrive, fromQt(c.stick));
}

TEST(CopyForm, DriveChangeOpensTheDriveAndRemembersIt) {
    CopyCase c;
    c.open();
    c.expectDestination(QStringLiteral("/"), c.app);

    c.selectDrive(c.stick);

    c.expectDestination(c.stick, c.stick);
    EXPECT_EQ(c.t.state.copyDrive, fromQt(c.stick));
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.stick));
    EXPECT_TRUE(c.t.prompts.shown.empty());
}

TEST(CopyForm, DriveThatIsNotReadyShowsDeviceErrorAndBothListsReturn) {
    CopyCase c;
    const QString card = c.app + QStringLiteral("/card");
    QDir().mkpath(card);
    c.t.volumes.list.push_back({card, QStringLiteral("vfat")});
    c.t.volumes.notReady = QStringList{card};
    c.rememberDestination(c.stick, c.music);
    c.open();

    c.selectDrive(card);

    EXPECT_EQ(c.messages(), QStringList{QStringLiteral("Device[") + card + QStringLiteral("] Error!")});
    c.expectDestination(c.stick, c.music);
    EXPECT_EQ(c.t.state.copyDrive, fromQt(c.stick));
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.music));

    // The lists work as before.
    c.doubleClick(c.stick);
    c.expectDestination(c.stick, c.stick);
}

TEST(CopyForm, DriveErrorWhenTheLastGoodPlaceHasGoneToo_FallsBackToTheApplicationDirectory) {
    CopyCase c;
    const QString card = c.app + QStringLiteral("/card");
    c.t.volumes.list.push_back({card, QStringLiteral("vfat")});
    c.rememberDestination(c.stick, c.music);
    c.open();
    ASSERT_TRUE(QDir(c.stick).removeRecursively());

    c.selectDrive(card);

    EXPECT_EQ(c.messages(), QStringList{QStringLiteral("Device[") + card + QStringLiteral("] Error!")});
    c.expectDestination(QStringLiteral("/"), c.app);
    EXPECT_EQ(c.t.state.copyDir, c.t.appPath());
}

TEST(CopyForm, NewDestinationCopiesWithoutAQuestion) {
    CopyCase c;
    c.rememberDestination(c.stick, c.music);
    c.open();

    pressCopy(*c.form);

    EXPECT_EQ(c.messages(), QStringList{kCopied});
    EXPECT_EQ(c.kinds(), std::vector{ScriptedPrompts::Shown::Message});
    EXPECT_EQ(readAll(c.music + "/Clip.Avi"), c.clip);
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("Clip.Avi")});
    EXPECT_TRUE(c.form->isVisible());
}

TEST(CopyForm, ExistingNameInOtherLetterCaseAsksAndOkReplacesIt) {
    CopyCase c;
    writeAll(c.music + "/CLIP.AVI", "old");
    c.rememberDestination(c.stick, c.music);
    c.open();
    c.t.prompts.answers = {true};

    pressCopy(*c.form);

    ASSERT_EQ(c.t.prompts.shown.size(), 2u);
    EXPECT_EQ(c.t.prompts.shown[0].kind, ScriptedPrompts::Shown::OkCancel);
    EXPECT_EQ(c.t.prompts.shown[0].text, kOverwrite);
    EXPECT_EQ(c.messages(), QStringList{kCopied});
    EXPECT_EQ(readAll(c.music + "/CLIP.AVI"), c.clip);
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("CLIP.AVI")});
}

TEST(CopyForm, CancelToTheOverwriteQuestionLeavesTheFileAndSaysNothingMore) {
    CopyCase c;
    writeAll(c.music + "/clip.avi", "old");
    c.rememberDestination(c.stick, c.music);
    c.open();
    c.t.prompts.answers = {false};

    pressCopy(*c.form);

    EXPECT_EQ(c.kinds(), std::vector{ScriptedPrompts::Shown::OkCancel});
    EXPECT_EQ(readAll(c.music + "/clip.avi"), QByteArray("old"));
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("clip.avi")});
    EXPECT_TRUE(c.CopyCmd()->isEnabled());
}

TEST(CopyForm, DestinationThatIsTheMediaDirectoryInAnySpellingIsACopyError) {
    for (const QString& spelling : {QStringLiteral("%1/"), QStringLiteral("%1"), QStringLiteral("  %1/  ")}) {
        CopyCase c;
        const QString mediaDir = spelling.arg(c.media.toUpper());
        SCOPED_TRACE(mediaDir.toStdString());
        c.t.state.mediaDir = fromQt(mediaDir);
        c.rememberDestination(QStringLiteral("/"), c.media);
        c.open();

        pressCopy(*c.form);

        EXPECT_EQ(c.kinds(), std::vector{ScriptedPrompts::Shown::Message});
        EXPECT_EQ(c.messages(), QStringList{kCopyError});
        EXPECT_EQ(readAll(c.media + "/Clip.Avi"), c.clip);
        EXPECT_EQ(fileNames(c.media), QStringList{QStringLiteral("Clip.Avi")});
    }
}

TEST(CopyForm, ReadOnlyDestinationFileStaysAndGivesACopyError) {
    CopyCase c;
    const QString old = c.music + "/Clip.Avi";
    writeAll(old, "old");
    QFile::setPermissions(old, QFile::ReadOwner | QFile::ReadGroup);
    c.rememberDestination(c.stick, c.music);
    c.open();
    c.t.prompts.answers = {true};

    pressCopy(*c.form);

    EXPECT_EQ(c.t.prompts.shown.front().text, kOverwrite);
    EXPECT_EQ(c.messages(), QStringList{kCopyError});
    EXPECT_EQ(readAll(old), QByteArray("old"));
    EXPECT_FALSE(QFile::permissions(old) & QFile::WriteOwner);
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("Clip.Avi")});
}

TEST(CopyForm, FailedCopyIsACopyErrorAndLeavesNothingBehind) {
    CopyCase c;
    c.t.state.mediaDir = fromQt(c.app + "/elsewhere/");
    c.rememberDestination(c.stick, c.music);
    c.open();

    pressCopy(*c.form);

    EXPECT_EQ(c.messages(), QStringList{kCopyError});
    EXPECT_TRUE(fileNames(c.music).isEmpty());
}

TEST(CopyForm, BusyWhileCopyingUntilTheMessageIsDismissedThenCancelBeforeCopyIsEnabled) {
    CopyCase c;
    c.rememberDestination(c.stick, c.music);
    c.open();
    bool busyDuringMessage = false;
    bool buttonsDisabledDuringMessage = false;
    c.t.prompts.onShow = [&](const ScriptedPrompts::Shown&) {
        busyDuringMessage = QGuiApplication::overrideCursor() != nullptr &&
                            QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
        buttonsDisabledDuringMessage = !c.CopyCmd()->isEnabled() && !c.CancelCmd()->isEnabled();
    };
    // Records each button as it comes back, and whether the pointer was normal by then.
    struct EnableRecorder : QObject {
        QStringList order;
        bool pointerNormalFirst = true;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled()) {
                order << watched->objectName();
                pointerNormalFirst = pointerNormalFirst && QGuiApplication::overrideCursor() == nullptr;
            }
            return false;
        }
    } recorder;
    c.CopyCmd()->installEventFilter(&recorder);
    c.CancelCmd()->installEventFilter(&recorder);

    pressCopy(*c.form);

    EXPECT_EQ(c.messages(), QStringList{kCopied});
    EXPECT_TRUE(busyDuringMessage);
    EXPECT_TRUE(buttonsDisabledDuringMessage);
    EXPECT_EQ(recorder.order, (QStringList{QStringLiteral("CancelCmd"), QStringLiteral("CopyCmd")}));
    EXPECT_TRUE(recorder.pointerNormalFirst);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CopyForm, CancelInTheProgressDialogLeavesTheOldFileAndNoTemporary) {
    CopyCase c;
    const QByteArray large = randomBytes(6 * 1024 * 1024 + 77);
    writeAll(c.media + "/Clip.Avi", large);
    writeAll(c.music + "/Clip.Avi", "old");
    c.rememberDestination(c.stick, c.music);
    CopyForm& form = c.open();
    // The copy stops half way, as on a slow medium; the dialog still repaints and takes Cancel.
    test::GatedIo io;
    io.stopAfter = 3 * 1024 * 1024;
    form.setFileIo(io);
    c.t.prompts.answers = {true};
    struct Seen {
        QString label;
        int value = -1;
    } seen;
    std::function<void()> cancelHalfWay = [&] {
        auto* progress = form.findChild<QProgressDialog*>();
        if (!io.stopped || progress == nullptr || !progress->isVisible()) {
            QTimer::singleShot(10, qApp, cancelHalfWay);
            return;
        }
        QCoreApplication::processEvents(); // what the copy posted before it stopped
        seen = {progress->labelText(), progress->value()};
        QTest::keyClick(progress, Qt::Key_Escape);
        io.release();
    };
    QTimer::singleShot(0, qApp, cancelHalfWay);

    pressCopy(*c.form);

    EXPECT_EQ(c.kinds(), std::vector{ScriptedPrompts::Shown::OkCancel});
    EXPECT_TRUE(seen.label.startsWith(QStringLiteral("Copying Clip.Avi"))) << seen.label.toStdString();
    EXPECT_TRUE(seen.label.contains(QStringLiteral("MiB of 6.0 MiB written"))) << seen.label.toStdString();
    // The bar is updated at most about ten times a second, so it may still show an earlier chunk.
    EXPECT_GT(seen.value, 0);
    EXPECT_LT(seen.value, 500);
    EXPECT_EQ(readAll(c.music + "/Clip.Avi"), QByteArray("old"));
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("Clip.Avi")});
    EXPECT_TRUE(c.CopyCmd()->isEnabled());
    EXPECT_TRUE(c.CancelCmd()->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(CopyForm, NextOpeningStartsWhereTheLastCopyWent) {
    CopyCase c;
    c.open();
    c.selectDrive(c.stick);
    c.doubleClick(c.music);
    pressCopy(*c.form);
    ASSERT_EQ(c.messages(), QStringList{kCopied});
    c.CancelCmd()->click();
    EXPECT_FALSE(c.form->isVisible());

    c.open();

    c.expectDestination(c.stick, c.music);
    EXPECT_TRUE(QFile::exists(c.music + "/Clip.Avi"));
}

TEST(CopyForm, CopiesTheFileBrowsedInTheEntryEditorThatOpensIt) {
    CopyCase c;
    c.rememberDestination(c.stick, c.music);
    // As the program opens it: from the editor's "Copy to...", with only the editor as parent.
    c.t.context.showCopyForm = [&c](QWidget* parent, const QString& fileName) {
        CopyForm form(c.t.context, fileName, parent);
        form.show();
        waitForDrives(form);
        pressCopy(form);
    };
    ScheduleEditForm editor(c.t.context, std::nullopt, kMaxBasicEntries);
    editor.show();
    c.t.prompts.files = {c.media + QStringLiteral("/Clip.Avi")};
    // The clip is no real video: the question about it is answered "Add anyway".
    c.t.prompts.choices.push_back(QStringLiteral("Add anyway"));

    editor.findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
    test::LetBackgroundWorkAnswer();
    editor.findChild<QPushButton*>(QStringLiteral("CopyCmd"))->click();

    EXPECT_EQ(c.messages(), QStringList{kCopied});
    EXPECT_EQ(readAll(c.music + "/Clip.Avi"), c.clip);
    EXPECT_EQ(fileNames(c.music), QStringList{QStringLiteral("Clip.Avi")});
}

TEST(CopyForm, HiddenFileOfTheSameNameGetsTheRealOverwriteQuestion) {
    CopyCase c;
    writeAll(c.media + "/.intro.mp3", c.clip);
    writeAll(c.music + "/.intro.mp3", "old");
    c.rememberDestination(c.stick, c.music);
    QtPrompts prompts;
    AppContext context{c.t.state, c.t.texts, prompts, c.t.clock, c.t.random, c.t.volumes, c.t.links, {}};
    CopyForm form(context, QStringLiteral(".intro.mp3"));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    waitForDrives(form);
    // Answers every message box with Escape (Cancel, or OK where that is the only button).
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() + QStringLiteral(": ") + box->text();
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    answer.start(10);

    pressCopy(form);
    answer.stop();

    EXPECT_EQ(seen, QStringList{QStringLiteral("Message: ") + kOverwrite});
    EXPECT_EQ(readAll(c.music + "/.intro.mp3"), QByteArray("old"));
}

// Opens the dialog while the drive at stuck never answers: the dialog repaints and takes keys while
// it waits, then leaves that drive out and names it.
void expectStuckDriveLeftOut(CopyCase& c, AppContext& context, const QString& stuck) {
    c.rememberDestination(c.stick, c.music);
    c.form = std::make_unique<CopyForm>(context, QStringLiteral("Clip.Avi"));
    c.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.form.get()));
    EXPECT_FALSE(drivesListed(*c.form));
    QTest::keyClick(c.CancelCmd(), Qt::Key_Tab);
    c.form->repaint();
    auto* note = c.control<QLabel>("NotAnsweringLabel");
    EXPECT_FALSE(note->isVisible());

    waitForDrives(*c.form);
    EXPECT_EQ(c.CopyDrive()->findText(stuck), -1);
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("Not answering, left out: ")))
        << note->text().toStdString();
    EXPECT_TRUE(note->text().contains(stuck)) << note->text().toStdString();
    EXPECT_EQ(note->accessibleName(), QStringLiteral("Drives not answering"));
}

TEST(CopyForm, DriveThatNeverAnswersIsLeftOutAndNamedWhileTheDialogTakesInput) {
    CopyCase c;
    const QString stuck = c.app + QStringLiteral("/stuck");
    QDir().mkpath(stuck);
    c.t.volumes.list.push_back({stuck, QStringLiteral("fuse.sshfs")});
    c.t.volumes.hanging = QStringList{stuck};

    expectStuckDriveLeftOut(c, c.t.context, stuck);
    EXPECT_EQ(c.CopyDrive()->count(), 2);
    c.expectDestination(c.stick, c.music);

    pressCopy(*c.form);
    EXPECT_EQ(c.messages(), QStringList{kCopied});
    EXPECT_EQ(readAll(c.music + "/Clip.Avi"), c.clip);
}

TEST(CopyForm, RememberedPlaceGone_aMountedRemovableMediumIsOfferedFirst) {
    CopyCase c;
    c.t.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4"), false},
                        {c.stick, QStringLiteral("vfat"), true}};
    c.rememberDestination(c.app + "/usb", c.app + "/usb");
    c.open();

    c.expectDestination(c.stick, c.stick);
    EXPECT_EQ(c.t.state.copyDrive, fromQt(c.stick));
    EXPECT_EQ(c.t.state.copyDir, fromQt(c.stick));
    EXPECT_TRUE(c.t.prompts.shown.empty());
}

TEST(CopyForm, RealFuseMountThatNeverAnswersStatfs_isLeftOutAndNamed_theDialogStaysResponsive) {
    CopyCase c;
    const QString stuck = c.app + QStringLiteral("/stuck");
    QDir().mkpath(stuck);
    const test::FuseMount mount(fromQt(stuck), "fuse.stuck", test::FuseStuck::Statfs);
    if (!mount.error().empty())
        GTEST_SKIP() << mount.error();

    // The program's own list of the mounted volumes, not a scripted one.
    static SystemVolumeList system;
    AppContext context{c.t.state, c.t.texts, c.t.prompts, c.t.clock, c.t.random, system, c.t.links, {}};
    expectStuckDriveLeftOut(c, context, stuck);
    EXPECT_NE(c.CopyDrive()->findText(QStringLiteral("/")), -1);
}

TEST(DirectoryList, ADirectoryWhoseMediumNeverAnswersStaysClosedWhileTheWindowRuns) {
    QTemporaryDir dir;
    const QString top = QDir(dir.path()).canonicalPath();
    const QString stuck = top + QStringLiteral("/stuck");
    QDir().mkpath(stuck);
    const test::FuseMount mount(fromQt(stuck), "fuse.stuck", test::FuseStuck::Listing);
    if (!mount.error().empty())
        GTEST_SKIP() << mount.error();

    DirectoryList list;
    QSignalSpy answered(&list, &DirectoryList::answered);
    list.setPath(top, top);
    ASSERT_TRUE(answered.wait(10000));
    ASSERT_EQ(answered.takeFirst().at(0).toBool(), true);
    ASSERT_EQ(list.count(), 2);
    bool eventsHandled = false;
    QTimer::singleShot(0, [&] { eventsHandled = true; });

    list.setPath(stuck, top);
    EXPECT_TRUE(list.listing());
    EXPECT_EQ(list.path(), top);
    ASSERT_TRUE(answered.wait(10000));
    EXPECT_EQ(answered.takeFirst().at(0).toBool(), false);
    EXPECT_TRUE(eventsHandled);
    EXPECT_EQ(list.path(), top);
    EXPECT_EQ(list.count(), 2);
}
