#include "cli/schedule_json.h"

#include "support/schedule_builder.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmo {
namespace {

using test::MakeFile;

using test::dataPath;
using test::readText;

std::string trimmedEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

std::vector<std::string> lines(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings)
        out.push_back(FormatFinding("in.json", f));
    return out;
}

TEST(ScheduleJson, ReferenceJson_readsAndWritesBackUnchanged) {
    for (const std::string& name : test::referenceNames()) {
        const std::string text = readText(dataPath(name + ".json"));
        ASSERT_FALSE(text.empty()) << name;
        const JsonSchedule parsed = ParseScheduleJson(text);
        EXPECT_TRUE(parsed.syntax.empty()) << name << ": " << testing::PrintToString(lines(parsed.syntax));
        EXPECT_TRUE(parsed.names.empty()) << name;
        EXPECT_EQ(trimmedEnd(ScheduleToJson(parsed.schedule)), trimmedEnd(text)) << name;
    }
}

TEST(ScheduleJson, RoundTrip_keepsEveryStoredByte) {
    Schedule s;
    s.basicEntries = {MakeFile("1234567890123456", "1234", 100, 13), MakeFile("", "", 0, 0),
                      MakeFile("CAF\xC9\x80\x81", "\x9F", 255, 255), MakeFile("AB", "MP3", 1, 12)};
    s.basicEntries[3].fileName[3] = 'C'; // a zero inside the name, as only a foreign file has
    s.basicEntries[1].reserved = {1, 2, 3, 4, 5, 255};
    s.basicCount = 4;
    AdvanceEntry a;
    a.startYear = 255;
    a.startMonth = 0;
    a.startDay = 31;
    a.stopHour = 23;
    a.stopMinute = 59;
    a.stopSecond = 59;
    a.weekDay = 200;
    a.files = {MakeFile("CLIP01", "AVI", 2, 5)};
    a.fileCount = 1;
    AdvanceEntry none; // no detail entries
    s.advanceEntries = {a, none};
    s.advanceCount = 2;

    const std::string json = ScheduleToJson(s);
    EXPECT_NE(json.find("\"CAF\u00C9\u20AC\u0081\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"AB\\u0000C\""), std::string::npos) << json;
    const JsonSchedule back = ParseScheduleJson(json);
    ASSERT_TRUE(back.syntax.empty()) << testing::PrintToString(lines(back.syntax));
    ASSERT_TRUE(back.names.empty());
    EXPECT_EQ(back.schedule, s);
    EXPECT_EQ(back.schedule.basicEntries[1].reserved, s.basicEntries[1].reserved);
    EXPECT_EQ(ScheduleToJson(back.schedule), json);
}

TEST(ScheduleJson, ReservedMayBeLeftOut) {
    const JsonSchedule parsed = ParseScheduleJson(
        R"({"basic": [{"fileName": "SONG", "fileExt": "MP3", "playTimes": 1, "volume": 13}], "advance": []})");
    ASSERT_TRUE(parsed.syntax.empty());
    ASSERT_EQ(parsed.schedule.basicCount, 1);
    EXPECT_EQ(parsed.schedule.basicEntries[0], MakeFile("SONG", "MP3", 1, 13));
}

TEST(ScheduleJson, TypedName_isCheckedSplitAndUpperCasedAsTheEditorDoes) {
    const JsonSchedule parsed = ParseScheduleJson(R"({"basic": [
        {"name": "clip01.avi", "playTimes": 1, "volume": 13},
        {"name": "  a.b.c  ", "playTimes": 1, "volume": 13},
        {"name": "clip", "playTimes": 1, "volume": 13},
        {"name": "clip.jpeg2", "playTimes": 1, "volume": 13},
        {"name": "abcdefghijklmnopq.mpg", "playTimes": 1, "volume": 13},
        {"name": "my clip.avi", "playTimes": 1, "volume": 13},
        {"name": "   ", "playTimes": 1, "volume": 13},
        {"name": "caf\u00e9.mp3", "playTimes": 1, "volume": 13},
        {"name": "\u4e2d.mp3", "playTimes": 1, "volume": 13}
      ], "advance": []})");
    ASSERT_TRUE(parsed.syntax.empty()) << testing::PrintToString(lines(parsed.syntax));
    const auto& b = parsed.schedule.basicEntries;
    EXPECT_EQ(b[0], MakeFile("CLIP01", "AVI", 1, 13));
    EXPECT_EQ(b[1], MakeFile("A.B", "C", 1, 13));
    EXPECT_EQ(b[2], MakeFile("CLIP", "", 1, 13));
    const std::vector<std::string> got = lines(parsed.names);
    ASSERT_EQ(got.size(), 6u) << testing::PrintToString(got);
    EXPECT_EQ(got[0].rfind("in.json: basic entry 4: File Name Error! (", 0), 0u) << got[0];
    EXPECT_NE(got[0].find("extension"), std::string::npos) << got[0];
    EXPECT_EQ(got[1].rfind("in.json: basic entry 5: File Name Error! (", 0), 0u) << got[1];
    for (std::size_t i = 2; i < got.size(); ++i)
        EXPECT_EQ(got[i].rfind("in.json: basic entry " + std::to_string(i + 4) + ": File Name Error!", 0), 0u)
            << got[i];
}

TEST(ScheduleJson, NameFieldsThatCannotBeStored_areFileNameErrors) {
    const JsonSchedule parsed = ParseScheduleJson(R"({"basic": [], "advance": [
        {"startYear": 7, "startMonth": 1, "startDay": 3, "startHour": 0, "startMinute": 0, "startSecond": 0,
         "stopYear": 7, "stopMonth": 12, "stopDay": 31, "stopHour": 23, "stopMinute": 59, "stopSecond": 59,
         "weekDay": 7, "files": [
           {"fileName": "ABCDEFGHIJKLMNOPQ", "fileExt": "MPG", "playTimes": 1, "volume": 13},
           {"fileName": "CLIP", "fileExt": "JPEG2", "playTimes": 1, "volume": 13},
           {"fileName": "\u03a9", "fileExt": "MP3", "playTimes": 1, "volume": 13},
           {"fileName": "lower", "fileExt": "mp3", "playTimes": 1, "volume": 13}]}]})");
    ASSERT_TRUE(parsed.syntax.empty()) << testing::PrintToString(lines(parsed.syntax));
    const std::vector<std::string> got = lines(parsed.names);
    ASSERT_EQ(got.size(), 3u) << testing::PrintToString(got);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(got[i].rfind("in.json: advance entry 1, detail entry " + std::to_string(i + 1) +
                                   ": File Name Error! (",
                               0),
                  0u)
            << got[i];
    // Storable bytes are kept as given; whether the editor could have stored them is judged later.
    EXPECT_EQ(parsed.schedule.advanceEntries[0].files[3], MakeFile("lower", "mp3", 1, 13));
}

struct SyntaxCase {
    std::string json;
    std::string marker; // the finding points at the first occurrence of this text
    std::string message;
};

// "line L, column C" of the first occurrence of marker.
std::string placeOf(const std::string& text, const std::string& marker) {
    const std::size_t at = text.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    const std::size_t lineStart = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const long line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    return "line " + std::to_string(line) + ", column " + std::to_string(at - lineStart + 1);
}

TEST(ScheduleJson, MalformedJson_namesLineAndColumn) {
    const JsonSchedule parsed = ParseScheduleJson("{\n \"basic\": [\n  {\"fileName\": \"A\",, }\n ]\n}");
    ASSERT_EQ(parsed.syntax.size(), 1u);
    EXPECT_EQ(parsed.syntax[0].where, "line 3, column 20");
    EXPECT_NE(parsed.syntax[0].what.find("syntax error"), std::string::npos) << parsed.syntax[0].what;

    for (const char* bad : {"", "{", "[1, 2", "{\"basic\": []} trailing", "{\"basic\": tru}", "\xff"}) {
        const JsonSchedule p = ParseScheduleJson(bad);
        ASSERT_EQ(p.syntax.size(), 1u) << bad;
        EXPECT_EQ(p.syntax[0].where.rfind("line 1, column ", 0), 0u) << bad << " -> " << p.syntax[0].where;
    }
}

TEST(ScheduleJson, DeepNesting_isRefusedWhereItGoesTooDeep) {
    const std::string deep =
        "{\"basic\": " + std::string(100000, '[') + std::string(100000, ']') + ", \"advance\": []}";
    const JsonSchedule parsed = ParseScheduleJson(deep);
    ASSERT_EQ(parsed.syntax.size(), 1u);
    EXPECT_EQ(FormatFinding("in.json", parsed.syntax[0]),
              "in.json: line 1, column 74: nested deeper than 64 levels");
}

TEST(ScheduleJson, StructureErrors_pointAtTheField) {
    const char* advanceHead =
        R"("startYear": 7, "startMonth": 1, "startDay": 3, "startHour": 0, "startMinute": 0,
        "startSecond": 0, "stopYear": 7, "stopMonth": 12, "stopDay": 31, "stopHour": 23, "stopMinute": 59,
        "stopSecond": 59, )";
    const std::string entryHead = R"({"basic": [{"name": "A", )";
    const std::string entryTail = R"(}], "advance": []})";
    const std::vector<SyntaxCase> cases = {
        {"[]", "[", "the schedule must be an object holding the arrays \"basic\" and \"advance\""},
        {R"({"basic": [], "advance": [], "extra": 1})", "\"extra\"", "unknown field \"extra\""},
        {R"({"basic": []})", "{", "missing field \"advance\""},
        {R"({"basic": {}, "advance": []})", "{}", "\"basic\" must be an array, not an object"},
        {R"({"basic": [], "basic": [], "advance": []})", "\"basic\": [], \"adv",
         "field \"basic\" given twice"},
        {R"({"basic": [7], "advance": []})", "7", "basic entry 1 must be an object, not a number"},
        {entryHead + R"("playTimes": 1, "volume": 13, "volum": 1)" + entryTail, "\"volum\"",
         "basic entry 1: unknown field \"volum\""},
        {entryHead + R"("playTimes": 1)" + entryTail, "{\"name", "basic entry 1: missing field \"volume\""},
        {R"({"basic": [{"playTimes": 1, "volume": 13}], "advance": []})", "{\"play",
         "basic entry 1: missing field \"name\" (or \"fileName\" and \"fileExt\")"},
        {R"({"basic": [{"fileName": "A", "playTimes": 1, "volume": 13}], "advance": []})", "{\"file",
         "basic entry 1: missing field \"fileExt\""},
        {entryHead + R"("fileName": "A", "fileExt": "", "playTimes": 1, "volume": 13)" + entryTail, "{\"name",
         "basic entry 1: give either \"name\" or \"fileName\" and \"fileExt\", not both"},
        {entryHead + R"("playTimes": "1", "volume": 13)" + entryTail, "\"1\"",
         "basic entry 1: field \"playTimes\" must be a whole number 0..255, not a string"},
        {entryHead + R"("playTimes": 1.5, "volume": 13)" + entryTail, "1.5",
         "basic entry 1: field \"playTimes\" must be a whole number 0..255, not a number with a fraction"},
        {entryHead + R"("playTimes": 1e2, "volume": 13)" + entryTail, "1e2",
         "basic entry 1: field \"playTimes\" must be a whole number 0..255, not a number in exponent or "
         "decimal form"},
        {entryHead + R"("playTimes": 1, "volume": 123456789012345678901234)" + entryTail, "1234",
         "basic entry 1: field \"volume\": 1.2345678901234569e+23 does not fit a byte (0..255)"},
        {entryHead + R"("playTimes": 1, "volume": 256)" + entryTail, "256",
         "basic entry 1: field \"volume\": 256 does not fit a byte (0..255)"},
        {entryHead + R"("playTimes": -1, "volume": 1)" + entryTail, "-1",
         "basic entry 1: field \"playTimes\": -1 does not fit a byte (0..255)"},
        {R"({"basic": [{"name": 5, "playTimes": 1, "volume": 1}], "advance": []})", "5",
         "basic entry 1: field \"name\" must be a string, not a number"},
        {entryHead + R"("playTimes": 1, "volume": 1, "reserved": [0, 0])" + entryTail, "[0, 0]",
         "basic entry 1: field \"reserved\" must be an array of 6 whole numbers 0..255, not one of 2"},
        {entryHead + R"("playTimes": 1, "volume": 1, "reserved": [0, 0, 0, 0, 0, 300])" + entryTail, "300",
         "basic entry 1: field \"reserved\": 300 is not a whole number 0..255"},
    };
    for (const SyntaxCase& c : cases) {
        const JsonSchedule parsed = ParseScheduleJson(c.json);
        const std::vector<std::string> got = lines(parsed.syntax);
        ASSERT_EQ(got.size(), 1u) << c.json << " -> " << testing::PrintToString(got);
        EXPECT_EQ(got[0], "in.json: " + placeOf(c.json, c.marker) + ": " + c.message) << c.json;
    }

    // In an advance entry, on the second line: a missing field, a wrong type and a bad detail entry.
    const std::string advance =
        std::string("{\"basic\": [], \"advance\": [\n {") + advanceHead +
        "\"weekDay\": null, \"files\": [{\"name\": \"A\", \"playTimes\": 1, \"volume\": 1, "
        "\"x\": 0}]},\n {" +
        advanceHead + "\"weekDay\": 1}]}";
    const std::vector<std::string> got = lines(ParseScheduleJson(advance).syntax);
    ASSERT_EQ(got.size(), 3u) << testing::PrintToString(got);
    EXPECT_EQ(got[0], "in.json: " + placeOf(advance, "null") +
                          ": advance entry 1: field \"weekDay\" must be a whole number 0..255, not null");
    EXPECT_EQ(got[1], "in.json: " + placeOf(advance, "\"x\"") +
                          ": advance entry 1, detail entry 1: unknown field \"x\"");
    EXPECT_EQ(got[2], "in.json: line 5, column 2: advance entry 2: missing field \"files\"");
    EXPECT_EQ(placeOf(advance, "\"x\"").rfind("line 4, column ", 0), 0u);
}

TEST(ScheduleJson, WeekDays_onePeriodPerDayInWeekOrder_orAFaultNamingTheField) {
    const std::string head =
        R"({"basic": [], "advance": [{"startYear": 7, "startMonth": 12, "startDay": 1, "startHour": 7,
        "startMinute": 0, "startSecond": 0, "stopYear": 7, "stopMonth": 12, "stopDay": 31, "stopHour": 10,
        "stopMinute": 0, "stopSecond": 0, "files": [{"name": "toast.mp3", "playTimes": 1, "volume": 13}], )";
    const struct {
        const char* days;
        std::vector<int> weekDays;
        const char* fault;
        const char* at = nullptr; // what the fault's place points at
    } cases[] = {
        {R"("weekDays": ["Friday", "Monday"])", {1, 5}, ""},
        {R"("weekDays": ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"])",
         {kWeekDayAll},
         ""},
        {R"("weekDays": ["Monday", "Monday"])", {}, "field \"weekDays\" must be an array of week days"},
        {R"("weekDays": ["Mon"])", {}, "field \"weekDays\" must be an array of week days"},
        {R"("weekDays": [])", {}, "field \"weekDays\" is empty", "[]}"},
        {R"("weekDays": ["Monday"], "weekDay": 1)",
         {},
         "give \"weekDay\" or \"weekDays\", not both",
         "\"weekDays\""},
    };
    for (const auto& c : cases) {
        const JsonSchedule parsed = ParseScheduleJson(head + c.days + "}]}");
        const std::vector<std::string> faults = lines(parsed.syntax);
        if (*c.fault != '\0') {
            ASSERT_EQ(faults.size(), 1u) << c.days;
            EXPECT_NE(faults[0].find(c.fault), std::string::npos) << faults[0];
            // Said where the field is, not where its entry starts.
            if (c.at) {
                EXPECT_EQ(faults[0].rfind("in.json: " + placeOf(head + c.days + "}]}", c.at) + ": ", 0), 0u)
                    << faults[0];
            }
            continue;
        }
        ASSERT_TRUE(faults.empty()) << c.days << testing::PrintToString(faults);
        ASSERT_EQ(parsed.schedule.advanceCount, static_cast<int>(c.weekDays.size())) << c.days;
        for (std::size_t i = 0; i < c.weekDays.size(); ++i) {
            EXPECT_EQ(parsed.schedule.advanceEntries[i].weekDay, c.weekDays[i]) << c.days;
            EXPECT_EQ(parsed.schedule.advanceEntries[i].fileCount, 1) << c.days;
        }
    }
}

} // namespace
} // namespace velmo
