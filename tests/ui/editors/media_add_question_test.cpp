#include "support/background_work.h"
#include "support/modal_script.h"
#include "support/schedule_builder.h"
#include "support/test_context.h"

#include "media/media_files.h"
#include "media/media_probe.h"
#include "rules/publish.h"
#include "ui/editors/media_add_question.h"
#include "ui/editors/schedule_edit_form.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

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

    std::shared_ptr<MediaProbeCache> cache = std::make_shared<MediaProbeCache>();

    // Asks as the editor does, and waits for the answer, which comes through the event loop.
    QStringList ask(AppContext& context, const QStringList& paths, QWidget* parent = nullptr) {
        std::optional<QStringList> added;
        AskAboutAddedMedia(parent, context, cache, paths, LeftOut::Told,
                           [&added](const AddedMedia& answer) { added = answer.added; });
        EXPECT_TRUE(QTest::qWaitFor([&added] { return added.has_value(); }, 60000));
        return added.value_or(QStringList());
    }
    QStringList ask(const QStringList& paths) { return ask(tc.context, paths); }
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
    EXPECT_EQ(ask(context, picked), picked);
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
        const QStringList added =
            ask({path("GOOD.JPG"), path("LOGO.PNG"), path("Croissant Special Offer.jpg")});
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
    const QStringList again = ask({path("LOGO.PNG")});
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
        const QStringList added = ask({QString::fromStdString(c.path)});
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

std::size_t questionsAsked(const ScriptedPrompts& prompts) {
    return static_cast<std::size_t>(
        std::count_if(prompts.shown.begin(), prompts.shown.end(),
                      [](const auto& s) { return s.kind == ScriptedPrompts::Shown::Choice; }));
}

// While the picked file is examined the editor takes nothing: neither a click nor a press from a
// screen reader on OK stores the entry. Once the answer came, the name is shown and nothing stored.
TEST_F(MediaAddQuestionTest, WhileExamining_theEditorTakesNoOK) {
    ScheduleEditForm editor(tc.context, std::nullopt, 10);
    editor.show();
    tc.prompts.files.push_back(path("GOOD.JPG"));
    auto* ok = editor.findChild<QPushButton*>(QStringLiteral("OKCmd"));
    editor.findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
    // The answer is posted to this thread, which has not looked at its events yet.
    ASSERT_TRUE(editor.lookingUp());
    EXPECT_FALSE(ok->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    ok->click();
    LetBackgroundWorkAnswer();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_TRUE(editor.entries().empty());
    EXPECT_EQ(editor.findChild<QLineEdit*>(QStringLiteral("FileNameText"))->text(), "GOOD.JPG");
    EXPECT_TRUE(ok->isEnabled());
}

// An answer that comes after its editor was closed or destroyed asks nothing and changes nothing.
TEST_F(MediaAddQuestionTest, AnswerAfterItsEditorIsGone_doesNothing) {
    const struct {
        const char* how;
        bool destroy;
    } cases[] = {{"closed", false}, {"destroyed", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        tc.prompts.shown.clear();
        tc.prompts.files.push_back(path("LOGO.PNG")); // will not play: its answer would ask
        tc.prompts.choices.push_back(QStringLiteral("Add anyway"));
        auto editor = std::make_unique<ScheduleEditForm>(tc.context, std::nullopt, 10);
        editor->show();
        editor->findChild<QPushButton*>(QStringLiteral("BrowseCmd"))->click();
        ASSERT_TRUE(editor->lookingUp());
        if (c.destroy)
            editor.reset();
        else
            editor->close();
        LetBackgroundWorkAnswer();
        EXPECT_EQ(questionsAsked(tc.prompts), 0u);
        if (editor) {
            EXPECT_TRUE(editor->entries().empty());
            EXPECT_TRUE(editor->findChild<QLineEdit*>(QStringLiteral("FileNameText"))->text().isEmpty());
        }
        tc.prompts.choices.clear();
    }
}

// A file the cache has examined is not probed again: its bytes replaced behind the cache's back (same
// size, same time) still count as what was examined, with the cache the marks share; a fresh cache
// probes them and asks.
TEST_F(MediaAddQuestionTest, FileExaminedOnce_isNotProbedAgain) {
    const std::string good = media + "GOOD.JPG";
    EXPECT_TRUE(cache->examine(good).verdict.plays);
    const auto size = std::filesystem::file_size(good);
    const auto time = std::filesystem::last_write_time(good);
    std::ofstream(good, std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    std::filesystem::last_write_time(good, time);
    const struct {
        const char* cache;
        std::shared_ptr<MediaProbeCache> with;
        std::size_t asked;
    } cases[] = {{"the shared one", cache, 0}, {"a fresh one", std::make_shared<MediaProbeCache>(), 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cache);
        tc.prompts.shown.clear();
        tc.prompts.choices.push_back(QStringLiteral("Add anyway"));
        cache = c.with;
        EXPECT_EQ(ask({path("GOOD.JPG")}), QStringList({path("GOOD.JPG")}));
        EXPECT_EQ(questionsAsked(tc.prompts), c.asked);
        tc.prompts.choices.clear();
    }
}

} // namespace
} // namespace velmo::test
