#include "support/test_context.h"

#include "model/schedule_file.h"
#include "rules/entry_rules.h"
#include "ui/copy/directory_list.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace velmo;
using velmo::test::TestContext;

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
    WriteToMediumForm form(context, settings);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    auto* table = form.findChild<QTableWidget*>(QStringLiteral("PlanTable"));
    auto* dir = form.findChild<DirectoryList*>(QStringLiteral("PublishDir"));
    auto* write = form.findChild<QPushButton*>(QStringLiteral("WriteCmd"));
    auto* add = form.findChild<QPushButton*>(QStringLiteral("AddFolderCmd"));
    ASSERT_TRUE(table && dir && write && add);
    // The copy destination is where it starts; the missing name stands on top, in the warning colour.
    EXPECT_EQ(dir->path(), stick);
    EXPECT_EQ(column(table, 0), (QStringList{QStringLiteral("GONE.JPG"), QStringLiteral("SONG.MP3")}));
    EXPECT_EQ(column(table, 2), (QStringList{QStringLiteral("Missing"), QStringLiteral("Copy")}));
    EXPECT_NE(table->item(0, 0)->foreground().color(), table->item(1, 0)->foreground().color());
    EXPECT_EQ(table->item(1, 3)->text(), media + QLatin1Char('/'));

    // Into the player directory, opened by Enter as in the copy dialog.
    for (int i = 0; i < dir->count(); ++i)
        if (dir->item(i)->data(DirectoryList::PathRole).toString() == stick + QStringLiteral("/player"))
            dir->setCurrentRow(i);
    dir->setFocus();
    QTest::keyClick(dir, Qt::Key_Return);
    ASSERT_EQ(dir->path(), stick + QStringLiteral("/player"));
    EXPECT_EQ(settings.destination, fromQt(stick + QStringLiteral("/player/")));

    // The question names how many are missing; No writes nothing.
    QString question;
    whenShown<QMessageBox>(&form, [&](QMessageBox* box) {
        question = box->text();
        box->button(QMessageBox::No)->click();
    });
    write->click();
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
    write->click();
    EXPECT_TRUE(report.startsWith(QStringLiteral("Written to the player medium.\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Copied 1, replaced 0, kept 0, removed 0, missing 1.")))
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
    EXPECT_EQ(settings.mediaDirs,
              (std::vector<std::string>{fromQt(media + QLatin1Char('/')), fromQt(more + QLatin1Char('/'))}));
    EXPECT_EQ(column(table, 2), (QStringList{QStringLiteral("Keep"), QStringLiteral("Copy")}));
    EXPECT_EQ(form.plan().count(PublishAction::Missing), 0);

    if (const char* shots = std::getenv("VELMO_PUBLISH_PNG"))
        form.grab().save(QString::fromLocal8Bit(shots));

    report.clear();
    whenShown<QMessageBox>(&form, [&](QMessageBox* shown) {
        report = shown->text();
        shown->button(QMessageBox::Ok)->click();
    });
    write->click(); // no question this time
    EXPECT_TRUE(report.contains(QStringLiteral("Copied 1, replaced 0, kept 1, removed 0, missing 0.")))
        << report.toStdString();
    EXPECT_EQ(readAll(stick + QStringLiteral("/player/GONE.JPG")), QByteArray("picture"));
}
