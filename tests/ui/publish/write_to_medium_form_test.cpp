#include "support/find_control.h"
#ifndef _WIN32
#include "support/fuse_server.h"
#endif
#include "support/gated_io.h"
#include "support/test_context.h"

#include "media/media_files.h"
#include "media/media_probe.h"
#include "model/schedule_file.h"
#include "rules/entry_rules.h"
#include "texts/screen_texts.h"
#include "ui/copy/copy_form.h"
#include "ui/copy/directory_list.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_media.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/prompts.h"
#include "ui/platform/termination_signals.h"
#include "ui/platform/ui_text.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/mount.h>
#endif

using namespace velmo;
using velmo::test::TestContext;
using velmo::test::operator+;

namespace {

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

FileEntry entry(const std::string& name) {
    FileEntry e;
    EXPECT_TRUE(StoreFileEntry(e, name, 1, kVolumeDefault));
    return e;
}

// Waits for a modal dialog of type T other than `except` to come up, then acts on it.
template <typename T> void whenShown(QWidget* except, std::function<void(T*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, qApp, [=] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog != except) {
            act(dialog);
            return;
        }
        if (triesLeft > 0)
            whenShown<T>(except, act, triesLeft - 1);
        else
            ADD_FAILURE() << "no dialog came up";
    });
}

// The drives are asked and the plan made off the window's thread; a hanging drive is given up on
// after two seconds. A loaded machine may take long to examine the media: the limit is only for a hang.
void waitSettled(const WriteToMediumForm& form) {
    const QString looking = QStringLiteral("Looking at the medium...");
    EXPECT_TRUE(QTest::qWaitFor([&form, &looking] { return test::WritePlanShown(&form, looking); }, 60000));
}

// Presses Write and lets the window run until the press has been dealt with: the plan is made anew and
// the write runs off the window's thread.
void pressWrite(WriteToMediumForm& form) {
    QSignalSpy ended(&form, &WriteToMediumForm::writeEnded);
    form.findChild<QPushButton*>(QStringLiteral("WriteCmd"))->click();
    EXPECT_TRUE(!ended.isEmpty() || ended.wait(60000));
}

QStringList column(const QTableWidget* table, int c) {
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row)
        cells << table->item(row, c)->text();
    return cells;
}

} // namespace

TEST(WriteToMediumForm, EndToEndWithTheRealQuestionFolderDialogAndReport) {
    TestContext t;
    const QString app = QDir::cleanPath(t.dir.path());
    const QString media = app + QStringLiteral("/media");
    const QString more = app + QStringLiteral("/more");
    const QString stick = app + QStringLiteral("/stick");
    for (const QString& dir : {media, more, stick + QStringLiteral("/player")})
        QDir().mkpath(dir);
    writeAll(media + QStringLiteral("/song.mp3"), QByteArray(200000, 's'));
    writeAll(more + QStringLiteral("/GONE.JPG"), QByteArray("picture"));
    t.state.mediaDir = fromQt(media + QLatin1Char('/'));
    t.state.copyDir = fromQt(stick + QLatin1Char('/'));
    t.state.scheduleFileName = "show.vlm";
    t.state.schedule = MakeSchedule({entry("SONG.MP3"), entry("GONE.JPG")}, {});
    t.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4")}, {stick, QStringLiteral("vfat")}};

    // Real message boxes, not the scripted ones.
    QtPrompts prompts;
    AppContext context{t.state, t.texts, prompts, t.clock, t.random, t.volumes, t.links, {}};
    PublishSettings settings;
    ScheduleDocument document(t.state);
    ScheduleMedia examined(t.state, document);
    WriteToMediumForm form(context, settings, document, examined);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    waitSettled(form);

    auto* table = form.findChild<QTableWidget*>(QStringLiteral("PlanTable"));
    auto* dir = form.findChild<DirectoryList*>(QStringLiteral("PublishDir"));
    auto* write = form.findChild<QPushButton*>(QStringLiteral("WriteCmd"));
    auto* add = form.findChild<QPushButton*>(QStringLiteral("AddFolderCmd"));
    ASSERT_TRUE(table && dir && write && add);
    // The copy destination is where it starts; the missing name stands on top, in the warning colour.
    // Shown and kept in the system's spelling ("E:\\" on Windows).
    EXPECT_EQ(dir->path(), QDir::toNativeSeparators(stick));
    EXPECT_EQ(column(table, 0), (QStringList{QStringLiteral("GONE.JPG"), QStringLiteral("SONG.MP3")}));
    EXPECT_EQ(column(table, 2), (QStringList{QStringLiteral("Missing"), QStringLiteral("Copy")}));
    EXPECT_NE(table->item(0, 0)->foreground().color(), table->palette().color(QPalette::Text));
    EXPECT_EQ(table->item(1, 3)->text(), media + QLatin1Char('/'));

    // Into the player directory, opened by Enter as in the copy dialog.
    for (int i = 0; i < dir->count(); ++i)
        if (dir->item(i)->data(DirectoryList::PathRole).toString() == stick + QStringLiteral("/player"))
            dir->setCurrentRow(i);
    dir->setFocus();
    QTest::keyClick(dir, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([dir] { return !dir->listing(); }, 10000));
    waitSettled(form);
    ASSERT_EQ(dir->path(), QDir::toNativeSeparators(stick + QStringLiteral("/player")));
    EXPECT_EQ(settings.destination, test::NativePath(stick + QStringLiteral("/player/")));

    // The question names how many are missing; No writes nothing.
    QString question;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        question = box->text();
        box->button(QMessageBox::No)->click();
    });
    pressWrite(form);
    EXPECT_EQ(question, QStringLiteral("Media files missing: 1. Write anyway?"));
    EXPECT_TRUE(QDir(stick + QStringLiteral("/player"))
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    // Yes writes the rest and the schedule, then the report.
    QString report;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        box->button(QMessageBox::Yes)->click();
        whenShown<QMessageBox>(&form, [&](QMessageBox* shown) {
            report = shown->text();
            shown->button(QMessageBox::Ok)->click();
        });
    });
    pressWrite(form);
    EXPECT_TRUE(report.startsWith(QStringLiteral("Written to the player medium.\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Copied 1, replaced 0, kept 0, missing 1.\n"
                                               "The schedule file was written.")))
        << report.toStdString();
    EXPECT_EQ(readAll(stick + QStringLiteral("/player/SONG.MP3")), QByteArray(200000, 's'));
    Schedule onStick;
    ASSERT_TRUE(ReadScheduleFile(fromQt(stick + QStringLiteral("/player/")), "show.vlm", onStick));
    EXPECT_EQ(onStick, t.state.schedule);

    // A second folder through the real folder dialog: nothing is missing any more.
    whenShown<QFileDialog>(&form, [&](QFileDialog* chooser) {
        auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(more);
        QTest::keyClick(name, Qt::Key_Return);
    });
    add->click();
    waitSettled(form);
    EXPECT_EQ(settings.mediaDirs, (std::vector<std::string>{fromQt(media + QLatin1Char('/')),
                                                            test::NativePath(more + QLatin1Char('/'))}));
    EXPECT_EQ(column(table, 2), (QStringList{QStringLiteral("Keep"), QStringLiteral("Copy")}));

    // GONE.JPG is no picture: it will not play, and no player copy can be made of it, so none is offered.
    auto* note = form.findChild<QLabel*>(QStringLiteral("WontPlayNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(
        note->text().startsWith(QStringLiteral("These files will not play on the player:\nGONE.JPG: ")))
        << note->text().toStdString();
    EXPECT_TRUE(
        note->text().endsWith(QStringLiteral("No player copy can be made of a file that cannot be read; "
                                             "Write copies the files as they are.")));
    EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("MakeCopiesCmd"))->isVisible());

    if (const char* shots = std::getenv("VELMO_PUBLISH_PNG"))
        form.grab().save(QString::fromLocal8Bit(shots));

    report.clear();
    whenShown<QMessageBox>(&form, [&](QMessageBox* shown) {
        report = shown->text();
        shown->button(QMessageBox::Ok)->click();
    });
    pressWrite(form); // no question this time
    EXPECT_TRUE(report.contains(QStringLiteral("Copied 1, replaced 0, kept 1, missing 0.")))
        << report.toStdString();
    EXPECT_EQ(readAll(stick + QStringLiteral("/player/GONE.JPG")), QByteArray("picture"));
}

namespace {

// A media folder holding the schedule's files and a stick to write them to, with every message box
// answered by the script unless a test brings the real ones.
struct PublishCase {
    TestContext t;
    QString app = QDir::cleanPath(t.dir.path());
    QString media = app + QStringLiteral("/media");
    QString stick = app + QStringLiteral("/stick");
    PublishSettings settings;
    ScheduleDocument document{t.state};
    ScheduleMedia examined{t.state, document};
    QtPrompts realPrompts;
    // With the real message boxes instead of the scripted ones.
    AppContext realContext{t.state, t.texts, realPrompts, t.clock, t.random, t.volumes, t.links, {}};
    std::unique_ptr<WriteToMediumForm> form;

    explicit PublishCase(const QStringList& names = {QStringLiteral("A.MP3"), QStringLiteral("B.MP3"),
                                                     QStringLiteral("C.MP3")}) {
        QDir().mkpath(media);
        QDir().mkpath(stick);
        std::vector<FileEntry> entries;
        for (const QString& name : names) {
            writeAll(media + QLatin1Char('/') + name, QByteArray(100000, name.at(0).toLatin1()));
            entries.push_back(entry(fromQt(name)));
        }
        t.state.mediaDir = fromQt(media + QLatin1Char('/'));
        t.state.schedule = MakeSchedule(entries, {});
        t.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4"), false},
                          {stick, QStringLiteral("vfat"), true}};
    }
    WriteToMediumForm& open(bool settle = true, bool realMessageBoxes = false) {
        form = std::make_unique<WriteToMediumForm>(realMessageBoxes ? realContext : t.context, settings,
                                                   document, examined);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        if (settle)
            waitSettled(*form);
        return *form;
    }
    template <typename T> T* control(const char* name) const {
        return test::FindControl<T>(form.get(), name);
    }
    QString summary() const { return control<QLabel>("PlanSummary")->text(); }
    QString counts() const { return control<QLabel>("PlanCounts")->text(); }
    QPushButton* write() const { return control<QPushButton>("WriteCmd"); }
};

} // namespace

TEST(WriteToMediumForm, FirstDestination_rememberedElseRemovableElseNone_neverTheProgramsFolder) {
    struct Case {
        const char* what;
        bool removable;
        QString remembered; // below the stick, or the program's folder when empty
        QString expected;   // below the stick, or none
    };
    const std::vector<Case> cases = {
        {"a removable medium is mounted", true, QString(), QStringLiteral("/")},
        {"none is mounted", false, QString(), QString()},
        {"the place remembered with Copy to...", false, QStringLiteral("/player"), QStringLiteral("/player")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PublishCase p;
        QDir().mkpath(p.stick + QStringLiteral("/player"));
        p.t.volumes.list[1].removable = c.removable;
        if (!c.remembered.isEmpty())
            p.t.state.copyDir = fromQt(p.stick + c.remembered);
        p.open();
        auto* text = p.control<QLineEdit>("PublishText");
        if (c.expected.isEmpty()) {
            EXPECT_EQ(text->text(), QString());
            EXPECT_FALSE(p.write()->isEnabled());
            EXPECT_EQ(p.summary(), QStringLiteral("Choose the medium to write to."));
            EXPECT_EQ(p.settings.destination, "");
            // Picking the drive chooses it.
            QSignalSpy shown(p.form.get(), &WriteToMediumForm::planShown);
            auto* drive = p.control<QComboBox>("PublishDrive");
            drive->setCurrentIndex(drive->findText(p.stick));
            ASSERT_TRUE(shown.wait(10000));
        }
        const QString chosen =
            QDir::cleanPath(p.stick + (c.expected.isEmpty() ? QStringLiteral("/") : c.expected));
        EXPECT_EQ(text->text(), QDir::toNativeSeparators(chosen));
        EXPECT_TRUE(p.write()->isEnabled());
        EXPECT_EQ(p.settings.destination, test::NativePath(chosen + QLatin1Char('/')));
        // Copy to... starts from the same place.
        EXPECT_EQ(p.t.state.copyDir, test::NativePath(chosen));
        EXPECT_EQ(p.t.state.copyDrive, fromQt(p.stick));
    }
}

TEST(WriteToMediumForm, DriveThatNeverAnswersIsLeftOutAndNamed_theDialogTakesInputMeanwhile) {
    PublishCase p;
    const QString stuck = p.app + QStringLiteral("/stuck");
    QDir().mkpath(stuck);
    p.t.volumes.list.insert(p.t.volumes.list.begin() + 1, {stuck, QStringLiteral("fuse.sshfs"), true});
    p.t.volumes.hanging = QStringList{stuck};
    p.open(false);
    EXPECT_FALSE(test::WritePlanShown(p.form.get(), QStringLiteral("Looking at the medium...")));
    // The window repaints and takes keys while the stuck drive is waited for.
    p.form->repaint();
    auto* check = p.control<QCheckBox>("RemoveUnusedCheck");
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    EXPECT_TRUE(check->isChecked());
    QTest::keyClick(check, Qt::Key_Space);

    waitSettled(*p.form);
    auto* drive = p.control<QComboBox>("PublishDrive");
    EXPECT_EQ(drive->findText(stuck), -1);
    EXPECT_EQ(drive->currentText(), p.stick);
    auto* note = p.control<QLabel>("NotAnsweringLabel");
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("Not answering, left out: ") + stuck);
    EXPECT_EQ(p.counts(), QStringLiteral("3 copy"));

    pressWrite(*p.form);
    ASSERT_EQ(p.t.prompts.messages().size(), 1);
    EXPECT_TRUE(p.t.prompts.messages()[0].startsWith(QStringLiteral("Written to the player medium.")));
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/C.MP3")), QByteArray(100000, 'C'));
}

TEST(WriteToMediumForm, CountsAboveTheTableAndASummaryThatSaysWhatChanges) {
    PublishCase p;
    p.open();
    EXPECT_EQ(p.counts(), QStringLiteral("3 copy"));
    pressWrite(*p.form);
    waitSettled(*p.form);
    EXPECT_EQ(p.counts(), QStringLiteral("3 keep"));
    EXPECT_EQ(p.summary(),
              QStringLiteral("Nothing to write: the medium already holds this schedule and its files."));
    p.form.reset();

    // Another play count: only the schedule file changes.
    p.t.state.schedule.basicEntries[0].playTimes = 2;
    p.open();
    EXPECT_EQ(p.counts(), QStringLiteral("3 keep"));
    EXPECT_EQ(p.summary(), QStringLiteral("Only the schedule file changes."));
    p.form.reset();

    writeAll(p.media + QStringLiteral("/B.MP3"), QByteArray(120000, 'b'));
    p.open();
    EXPECT_EQ(p.counts(), QStringLiteral("2 keep, 1 replace"));
    EXPECT_TRUE(p.summary().startsWith(QStringLiteral("117.2 KiB to write"))) << p.summary().toStdString();
}

TEST(WriteToMediumForm, PlanColumnsKeepTheirHeadingsAndTheActionInViewWhenTheDestinationChanges) {
    PublishCase p;
    const QString deep = p.app + QStringLiteral("/a-media-folder-with-a-rather-long-name/and-deeper-still");
    QDir().mkpath(deep);
    writeAll(deep + QStringLiteral("/D.MP3"), QByteArray(10, 'd'));
    p.settings.mediaDirs = {fromQt(p.media + QLatin1Char('/')), fromQt(deep + QLatin1Char('/'))};
    p.t.state.schedule.basicEntries.push_back(entry("D.MP3"));
    ++p.t.state.schedule.basicCount;
    p.open();
    auto* table = p.control<QTableWidget>("PlanTable");
    for (const QString& where : {p.stick, p.app}) {
        SCOPED_TRACE(where.toStdString());
        if (where != p.stick) {
            QSignalSpy shown(p.form.get(), &WriteToMediumForm::planShown);
            auto* dir = p.control<DirectoryList>("PublishDir");
            dir->setPath(where, QStringLiteral("/"));
            ASSERT_TRUE(shown.wait(10000));
        }
        QHeaderView* header = table->horizontalHeader();
        int used = 0;
        for (int c = 0; c < 3; ++c) {
            EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << c;
            used += header->sectionSize(c);
        }
        EXPECT_LT(used, table->viewport()->width());
    }
}

TEST(WriteToMediumForm, CancelAfterAReplacement_theRealReportSaysWhatIsOnTheMediumNow) {
    PublishCase p;
    for (const char* name : {"A.MP3", "B.MP3", "C.MP3"})
        writeAll(p.stick + QLatin1Char('/') + QLatin1String(name), QByteArray(50000, 'x'));
    WriteToMediumForm& form = p.open(true, true);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("PlanCounts"))->text(), QStringLiteral("3 replace"));

    // A.MP3 is written and read back whole; the write stops inside B.MP3, and Cancel is pressed there.
    test::GatedIo io;
    io.stopAfter = 250000;
    form.setFileIo(io);
    auto* cancel = form.findChild<QPushButton*>(QStringLiteral("CancelWriteCmd"));
    std::function<void()> cancelWhenStopped = [&] {
        if (!io.stopped)
            return QTimer::singleShot(10, qApp, cancelWhenStopped);
        EXPECT_TRUE(cancel->isEnabled());
        cancel->click();
        io.release();
    };
    QTimer::singleShot(0, qApp, cancelWhenStopped);
    QString report;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        report = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    pressWrite(form);

    EXPECT_EQ(report,
              QStringLiteral("Write cancelled.\n"
                             "Copied 0, replaced 1, kept 0, missing 0.\n"
                             "1 files were replaced with their new versions; the schedule file was not "
                             "written; the player still reads the old schedule."));
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/A.MP3")), QByteArray(100000, 'A'));
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/B.MP3")), QByteArray(50000, 'x'));
    EXPECT_EQ(QDir(p.stick).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("A.MP3"), QStringLiteral("B.MP3"), QStringLiteral("C.MP3")}));
}

TEST(WriteToMediumForm, RemovingUnusedFiles_listedInTheRealQuestion_onlyAfterYes) {
    PublishCase p({QStringLiteral("A.MP3")});
    writeAll(p.stick + QStringLiteral("/OLD.MP3"), QByteArray("old"));
    writeAll(p.stick + QStringLiteral("/GONE.JPG"), QByteArray("gone"));
    WriteToMediumForm& form = p.open(true, true);
    auto* counts = form.findChild<QLabel*>(QStringLiteral("PlanCounts"));
    auto* check = form.findChild<QCheckBox*>(QStringLiteral("RemoveUnusedCheck"));
    EXPECT_EQ(counts->text(), QStringLiteral("1 copy"));
    EXPECT_EQ(check->text(), QStringLiteral("Remove files the schedule no longer uses"));

    QSignalSpy shown(&form, &WriteToMediumForm::planShown);
    check->click();
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(counts->text(), QStringLiteral("1 copy, 2 remove"));
    auto* table = form.findChild<QTableWidget*>(QStringLiteral("PlanTable"));
    EXPECT_EQ(column(table, 2),
              (QStringList{QStringLiteral("Remove"), QStringLiteral("Remove"), QStringLiteral("Copy")}));

    const QString question = QStringLiteral("These files on the medium are not used by the schedule:\n"
                                            "GONE.JPG\nOLD.MP3\nRemove them from the medium?");
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        QStringList seen;
        whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
            seen << box->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            if (yes)
                whenShown<QMessageBox>(&form, [&](QMessageBox* report) {
                    seen << report->text();
                    report->button(QMessageBox::Ok)->click();
                });
        });
        pressWrite(form);
        ASSERT_FALSE(seen.isEmpty());
        EXPECT_EQ(seen[0], question);
        if (!yes) {
            EXPECT_EQ(seen.size(), 1);
            EXPECT_TRUE(QFile::exists(p.stick + QStringLiteral("/OLD.MP3")));
            EXPECT_FALSE(QFile::exists(p.stick + QStringLiteral("/A.MP3")));
            continue;
        }
        ASSERT_EQ(seen.size(), 2);
        EXPECT_EQ(seen[1], QStringLiteral("Written to the player medium.\n"
                                          "Copied 1, replaced 0, kept 0, removed 2, missing 0.\n"
                                          "The schedule file was written."));
        EXPECT_EQ(QDir(p.stick).entryList(QDir::Files, QDir::Name),
                  (QStringList{QStringLiteral("A.MP3"), QStringLiteral("velmo.vlm")}));
    }
}

TEST(WriteToMediumForm, TerminationSignalDuringTheWrite_cancelsSilentlyAndClosesWithTheMediumConsistent) {
    PublishCase p;
    p.open();
    test::GatedIo io;
    io.stopAfter = 150000; // inside A.MP3
    p.form->setFileIo(io);
    // As the program does on a termination signal; the write waits on the medium until then.
    const TerminationSignals terminationSignals([&io] {
        QApplication::closeAllWindows();
        io.release();
    });
    std::function<void()> signalWhenStopped = [&] {
        if (!io.stopped)
            return QTimer::singleShot(10, qApp, signalWhenStopped);
        ASSERT_EQ(::raise(SIGTERM), 0);
    };
    QTimer::singleShot(0, qApp, signalWhenStopped);

    pressWrite(*p.form);

    EXPECT_FALSE(p.form->isVisible());
    EXPECT_EQ(p.form->result(), QDialog::Rejected);
    EXPECT_TRUE(p.t.prompts.shown.empty());
    // Nothing half-written, and no schedule naming a file that is not there.
    EXPECT_EQ(QDir(p.stick).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A plan or a write still under way when the window closes, or goes, is answered to nobody: nothing is
// shown or said, and the write stops where the medium is consistent.
#ifndef _WIN32
TEST(WriteToMediumForm, WindowClosedOrGoneWhileWorkRuns_itsAnswerReachesNoWindow) {
    enum class Work { Plan, Write };
    struct Case {
        const char* what;
        Work work;
        bool destroyed; // else closed
    };
    const Case cases[] = {
        {"plan, window closed", Work::Plan, false},
        {"plan, window gone", Work::Plan, true},
        {"write, window gone", Work::Write, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PublishCase p;
        test::GatedIo io;
        io.stopAfter = 50000; // inside A.MP3
        // The plan waits on a media folder whose listing never comes, until the mount goes.
        const QString stuck = p.app + QStringLiteral("/stuck");
        QDir().mkpath(stuck);
        std::optional<test::FuseMount> mount;
        if (c.work == Work::Plan) {
            mount.emplace(fromQt(stuck), "fuse.stuck", test::FuseStuck::Listing);
            if (!mount->error().empty())
                GTEST_SKIP() << mount->error();
            p.settings.mediaDirs = {fromQt(stuck + QLatin1Char('/'))};
            p.open(false);
            // The destination is shown and its plan asked for.
            ASSERT_TRUE(QTest::qWaitFor(
                [&p] { return !p.control<QLineEdit>("PublishText")->text().isEmpty(); }, 10000));
            ASSERT_EQ(p.summary(), QStringLiteral("Looking at the medium..."));
        } else {
            p.open();
            p.form->setFileIo(io);
            p.write()->click();
            ASSERT_TRUE(QTest::qWaitFor([&io] { return io.stopped.load(); }, 10000));
        }
        QSignalSpy shown(p.form.get(), &WriteToMediumForm::planShown);
        QSignalSpy ended(p.form.get(), &WriteToMediumForm::writeEnded);
        if (c.destroyed)
            p.form.reset();
        else
            p.form->close();
        mount.reset();
        io.release();
        ASSERT_TRUE(WaitForDetachedWork(std::chrono::seconds(20)));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (!c.destroyed) {
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_TRUE(ended.isEmpty());
            EXPECT_EQ(p.summary(), QStringLiteral("Looking at the medium..."));
        }
        EXPECT_TRUE(p.t.prompts.shown.empty());
        EXPECT_EQ(QDir(p.stick).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
}
#endif

// Both dialogs that choose a destination name its controls, and Write its others, in the words of the
// screen texts chosen.
TEST(WriteToMediumForm, NamesForScreenReaders_inTheSecondLanguageToo_likeCopyTo) {
    PublishCase p;
    p.t.texts.SelectScreenTexts(2);
    p.open();
    CopyForm copy(p.t.context, QStringLiteral("A.MP3"));
    const auto name = [](TextId id) { return toQt(SecondLanguageText(id)); };
    const struct {
        const QWidget* window;
        const char* control;
        TextId id;
    } cases[] = {
        {p.form.get(), "PublishDrive", TextId::TextDriveName},
        {p.form.get(), "PublishDir", TextId::TextDirectoryName},
        {p.form.get(), "PublishText", TextId::TextDestination},
        {p.form.get(), "MediaFolderList", TextId::TextMediaFolders},
        {p.form.get(), "PlanTable", TextId::TextPlanTableName},
        {p.form.get(), "PlanSummary", TextId::TextPlanSummaryName},
        {p.form.get(), "MediumChanges", TextId::TextMediumChangesName},
        {p.form.get(), "PublishProgressBar", TextId::TextProgressName},
        {&copy, "CopyDrive", TextId::TextDriveName},
        {&copy, "CopyDir", TextId::TextDirectoryName},
        {&copy, "CopyText", TextId::TextDestination},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        const QWidget* control = test::FindControl<QWidget>(c.window, c.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->accessibleName(), name(c.id));
        EXPECT_NE(control->accessibleName(), toQt(EnglishText(c.id)));
    }
}

TEST(WriteToMediumForm, NoMediaFolderCanBeRead_refusedWithTheReasonAndNothingWritten) {
    PublishCase p;
    p.settings.mediaDirs = {fromQt(p.app + QStringLiteral("/medai/"))};
    p.open();
    EXPECT_TRUE(p.summary().startsWith(QStringLiteral("Cannot write here: no media folder can be read: ") +
                                       p.app + QStringLiteral("/medai/")))
        << p.summary().toStdString();
    EXPECT_FALSE(p.write()->isEnabled());
    EXPECT_EQ(QDir(p.stick).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A small medium of its own needs a mount namespace, which only Linux has.
#ifndef _WIN32
TEST(WriteToMediumForm, NearlyFullMedium_asksOnceNamingTheFile_noMeansNothingWritten_yesReplacesIt) {
    PublishCase p({QStringLiteral("BIG.MP3")});
    // A 4 MiB medium in a mount namespace of this thread's own (and of the workers it starts).
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "no private mount namespace";
    if (::mount("velmo-test", p.stick.toLocal8Bit().constData(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount tmpfs: " << std::strerror(errno);
    struct Unmount {
        QString at;
        ~Unmount() { ::umount2(at.toLocal8Bit().constData(), MNT_DETACH); }
    } unmount{p.stick};
    writeAll(p.stick + QStringLiteral("/BIG.MP3"), QByteArray(2000000, 'o'));
    writeAll(p.stick + QStringLiteral("/FILL.DAT"), QByteArray(1000000, 'f'));
    writeAll(p.media + QStringLiteral("/BIG.MP3"), QByteArray(2100000, 'n'));
    const QString question = QStringLiteral("The medium is nearly full: the old copies of these files have "
                                            "to be removed before their new versions "
                                            "are written:\nBIG.MP3\nUntil the write is complete, the "
                                            "medium's schedule leaves them out. Remove the "
                                            "old copies first?");

    const auto shown = [&p] {
        QStringList texts;
        for (const auto& one : p.t.prompts.shown)
            texts << one.text;
        return texts;
    };
    p.open();
    EXPECT_EQ(p.counts(), QStringLiteral("1 replace"));
    ASSERT_TRUE(p.write()->isEnabled()) << p.summary().toStdString();

    p.t.prompts.answers = {false};
    pressWrite(*p.form);
    EXPECT_EQ(
        shown(),
        (QStringList{question, QStringLiteral("Nothing was written: the new versions fit on the medium only "
                                              "after their old copies are removed.")}));
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/BIG.MP3")), QByteArray(2000000, 'o'));
    EXPECT_FALSE(QFile::exists(p.stick + QStringLiteral("/velmo.vlm")));

    p.t.prompts.shown.clear();
    p.t.prompts.answers = {true};
    pressWrite(*p.form);
    ASSERT_EQ(shown().size(), 2);
    EXPECT_EQ(shown()[0], question);
    EXPECT_TRUE(shown()[1].startsWith(QStringLiteral("Written to the player medium.")))
        << shown()[1].toStdString();
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/BIG.MP3")), QByteArray(2100000, 'n'));
    EXPECT_TRUE(QFile::exists(p.stick + QStringLiteral("/velmo.vlm")));
}
#endif

// A phone video and a picture that plays, made with ffmpeg: the plan names the video as one that will
// not play, and why; the real question at Write first lets the user back out, then makes the player
// copy, points the schedule at it in one undo step and writes only what the player plays.
TEST(WriteToMediumForm, FileThatWillNotPlay_realQuestionMakesThePlayerCopyAndWritesItInstead) {
    if (!test::MediaCanBeMade())
        GTEST_SKIP() << "ffmpeg is not installed";
    PublishCase p(QStringList{});
    const std::string media = fromQt(p.media + QLatin1Char('/'));
    const std::string copies = fromQt(p.app + QStringLiteral("/copies/"));
    QDir().mkpath(toQt(copies));
    ASSERT_TRUE(test::MakeMedium(media + "PHONE.MP4", "PHONE.MP4"));
    ASSERT_TRUE(test::MakeMedium(media + "GOOD.JPG", "PHOTO.JPG"));
    p.t.state.schedule = MakeSchedule({entry("PHONE.MP4"), entry("GOOD.JPG"), entry("PHONE.MP4")}, {});
    p.settings.playerCopiesDir = copies; // chosen on an earlier run
    ASSERT_TRUE(p.t.state.publish.remember(p.settings));
    WriteToMediumForm& form = p.open(true, true);

    auto* table = p.control<QTableWidget>("PlanTable");
    auto* note = p.control<QLabel>("WontPlayNote");
    auto* makeCopies = p.control<QPushButton>("MakeCopiesCmd");
    ASSERT_EQ(column(table, 0), (QStringList{QStringLiteral("PHONE.MP4"), QStringLiteral("GOOD.JPG")}));
    // In the warning colour, and in words for the eye and the screen reader alike.
    EXPECT_NE(table->item(0, 0)->foreground().color(), table->item(1, 0)->foreground().color());
    const QString why = QStringLiteral(".MP4 files are not files the player plays");
    EXPECT_TRUE(table->item(0, 2)->toolTip().contains(why)) << table->item(0, 2)->toolTip().toStdString();
    EXPECT_TRUE(table->item(0, 0)->data(Qt::AccessibleDescriptionRole).toString().contains(why));
    EXPECT_TRUE(table->item(1, 0)->toolTip().isEmpty());
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().contains(QStringLiteral("PHONE.MP4: ") + why)) << note->text().toStdString();
    EXPECT_FALSE(note->text().contains(QStringLiteral("GOOD.JPG")));
    EXPECT_TRUE(makeCopies->isEnabled());
    EXPECT_EQ(makeCopies->accessibleName(), QStringLiteral("Make player copies"));

    // Cancel in the real question: nothing is made, nothing written.
    QString question;
    QStringList buttons;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        question = box->text();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->findChild<QPushButton*>(QStringLiteral("CancelChoice"))->click();
    });
    pressWrite(*p.form);
    EXPECT_TRUE(question.startsWith(QStringLiteral("These files will not play on the player as they are:\n"
                                                   "PHONE.MP4: ") +
                                    why))
        << question.toStdString();
    buttons.sort(); // their order is the platform's
    EXPECT_EQ(buttons, (QStringList{"Cancel", "Make player copies", "Write anyway"}));
    EXPECT_EQ(QDir(p.stick).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QDir(toQt(copies)).entryList(QDir::Files), QStringList());

    // Make player copies: the copy is made, both entries name it, and the write goes on to the report.
    QString report;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        box->findChild<QPushButton*>(QStringLiteral("KeepChoice"))->click();
        // The report comes once the copy is made and written: give it time.
        whenShown<QMessageBox>(
            &form,
            [&](QMessageBox* shown) {
                report = shown->text();
                shown->button(QMessageBox::Ok)->click();
            },
            6000);
    });
    pressWrite(*p.form);
    // The copy is made off the window's thread; the write follows it.
    EXPECT_TRUE(QTest::qWaitFor([&report] { return !report.isEmpty(); }, 60000));
    EXPECT_TRUE(report.startsWith(QStringLiteral("Written to the player medium.\n"))) << report.toStdString();
    EXPECT_EQ(QDir(p.stick).entryList(QDir::Files, QDir::Name),
              (QStringList{"GOOD.JPG", "PHONE.MPG", "velmo.vlm"}));
    EXPECT_EQ(readAll(p.stick + QStringLiteral("/PHONE.MPG")), readAll(toQt(copies + "PHONE.MPG")));
    const ExaminedMedia written = ExamineMedia(fromQt(p.stick + QStringLiteral("/PHONE.MPG")));
    EXPECT_TRUE(written.verdict.plays);
    const Schedule pointed = MakeSchedule({entry("PHONE.MPG"), entry("GOOD.JPG"), entry("PHONE.MPG")}, {});
    EXPECT_EQ(p.t.state.schedule, pointed);
    Schedule onStick;
    ASSERT_TRUE(ReadScheduleFile(fromQt(p.stick + QLatin1Char('/')), "velmo.vlm", onStick));
    EXPECT_EQ(onStick, pointed);
    // The copies' folder joined the media folders; the plan made again has nothing left to warn of.
    EXPECT_EQ(p.settings.mediaDirs, (std::vector<std::string>{media, copies}));
    waitSettled(form);
    EXPECT_EQ(column(table, 0), (QStringList{QStringLiteral("PHONE.MPG"), QStringLiteral("GOOD.JPG")}));
    EXPECT_FALSE(note->isVisible());
    EXPECT_FALSE(makeCopies->isVisible());

    // One undo step gives the original names back.
    ASSERT_TRUE(p.document.canUndo());
    EXPECT_EQ(p.document.undoLabel(), TextId::TextMakePlayerCopies);
    p.document.undo();
    EXPECT_EQ(p.t.state.schedule,
              MakeSchedule({entry("PHONE.MP4"), entry("GOOD.JPG"), entry("PHONE.MP4")}, {}));
}

#ifdef _WIN32
// A new stick: its drive's root holds nothing, not even "." and "..", and Write fills it. The drive is
// the one VELMO_EMPTY_DRIVE names (Wine's link to an empty folder), else the test maps one as SUBST does.
TEST(WriteToMediumForm, NewStick_anEmptyDriveIsWrittenWithTheScheduleAndItsFiles) {
    PublishCase p;
    std::wstring letter;
    const char* given = std::getenv("VELMO_EMPTY_DRIVE");
    if (given != nullptr)
        letter = QString::fromLocal8Bit(given).toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(p.stick).toStdWString();
    for (wchar_t c = L'Z'; given == nullptr && c >= L'M' && letter.empty(); --c) {
        const std::wstring candidate{c, L':'};
        if (GetDriveTypeW((candidate + L"\\").c_str()) == DRIVE_NO_ROOT_DIR &&
            DefineDosDeviceW(0, candidate.c_str(), folder.c_str()))
            letter = candidate;
    }
    ASSERT_FALSE(letter.empty()) << "no drive letter could be mapped";
    const auto unmap = [&] {
        if (given == nullptr)
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, letter.c_str(), nullptr);
    };
    const QString root = QString::fromStdWString(letter) + QStringLiteral("\\");
    if (GetFileAttributesW((letter + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES) {
        unmap();
        if (given != nullptr)
            FAIL() << given << " cannot be opened";
        GTEST_SKIP() << "the drive is mapped but cannot be opened";
    }
    const QDir stick(root);
    ASSERT_TRUE(stick.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    p.t.volumes.list = {{QStringLiteral("C:\\"), QStringLiteral("NTFS"), false},
                        {root, QStringLiteral("FAT32"), true}};
    p.open();
    EXPECT_EQ(p.control<QLineEdit>("PublishText")->text(), root);
    EXPECT_EQ(p.counts(), QStringLiteral("3 copy"));
    pressWrite(*p.form);
    waitSettled(*p.form);
    EXPECT_EQ(p.counts(), QStringLiteral("3 keep"));
    p.form.reset();
    EXPECT_EQ(stick.entryList({QStringLiteral("*.MP3")}, QDir::Files),
              (QStringList{QStringLiteral("A.MP3"), QStringLiteral("B.MP3"), QStringLiteral("C.MP3")}));
    EXPECT_EQ(stick.entryList({QStringLiteral("*.vlm")}, QDir::Files).size(), 1);
    EXPECT_EQ(p.t.state.copyDir, fromQt(root));
    unmap();
}
#endif

TEST(WriteToMediumForm, RememberedMediumNotThere_saysSoAndWriteWaitsUntilAnotherDriveIsChosen) {
    PublishCase p;
    QDir().mkpath(p.stick + QStringLiteral("/player"));
    // Remembered on a stick that is out: its folder now lies on another volume.
    p.settings.destination = test::NativePath(p.stick + QStringLiteral("/player/"));
    p.settings.destinationMedium = {"0000-GONE", "SHOP", "/media/velmo/SHOP", "/dev/sdx1"};
    p.open();
    const QString absent = QStringLiteral("The medium SHOP is not there; plug it in or choose another drive");
    EXPECT_EQ(p.summary(), absent);
    EXPECT_FALSE(p.write()->isEnabled());
    EXPECT_FALSE(p.control<QPlainTextEdit>("WriteSummary")->isVisible());
    // Write stays waiting however often the plan is made again.
    p.control<QCheckBox>("RemoveUnusedCheck")->setChecked(true);
    waitSettled(*p.form);
    EXPECT_EQ(p.summary(), absent);
    EXPECT_FALSE(p.write()->isEnabled());
    EXPECT_FALSE(QFile::exists(p.stick + QStringLiteral("/player/") + toQt(p.t.state.scheduleFileName)));

    // Another directory chosen is taken as the medium it is on.
    QSignalSpy shown(p.form.get(), &WriteToMediumForm::planShown);
    p.control<DirectoryList>("PublishDir")->setPath(p.stick, p.stick);
    ASSERT_TRUE(shown.wait(10000));
    waitSettled(*p.form);
    EXPECT_TRUE(p.write()->isEnabled()) << p.summary().toStdString();
    EXPECT_NE(p.summary(), absent);
}

TEST(WriteToMediumForm, WriteSummary_theMediumItsRoomTheLengthsAndTheCounts) {
    PublishCase p;
    p.open();
    auto* facts = p.control<QPlainTextEdit>("WriteSummary");
    ASSERT_TRUE(facts->isVisible());
    EXPECT_EQ(facts->accessibleName(), QStringLiteral("Write summary"));
    const QStringList lines = facts->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << facts->toPlainText().toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Medium: "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" free before, "))) << lines[0].toStdString();
    // The lengths themselves are the list rule's, tested with it.
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Basic Schedule, each round: ")))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("0 kept, 3 copied, 0 replaced, 0 removed"));
    if (const QString shot = qEnvironmentVariable("VELMO_SCREENSHOT"); !shot.isEmpty())
        p.form->grab().save(shot);

    pressWrite(*p.form);
    waitSettled(*p.form);
    EXPECT_EQ(facts->toPlainText().split(QLatin1Char('\n')).last(),
              QStringLiteral("3 kept, 0 copied, 0 replaced, 0 removed"));
}
