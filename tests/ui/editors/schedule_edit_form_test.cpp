#include "media/media_files.h"
#include "rules/schedule_rules.h"
#include "support/background_work.h"
#include "support/modal_script.h"
#include "support/schedule_builder.h"
#include "support/test_context.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/platform/prompts.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace velmo {
namespace {

using test::MakeFile;

QString spaces(int count) {
    return QString(count, QLatin1Char(' '));
}

class ScheduleEditFormTest : public ::testing::Test {
protected:
    test::TestContext t;
    std::unique_ptr<ScheduleEditForm> form;

    // Opens the editor as a command does: on the entry to modify, or on none for an Add.
    ScheduleEditForm& open(std::optional<FileEntry> entry = std::nullopt) {
        form = std::make_unique<ScheduleEditForm>(t.context, std::move(entry), kMaxBasicEntries);
        form->show();
        return *form;
    }
    // After OK: the one entry given back and its row in the list.
    FileEntry stored() const { return form->entries().empty() ? FileEntry{} : form->entries().front(); }
    QString row() const {
        return form->entries().empty() ? QString() : QString::fromStdString(FormatFileRow(stored()));
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
    // OK goes on once the media folders have answered whether the typed name is theirs.
    void click(const char* name) {
        QTest::mouseClick(button(name), Qt::LeftButton);
        while (form->lookingUp())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    // Types a name into a fresh add dialog, chooses play count and volume and clicks OK.
    void addBasic(const QString& name, int playCount = 1, int volumeIndex = 13) {
        open();
        type(name);
        playTimes()->setCurrentIndex(playCount);
        volume()->setCurrentIndex(volumeIndex);
        click("OKCmd");
    }

    bool closedWith(QDialog::DialogCode code) { return !form->isVisible() && form->result() == code; }
};

// ---- adding basic entries ------------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, Add_givesBackTheUpperCasedEntryAndItsRow) {
    addBasic(QStringLiteral("Clip.Avi"), 3, 7);
    EXPECT_TRUE(closedWith(QDialog::Accepted));
    ASSERT_EQ(form->entries().size(), 1u);
    EXPECT_EQ(stored(), MakeFile("CLIP", "AVI", 3, 7));
    EXPECT_EQ(row(), "CLIP.AVI" + spaces(13 + 5) + "3  " + spaces(8) + "7");
    EXPECT_TRUE(t.prompts.shown.empty());

    addBasic(QStringLiteral("clip01.avi"));
    EXPECT_EQ(stored(), MakeFile("CLIP01", "AVI", 1, 13));
    // 10 + 11 + 5 + 3 + 5 + 7 characters.
    EXPECT_EQ(row(), "CLIP01.AVI" + spaces(11 + 5) + "1" + spaces(2 + 5) + "Default");
    EXPECT_EQ(row().size(), 41);
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
        // Without a dot the row still shows one after the name.
        {"clip", "CLIP", "", "CLIP." + spaces(16)},
    };
    for (const Case& c : cases) {
        addBasic(c.typed, 0, 13);
        ASSERT_EQ(form->entries().size(), 1u) << c.typed.toStdString();
        EXPECT_EQ(stored(), MakeFile(c.name, c.ext, 0, 13)) << c.typed.toStdString();
        EXPECT_EQ(row(), c.rowName + spaces(5) + "0  " + spaces(5) + "Default") << c.typed.toStdString();
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
        open();
        type(name);
        click("OKCmd");
        EXPECT_EQ(t.prompts.messages(), QStringList{"File Name Error!"}) << name.toStdString();
        EXPECT_EQ(t.prompts.shown.front().kind, test::ScriptedPrompts::Shown::Message);
        EXPECT_TRUE(form->isVisible()) << name.toStdString();
        EXPECT_EQ(nameBox()->text(), name);
        EXPECT_TRUE(form->entries().empty());
    }
}

TEST_F(ScheduleEditFormTest, Add_nameBoxTakesAtMost22Characters) {
    open();
    type(QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(nameBox()->text(), "abcdefghijklmnopqrstuv");
}

TEST_F(ScheduleEditFormTest, Load_fillsTheListsAndTheAddDefaults) {
    open();
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
    open();
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
    FileEntry old = MakeFile("ABCDEFGHIJKLMNOP", "MPEG", 100, 12);
    old.reserved = {1, 2, 3, 4, 5, 6};
    open(old);
    EXPECT_EQ(nameBox()->text(), "ABCDEFGHIJKLMNOP.MPEG");
    EXPECT_EQ(playTimes()->currentIndex(), 100);
    EXPECT_EQ(volume()->currentIndex(), 12);

    retype(QStringLiteral("x.avi"));
    playTimes()->setCurrentIndex(0);
    volume()->setCurrentIndex(0);
    click("OKCmd");
    EXPECT_TRUE(closedWith(QDialog::Accepted));
    ASSERT_EQ(form->entries().size(), 1u);
    EXPECT_EQ(stored(), MakeFile("X", "AVI", 0, 0)); // reserved zeroed too
    EXPECT_EQ(row(), "X.AVI" + spaces(16 + 5) + "0  " + spaces(8) + "0");

    // OK on what is shown gives the entry back as it was.
    open(MakeFile("SONG", "MP3", 4, 13));
    click("OKCmd");
    EXPECT_EQ(stored(), MakeFile("SONG", "MP3", 4, 13));
    EXPECT_EQ(row(), "SONG.MP3" + spaces(13 + 5) + "4  " + spaces(5) + "Default");
}

TEST_F(ScheduleEditFormTest, Modify_entryStoredWithoutExtensionShowsTheNameAndADot) {
    open(MakeFile("CLIP", "", 1, 13));
    EXPECT_EQ(nameBox()->text(), "CLIP.");
}

TEST_F(ScheduleEditFormTest, TypedFileName_isTrimmedButNotUpperCased) {
    open();
    type(QStringLiteral("  My-Clip.Avi   "));
    EXPECT_EQ(form->typedFileName(), "My-Clip.Avi");
}

TEST_F(ScheduleEditFormTest, Modify_foreignCountsOutsideTheListsShowAndStoreTheNearestItem) {
    open(MakeFile("SONG", "MP3", 250, 40));
    EXPECT_EQ(playTimes()->currentIndex(), 100);
    EXPECT_EQ(volume()->currentIndex(), 13);
    click("OKCmd");
    EXPECT_EQ(stored().playTimes, 100);
    EXPECT_EQ(stored().volume, 13);
}

// ---- Browse and Copy to... ---------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, Browse_fillsTheNameRemembersTheDirectoryAndOffersTheCopy) {
    t.prompts.files.push_back(QStringLiteral("/media/clips/Clip.Avi"));
    const std::string startDir = t.state.mediaDir;
    open();
    click("BrowseCmd");

    ASSERT_EQ(t.prompts.shown.size(), 1u);
    const auto& dialog = t.prompts.shown[0];
    EXPECT_EQ(dialog.kind, test::ScriptedPrompts::Shown::OpenFile);
    // The player's formats first and preselected, then what a player copy is made of, then all.
    const QStringList parts = dialog.text.split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 6);
    EXPECT_EQ(parts.mid(0, 2), (QStringList{"Media File(*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3)",
                                            "*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3"}));
    EXPECT_EQ(parts[2], "Files a player copy can be made of(" + parts[3] + ")");
    for (const char* phone :
         {"*.mp4", "*.mov", "*.png", "*.webp", "*.gif", "*.wav", "*.m4a", "*.jpg", "*.mp3"})
        EXPECT_TRUE(parts[3].split(QLatin1Char(';')).contains(QLatin1String(phone))) << phone;
    EXPECT_EQ(parts.mid(4), (QStringList{"All File(*.*)", "*.*"}));
    EXPECT_EQ(dialog.directory.toStdString(), startDir);
    EXPECT_TRUE(dialog.fileName.isEmpty());

    EXPECT_EQ(nameBox()->text(), "Clip.Avi");
    EXPECT_EQ(t.state.mediaDir, "/media/clips/");
    EXPECT_TRUE(button("CopyCmd")->isEnabled());

    click("CopyCmd");
    ASSERT_EQ(t.copyFormParents.size(), 1u);
    EXPECT_EQ(t.copyFormParents[0], form.get());
    EXPECT_EQ(t.copyFormNames, QStringList{"Clip.Avi"}); // the copy keeps the letter case
    EXPECT_TRUE(form->isVisible());                      // the editor stays open

    // Any change of the name withdraws the copy until the next Browse.
    type(QStringLiteral("x"));
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
    nameBox()->backspace();
    EXPECT_FALSE(button("CopyCmd")->isEnabled());
}

// The player copy of a picked file lies in the copies' folder; the folder picked from stays the media
// folder, where the files added before it are, and Copy to... still finds the copy.
TEST_F(ScheduleEditFormTest, Browse_aPlayerCopyKeepsThePickedFolderAsTheMediaFolder) {
    if (!test::MediaCanBeMade())
        GTEST_SKIP() << "no ffmpeg to make the media";
    const std::string picked = t.appPath() + "phone/";
    const std::string copies = t.appPath() + "copies/";
    std::filesystem::create_directories(picked);
    std::filesystem::create_directories(copies);
    ASSERT_TRUE(test::MakeMedium(picked + "LOGO.JPG", "PNG.JPG"));
    t.prompts.files.push_back(QString::fromStdString(picked + "LOGO.JPG"));
    t.prompts.choices.push_back(QStringLiteral("Add a player copy"));
    t.prompts.files.push_back(QString::fromStdString(copies));
    open();
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "LOGO.JPG");
    EXPECT_TRUE(std::filesystem::exists(copies + "LOGO.JPG"));
    EXPECT_EQ(t.state.mediaDir, picked);
    EXPECT_EQ(t.state.publish.settings().playerCopiesDir, copies);
}

TEST_F(ScheduleEditFormTest, Browse_cancelledOrFailedChangesNothing) {
    t.prompts.files.push_back(std::nullopt);
    t.prompts.files.push_back(QStringLiteral("no-directory.avi"));
    t.prompts.files.push_back(QStringLiteral("/media/clips/"));
    const std::string startDir = t.state.mediaDir;
    open();
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
    t.prompts.choices.push_back(QStringLiteral("Add anyway")); // NOTES.TXT will not play
    open();
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
    t.prompts.files.push_back(QStringLiteral("/data/media/other.mpg"));
    open(MakeFile("SONG", "MP3", 1, 13));
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "other.mpg");
    click("CancelCmd");
    EXPECT_TRUE(closedWith(QDialog::Rejected));
    EXPECT_TRUE(form->entries().empty());
    EXPECT_EQ(t.state.mediaDir, "/data/media/");
}

TEST_F(ScheduleEditFormTest, Browse_fileWithAForbiddenNameIsRefusedByCopyAndOK) {
    t.prompts.files.push_back(QStringLiteral("/media/clips/my clip.avi"));
    open();
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), "my clip.avi");
    ASSERT_TRUE(button("CopyCmd")->isEnabled());
    click("CopyCmd");
    click("OKCmd");
    EXPECT_EQ(t.prompts.messages(), (QStringList{"File Name Error!", "File Name Error!"}));
    EXPECT_TRUE(t.copyFormParents.empty());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(ScheduleEditFormTest, Browse_longFileNameIsShownWholeAndNeverPasses) {
    t.prompts.files.push_back(QStringLiteral("/media/a_very_long_media_file_name.avi"));
    open();
    click("BrowseCmd");
    EXPECT_EQ(nameBox()->text(), QStringLiteral("a_very_long_media_file_name.avi"));
    click("CopyCmd");
    click("OKCmd");
    EXPECT_EQ(t.prompts.messages(), (QStringList{"File Name Error!", "File Name Error!"}));
    EXPECT_TRUE(t.copyFormParents.empty());
    EXPECT_TRUE(form->entries().empty());
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
    QStringList secondFilterMatches;
    test::ModalScript script(
        {[&](QWidget* dialog) {
             filters = test::FilterTexts(dialog);
             auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
             ASSERT_NE(fileDialog, nullptr);
             auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
             ASSERT_NE(types, nullptr);
             EXPECT_EQ(types->currentIndex(), 0);
             // What the dialog matches under the second choice, as Qt was handed it.
             secondFilterMatches = fileDialog->nameFilters()
                                       .value(1)
                                       .section(QLatin1Char('('), -1)
                                       .chopped(1)
                                       .split(QLatin1Char(' '));
             test::TypeAndEnter(dialog, QString::fromStdString(name));
         },
         // One byte is no sound the player plays: added anyway.
         [](QWidget* box) { box->findChild<QPushButton*>(QStringLiteral("DiscardChoice"))->click(); }});
    editor.findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
    test::LetBackgroundWorkAnswer();

    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], QStringLiteral("Media File(*.jpg;*.avi;*.mpg;*.dat;*.vob;*.mp3)"));
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("Files a player copy can be made of(*.jpg;")));
    EXPECT_EQ(filters[2], QStringLiteral("All File(*.*)"));
    // The phone's clip is among the files the second filter shows.
    EXPECT_TRUE(secondFilterMatches.contains(QStringLiteral("*.mov")))
        << secondFilterMatches.join(' ').toStdString();
    EXPECT_EQ(editor.findChild<QLineEdit*>(QStringLiteral("FileNameText"))->text().toStdString(), name);
    EXPECT_TRUE(editor.findChild<QPushButton*>(QStringLiteral("CopyCmd"))->isEnabled());
}

TEST_F(ScheduleEditFormTest, TypedNameOfAFileInAMediaFolder_getsBrowsesQuestionWithItsReason) {
    // A phone's clip the player does not take, by name and by format.
    std::ofstream(t.appPath() + "phone clip.mov") << "not a clip";
    const struct {
        const char* answer;
        bool closed;
        QStringList messages; // after the question
    } cases[] = {
        {"Cancel", false, {}},
        // Added anyway under a name the player's file cannot hold: refused as before.
        {"Add anyway", false, {"File Name Error!"}},
    };
    for (const auto& c : cases) {
        t.prompts.shown.clear();
        t.prompts.choices.push_back(QString::fromLatin1(c.answer));
        open();
        type(QStringLiteral("Phone Clip.MOV"));
        click("OKCmd");
        ASSERT_FALSE(t.prompts.shown.empty());
        EXPECT_EQ(t.prompts.shown[0].kind, test::ScriptedPrompts::Shown::Choice);
        // Named as on disk; Windows itself finds the file under the typed spelling.
        EXPECT_TRUE(t.prompts.shown[0].text.contains(QStringLiteral("phone clip.mov: "), Qt::CaseInsensitive))
            << t.prompts.shown[0].text.toStdString();
        EXPECT_EQ(closedWith(QDialog::Accepted), c.closed);
        EXPECT_EQ(t.prompts.messages(), c.messages);
    }
    // A name with no file behind it is for a file still to come: stored without a question.
    t.prompts.shown.clear();
    addBasic(QStringLiteral("later.mpg"));
    EXPECT_TRUE(closedWith(QDialog::Accepted));
    EXPECT_TRUE(t.prompts.shown.empty());
}

// ---- closing without storing -------------------------------------------------------------------

TEST_F(ScheduleEditFormTest, CancelOrCloseAfterEditingGivesBackNothing) {
    open();
    type(QStringLiteral("clip.avi"));
    playTimes()->setCurrentIndex(50);
    click("CancelCmd");
    EXPECT_TRUE(closedWith(QDialog::Rejected));
    EXPECT_TRUE(form->entries().empty());

    open(MakeFile("SONG", "MP3", 1, 13));
    retype(QStringLiteral("other.avi"));
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->entries().empty());
}

TEST_F(ScheduleEditFormTest, EnterAndEscAnswerNothing) {
    open();
    type(QStringLiteral("clip.avi"));
    for (QWidget* target : {static_cast<QWidget*>(nameBox()), static_cast<QWidget*>(playTimes()),
                            static_cast<QWidget*>(button("OKCmd")), static_cast<QWidget*>(form.get())}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(target, key);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 0);
    EXPECT_TRUE(t.prompts.shown.empty());
    for (QPushButton* b : form->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
}

TEST_F(ScheduleEditFormTest, FocusStartsInTheNameAndTabFollowsTheFields) {
    t.prompts.files.push_back(QStringLiteral("/media/clip.avi"));
    open();
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
    open();
    type(QStringLiteral("clip.avi"));
    for (const char* name : {"FileNameCmd", "PlayTimesCmd", "VolumeCmd"}) {
        EXPECT_EQ(button(name)->focusPolicy(), Qt::NoFocus);
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(t.prompts.shown.empty());
    EXPECT_TRUE(form->entries().empty());
}

} // namespace
} // namespace velmo
