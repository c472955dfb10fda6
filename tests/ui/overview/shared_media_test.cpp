#include "overview_fixture.h"
#include "support/background_work.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <fstream>

namespace velmo::test {
namespace {

class SharedMediaTest : public OverviewTest {
protected:
    // Drags `path` onto the Basic list; true when the list took it.
    bool drop(const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QWidget* viewport = list("NormalList")->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    }
    std::size_t questionsAsked() const {
        return static_cast<std::size_t>(std::count_if(
            tc.prompts.shown.begin(), tc.prompts.shown.end(),
            [](const ScriptedPrompts::Shown& s) { return s.kind == ScriptedPrompts::Shown::Choice; }));
    }
};

// A file the marks examined is not probed again when it is dropped: its bytes replaced behind the
// cache's back (same size, same time) still count as the sound that plays, so nothing is asked.
TEST_F(SharedMediaTest, DroppedFileTheMarksExamined_isNotProbedAgain) {
    examined();
    const std::string sound = app() + "D0.MP3";
    const auto size = std::filesystem::file_size(sound);
    const auto time = std::filesystem::last_write_time(sound);
    std::ofstream(sound, std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    std::filesystem::last_write_time(sound, time);
    tc.prompts.choices = {QStringLiteral("Add anyway")}; // were it asked: added anyway
    EXPECT_TRUE(drop(sound));
    LetBackgroundWorkAnswer();
    EXPECT_EQ(questionsAsked(), 0u);
    ASSERT_EQ(schedule().basicCount, 2);
    EXPECT_EQ(StoredNameText(schedule().basicEntries[1]), "D0.MP3");
}

// While a drop's files are examined the window takes no second drop; the first goes on alone.
TEST_F(SharedMediaTest, SecondDropWhileTheFirstIsExamined_isNotTaken) {
    EXPECT_TRUE(drop(app() + "D0.MP3"));
    // The first answer is posted to this thread, which has not looked at its events yet.
    EXPECT_FALSE(drop(app() + "D1.MP3"));
    LetBackgroundWorkAnswer();
    ASSERT_EQ(schedule().basicCount, 2);
    EXPECT_EQ(StoredNameText(schedule().basicEntries[1]), "D0.MP3");
}

// The main window closed or gone while a drop's files are examined: the answer adds nothing.
TEST_F(SharedMediaTest, WindowGoneWhileADropIsExamined_theAnswerAddsNothing) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        start();
        loadMorningsAndThursdays();
        form->show();
        tc.prompts.shown.clear();
        // The close asks about the loaded schedule first: not saved.
        tc.prompts.choices = {QStringLiteral("Discard")};
        ASSERT_TRUE(drop(app() + "D0.MP3"));
        if (destroy)
            form.reset();
        else
            form->close();
        LetBackgroundWorkAnswer();
        EXPECT_EQ(schedule().basicCount, 1);
    }
}

} // namespace
} // namespace velmo::test
