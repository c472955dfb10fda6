#include "rules/entry_batch.h"
#include "support/modal_script.h"
#include "support/test_context.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/platform/prompts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace velmo {
namespace {

FileEntry fileEntry(const std::string& name, const std::string& ext, int playTimes, int volume) {
    return MakeFileEntry(name, ext, playTimes, volume);
}

QString spaces(int count) {
    return QString(count, QLatin1Char(' '));
}

class ScheduleEditFormTest : public ::testing::Test {
protected:
    test::TestContext t;
    QListWidget NormalList;
    QListWidget AdvanceList;
    QListWidget DetailList;
    int buttonSetups = 0;
    std::unique_ptr<ScheduleEditForm> form;

    // Opens the editor as the main window's commands do (editMode 1 add, 2 modify, 3 add detail,
    // 4 modify detail), and after OK stores its result in the schedule and the lists as they do.
    ScheduleEditForm& open(int editMode) {
        AppState& state = t.state;
        Schedule& schedule = state.schedule;
        state.editMode = static_cast<std::int16_t>(editMode);
        const bool detail = editMode == AppState::kEditAddDetail || editMode == AppState::kEditModifyDetail;
        const bool add = editMode == AppState::kEditAdd || editMode == AppState::kEditAddDetail;
        QListWidget* list = detail ? &DetailList : &NormalList;
        if (detail)
            state.editAdvanceIndex = static_cast<std::int16_t>(AdvanceList.currentRow());
        std::optional<FileEntry> entry;
        if (!add) {
            if (list->currentRow() == -1)
                list->setCurrentRow(0);
            state.editIndex = static_cast<std::int16_t>(list->currentRow());
            entry = detail ? schedule.advanceEntries[state.editAdvanceIndex].files[state.editIndex]
                           : schedule.basicEntries[state.editIndex];
        }
        std::vector<FileEntry>& entries =
            detail ? schedule.advanceEntries[state.editAdvanceIndex].files : schedule.basicEntries;
        std::int16_t& count =
            detail ? schedule.advanceEntries[state.editAdvanceIndex].fileCount : schedule.basicCount;
        const int limit = detail ? kMaxDetailEntries : kMaxBasicEntries;
        form = std::make_unique<ScheduleEditForm>(t.context, entry, limit - count);
        QObject::connect(form.get(), &QDialog::accepted, [this, add, list, &entries, &count, limit] {
            for (std::size_t i = 0; i < form->entries().size(); ++i) {
                if (add) {
                    ASSERT_TRUE(AppendEntry(entries, count, limit, form->entries()[i]));
                    list->addItem(QString::fromStdString(form->rows()[i]));
                    list->setCurrentRow(list->count() - 1);
                } else {
                    entries[static_cast<std::size_t>(t.state.editIndex)] = form->entries()[i];
                    list->item(t.state.editIndex)->setText(QString::fromStdString(form->rows()[i]));
                }
            }
            if (add && !form->entries().empty())
                ++buttonSetups;
        });
        form->show();
        return *form;
    }

    template <typename W> W* child(const char* name) {
        W* widget = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* nameBox() { return child<QLineEdit>("FileNameText"); }
    QComboBox* playTimes() { return child<QComboBox>("PlayTimesCombo"); }
    QComboBox* volume() { return child<QComboBox>("VolumeCombo"); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }

    // Key by key, as typed; characters without a key of their own arrive as text only.
    void type(const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(nameBox(), QString(c));
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(nameBox(), &press);
        }
    }
    void retype(const QString& text) {
        nameBox()->selectAll();
        QTest::keyClick(nameBox(), Qt::Key_Delete);
        type(text);
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Types a name into a fresh add dialog, chooses play count and volume and clicks OK.
    void addBasic(const QString& name, int playCount = 1, int volumeIndex = 13) {
        open(1);
        type(name);
        playTimes()->setCurrentIndex(playCount);
        volume()->setCurrentIndex(volumeIndex);
        click("OKCmd");
    }

    void addBasicEntries(std::initializer_list<FileEntry> entries, const QStringList& rows) {
        for (const FileEntry& entry : entries) {
            t.state.schedule.basicEntries.resize(static_cast<std::size_t>(t.state.schedule.basicCount) + 1);
            t.state.schedule.basicEntries[t.state.schedule.basicCount++] = entry;
        }
        NormalList.addItems(rows);
    }

    bool closedWith(QDialog::DialogCode code) { return !form->isVisible() && form->result() == code; }
};

// ---- adding basic entries ------------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, Add_storesUpperCasedNameAppendsTheSelectedRowAndUpdatesButtons) {
    addBasic(QStringLiteral("Clip.Avi"), 3, 7);

    const Schedule& schedule = t.state.schedule;
    ASSERT_EQ(schedule.basicCount, 1);
    EXPECT_EQ(schedule.basicEntries[0], fileEntry("CLIP", "AVI", 3, 7));
    ASSERT_EQ(NormalList.count(), 1);
    EXPECT_EQ(NormalList.item(0)->text(), "CLIP.AVI" + spaces(13 + 5) + "3  " + spaces(8) + "7");
    EXPECT_EQ(NormalList.currentRow(), 0);
    EXPECT_EQ(buttonSetups, 1);
    EXPECT_TRUE(closedWith(QDialog::Accepted));
    EXPECT_TRUE(t.prompts.shown.empty());
}

TEST_F(ScheduleEditFormTest, Add_appendsAfterExistingEntriesAndSelectsTheNewLastRow) {
    addBasicEntries({fileEntry("SONG", "MP3", 1, 13)}, {QStringLiteral("old row")});
    NormalList.setCurrentRow(0);
    addBasic(QStringLiteral("clip01.avi"));

    ASSERT_EQ(t.state.schedule.basicCount, 2);
    EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry("SONG", "MP3", 1, 13));
    EXPECT_EQ(t.state.schedule.basicEntries[1], fileEntry("CLIP01", "AVI", 1, 13));
    ASSERT_EQ(NormalList.count(), 2);
    EXPECT_EQ(NormalList.item(0)->text(), "old row");
    // 10 + 11 + 5 + 3 + 5 + 7 characters.
    const QString row = "CLIP01.AVI" + spaces(11 + 5) + "1" + spaces(2 + 5) + "Default";
    EXPECT_EQ(NormalList.item(1)->text(), row);
    EXPECT_EQ(row.size(), 41);
    EXPECT_EQ(NormalList.currentRow(), 1);
}

TEST_F(ScheduleEditFormTest, Add_acceptedNamesAreSplitAtTheLastDotAndPaddedInTheRow) {
    struct Case {
        QString typed;
        std::string name;
        std::string ext;
        QString rowName; // the name field of the row
    };
    const Case cases[] = {
        {"clip.mpeg", "CLIP", "MPEG", "CLIP.MPEG" + spaces(12)},
        {"abcdefghijklmnop.mpg", "ABCDEFGHIJKLMNOP", "MPG", "ABCDEFGHIJKLMNOP.MPG" + spaces(1)},
        {"a.b.c", "A.B", "C", "A.B.C" + spaces(16)},
        {".mp3", "", "MP3", ".MP3" + spaces(17)},
        {".", "", "", "." + spaces(20)},
        {"   clip.avi  ", "CLIP", "AVI", "CLIP.AVI" + spaces(13)},
        {"a_b-c9.Vob", "A_B-C9", "VOB", "A_B-C9.VOB" + spaces(11)},
        // Without a dot the row's name field is 20 characters wide, not 21.
        {"clip", "CLIP", "", "CLIP" + spaces(16)},
    };
    for (const Case& c : cases) {
        t.state.schedule = Schedule{};
        NormalList.clear();
        addBasic(c.typed, 0, 13);
        ASSERT_EQ(t.state.schedule.basicCount, 1) << c.typed.toStdString();
        EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry(c.name, c.ext, 0, 13)) << c.typed.toStdString();
        EXPECT_EQ(NormalList.item(0)->text(), c.rowName + spaces(5) + "0  " + spaces(5) + "Default")
            << c.typed.toStdString();
        EXPECT_TRUE(closedWith(QDialog::Accepted));
    }
    EXPECT_TRUE(t.prompts.messages().isEmpty());
}

TEST_F(ScheduleEditFormTest, Add_refusedNamesShowOneMessageAndKeepTheDialogOpen) {
    const QString refused[] = {"clip.jpeg2",
                               "abcdefghijklmnopq.mpg",
                               "my clip.avi",
                               "    ",
                               "",
                               "clip$.avi",
                               QString::fromUtf8("caf\xC3\xA9.avi")};
    for (const QString& name : refused) {
        t.prompts.shown.clear();
        open(1);
        type(name);
        click("OKCmd");
        EXPECT_EQ(t.prompts.messages(), QStringList{"File Name Error!"}) << name.toStdString();
        EXPECT_EQ(t.prompts.shown.front().kind, test::ScriptedPrompts::Shown::Message);
        EXPECT_TRUE(form->isVisible()) << name.toStdString();
        EXPECT_EQ(nameBox()->text(), name);
    }
    EXPECT_EQ(t.state.schedule.basicCount, 0);
    EXPECT_EQ(NormalList.count(), 0);
    EXPECT_EQ(buttonSetups, 0);
}

TEST_F(ScheduleEditFormTest, Add_intoAnElementHoldingAnEarlierEntryLeavesNoOldByte) {
    FileEntry stale = fileEntry("ABCDEFGHIJKLMNOP", "MPEG", 50, 5);
    stale.reserved = {9, 9, 9, 9, 9, 9};
    t.state.schedule.basicEntries = {stale, stale};
    addBasic(QStringLiteral("x.avi"), 2, 4);
    ASSERT_EQ(t.state.schedule.basicCount, 1);
    EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry("X", "AVI", 2, 4));
}

TEST_F(ScheduleEditFormTest, Add_nameBoxTakesAtMost22Characters) {
    open(1);
    type(QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(nameBox()->text(), "abcdefghijklmnopqrstuv");
}

TEST_F(ScheduleEditFormTest, Load_fillsTheListsAndTheAddDefaults) {
    open(1);
    ASSERT_EQ(playTimes()->count(), 101);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(playTimes()->itemText(i), QString::number(i));
    ASSERT_EQ(volume()->count(), 14);
    for (int i = 0; i <= 12; ++i)
        EXPECT_EQ(volume()->itemText(i), QString::number(i));
    EXPECT_EQ(volume()->itemText(13), "Default");
    EXPECT_FALSE(playTimes()->isEditable());
    EXPECT_FALSE(volume()->isEditable());

    EXPECT_EQ(playTimes()->currentIndex(), 1);
    EXPECT_EQ(volume()->currentIndex(), 13);
    EXPECT_TRUE(nameBox()->text().isEmpty());
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
}

TEST_F(ScheduleEditFormTest, Load_appliesTheScreenTexts) {
    open(1);
    EXPECT_EQ(form->windowTitle(), "Schedule File Editor");
    EXPECT_EQ(child<QGroupBox>("EditFrame")->title(), "File Edit");
    EXPECT_EQ(button("BrowseCmd")->text(), "Browse");
    EXPECT_EQ(button("CopyCmd")->text(), "Copy to...");
    EXPECT_EQ(button("OKCmd")->text(), "OK");
    EXPECT_EQ(button("CancelCmd")->text(), "Cancel");
    EXPECT_EQ(button("FileNameCmd")->text(), "File Name");
    EXPECT_EQ(button("PlayTimesCmd")->text(), "Play Times");
    EXPECT_EQ(button("VolumeCmd")->text(), "Volume");
}

// ---- modifying ---------------------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, Modify_showsTheStoredEntryAndOverwritesEveryByte) {
    FileEntry old = fileEntry("ABCDEFGHIJKLMNOP", "MPEG", 100, 12);
    old.reserved = {1, 2, 3, 4, 5, 6};
    addBasicEntries({fileEntry("FIRST", "MP3", 1, 1), old, fileEntry("LAST", "MP3", 1, 1)},
                    {QStringLiteral("row 0"), QStringLiteral("row 1"), QStringLiteral("row 2")});
    NormalList.setCurrentRow(1);

    open(2);
    EXPECT_EQ(t.state.editIndex, 1);
    EXPECT_EQ(nameBox()->text(), "ABCDEFGHIJKLMNOP.MPEG");
    EXPECT_EQ(playTimes()->currentIndex(), 100);
    EXPECT_EQ(volume()->currentIndex(), 12);

    retype(QStringLiteral("x.avi"));
    playTimes()->setCurrentIndex(0);
    volume()->setCurrentIndex(0);
    click("OKCmd");

    const Schedule& schedule = t.state.schedule;
    EXPECT_EQ(schedule.basicCount, 3);
    EXPECT_EQ(schedule.basicEntries[1], fileEntry("X", "AVI", 0, 0)); // reserved zeroed too
    EXPECT_EQ(schedule.basicEntries[0], fileEntry("FIRST", "MP3", 1, 1));
    EXPECT_EQ(schedule.basicEntries[2], fileEntry("LAST", "MP3", 1, 1));
    ASSERT_EQ(NormalList.count(), 3);
    EXPECT_EQ(NormalList.item(1)->text(), "X.AVI" + spaces(16 + 5) + "0  " + spaces(8) + "0");
    EXPECT_EQ(NormalList.item(0)->text(), "row 0");
    EXPECT_EQ(NormalList.item(2)->text(), "row 2");
    EXPECT_EQ(NormalList.currentRow(), 1);
    EXPECT_EQ(buttonSetups, 0);
    EXPECT_TRUE(closedWith(QDialog::Accepted));
}

TEST_F(ScheduleEditFormTest, Modify_withoutASelectedRowEditsTheFirstEntryAndSelectsIt) {
    addBasicEntries({fileEntry("SONG", "MP3", 4, 13), fileEntry("OTHER", "AVI", 1, 1)},
                    {QStringLiteral("row 0"), QStringLiteral("row 1")});
    NormalList.setCurrentRow(-1);
    ASSERT_EQ(NormalList.currentRow(), -1);

    open(2);
    EXPECT_EQ(NormalList.currentRow(), 0);
    EXPECT_EQ(t.state.editIndex, 0);
    EXPECT_EQ(nameBox()->text(), "SONG.MP3");
    click("OKCmd");
    EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry("SONG", "MP3", 4, 13));
    EXPECT_EQ(NormalList.item(0)->text(), "SONG.MP3" + spaces(13 + 5) + "4  " + spaces(5) + "Default");
}

TEST_F(ScheduleEditFormTest, Modify_entryStoredWithoutExtensionShowsTheNameAndADot) {
    addBasicEntries({fileEntry("CLIP", "", 1, 13)}, {QStringLiteral("row 0")});
    NormalList.setCurrentRow(0);
    open(2);
    EXPECT_EQ(nameBox()->text(), "CLIP.");
}

TEST_F(ScheduleEditFormTest, TypedFileName_isTrimmedButNotUpperCased) {
    open(1);
    type(QStringLiteral("  My-Clip.Avi   "));
    EXPECT_EQ(form->typedFileName(), "My-Clip.Avi");
}

TEST_F(ScheduleEditFormTest, Modify_foreignCountsOutsideTheListsShowAndStoreTheNearestItem) {
    addBasicEntries({fileEntry("SONG", "MP3", 250, 40)}, {QStringLiteral("row 0")});
    NormalList.setCurrentRow(0);
    open(2);
    EXPECT_EQ(playTimes()->currentIndex(), 100);
    EXPECT_EQ(volume()->currentIndex(), 13);
    click("OKCmd");
    EXPECT_EQ(t.state.schedule.basicEntries[0].playTimes, 100);
    EXPECT_EQ(t.state.schedule.basicEntries[0].volume, 13);
}

// ---- detail entries ----------------------------------------------------------------------------

class ScheduleEditFormDetailTest : public ScheduleEditFormTest {
protected:
    void SetUp() override {
        Schedule& schedule = t.state.schedule;
        schedule.advanceEntries.resize(3);
        schedule.advanceCount = 2;
        schedule.advanceEntries[0].fileCount = 1;
        schedule.advanceEntries[0].files = {fileEntry("ZERO", "MP3", 1, 1)};
        schedule.advanceEntries[1].fileCount = 2;
        schedule.advanceEntries[1].files = {fileEntry("ONE", "MP3", 1, 1), fileEntry("TWO", "AVI", 2, 2)};
        AdvanceList.addItems({QStringLiteral("advance 0"), QStringLiteral("advance 1")});
        AdvanceList.setCurrentRow(1);
        DetailList.addItems({QStringLiteral("detail 0"), QStringLiteral("detail 1")});
        DetailList.setCurrentRow(-1);
    }
};

TEST_F(ScheduleEditFormDetailTest, AddDetail_appendsToTheSelectedAdvanceEntry) {
    open(3);
    EXPECT_EQ(t.state.editAdvanceIndex, 1);
    type(QStringLiteral("song.mp3"));
    playTimes()->setCurrentIndex(9);
    click("OKCmd");

    const AdvanceEntry& owner = t.state.schedule.advanceEntries[1];
    ASSERT_EQ(owner.fileCount, 3);
    EXPECT_EQ(owner.files[2], fileEntry("SONG", "MP3", 9, 13));
    EXPECT_EQ(owner.files[0], fileEntry("ONE", "MP3", 1, 1));
    EXPECT_EQ(t.state.schedule.advanceEntries[0].fileCount, 1);
    ASSERT_EQ(DetailList.count(), 3);
    EXPECT_EQ(DetailList.item(2)->text(), "SONG.MP3" + spaces(13 + 5) + "9  " + spaces(5) + "Default");
    EXPECT_EQ(DetailList.currentRow(), 2);
    EXPECT_EQ(NormalList.count(), 0);
    EXPECT_EQ(t.state.schedule.basicCount, 0);
    EXPECT_EQ(buttonSetups, 1);
}

TEST_F(ScheduleEditFormDetailTest, ModifyDetail_withoutASelectedDetailEditsTheFirstOne) {
    open(4);
    EXPECT_EQ(DetailList.currentRow(), 0);
    EXPECT_EQ(t.state.editIndex, 0);
    EXPECT_EQ(t.state.editAdvanceIndex, 1);
    EXPECT_EQ(nameBox()->text(), "ONE.MP3");
    retype(QStringLiteral("new.dat"));
    click("OKCmd");

    const AdvanceEntry& owner = t.state.schedule.advanceEntries[1];
    EXPECT_EQ(owner.fileCount, 2);
    EXPECT_EQ(owner.files[0], fileEntry("NEW", "DAT", 1, 1));
    EXPECT_EQ(owner.files[1], fileEntry("TWO", "AVI", 2, 2));
    EXPECT_EQ(DetailList.item(0)->text(), "NEW.DAT" + spaces(14 + 5) + "1  " + spaces(8) + "1");
    EXPECT_EQ(DetailList.item(1)->text(), "detail 1");
    EXPECT_EQ(buttonSetups, 0);
}

TEST_F(ScheduleEditFormDetailTest, ModifyDetail_editsTheSelectedDetail) {
    DetailList.setCurrentRow(1);
    open(4);
    EXPECT_EQ(nameBox()->text(), "TWO.AVI");
    EXPECT_EQ(playTimes()->currentIndex(), 2);
    EXPECT_EQ(volume()->currentIndex(), 2);
}

// ---- Browse and Copy to... ---------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, Browse_fillsTheNameRemembersTheDirectoryAndOffersTheCopy) {
    t.prompts.files.push_back(QStringLiteral("/media/clips/Clip.Avi"));
    const std::string startDir = t.state.mediaDir;
    open(1);
    click("BrowseCmd");

    ASSERT_EQ(t.prompts.shown.size(), 1u);
    const auto& dialog = t.prompts.shown[0];
    EXPECT_EQ(dialog.kind, test::ScriptedPrompts::Shown::OpenFile);
    EXPECT_EQ(dialog.text,
              "Media File(*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3)|*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3|"
              "All File(*.*)|*.*");
    EXPECT_EQ(dialog.directory.toStdString(), startDir);
    EXPECT_TRUE(dialog.fileName.isEmpty());

    EXPECT_EQ(nameBox()->text(), "Clip.Avi");
    EXPECT_EQ(t.state.mediaDir, "/media/clips/");
    EXPECT_TRUE(button("CopyCmd")->isEnabled());

    click("CopyCmd");
    ASSERT_EQ(t.copyFormParents.size(), 1u);
    EXPECT_EQ(t.copyFormParents[0], form.get());
    EXPECT_EQ(t.copyFormNames, QStringList{"Clip.Avi"}); // the copy keeps the letter case
    EXPECT_TRUE(form->isVisible());                      // the editor stays open and the entry untouched
    EXPECT_EQ(t.state.schedule.basicCount, 0);

    // Any change of the name withdraws the copy until the next Browse.
    type(QStringLiteral("x"));
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
    nameBox()->backspace();
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
}

TEST_F(ScheduleEditFormTest, Browse_cancelledOrFailedChangesNothing) {
    t.prompts.files.push_back(std::nullopt);
    t.prompts.files.push_back(QStringLiteral("no-directory.avi"));
    t.prompts.files.push_back(QStringLiteral("/media/clips/"));
    const std::string startDir = t.state.mediaDir;
    open(1);
    type(QStringLiteral("typed.avi"));
    for (int i = 0; i < 3; ++i)
        click("BrowseCmd");
    EXPECT_TRUE(t.prompts.files.empty());
    EXPECT_EQ(nameBox()->text(), "typed.avi");
    EXPECT_EQ(t.state.mediaDir, startDir);
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
}

TEST_F(ScheduleEditFormTest, Browse_pictureShowsAThumbnailAndAFileWithNoPictureHidesIt) {
    const QString picture = t.dir.filePath(QStringLiteral("PHOTO.JPG"));
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(picture, "JPEG"));
    const QString notes = t.dir.filePath(QStringLiteral("NOTES.TXT"));
    std::ofstream(notes.toStdString()) << "not a picture\n";
    t.prompts.files.push_back(picture);
    t.prompts.files.push_back(notes);
    t.prompts.choices.push_back(Prompts::Choice::Discard); // NOTES.TXT will not play: add it anyway
    open(1);
    auto* preview = form->findChild<QLabel*>(QStringLiteral("PreviewLabel"));
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(preview->accessibleName(), "Preview");

    click("BrowseCmd");
    for (int i = 0; i < 3000 && !preview->isVisible(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    ASSERT_TRUE(preview->isVisible());
    ASSERT_FALSE(preview->pixmap().isNull());
    EXPECT_LE(preview->pixmap().width(), 160);
    EXPECT_GT(preview->pixmap().width(), 0);

    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "NOTES.TXT");
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(preview->isVisible());
    EXPECT_TRUE(preview->pixmap().isNull());
}

TEST_F(ScheduleEditFormTest, Browse_thenCancelKeepsTheDirectoryButNotTheEntry) {
    addBasicEntries({fileEntry("SONG", "MP3", 1, 13)}, {QStringLiteral("row 0")});
    NormalList.setCurrentRow(0);
    t.prompts.files.push_back(QStringLiteral("/data/media/other.mpg"));
    open(2);
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "other.mpg");
    click("CancelCmd");
    EXPECT_TRUE(closedWith(QDialog::Rejected));
    EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry("SONG", "MP3", 1, 13));
    EXPECT_EQ(NormalList.item(0)->text(), "row 0");
    EXPECT_EQ(t.state.mediaDir, "/data/media/");
}

TEST_F(ScheduleEditFormTest, Browse_fileWithAForbiddenNameIsRefusedByCopyAndOK) {
    t.prompts.files.push_back(QStringLiteral("/media/clips/my clip.avi"));
    open(1);
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "my clip.avi");
    ASSERT_TRUE(button("CopyCmd")->isEnabled());
    click("CopyCmd");
    click("OKCmd");
    EXPECT_EQ(t.prompts.messages(), (QStringList{"File Name Error!", "File Name Error!"}));
    EXPECT_TRUE(t.copyFormParents.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(t.state.schedule.basicCount, 0);
}

TEST_F(ScheduleEditFormTest, Browse_longFileNameIsShownWholeAndNeverPasses) {
    t.prompts.files.push_back(QStringLiteral("/media/a_very_long_media_file_name.avi"));
    open(1);
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), QStringLiteral("a_very_long_media_file_name.avi"));
    click("CopyCmd");
    click("OKCmd");
    EXPECT_EQ(t.prompts.messages(), (QStringList{"File Name Error!", "File Name Error!"}));
    EXPECT_TRUE(t.copyFormParents.empty());
    EXPECT_EQ(t.state.schedule.basicCount, 0);
    // Typing shortens it but never lengthens it again.
    nameBox()->end(false);
    QTest::keyClick(nameBox(), Qt::Key_Backspace);
    type(QStringLiteral("xy"));
    EXPECT_EQ(nameBox()->text(), QStringLiteral("a_very_long_media_file_name.av"));
}

TEST_F(ScheduleEditFormTest, Browse_inQtsOwnDialog_filtersAsWrittenAndALongNameShownWhole) {
    QtPrompts qtPrompts;
    AppContext context{t.state, t.texts, qtPrompts, t.clock, t.random, t.volumes, t.links, {}};
    const std::string name = "a_very_long_media_file_name.mp3";
    std::ofstream(t.appPath() + name) << "x";
    ScheduleEditForm editor(context, std::nullopt, kMaxBasicEntries);
    editor.show();
    QStringList filters;
    test::ModalScript script(
        {[&](QWidget* dialog) {
             filters = test::FilterTexts(dialog);
             test::TypeAndEnter(dialog, QString::fromStdString(name));
         },
         // One byte is no sound the player plays: added anyway.
         [](QWidget* box) { box->findChild<QPushButton*>(QStringLiteral("DiscardChoice"))->click(); }});
    editor.findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();

    EXPECT_EQ(filters, (QStringList{"Media File(*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3)", "All File(*.*)"}));
    EXPECT_EQ(editor.findChild<QLineEdit*>(QStringLiteral("FileNameText"))->text().toStdString(), name);
    EXPECT_TRUE(editor.findChild<QPushButton*>(QStringLiteral("CopyCmd"))->isEnabled());
}

// ---- closing without storing -------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, CancelOrCloseAfterEditingChangesNothing) {
    addBasicEntries({fileEntry("SONG", "MP3", 1, 13)}, {QStringLiteral("row 0")});
    const Schedule before = t.state.schedule;

    open(1);
    type(QStringLiteral("clip.avi"));
    playTimes()->setCurrentIndex(50);
    click("CancelCmd");
    EXPECT_TRUE(closedWith(QDialog::Rejected));

    NormalList.setCurrentRow(0);
    open(2);
    retype(QStringLiteral("other.avi"));
    form->close();
    EXPECT_FALSE(form->isVisible());

    EXPECT_EQ(t.state.schedule, before);
    EXPECT_EQ(t.state.schedule.basicEntries[0], fileEntry("SONG", "MP3", 1, 13));
    ASSERT_EQ(NormalList.count(), 1);
    EXPECT_EQ(NormalList.item(0)->text(), "row 0");
    EXPECT_EQ(buttonSetups, 0);
}

TEST_F(ScheduleEditFormTest, EnterAndEscAnswerNothing) {
    open(1);
    type(QStringLiteral("clip.avi"));
    for (QWidget* target : {static_cast<QWidget*>(nameBox()), static_cast<QWidget*>(playTimes()),
                            static_cast<QWidget*>(button("OKCmd")), static_cast<QWidget*>(form.get())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 0);
    EXPECT_EQ(t.state.schedule.basicCount, 0);
    EXPECT_TRUE(t.prompts.shown.empty());
    for (QPushButton* b : form->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
}

TEST_F(ScheduleEditFormTest, FocusStartsInTheNameAndTabFollowsTheFields) {
    t.prompts.files.push_back(QStringLiteral("/media/clip.avi"));
    open(1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), nameBox());

    click("BrowseCmd"); // enables Copy to..., so it takes part in the order
    nameBox()->setFocus();
    const QStringList expected = {"BrowseCmd", "CopyCmd",   "PlayTimesCombo", "VolumeCombo",
                                  "OKCmd",     "CancelCmd", "FileNameText"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(ScheduleEditFormTest, CaptionButtonsDoNothing) {
    open(1);
    type(QStringLiteral("clip.avi"));
    for (const char* name : {"FileNameCmd", "PlayTimesCmd", "VolumeCmd"}) {
        EXPECT_EQ(button(name)->focusPolicy(), Qt::NoFocus);
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(t.prompts.shown.empty());
    EXPECT_EQ(t.state.schedule.basicCount, 0);
}

} // namespace
} // namespace velmo
