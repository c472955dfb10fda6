#include "main_form_fixture.h"
#include "support/find_control.h"

#include "rules/publish.h"
#include "ui/platform/ui_text.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>

namespace velmo::test {
namespace {

class WriteToMediumMenuTest : public MainFormTest {
protected:
    void SetUp() override { start(); }
    QAction* action() const { return form->findChild<QAction*>(QStringLiteral("subWriteToMedium")); }
};

TEST_F(WriteToMediumMenuTest, StandsRightAfterSaveAsWithAShortcutOfItsOwn) {
    auto* file = form->findChild<QMenu*>(QStringLiteral("subFile"));
    ASSERT_NE(file, nullptr);
    QStringList order;
    for (const QAction* item : file->actions())
        order << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
    EXPECT_EQ(order, (QStringList{"subNew", "subOpen", "-", "subSave", "subSaveAs", "subWriteToMedium", "-",
                                  "subExit"}));
    ASSERT_NE(action(), nullptr);
    EXPECT_EQ(action()->text(), QStringLiteral("Write to Player Medium..."));
    ASSERT_FALSE(action()->shortcut().isEmpty());
    for (const QAction* other : form->findChildren<QAction*>()) {
        if (other != action()) {
            EXPECT_NE(other->shortcut(), action()->shortcut()) << other->objectName().toStdString();
        }
    }
}

TEST_F(WriteToMediumMenuTest, RunsTheSaveChecksFirstWithSavesMessage) {
    EXPECT_EQ(OpenedDialog([this] { action()->trigger(); }), QString());
    EXPECT_EQ(shownMessages(), QStringList{QStringLiteral("No any schedule!\r\nCan't save!")});
    EXPECT_FALSE(Exists(app() + kPublishSettingsFileName));
}

TEST_F(WriteToMediumMenuTest, OpensTheDialogAndRemembersItsDestinationApart_rewrittenOnlyWhenChanged) {
    Schedule s;
    AddBasic(s, MakeFile("SONG", "MP3", 1, 13));
    load(s);
    const std::string stick = makeDir("stick");
    tc.volumes.list.push_back({QString::fromStdString(stick), QStringLiteral("vfat")});
    state().copyDir = stick;
    // Closed once it has asked the drives and settled on its destination, off the window's thread.
    QString opened;
    std::function<void()> closeWhenSettled = [&] {
        auto* dialog = qobject_cast<WriteToMediumForm*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !WritePlanShown(dialog, screenText(tc.texts, TextId::TextPlanPending)))
            return QTimer::singleShot(10, qApp, closeWhenSettled);
        opened = QString::fromLatin1(dialog->metaObject()->className());
        dialog->close();
    };
    QTimer::singleShot(0, qApp, closeWhenSettled);
    action()->trigger();
    EXPECT_EQ(opened, QStringLiteral("velmo::WriteToMediumForm"));
    EXPECT_TRUE(shownMessages().isEmpty());
    EXPECT_EQ(ReadPublishSettings(app()).destination, NativePath(stick));
    EXPECT_FALSE(Exists(app() + "SystemInfo.txt")); // written at the end of the run only, as ever

    // Opened again and closed with nothing changed: the file is not written again.
    const QString remembered = QString::fromStdString(app() + kPublishSettingsFileName);
    const QDateTime old = QDateTime::fromSecsSinceEpoch(1'000'000'000);
    {
        QFile file(remembered);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    opened.clear();
    QTimer::singleShot(0, qApp, closeWhenSettled);
    action()->trigger();
    EXPECT_EQ(opened, QStringLiteral("velmo::WriteToMediumForm"));
    EXPECT_EQ(QFileInfo(remembered).lastModified(), old);
    EXPECT_EQ(ReadPublishSettings(app()).destination, NativePath(stick));
}

} // namespace
} // namespace velmo::test
