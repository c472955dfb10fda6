#include "main_form_fixture.h"

#include "ui/main/app_path.h"
#include "ui/main/shape_bar.h"

#include <QAction>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>

namespace velmo::test {
namespace {

std::string settingsText(const std::vector<std::string>& values) {
    return "\"" + values[0] + "\"\r\n\"" + values[1] + "\"\r\n\"" + values[2] + "\"\r\n\"" + values[3] +
           "\"\r\n\"" + values[4] + "\"\r\n\"" + values[5] + "\",\"" + values[6] + "\"\r\n";
}

std::string readText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(MainFormTest, StartUp_emptyApplicationDirectory_newScheduleAndSettingsWrittenOnClose) {
    // The volume that holds the application directory becomes the copy drive.
    const QString parent = QFileInfo(QString::fromStdString(app()).chopped(1)).path();
    tc.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4")}, {parent, QStringLiteral("tmpfs")}};
    start();

    EXPECT_EQ(form->windowTitle().toStdString(), "Velmo Schedule Generator - " + app() + "velmo.vlm");
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(List(*form, "AdvanceList")->count(), 0);
    EXPECT_EQ(List(*form, "DetailList")->count(), 0);
    EXPECT_EQ(List(*form, "NormalList")->currentRow(), -1);
    EXPECT_EQ(Enabled({Button(*form, "NormalAddCmd"), Button(*form, "NormalModifyCmd"),
                       Button(*form, "NormalRemoveCmd"), Button(*form, "NormalMoveUpCmd"),
                       Button(*form, "NormalMoveDownCmd")}),
              (std::vector<bool>{true, false, false, false, false}));
    EXPECT_EQ(Enabled({Button(*form, "AdvanceAddCmd"), Button(*form, "AdvanceModifyCmd"),
                       Button(*form, "AdvanceRemoveCmd"), Button(*form, "AdvanceMoveUpCmd"),
                       Button(*form, "AdvanceMoveDownCmd")}),
              (std::vector<bool>{true, false, false, false, false}));
    EXPECT_EQ(Enabled({Button(*form, "DetailAddCmd"), Button(*form, "DetailModifyCmd"),
                       Button(*form, "DetailRemoveCmd"), Button(*form, "DetailMoveUpCmd"),
                       Button(*form, "DetailMoveDownCmd")}),
              (std::vector<bool>(5, false)));
    EXPECT_TRUE(shownMessages().isEmpty());
    EXPECT_FALSE(Exists(app() + "SystemInfo.txt")); // nothing is written before the end
    EXPECT_FALSE(Exists(app() + "velmo.vlm"));

    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readText(app() + "SystemInfo.txt"),
              settingsText({app(), app(), app(), "velmo.vlm", app(), parent.toStdString(), app()}));
}

TEST_F(MainFormTest, StartUp_settingsNameACopyDrive_volumesNotListed) {
    const QString parent = QFileInfo(QString::fromStdString(app()).chopped(1)).path();
    tc.volumes.list = {{QStringLiteral("/"), QStringLiteral("ext4")}, {parent, QStringLiteral("tmpfs")}};
    WriteText(app() + "SystemInfo.txt",
              settingsText({app(), app(), app(), "velmo.vlm", app(), "/mnt", app()}));
    start();

    EXPECT_TRUE(shownMessages().isEmpty());
    EXPECT_EQ(state().copyDrive, "/mnt");
    EXPECT_EQ(tc.volumes.listings, 0);
}

TEST_F(MainFormTest, StartUp_rememberedSchedule_listsFilledRowZeroSelectedOpenDirSet) {
    const std::string sched = makeDir("sched");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_TEST_DATA_DIR "/mixed-reserved.vlm"),
                            QString::fromStdString(sched + "Mixed.vlm")));
    writeSettings(sched, "Mixed.vlm", "/elsewhere/", "/saved/");
    start();

    EXPECT_EQ(
        Rows(List(*form, "NormalList")),
        QStringList(
            {QString::fromStdString("PIC.JPG" + Spaces(14) + Spaces(5) + "3  " + Spaces(8) + "7"),
             QString::fromStdString("INTRO.MPG" + Spaces(12) + Spaces(5) + "1  " + Spaces(5) + "Default")}));
    EXPECT_EQ(Rows(List(*form, "AdvanceList")),
              QStringList({QStringLiteral("2007/01/03   2007/12/31   All Day"),
                           QStringLiteral("2007/01/03   2007/12/31   Sunday")}));
    EXPECT_EQ(Rows(List(*form, "DetailList")),
              QStringList(
                  {QString::fromStdString("NIGHT.VOB" + Spaces(12) + Spaces(5) + "5  " + Spaces(8) + "3")}));
    for (const ScheduleListView* list :
         {List(*form, "NormalList"), List(*form, "AdvanceList"), List(*form, "DetailList")}) {
        EXPECT_EQ(list->currentRow(), 0) << list->objectName().toStdString();
        EXPECT_TRUE(RowSelected(list, 0)) << list->objectName().toStdString();
    }
    EXPECT_EQ(state().openDir, sched);
    EXPECT_EQ(state().saveDir, "/saved/");
    EXPECT_EQ(state().scheduleDir, sched);
    EXPECT_EQ(state().scheduleFileName, "Mixed.vlm");
    EXPECT_EQ(form->windowTitle().toStdString(), "Velmo Schedule Generator - " + sched + "Mixed.vlm");
    // The reserved bytes from the file are kept in the model.
    EXPECT_EQ(schedule().basicEntries[0].reserved, (std::array<std::uint8_t, 6>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Enabled({Button(*form, "NormalModifyCmd"), Button(*form, "NormalMoveDownCmd"),
                       Button(*form, "AdvanceMoveUpCmd"), Button(*form, "DetailAddCmd"),
                       Button(*form, "DetailRemoveCmd"), Button(*form, "DetailMoveUpCmd")}),
              (std::vector<bool>{true, true, true, true, true, false}));
    EXPECT_TRUE(shownMessages().isEmpty());
}

TEST_F(MainFormTest, StartUp_rememberedNameInOtherLetterCase_opensTheFileOnDisk) {
    Schedule s;
    AddBasic(s, MakeFile("SONG", "MP3", 1, 13));
    writeSchedule(app(), "VELMO.VLM", s);
    writeSettings(app(), "velmo.vlm");
    start();

    EXPECT_EQ(shownMessages(), QStringList());
    EXPECT_EQ(schedule(), s);
    EXPECT_EQ(state().scheduleFileName, "VELMO.VLM");
}

TEST_F(MainFormTest, StartUp_rememberedFileGone_newScheduleInAppPathWithFirstFreeName) {
    const std::string sched = makeDir("sched");
    writeSettings(sched, "gone.vlm");
    WriteText(app() + "velmo.vlm", "x");
    WriteText(app() + "VELMO1.VLM", "x"); // letter case is ignored
    start();

    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo2.vlm");
    EXPECT_EQ(state().openDir, "/open/"); // New leaves the remembered directories alone
    EXPECT_EQ(form->windowTitle().toStdString(), "Velmo Schedule Generator - " + app() + "velmo2.vlm");
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_TRUE(shownMessages().isEmpty());
}

TEST_F(MainFormTest, StartUp_damagedRememberedFile_reportedThenNewScheduleAndFileKept) {
    const std::string sched = makeDir("sched");
    // A header that announces one basic entry, and then nothing.
    std::string damaged = "VELMO0100KERNEL0000061018" + std::string(25, '\0');
    damaged[30] = 100;
    damaged[34] = 30;
    damaged[40] = 1;
    WriteText(sched + "broken.vlm", damaged);
    writeSettings(sched, "broken.vlm");
    start();

    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("File Read Error!")}));
    EXPECT_EQ(schedule().basicCount, 0);
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
    EXPECT_EQ(form->windowTitle().toStdString(), "Velmo Schedule Generator - " + app() + "velmo.vlm");
    const std::vector<std::uint8_t> bytes = ReadBytes(sched + "broken.vlm");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), damaged);
}

TEST_F(MainFormTest, StartUp_damagedSettings_englishMessageAlthoughTextsNotLoadedYet) {
    tc.texts = ScreenTexts(); // as in the program: empty until start-up selects them
    WriteText(app() + "SystemInfo.txt",
              "\"/a/\"\r\n\"/b/\"\r\n\"/c/\"\r\n\"x.vlm\"\r\n\"/m/\"\r\n\"/mnt\"\r\n");
    start();

    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("System Information Error!!")}));
    EXPECT_EQ(tc.prompts.shown.at(0).kind, ScriptedPrompts::Shown::Message);
    EXPECT_FALSE(Exists(app() + "SystemInfo.txt"));
    EXPECT_EQ(state().openDir, "/a/");    // values read before the fault stay
    EXPECT_EQ(state().copyDrive, "/mnt"); // the sixth value was read
    EXPECT_EQ(state().copyDir, app());    // the seventh keeps its default
    EXPECT_EQ(Button(*form, "NewCmd")->text(), QStringLiteral("New"));
}

TEST_F(MainFormTest, Shutdown_exitButtonMenuAndCloseBoxAllWriteSettings) {
    const std::vector<std::pair<const char*, std::function<void(MainForm&)>>> ways = {
        {"ExitCmd", [](MainForm& f) { Button(f, "ExitCmd")->click(); }},
        {"subExit", [](MainForm& f) { Action(f, "subExit")->trigger(); }},
        {"close box", [](MainForm& f) { f.close(); }},
    };
    for (const auto& [how, closeIt] : ways) {
        std::filesystem::remove(app() + "SystemInfo.txt");
        start();
        form->show();
        state().mediaDir = "/media/" + std::string(how) + "/";
        closeIt(*form);
        EXPECT_FALSE(form->isVisible()) << how;
        EXPECT_NE(readText(app() + "SystemInfo.txt").find("\"/media/" + std::string(how) + "/\"\r\n"),
                  std::string::npos)
            << how;
    }
}

TEST_F(MainFormTest, Shutdown_settingsThatCannotBeWrittenDoNotKeepTheWindowOpen) {
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(app() + "SystemInfo.txt")));
    start();
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(std::filesystem::is_directory(app() + "SystemInfo.txt"));
}

TEST_F(MainFormTest, Captions_menusButtonsFramesAndColumnHeaders) {
    start();
    EXPECT_EQ(Menu(*form, "subFile")->title(), QStringLiteral("&File"));
    EXPECT_EQ(QKeySequence::mnemonic(Menu(*form, "subFile")->title()), QKeySequence(Qt::ALT | Qt::Key_F));
    EXPECT_EQ(Menu(*form, "subHelp")->title(), QStringLiteral("&Help"));

    QStringList fileItems;
    for (const QAction* action : Menu(*form, "subFile")->actions())
        fileItems << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(fileItems, QStringList({"New", "Open", "-", "Save", "Save As...", "Write to Player Medium...",
                                      "-", "Exit"}));
    QStringList helpItems;
    for (const QAction* action : Menu(*form, "subHelp")->actions())
        helpItems << action->text();
    EXPECT_EQ(helpItems, QStringList({"About Velmo Schedule Generator...", "About Company..."}));
    QStringList menus;
    for (const QAction* action : form->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Help"}));

    EXPECT_EQ(Button(*form, "SaveAsCmd")->text(), QStringLiteral("Save As..."));
    EXPECT_EQ(Button(*form, "ExitCmd")->text(), QStringLiteral("Exit"));
    EXPECT_EQ(Frame(*form, "NormalFrame")->title(), QStringLiteral("Basic Schedule"));
    EXPECT_EQ(Frame(*form, "AdvanceFrame")->title(), QStringLiteral("Advance Schedule"));
    EXPECT_EQ(Frame(*form, "DetailFrame")->title(), QStringLiteral("Detail of Advance Schedule"));
    EXPECT_EQ(Button(*form, "StartDateCmd")->text(), QStringLiteral("Start Day"));
    EXPECT_EQ(Button(*form, "StopDateCmd")->text(), QStringLiteral("Stop Day"));
    EXPECT_EQ(Button(*form, "WeekDayCmd")->text(), QStringLiteral("Week Day"));
    for (QPushButton* header : {Button(*form, "BasicPlayTimesCmd"), Button(*form, "DetailPlayTimesCmd")})
        EXPECT_EQ(header->text(), QStringLiteral("Play Times"));
    for (QPushButton* button : {Button(*form, "NormalMoveDownCmd"), Button(*form, "AdvanceMoveDownCmd"),
                                Button(*form, "DetailMoveDownCmd")})
        EXPECT_EQ(button->text(), QStringLiteral("Move Down"));
    // Every control can be found by its name.
    for (const char* name : {"NormalList", "AdvanceList", "DetailList", "DetailRemoveCmd", "BasicVolumeCmd",
                             "VelmoLogoImage", "KeepTimer", "subAboutCompany"})
        EXPECT_NE(form->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST_F(MainFormTest, Lists_fixedPitchSingleSelection) {
    start();
    for (const ScheduleListView* list :
         {List(*form, "NormalList"), List(*form, "AdvanceList"), List(*form, "DetailList")}) {
        EXPECT_TRUE(QFontInfo(list->font()).fixedPitch()) << list->objectName().toStdString();
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
}

TEST_F(MainFormTest, ColourStrip_initialColoursTurnRightAndReturnAfterEightTicks) {
    start();
    const std::vector<QColor> initial = {QColor(0, 0, 255),     QColor(0, 255, 255), QColor(0, 255, 0),
                                         QColor(255, 255, 0),   QColor(255, 128, 0), QColor(255, 0, 0),
                                         QColor(128, 128, 128), QColor(255, 0, 255)};
    auto colours = [this] {
        std::vector<QColor> result;
        for (int i = 0; i < 8; ++i)
            result.push_back(Bar(*form, i)->fillColor());
        return result;
    };
    EXPECT_EQ(colours(), initial);
    EXPECT_EQ(Timer(*form, "KeepTimer")->interval(), 100);
    EXPECT_TRUE(Timer(*form, "KeepTimer")->isActive());

    form->KeepTimer_Timer();
    std::vector<QColor> once = colours();
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(once[i], initial[i + 1]) << i;
    EXPECT_EQ(once[7], initial[0]);

    for (int tick = 1; tick < 8; ++tick) {
        form->KeepTimer_Timer();
        if (tick < 7) {
            EXPECT_NE(colours(), initial) << tick;
        }
    }
    EXPECT_EQ(colours(), initial);

    // Index 7 is the leftmost bar; index 0 the rightmost.
    form->show();
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_GT(Bar(*form, i)->mapTo(form.get(), QPoint()).x(),
                  Bar(*form, i + 1)->mapTo(form.get(), QPoint()).x());
}

TEST_F(MainFormTest, Caption_placeholderLikeDirectoryNamesShowAsTheyAre) {
    start();
    form->show();
    state().scheduleDir = app() + "a[*]b/";
    form->UpdateMainCaption();
    ASSERT_NE(form->windowHandle(), nullptr);
    EXPECT_EQ(form->windowHandle()->title().toStdString(),
              "Velmo Schedule Generator - " + app() + "a[*]b/velmo.vlm");
}

TEST_F(MainFormTest, Layout_noCaptionClippedAtTheSmallestSizeAndTheListsGrow) {
    start();
    Schedule s;
    AddBasic(s, MakeFile("1234567890123456", "1234", 100, 13));
    AddAdvance(s, MakeAdvance(6, 12, 28, 3, 1));
    load(s);
    form->show();
    form->resize(form->minimumSizeHint());
    QCoreApplication::processEvents();

    for (const QPushButton* button : form->findChildren<QPushButton*>()) {
        // The style's own measure of a caption with its margins.
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->objectName().toStdString();
        EXPECT_GE(button->height(), button->sizeHint().height()) << button->objectName().toStdString();
    }
    for (const QGroupBox* frame :
         {Frame(*form, "NormalFrame"), Frame(*form, "AdvanceFrame"), Frame(*form, "DetailFrame")})
        EXPECT_GT(frame->width(), frame->fontMetrics().horizontalAdvance(frame->title()) + 16);
    // A whole row is visible without scrolling sideways.
    for (const ScheduleListView* list :
         {List(*form, "NormalList"), List(*form, "DetailList"), List(*form, "AdvanceList")}) {
        const int rowWidth = list->fontMetrics().horizontalAdvance(RowText(list, 0));
        EXPECT_GE(list->viewport()->width(), rowWidth) << list->objectName().toStdString();
    }
    EXPECT_FALSE(Label(*form, "VelmoLogoImage")->pixmap().isNull());

    if (const QByteArray dir = qgetenv("VELMO_SCREENSHOT_DIR"); !dir.isEmpty())
        form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/main-window-smallest.png"));
    const int smallHeight = List(*form, "NormalList")->height();
    form->resize(form->width() + 300, form->height() + 300);
    QCoreApplication::processEvents();
    EXPECT_GT(List(*form, "NormalList")->height(), smallHeight);

    if (const QByteArray dir = qgetenv("VELMO_SCREENSHOT_DIR"); !dir.isEmpty())
        form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/main-window.png"));
}

TEST(ApplicationDirectory, besideAProgramInAWritableDirectoryOutsideTheInstallLocation) {
    EXPECT_EQ(ApplicationDirectory(), NativePath(QCoreApplication::applicationDirPath()) + kDirSeparator);
}

} // namespace
} // namespace velmo::test
