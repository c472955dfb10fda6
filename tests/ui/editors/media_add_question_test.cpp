#include "support/modal_script.h"
#include "support/schedule_builder.h"
#include "support/test_context.h"

#include "media/media_files.h"
#include "media/media_probe.h"
#include "rules/publish.h"
#include "ui/editors/media_add_question.h"

#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace velmo::test {
namespace {

class MediaAddQuestionTest : public ::testing::Test {
protected:
    TestContext tc;
    std::string media = tc.appPath() + "picked/";
    std::string copies = tc.appPath() + "copies/";

    void SetUp() override {
        if (!MediaCanBeMade())
            GTEST_SKIP() << "ffmpeg is not installed";
        std::filesystem::create_directories(media);
        std::filesystem::create_directories(copies);
        ASSERT_TRUE(MakeMedium(media + "GOOD.JPG", "PHOTO.JPG"));
        ASSERT_TRUE(MakeMedium(media + "LOGO.PNG", "PNG.JPG"));
        ASSERT_TRUE(MakeMedium(media + "Croissant Special Offer.jpg", "PHOTO.JPG"));
    }
    QString path(const std::string& name) const { return QString::fromStdString(media + name); }
};

// The real message box: each file that will not play is named with its reason, and "Add anyway" adds
// every file as it is.
TEST_F(MediaAddQuestionTest, RealMessageBox_namesEachFileAndWhy_addAnywayKeepsThemAll) {
    QtPrompts prompts;
    AppContext context{tc.state, tc.texts, prompts, tc.clock, tc.random, tc.volumes, tc.links, {}};
    QString shown;
    QStringList buttons;
    ModalScript script({[&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->findChild<QPushButton*>(QStringLiteral("DiscardChoice"))->click();
    }});
    const QStringList picked{path("GOOD.JPG"), path("LOGO.PNG")};
    EXPECT_EQ(AskAboutAddedMedia(nullptr, context, picked), picked);
    EXPECT_EQ(script.answered(), 1u);
    EXPECT_TRUE(shown.contains(QStringLiteral("LOGO.PNG: .PNG files are not files the player plays")))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("GOOD.JPG")));
    buttons.sort(); // their order is the platform's
    EXPECT_EQ(buttons, QStringList({"Add a player copy", "Add anyway", "Cancel"}));
}

TEST_F(MediaAddQuestionTest, EachAnswer_givesTheFilesToAdd) {
    const struct {
        const char* choice;
        std::vector<std::string> added; // as paths under picked/ or copies/
    } cases[] = {
        {"Cancel", {"picked/GOOD.JPG"}},
        {"Add anyway", {"picked/GOOD.JPG", "picked/LOGO.PNG", "picked/Croissant Special Offer.jpg"}},
        {"Add a player copy", {"picked/GOOD.JPG", "copies/LOGO.JPG", "copies/CROISSANT_SPECIA.JPG"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice);
        tc.prompts.choices.push_back(QString::fromLatin1(c.choice));
        if (c.choice == std::string("Add a player copy"))
            tc.prompts.files.push_back(QString::fromStdString(copies));
        const QStringList added = AskAboutAddedMedia(
            nullptr, tc.context, {path("GOOD.JPG"), path("LOGO.PNG"), path("Croissant Special Offer.jpg")});
        QStringList expected;
        for (const std::string& name : c.added)
            expected << QString::fromStdString(tc.appPath() + name);
        EXPECT_EQ(added, expected);
    }
    // The copies play under their player names, and their folder is remembered with the media folders.
    for (const char* name : {"LOGO.JPG", "CROISSANT_SPECIA.JPG"})
        EXPECT_TRUE(ExamineMedia(copies + name).verdict.plays) << name;
    const PublishSettings settings = ReadPublishSettings(tc.appPath());
    EXPECT_EQ(settings.playerCopiesDir, copies);
    const std::vector<std::string> folders = MediaFoldersOf(settings, tc.state.mediaDir);
    EXPECT_NE(std::find(folders.begin(), folders.end(), copies), folders.end());
    // Asked once: a second copy goes into the same folder without asking.
    tc.prompts.choices.push_back(QStringLiteral("Add a player copy"));
    const QStringList again = AskAboutAddedMedia(nullptr, tc.context, {path("LOGO.PNG")});
    ASSERT_EQ(again.size(), 1);
    EXPECT_TRUE(again.constFirst().startsWith(QString::fromStdString(copies)));
    EXPECT_TRUE(tc.prompts.files.empty());
}

// A file whose player name the schedule already gives a different file of its media folders: the
// question says which name its copy gets, and the copy takes it, never the other file's.
TEST_F(MediaAddQuestionTest, NameTheScheduleGivesAnotherFile_itsCopyGetsTheNextFreeName) {
    std::filesystem::copy_file(media + "GOOD.JPG", tc.appPath() + "GOOD.JPG"); // the media folder's
    tc.state.schedule.basicEntries = {MakeFile("GOOD", "JPG")};
    tc.state.schedule.basicCount = 1;
    const std::string other = tc.appPath() + "other/";
    std::filesystem::create_directories(other);
    ASSERT_TRUE(MakeMedium(other + "GOOD.JPG", "BARS.JPG")); // another picture of the same name
    const struct {
        std::string path;
        std::string question; // the line about it, empty when none is asked
        std::string added;
    } cases[] = {
        {tc.appPath() + "GOOD.JPG", "", tc.appPath() + "GOOD.JPG"},
        {media + "GOOD.JPG", "", media + "GOOD.JPG"}, // the same bytes
        {other + "GOOD.JPG",
         "GOOD.JPG: another file already has the player name GOOD.JPG; its player copy is named GOOD-2.JPG",
         copies + "GOOD-2.JPG"},
    };
    tc.prompts.files.push_back(QString::fromStdString(copies));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        tc.prompts.shown.clear();
        tc.prompts.choices.push_back(QStringLiteral("Add a player copy"));
        const QStringList added = AskAboutAddedMedia(nullptr, tc.context, {QString::fromStdString(c.path)});
        EXPECT_EQ(added, QStringList({QString::fromStdString(c.added)}));
        const bool asked = !tc.prompts.shown.empty();
        EXPECT_EQ(asked, !c.question.empty());
        if (asked) {
            EXPECT_TRUE(tc.prompts.shown.front().text.contains(QString::fromStdString(c.question)))
                << tc.prompts.shown.front().text.toStdString();
        }
        if (c.question.empty())
            tc.prompts.choices.clear();
    }
}

} // namespace
} // namespace velmo::test
