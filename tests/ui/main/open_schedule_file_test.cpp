#include "ui/main/main_form_fixture.h"

#include <QPushButton>

namespace velmo::test {
namespace {

// A file named at start or handed over by a second start: opened as Open opens a chosen file, after
// the same question about unsaved changes.
TEST_F(MainFormTest, OpenScheduleFile_asksAboutUnsavedChangesFirst_andSaysWhatIsWrongWithTheFile) {
    Schedule other;
    AddBasic(other, MakeFile("OTHER", "MP3", 9, 9));
    const std::string folder = makeDir("handed");
    writeSchedule(folder, "shop.vlm", other);
    WriteText(folder + "damaged.vlm", "VELMO but nothing more");

    start();
    Schedule mine;
    AddBasic(mine, MakeFile("A", "MP3", 1, 13));
    AddBasic(mine, MakeFile("B", "MP3", 2, 5));
    load(mine);
    List(*form, "NormalList")->setCurrentRow(0);
    form->findChild<QPushButton*>(QStringLiteral("NormalRemoveCmd"))->click(); // an unsaved change
    const Schedule changed = schedule();

    const struct {
        const char* what;
        std::string path;
        std::optional<QString> answer; // to the question about unsaved changes; none: not asked
        QString message;               // shown after it; empty: none
        bool opens;
    } cases[] = {
        {"cancelled", folder + "shop.vlm", "Cancel", {}, false},
        {"missing", folder + "none.vlm", std::nullopt, "File Not Found!", false},
        {"damaged", folder + "damaged.vlm", "Discard", "File Read Error!", false},
        {"discarded", folder + "shop.vlm", "Discard", {}, true},
        {"nothing unsaved", folder + "shop.vlm", std::nullopt, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tc.prompts.shown.clear();
        tc.prompts.choices.clear();
        if (c.answer)
            tc.prompts.choices.push_back(*c.answer);
        form->OpenScheduleFile(c.path);
        QStringList expected;
        if (c.answer)
            expected << "Save changes to the schedule before closing it?";
        if (!c.message.isEmpty())
            expected << c.message;
        QStringList shown;
        for (const ScriptedPrompts::Shown& s : tc.prompts.shown)
            shown << s.text;
        EXPECT_EQ(shown, expected);
        if (c.opens) {
            EXPECT_EQ(schedule(), other);
            EXPECT_EQ(state().scheduleDir, folder);
            EXPECT_EQ(state().scheduleFileName, "shop.vlm");
            EXPECT_EQ(state().openDir, folder);
            EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("shop.vlm")))
                << form->windowTitle().toStdString();
        } else {
            EXPECT_EQ(schedule(), changed);
            EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
        }
    }
}

} // namespace
} // namespace velmo::test
