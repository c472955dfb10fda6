#include "main_form_fixture.h"

#include <QAction>
#include <QSignalSpy>
#include <QStatusBar>
#include <QThread>
#include <sys/stat.h>

namespace velmo::test {
namespace {

using Kind = ScriptedPrompts::Shown::Kind;

const QString kSaveAsFilter = QStringLiteral("Schedule File(*.vlm)|*.vlm");
const QString kOpenFilter = QStringLiteral("Velmo Schedule Reference File(*.vlm)|*.vlm");

std::vector<std::string> namesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Schedule readBack(const std::string& dir, const std::string& name) {
    Schedule s;
    EXPECT_TRUE(ReadScheduleFile(dir, name, s).ok) << dir << name;
    return s;
}

Schedule oneBasic(const std::string& name = "SONG") {
    Schedule s;
    AddBasic(s, MakeFile(name, "MP3", 1, 13));
    return s;
}

class FileCommandsTest : public MainFormTest {
protected:
    void SetUp() override { start(); }
    std::string caption() const { return form->windowTitle().toStdString(); }
    QString path(const std::string& p) const { return QString::fromStdString(p); }
};

TEST_F(FileCommandsTest, EachFileButtonIsItsMenuActionsOtherFace) {
    const std::vector<std::pair<const char*, const char*>> pairs = {{"NewCmd", "subNew"},
                                                                    {"OpenCmd", "subOpen"},
                                                                    {"SaveCmd", "subSave"},
                                                                    {"SaveAsCmd", "subSaveAs"},
                                                                    {"ExitCmd", "subExit"}};
    for (const auto& [button, action] : pairs) {
        SCOPED_TRACE(button);
        auto* command = form->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(command, nullptr);
        command->setEnabled(false);
        EXPECT_FALSE(Button(*form, button)->isEnabled());
        command->setEnabled(true);
        EXPECT_TRUE(Button(*form, button)->isEnabled());
    }
    // The button runs the action's one handler, once.
    load(oneBasic());
    QSignalSpy triggered(form->findChild<QAction*>(QStringLiteral("subSave")), &QAction::triggered);
    tc.prompts.files = {std::nullopt};
    Button(*form, "SaveCmd")->click();
    EXPECT_EQ(triggered.count(), 1);
    ASSERT_EQ(tc.prompts.shown.size(), 1u);
    EXPECT_EQ(tc.prompts.shown[0].kind, Kind::SaveFile);
}

TEST_F(FileCommandsTest, Save_newScheduleWithoutFile_asksForTargetInSaveDir_cancelWritesNothing) {
    load(oneBasic());
    state().saveDir = makeDir("out");
    tc.prompts.files = {std::nullopt};
    Button(*form, "SaveCmd")->click();

    ASSERT_EQ(tc.prompts.shown.size(), 1u);
    EXPECT_EQ(tc.prompts.shown[0].kind, Kind::SaveFile);
    EXPECT_EQ(tc.prompts.shown[0].text, kSaveAsFilter);
    EXPECT_EQ(tc.prompts.shown[0].directory.toStdString(), state().saveDir);
    EXPECT_EQ(tc.prompts.shown[0].fileName, QStringLiteral("velmo.vlm"));
    EXPECT_EQ(namesIn(app()), std::vector<std::string>{"out"});
    EXPECT_TRUE(namesIn(state().saveDir).empty());
    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().saveDir, app() + "out/");
}

TEST_F(FileCommandsTest, Save_currentFileExists_rewrittenWithoutQuestion) {
    writeSchedule(app(), "velmo.vlm", oneBasic("OLD"));
    start();
    ASSERT_EQ(schedule().basicCount, 1);
    const std::string before = caption();
    Schedule changed = oneBasic("OLD");
    AddBasic(changed, MakeFile("NEW", "AVI", 2, 3));
    load(changed);

    Action(*form, "subSave")->trigger();
    EXPECT_TRUE(tc.prompts.shown.empty());
    EXPECT_EQ(readBack(app(), "velmo.vlm"), changed);
    EXPECT_EQ(caption(), before);
    EXPECT_EQ(namesIn(app()), std::vector<std::string>{"velmo.vlm"}); // no temporary left behind
}

TEST_F(FileCommandsTest, SaveAs_existingTarget_NoShowsTheDialogAgain_YesOverwrites) {
    const std::string out = makeDir("out");
    writeSchedule(out, "cur.vlm", oneBasic("OLD"));
    load(oneBasic("NEW"));
    tc.prompts.files = {path(out + "cur"), path(out + "cur.vlm")};
    tc.prompts.answers = {false, true};
    Button(*form, "SaveAsCmd")->click();

    ASSERT_EQ(tc.prompts.shown.size(), 4u);
    EXPECT_EQ(tc.prompts.shown[1].kind, Kind::YesNo);
    EXPECT_EQ(tc.prompts.shown[1].text, QStringLiteral("File Already Existed, Overwrite?"));
    // Back in the directory of the last choice, with the name as the extension rule made it.
    EXPECT_EQ(tc.prompts.shown[2].kind, Kind::SaveFile);
    EXPECT_EQ(tc.prompts.shown[2].directory.toStdString(), out);
    EXPECT_EQ(tc.prompts.shown[2].fileName, QStringLiteral("cur.vlm"));
    EXPECT_EQ(tc.prompts.shown[3].kind, Kind::YesNo);

    EXPECT_EQ(readBack(out, "cur.vlm"), oneBasic("NEW"));
    EXPECT_EQ(state().scheduleDir, out);
    EXPECT_EQ(state().saveDir, out);
    EXPECT_EQ(state().scheduleFileName, "cur.vlm");
    EXPECT_EQ(state().openDir, app()); // Save As leaves the Open directory alone
    EXPECT_EQ(caption(), "Velmo Schedule Generator - " + out + "cur.vlm");
}

TEST_F(FileCommandsTest, SaveAs_extensionRuleOnTypedNames) {
    const std::string out = makeDir("out");
    load(oneBasic());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"test", "test.vlm"}, {"test.txt", "test.txt"}, {"my.sched", "my.sched.vlm"}, {"a.vl", "a.vl.vlm"}};
    for (const auto& [typed, stored] : cases) {
        tc.prompts.files = {path(out + typed)};
        Action(*form, "subSaveAs")->trigger();
        EXPECT_TRUE(Exists(out + stored)) << typed;
        EXPECT_EQ(state().scheduleFileName, stored);
    }
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"a.vl.vlm", "my.sched.vlm", "test.txt", "test.vlm"}));
}

TEST_F(FileCommandsTest, Open_missingName_fileNotFoundThenTheDialogAgain) {
    const std::string in = makeDir("in");
    tc.prompts.files = {path(in + "nothere"), std::nullopt};
    Button(*form, "OpenCmd")->click();

    ASSERT_EQ(tc.prompts.shown.size(), 3u);
    EXPECT_EQ(tc.prompts.shown[0].kind, Kind::OpenFile);
    EXPECT_EQ(tc.prompts.shown[0].text, kOpenFilter);
    EXPECT_EQ(tc.prompts.shown[0].directory.toStdString(), app());
    EXPECT_TRUE(tc.prompts.shown[0].fileName.isEmpty());
    EXPECT_EQ(tc.prompts.shown[1].kind, Kind::Message);
    EXPECT_EQ(tc.prompts.shown[1].text, QStringLiteral("File Not Found!"));
    EXPECT_EQ(tc.prompts.shown[2].directory.toStdString(), in);
    EXPECT_EQ(tc.prompts.shown[2].fileName, QStringLiteral("nothere.vlm"));
    EXPECT_EQ(state().openDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
}

TEST_F(FileCommandsTest, Open_fillsTheListsAndMovesOpenAndScheduleDirectories) {
    const std::string in = makeDir("in");
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(VELMO_TEST_DATA_DIR "/advance-only-l30.vlm"), path(in + "adv.vlm")));
    state().saveDir = "/kept/";
    tc.prompts.files = {path(in + "adv")}; // typed without extension
    Action(*form, "subOpen")->trigger();

    EXPECT_EQ(Rows(List(*form, "AdvanceList")),
              QStringList({"2007/01/03   2007/12/31   All Day", "2006/12/28   2006/12/28   Wednesday"}));
    EXPECT_EQ(Rows(List(*form, "DetailList")),
              QStringList(
                  {QString::fromStdString("CLIP01.AVI" + Spaces(11) + Spaces(5) + "2  " + Spaces(8) + "5")}));
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_EQ(state().openDir, in);
    EXPECT_EQ(state().scheduleDir, in);
    EXPECT_EQ(state().scheduleFileName, "adv.vlm");
    EXPECT_EQ(state().saveDir, "/kept/");
    EXPECT_EQ(caption(), "Velmo Schedule Generator - " + in + "adv.vlm");
    EXPECT_TRUE(Button(*form, "AdvanceMoveDownCmd")->isEnabled());
    EXPECT_FALSE(Button(*form, "NormalModifyCmd")->isEnabled());
    EXPECT_TRUE(Button(*form, "DetailRemoveCmd")->isEnabled());

    List(*form, "AdvanceList")->setCurrentRow(1);
    EXPECT_EQ(Rows(List(*form, "DetailList")),
              QStringList(
                  {QString::fromStdString("A." + Spaces(19) + Spaces(5) + "0  " + Spaces(8) + "0"),
                   QString::fromStdString("1234567890123456.1234" + Spaces(5) + "100" + Spaces(8) + "12")}));
}

TEST_F(FileCommandsTest, Open_undecodableFile_reportedAndNothingChanges) {
    Schedule s = oneBasic();
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 2));
    load(s);
    const QStringList rowsBefore =
        Rows(List(*form, "NormalList")) + Rows(List(*form, "AdvanceList")) + Rows(List(*form, "DetailList"));
    const std::string captionBefore = caption();
    const std::string in = makeDir("in");
    WriteText(in + "bad.vlm", "VELMO0100KERNEL0000061018 this is not a schedule");
    tc.prompts.files = {path(in + "bad.vlm")};
    // The loaded schedule counts as changed; going on without saving it.
    tc.prompts.choices = {"Discard"};
    Button(*form, "OpenCmd")->click();

    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("File Read Error!")}));
    EXPECT_EQ(schedule(), s);
    EXPECT_EQ(Rows(List(*form, "NormalList")) + Rows(List(*form, "AdvanceList")) +
                  Rows(List(*form, "DetailList")),
              rowsBefore);
    EXPECT_EQ(state().openDir, app());
    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
    EXPECT_EQ(caption(), captionBefore);
}

TEST_F(FileCommandsTest, New_firstFreeDefaultNameAndBackToTheApplicationDirectory) {
    const std::string in = makeDir("in");
    writeSchedule(in, "x.vlm", oneBasic());
    tc.prompts.files = {path(in + "x.vlm")};
    Button(*form, "OpenCmd")->click();
    ASSERT_EQ(state().scheduleDir, in);
    state().saveDir = "/save/";
    WriteText(app() + "velmo.vlm", "x");
    WriteText(app() + "Velmo1.vlm", "x");

    Button(*form, "NewCmd")->click();
    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo2.vlm");
    EXPECT_EQ(state().openDir, in);
    EXPECT_EQ(state().saveDir, "/save/");
    EXPECT_EQ(schedule().basicCount, 0);
    EXPECT_EQ(List(*form, "NormalList")->count(), 0);
    EXPECT_FALSE(Button(*form, "NormalModifyCmd")->isEnabled());
    EXPECT_EQ(caption(), "Velmo Schedule Generator - " + app() + "velmo2.vlm");
    EXPECT_FALSE(Exists(app() + "velmo2.vlm")); // New creates no file

    std::filesystem::remove(app() + "velmo.vlm");
    // Wine keeps a deleted file's name while any reader still holds it open (Windows drops it at once):
    // the name must be gone before New looks for it.
    for (int tries = 0; Exists(app() + "velmo.vlm") && tries < 6000; ++tries) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    ASSERT_FALSE(Exists(app() + "velmo.vlm"));
    Action(*form, "subNew")->trigger();
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
}

TEST_F(FileCommandsTest, Save_refusals_emptyScheduleAndAdvanceEntryWithoutFiles) {
    Button(*form, "SaveCmd")->click();
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("No any schedule!\r\nCan't save!")}));

    Schedule s;
    AddAdvance(s, MakeAdvance(7, 1, 1, 7, 1));
    AddAdvance(s, MakeAdvance(7, 1, 2, 7, 2));
    AddAdvance(s, MakeAdvance(7, 1, 3, 7, 0));
    AddAdvance(s, MakeAdvance(7, 1, 4, 7, 1));
    AddAdvance(s, MakeAdvance(7, 1, 5, 7, 0));
    load(s);
    Button(*form, "SaveAsCmd")->click();
    ASSERT_EQ(shownMessages().size(), 2);
    EXPECT_EQ(shownMessages()[1].toStdString(),
              "No any schedule file in advance schedule! Can't Save!3 !\r\n" + Spaces(25) + "Can't save!");
    EXPECT_EQ(tc.prompts.shown.size(), 2u); // no dialog
    EXPECT_TRUE(namesIn(app()).empty());
}

TEST_F(FileCommandsTest, Save_sizeLimit_7550SavedAnd33800Refused) {
    const std::string out = makeDir("out");
    Schedule big;
    for (int i = 0; i < 250; ++i)
        AddBasic(big, MakeFile("B" + std::to_string(i), "MP3", 1, 1));
    load(big);
    tc.prompts.files = {path(out + "big.vlm")};
    Button(*form, "SaveCmd")->click();
    EXPECT_EQ(readBack(out, "big.vlm"), big);

    Schedule tooBig;
    for (int i = 0; i < 250; ++i)
        AddAdvance(tooBig, MakeAdvance(7, 1, 1, 7, 4));
    load(tooBig);
    Button(*form, "SaveAsCmd")->click();
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("Too many schedules!!")}));
    EXPECT_EQ(readBack(out, "big.vlm"), big);
}

TEST_F(FileCommandsTest, Save_readOnlyCurrentFile_reportedAndOldBytesKept) {
    writeSchedule(app(), "velmo.vlm", oneBasic("OLD"));
    start();
    const std::string file = app() + "velmo.vlm";
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const std::vector<std::uint8_t> before = ReadBytes(file);
    const std::string captionBefore = caption();
    load(oneBasic("NEW"));

    Button(*form, "SaveCmd")->click();
    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("File Save Error!")}));
    EXPECT_EQ(form->statusBar()->currentMessage(),
              QStringLiteral("Not saved: the file or its medium is read-only."));
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(namesIn(app()), std::vector<std::string>{"velmo.vlm"});
    EXPECT_EQ(caption(), captionBefore);
    EXPECT_EQ(state().scheduleDir, app());
}

TEST_F(FileCommandsTest, SaveAs_targetThatCannotBeReplaced_reportedAndStateKept) {
    const std::string out = makeDir("out");
    makeDir("out/taken.vlm"); // a directory where the file would go
    load(oneBasic());
    state().saveDir = out;
    const std::string captionBefore = caption();
    tc.prompts.files = {path(out + "taken.vlm")};
    Button(*form, "SaveAsCmd")->click();

    EXPECT_EQ(shownMessages(), QStringList({QStringLiteral("File Save Error!")}));
    EXPECT_EQ(form->statusBar()->currentMessage(), QStringLiteral("Not saved: that name is not a file."));
    EXPECT_EQ(state().scheduleDir, app());
    EXPECT_EQ(state().scheduleFileName, "velmo.vlm");
    EXPECT_EQ(state().saveDir, out);
    EXPECT_EQ(caption(), captionBefore);
    EXPECT_EQ(namesIn(out), std::vector<std::string>{"taken.vlm"});
}

TEST_F(FileCommandsTest, SaveAs_ontoAnExistingHiddenFile_isAskedBeforeItIsReplaced) {
    writeSchedule(app(), ".backup.vlm", oneBasic("OLD"));
    load(oneBasic("NEW"));
    tc.prompts.files = {path(app() + ".backup.vlm"), std::nullopt};
    tc.prompts.answers = {false};
    Button(*form, "SaveAsCmd")->click();

    ASSERT_GE(tc.prompts.shown.size(), 2u);
    EXPECT_EQ(tc.prompts.shown[1].kind, Kind::YesNo);
    EXPECT_EQ(readBack(app(), ".backup.vlm"), oneBasic("OLD"));
}

} // namespace
} // namespace velmo::test
