#include "model/settings.h"

#include "temp_dir.h"

#include <cerrno>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmo;
using velmo::test::ReadBytes;
using velmo::test::ReadText;
using velmo::test::TempDir;
using velmo::test::WriteText;

namespace {

struct SettingsFixture : ::testing::Test {
    TempDir dir;
    AppState state;
    int errors = 0;

    SettingsFixture() {
        state.appPath = dir.dir();
        for (std::string* value :
             {&state.openDir, &state.saveDir, &state.scheduleDir, &state.mediaDir, &state.copyDir})
            *value = "default/";
        state.scheduleFileName = "velmo.vlm";
        state.copyDrive = "/";
    }
    std::string path() const { return dir.file("SystemInfo.txt"); }
    // Whatever was remembered of the schedule goes where the editor's document keeps it.
    void read() {
        RememberedSchedule schedule{state.scheduleDir, state.scheduleFileName};
        ReadSettings(state, schedule, [this] { ++errors; });
        state.scheduleDir = schedule.directory;
        state.scheduleFileName = schedule.fileName;
    }
    std::vector<std::string> values() const {
        return {state.openDir,  state.saveDir,   state.scheduleDir, state.scheduleFileName,
                state.mediaDir, state.copyDrive, state.copyDir};
    }
};

using Values = std::vector<std::string>;

} // namespace

TEST_F(SettingsFixture, NoFileKeepsTheDefaultsSilently) {
    const Values before = values();
    read();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(values(), before);
}

TEST_F(SettingsFixture, TheRememberedScheduleIsReadForTheCallerAndNotIntoTheState) {
    WriteText(path(), "/o/\r\n/s/\r\n/d/\r\nx.vlm\r\n/m/\r\n/mnt,/mnt/c\r\n");
    RememberedSchedule schedule;
    ReadSettings(state, schedule, [this] { ++errors; });
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(schedule.directory + schedule.fileName, "/d/x.vlm");
    EXPECT_EQ(state.scheduleDir + state.scheduleFileName, "default/velmo.vlm");
    EXPECT_EQ(state.openDir + state.copyDir, "/o//mnt/c");
}

TEST_F(SettingsFixture, ReadsTheSixLinesItWrites) {
    WriteText(
        path(),
        "\"/o/\"\r\n\"/s/\"\r\n\"/d/\"\r\n\"x.vlm\"\r\n\"/m/\"\r\n\"/media/usb\",\"/media/usb/clips\"\r\n");
    read();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(values(), (Values{"/o/", "/s/", "/d/", "x.vlm", "/m/", "/media/usb", "/media/usb/clips"}));
}

TEST_F(SettingsFixture, SixValuesTakeTheFirstSixThenReportAndDeleteTheFile) {
    WriteText(path(), "\"/o/\"\r\n\"/s/\"\r\n\"/d/\"\r\n\"x.vlm\"\r\n\"/m/\"\r\n\"/media/usb\"\r\n");
    read();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(values(), (Values{"/o/", "/s/", "/d/", "x.vlm", "/m/", "/media/usb", "default/"}));
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SettingsFixture, FieldsMaySpreadOverLinesInAnyWay) {
    const std::pair<const char*, Values> cases[] = {
        // all seven on one line
        {"\"a\",\"b\",\"c\",\"d\",\"e\",\"f\",\"g\"\r\n", {"a", "b", "c", "d", "e", "f", "g"}},
        // unquoted values run to the comma or line end, LF alone ends a line
        {"/data/\n/s/\n/d/\nx.vlm\n/m/\n/mnt,/mnt/c\n",
         {"/data/", "/s/", "/d/", "x.vlm", "/m/", "/mnt", "/mnt/c"}},
        // a quoted comma belongs to the value; leading spaces and text after the quote are dropped
        {"\"a,b\"\r\n  \"c\" junk\r\n\"d\",\"e\"\n\"f\"\r\n\"g\",  \"h\"",
         {"a,b", "c", "d", "e", "f", "g", "h"}},
        // the last field may end the file; an empty line is an empty field
        {"1\r\n\r\n3,4,5,6,7", {"1", "", "3", "4", "5", "6", "7"}},
    };
    for (const auto& [text, expected] : cases) {
        WriteText(path(), text);
        errors = 0;
        read();
        EXPECT_EQ(errors, 0) << text;
        EXPECT_EQ(values(), expected) << text;
    }
}

TEST_F(SettingsFixture, AnUnclosedQuoteIsAnErrorAfterTheValuesBeforeIt) {
    WriteText(path(), "\"/o/\"\r\n\"/s/\"\r\n\"/d/\r\nx.vlm\r\n");
    read();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(values(), (Values{"/o/", "/s/", "default/", "velmo.vlm", "default/", "/", "default/"}));
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SettingsFixture, WritesSixLinesEndingInCrLfAndReadsThemBack) {
    state.openDir = "/o/";
    state.saveDir = "/s, with comma/";
    state.scheduleDir = "/d/";
    state.scheduleFileName = "x.vlm";
    state.mediaDir = "/m/";
    state.copyDrive = "/media/usb";
    state.copyDir = "/media/usb/clips";
    ASSERT_TRUE(WriteSettings(state));
    const std::vector<std::uint8_t> bytes = ReadBytes(path());
    EXPECT_EQ(
        std::string(bytes.begin(), bytes.end()),
        "\"/o/\"\r\n\"/s, with comma/\"\r\n\"/d/\"\r\n\"x.vlm\"\r\n\"/m/\"\r\n\"/media/usb\",\"/media/usb/"
        "clips\"\r\n");
    const Values written = values();
    for (std::string* value : {&state.openDir, &state.saveDir, &state.copyDir})
        value->clear();
    read();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(values(), written);
}

TEST_F(SettingsFixture, AFileFarLongerThanSevenPathsIsTheSettingsError) {
    // A sparse 8 GB file of zeros: one endless field.
    WriteText(path(), "");
    ASSERT_EQ(::truncate(path().c_str(), 8LL << 30), 0);
    const Values before = values();
    read();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(values(), before);
    EXPECT_TRUE(dir.names().empty());

    // Seven sound values followed by junk are read as ever: nothing after them is looked at.
    WriteText(path(), "a,b,c,d,e,f,g\r\n");
    ASSERT_EQ(::truncate(path().c_str(), 1LL << 30), 0);
    errors = 0;
    read();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(values(), (Values{"a", "b", "c", "d", "e", "f", "g"}));
}

TEST_F(SettingsFixture, NoValueLongerThanAPathIsReadOrWritten) {
    const std::string longest(PATH_MAX - 1, 'p');
    WriteText(path(), "\"/o/\",\"" + longest + "\",\"" + longest + "p\",d,e,f,g\r\n");
    read();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(values(), (Values{"/o/", longest, "default/", "velmo.vlm", "default/", "/", "default/"}));
    EXPECT_TRUE(WriteSettings(state));
    state.copyDir = longest + "p";
    EXPECT_FALSE(WriteSettings(state));
    EXPECT_EQ(ReadText(path()).find(longest + "p"), std::string::npos);
}

TEST_F(SettingsFixture, EveryPrintableCharacterOfAPathComesBack) {
    std::string all;
    for (char c = ' '; c <= '~'; ++c)
        all += c;
    // Quotes first and last, doubled and alone, and a comma after a quote.
    for (const std::string& value :
         std::vector<std::string>{all, "/shop \"north\",2027/", "\"\"x\"", std::string("\"")}) {
        for (std::string* target :
             {&state.openDir, &state.scheduleFileName, &state.copyDrive, &state.copyDir})
            *target = value;
        const Values written = values();
        ASSERT_TRUE(WriteSettings(state));
        for (std::string* target :
             {&state.openDir, &state.scheduleFileName, &state.copyDrive, &state.copyDir})
            target->clear();
        read();
        EXPECT_EQ(errors, 0) << value;
        EXPECT_EQ(values(), written) << value;
    }
    // Values without a quote are written exactly as before.
    state.openDir = "/a, b/";
    ASSERT_TRUE(WriteSettings(state));
    EXPECT_EQ(ReadText(path()).rfind("\"/a, b/\"\r\n", 0), 0u);
}

namespace {

class FailingRename final : public FileIo {
public:
    int rename(const std::string&, const std::string&) override {
        errno = EIO;
        return -1;
    }
};

} // namespace

TEST_F(SettingsFixture, AFailedWriteReportsItAndKeepsTheOldFile) {
    WriteText(path(), "old");
    FailingRename io;
    EXPECT_FALSE(WriteSettings(state, io));
    ::chmod(path().c_str(), 0444);
    EXPECT_FALSE(WriteSettings(state));
    const std::vector<std::uint8_t> bytes = ReadBytes(path());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"SystemInfo.txt"});
}

TEST(PublishSettingsStore, WritesOnlyWhatChangedAndNothingBeforeItWasRead) {
    TempDir dir;
    const std::string file = dir.file(kPublishSettingsFileName);
    PublishSettingsStore never;
    PublishSettings changed;
    changed.destination = "/media/stick/";
    EXPECT_FALSE(never.remember(changed));
    EXPECT_EQ(never.settings(), changed); // kept for this run all the same

    PublishSettingsStore store;
    store.read(dir.dir());
    EXPECT_EQ(store.settings(), PublishSettings{});
    ASSERT_TRUE(store.remember(PublishSettings{}));
    EXPECT_TRUE(dir.names().empty()) << "nothing changed, nothing written";
    ASSERT_TRUE(store.remember(changed));
    EXPECT_EQ(ReadPublishSettings(dir.dir()), changed);
    // A file changed behind the program's back is neither read again nor overwritten unasked.
    WriteText(file, "velmo publish 1\nto=/elsewhere/\n");
    ASSERT_TRUE(store.remember(changed));
    EXPECT_EQ(ReadText(file), "velmo publish 1\nto=/elsewhere/\n");
    EXPECT_EQ(store.settings(), changed);
}

TEST(PublishSettings, KeepTheDestinationsVolumeAndTheLastWritePerMedium) {
    TempDir dir;
    PublishSettings settings;
    settings.destination = "/media/shop/STICK/";
    settings.destinationMedium = {"1234-ABCD", "SHOP STICK", "/media/shop/STICK", "/dev/sdb1"};
    RememberWrite(settings, {"uuid:1234-ABCD", "CAFE.VLM", "2026-11-30"});
    RememberWrite(settings, {"label:OTHER", "SHOP.VLM", "2026-12-01"});
    RememberWrite(settings, {"uuid:1234-ABCD", "SHOP.VLM", "2026-12-08"});
    ASSERT_EQ(settings.written.size(), 2u) << "one write per medium, the latest";
    EXPECT_EQ(LastWriteTo(settings, "uuid:1234-ABCD")->scheduleName, "SHOP.VLM");
    EXPECT_EQ(LastWriteTo(settings, "uuid:FFFF-0000"), nullptr);
    ASSERT_TRUE(WritePublishSettings(dir.dir(), settings));
    EXPECT_EQ(ReadPublishSettings(dir.dir()), settings);
    // A name that would break the file's lines is not written.
    RememberWrite(settings, {"at:/media/x", "BAD\nNAME.VLM", "2026-12-08"});
    ASSERT_TRUE(WritePublishSettings(dir.dir(), settings));
    EXPECT_EQ(ReadPublishSettings(dir.dir()).written.size(), 2u);
}
