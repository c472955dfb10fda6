#include "model/schedule_file.h"

#include "temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmo;
using velmo::test::ReadBytes;
using velmo::test::TempDir;
using velmo::test::WriteBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Hands out the draws a test lays down, in order.
class ScriptedRandom final : public RandomSource {
public:
    void add(double r, int times = 1) { draws_.insert(draws_.end(), static_cast<std::size_t>(times), r); }
    double next() override {
        if (draws_.empty()) {
            ADD_FAILURE() << "more draws than scripted";
            return 0.0;
        }
        const double r = draws_.front();
        draws_.pop_front();
        return r;
    }
    std::size_t left() const { return draws_.size(); }

private:
    std::deque<double> draws_;
};

template <std::size_t N> std::array<std::uint8_t, N> Text(const std::string& text) {
    std::array<std::uint8_t, N> out{};
    std::copy(text.begin(), text.end(), out.begin());
    return out;
}

FileEntry File(const std::string& name, const std::string& ext, int playTimes, int volume,
               std::array<std::uint8_t, kReservedWidth> reserved = {}) {
    FileEntry e = MakeFileEntry(name, ext, playTimes, volume);
    e.reserved = reserved;
    return e;
}

AdvanceEntry Advance(std::array<std::uint8_t, 13> values, std::vector<FileEntry> files) {
    AdvanceEntry a;
    std::uint8_t* fields[] = {&a.startYear,   &a.startMonth, &a.startDay,  &a.startHour, &a.startMinute,
                              &a.startSecond, &a.stopYear,   &a.stopMonth, &a.stopDay,   &a.stopHour,
                              &a.stopMinute,  &a.stopSecond, &a.weekDay};
    for (std::size_t i = 0; i < values.size(); ++i)
        *fields[i] = values[i];
    SetDetailEntries(a, std::move(files));
    return a;
}

Schedule Mixed() {
    return MakeSchedule(
        {File("PIC", "JPG", 3, 7, {1, 2, 3, 4, 5, 6}), File("INTRO", "MPG", 1, kVolumeDefault)},
        {Advance({7, 1, 3, 0, 0, 0, 7, 12, 31, 23, 59, 59, 7}, {File("NIGHT", "VOB", 5, 3)}),
         Advance({6, 12, 28, 8, 30, 0, 6, 12, 28, 17, 0, 0, 3},
                 {File("A", "", 0, 0), File("1234567890123456", "1234", 100, 12)})});
}

// Equal down to the storage beyond the counts: what "left unchanged" means.
void ExpectIdentical(const Schedule& a, const Schedule& b) {
    EXPECT_EQ(a.basicCount, b.basicCount);
    EXPECT_EQ(a.advanceCount, b.advanceCount);
    EXPECT_EQ(a.basicEntries, b.basicEntries);
    ASSERT_EQ(a.advanceEntries.size(), b.advanceEntries.size());
    for (std::size_t i = 0; i < a.advanceEntries.size(); ++i) {
        EXPECT_EQ(a.advanceEntries[i], b.advanceEntries[i]);
        EXPECT_EQ(a.advanceEntries[i].fileCount, b.advanceEntries[i].fileCount);
        EXPECT_EQ(a.advanceEntries[i].files, b.advanceEntries[i].files);
    }
}

Bytes Encode(const Schedule& s, std::uint64_t seed = 1) {
    SeededRandomSource random(seed);
    Bytes bytes;
    const Result r = EncodeSchedule(s, random, bytes);
    EXPECT_TRUE(r) << r.reason;
    return bytes;
}

Schedule Decode(const Bytes& bytes) {
    Schedule s;
    const Result r = DecodeSchedule(bytes.data(), bytes.size(), s);
    EXPECT_TRUE(r) << r.reason;
    return s;
}

std::size_t ExpectedLength(const Bytes& file, const Schedule& s) {
    std::size_t length = 50 + file[30];
    if (s.basicCount > 0)
        length += 2 + 30 * static_cast<std::size_t>(s.basicCount);
    for (int i = 0; i < s.advanceCount; ++i)
        length += 17 + 30 * static_cast<std::size_t>(s.advanceEntries[static_cast<std::size_t>(i)].fileCount);
    return length;
}

} // namespace

TEST(ScrambleByte, AddsTheKeyByteAndWrapsTheIndexAtTheKeyLength) {
    const std::uint8_t key[] = {10, 20, 30};
    int index = 0;
    EXPECT_EQ(ScrambleByte(1, key, 3, index), 11);
    EXPECT_EQ(ScrambleByte(1, key, 3, index), 21);
    EXPECT_EQ(ScrambleByte(128, key, 3, index), 158);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(DescrambleByte(11, key, 3, index), 1);
    EXPECT_EQ(DescrambleByte(255, key, 3, index), 235);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(DescrambleByte(30, key, 3, index), 0);
    EXPECT_EQ(index, 0);
}

// The whole file for a fixed set of draws, worked out by hand from the layout.
TEST(EncodeSchedule, ScriptedDrawsGiveTheExpectedBytes) {
    const Schedule schedule =
        MakeSchedule({File("SONG", "MP3", 1, kVolumeDefault)},
                     {Advance({7, 1, 3, 0, 0, 0, 7, 12, 31, 23, 59, 59, 7}, {File("CLIP01", "AVI", 2, 5)})});

    ScriptedRandom random;
    for (double r :
         {0.0, 0.5, 0.25, 0.75, 0.9999}) // positions 26-30: 0, 127.5->128, 63.75->64, 191.25->191, 255
        random.add(r);
    random.add(0.5);           // R = 0.5*155 + 100 = 177.5 -> 178 (even)
    random.add(129.0 / 256.0); // O = r*128 = 64.5 -> 64 (even)
    random.add(0.125);         // L = 2.5 + 30 = 32.5 -> 32 (even)
    for (double r : {0.5, 0.0, 0.25})
        random.add(r); // positions 32, 34, 36: 128, 0, 64
    for (double r : {0.125, 0.375, 0.625, 0.875})
        random.add(r); // positions 37-40: 31.875->32, 95.625->96, 159.375->159, 223.125->223
    for (int j = 1; j <= 8; ++j)
        random.add(j / 16.0); // positions 43-50: 16, 32, ... , 127.5->128
    for (int m = 0; m < 178; ++m)
        random.add(((m * 5 + 3) % 127) / 127.0); // key region byte m = (5m + 3) mod 127
    random.add(0.5, 2);                          // basic filler: 63.5 -> 64
    random.add(0.25);                            // advance filler: 31.75 -> 32
    random.add(0.75, 2);                         // detail filler: 95.25 -> 95

    Bytes file;
    ASSERT_TRUE(EncodeSchedule(schedule, random, file));
    EXPECT_EQ(random.left(), 0u);

    Bytes expected;
    auto append = [&expected](std::initializer_list<int> values) {
        for (int v : values)
            expected.push_back(static_cast<std::uint8_t>(v));
    };
    for (char c : std::string("VELMO0100KERNEL0000061018"))
        expected.push_back(static_cast<std::uint8_t>(c));
    append({0, 128, 64, 191, 255});
    append({178, 128, 64, 0, 32, 64, 32, 96, 159, 223});
    append({1, 1});
    append({16, 32, 48, 64, 80, 96, 112, 128});
    ASSERT_EQ(expected.size(), 50u);
    for (int m = 0; m < 178; ++m)
        expected.push_back(static_cast<std::uint8_t>((m * 5 + 3) % 127));

    // Plain bytes of the scrambled part, in file order (playTimes before reserved).
    Bytes plain;
    auto text = [&plain](const std::string& s, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            plain.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    };
    auto values = [&plain](std::initializer_list<int> vs) {
        for (int v : vs)
            plain.push_back(static_cast<std::uint8_t>(v));
    };
    text("#1", 2);
    text("SONG", 16), text("MP3", 4), values({1, 0, 0, 0, 0, 0, 0, 13, 64, 64});
    text("#2", 2);
    values({7, 1, 3, 0, 0, 0, 7, 12, 31, 23, 59, 59, 7, 32, 1});
    text("CLIP01", 16), text("AVI", 4), values({2, 0, 0, 0, 0, 0, 0, 5, 95, 95});
    // The key is region bytes 64..95; one index runs across both sections and wraps after 32 bytes.
    for (std::size_t i = 0; i < plain.size(); ++i)
        expected.push_back(static_cast<std::uint8_t>(plain[i] + ((64 + i % 32) * 5 + 3) % 127));

    ASSERT_EQ(file.size(), 307u); // 50 + 178 + (2 + 30) + (17 + 30)
    EXPECT_EQ(file, expected);
    // Spot checks by hand: key[0] = (64*5 + 3) mod 127 = 69, key[1] = 74.
    EXPECT_EQ(file[228], '#' + 69); // position 229, the first scrambled byte
    EXPECT_EQ(file[229], '1' + 74);
    EXPECT_EQ(file[260], '#' + 69); // position 261, the 33rd scrambled byte: the index wrapped
    EXPECT_EQ(file[261], '2' + 74);
    EXPECT_EQ(Decode(file), schedule);
}

TEST(EncodeSchedule, AdvanceOnlyStartsWithTheSecondMarkerOnKeyBytesZeroAndOne) {
    const Schedule schedule =
        MakeSchedule({}, {Advance({7, 5, 31, 6, 0, 0, 7, 6, 1, 18, 0, 0, 2}, {File("X", "MP3", 1, 1)})});
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        const Bytes file = Encode(schedule, seed);
        const std::size_t region = 50 + file[30];
        const std::size_t key = 50 + file[32];
        ASSERT_EQ(file.size(), region + 17 + 30);
        EXPECT_EQ(file[region] - file[key], '#');
        EXPECT_EQ(file[region + 1] - file[key + 1], '2');
        EXPECT_EQ(file[40], 0);
        EXPECT_EQ(file[41], 1);
        EXPECT_EQ(Decode(file), schedule);
    }
}

TEST(EncodeSchedule, HeaderAndDrawsStayInTheirRanges) {
    const Schedule schedule = Mixed();
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        const Bytes file = Encode(schedule, seed);
        ASSERT_EQ(std::string(file.begin(), file.begin() + 25), "VELMO0100KERNEL0000061018");
        const int R = file[30], O = file[32], L = file[34];
        EXPECT_GE(R, 100);
        EXPECT_LE(O, R - 50);
        EXPECT_GE(L, 30);
        EXPECT_LE(L, 50);
        EXPECT_TRUE(
            std::all_of(file.begin() + 50, file.begin() + 50 + R, [](std::uint8_t b) { return b <= 127; }));
        EXPECT_EQ(file.size(), ExpectedLength(file, schedule));
    }
}

TEST(ScheduleRoundTrip, KeepsEveryFieldOfEveryShapeOfSchedule) {
    const Schedule basicOnly =
        MakeSchedule({File("SONG", "MP3", 1, kVolumeDefault), File("B", "JPG", 100, 0)}, {});
    const Schedule advanceOnly =
        MakeSchedule({}, {Advance({7, 1, 1, 0, 0, 0, 99, 12, 31, 23, 59, 59, 0},
                                  {File("C", "AVI", 2, 2), File("D", "DAT", 3, 3)})});
    const Schedule noDetails = MakeSchedule({}, {Advance({7, 1, 1, 0, 0, 0, 7, 1, 2, 0, 0, 0, 1}, {})});
    const Schedule fullNames = MakeSchedule(
        {File("1234567890123456", "1234", 50, 6)},
        {Advance({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 6}, {File("ABCDEFGHIJKLMNOP", "QRST", 7, 8)})});
    const Schedule reserved = MakeSchedule({File("R", "MP3", 1, 1, {9, 8, 7, 128, 1, 0})},
                                           {Advance({7, 1, 1, 0, 0, 0, 7, 1, 1, 0, 0, 0, 7},
                                                    {File("S", "VOB", 1, 1, {128, 0, 0, 0, 0, 255 - 127})})});
    const Schedule empty = MakeSchedule({}, {});

    for (const Schedule* s : {&basicOnly, &advanceOnly, &noDetails, &fullNames, &reserved, &empty}) {
        const Bytes file = Encode(*s, 7);
        EXPECT_EQ(file.size(), ExpectedLength(file, *s));
        const Schedule back = Decode(file);
        EXPECT_EQ(back, *s);
        EXPECT_EQ(back.basicEntries.size(), static_cast<std::size_t>(s->basicCount) + 1);
        EXPECT_EQ(back.advanceEntries.size(), static_cast<std::size_t>(s->advanceCount) + 1);
    }
    EXPECT_EQ(Decode(Encode(noDetails)).advanceEntries[0].files.size(), 1u);
    EXPECT_EQ(Decode(Encode(fullNames)).basicEntries[0].fileName, Text<16>("1234567890123456"));
    EXPECT_EQ(Decode(Encode(reserved)).basicEntries[0].reserved,
              (std::array<std::uint8_t, 6>{9, 8, 7, 128, 1, 0}));
    EXPECT_EQ(Encode(empty, 3).size(), 50u + Encode(empty, 3)[30]);
}

TEST(ScheduleRoundTrip, TwoWritesDifferButReadBackEqual) {
    const Schedule schedule = Mixed();
    const Bytes first = Encode(schedule, 11);
    const Bytes second = Encode(schedule, 12);
    EXPECT_NE(first, second);
    EXPECT_EQ(Decode(first), schedule);
    EXPECT_EQ(Decode(second), schedule);
}

TEST(ScheduleRoundTrip, LargestCountsSurvive) {
    // Both section counts sit in the plain header, so 255 always fits; a detail count is scrambled
    // like any other byte, and only up to 128 is sure to fit whatever the key.
    Schedule s = MakeSchedule({}, {});
    s.basicEntries.assign(255, File("MANY", "MP3", 1, 1));
    s.basicCount = 255;
    s.advanceEntries.assign(255, Advance({7, 1, 1, 0, 0, 0, 7, 1, 1, 0, 0, 0, 7}, {}));
    s.advanceCount = 255;
    s.advanceEntries[254].files.assign(128, File("LAST", "AVI", 9, 9));
    s.advanceEntries[254].fileCount = 128;
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        const Bytes file = Encode(s, seed);
        ASSERT_EQ(file.size(), ExpectedLength(file, s));
        EXPECT_EQ(file[40], 255);
        EXPECT_EQ(file[41], 255);
        const Schedule back = Decode(file);
        EXPECT_EQ(back.basicCount, 255);
        ASSERT_EQ(back.advanceCount, 255);
        EXPECT_EQ(back.advanceEntries[254].fileCount, 128);
        EXPECT_EQ(back, s);
    }
}

TEST(DecodeSchedule, KeepsStorageBeyondTheCountsAsAResizeWould) {
    Schedule model =
        MakeSchedule({File("OLD0", "MP3", 1, 1), File("OLD1", "MP3", 1, 1), File("OLD2", "MP3", 1, 1)}, {});
    const Bytes file = Encode(MakeSchedule({File("NEW", "JPG", 2, 2)}, {}));
    ASSERT_TRUE(DecodeSchedule(file.data(), file.size(), model));
    EXPECT_EQ(model.basicCount, 1);
    ASSERT_EQ(model.basicEntries.size(), 2u);
    EXPECT_EQ(model.basicEntries[0], File("NEW", "JPG", 2, 2));
    EXPECT_EQ(model.basicEntries[1], File("OLD1", "MP3", 1, 1));
}

TEST(DecodeSchedule, IgnoresTheMagicTheMarkersAndTrailingBytes) {
    const Schedule schedule = Mixed();
    Bytes file = Encode(schedule);
    std::fill(file.begin(), file.begin() + 25, 'Z');
    const std::size_t scrambled = 50 + file[30];
    file[scrambled] = 255; // "#" of "#1"
    file.insert(file.end(), {1, 2, 3, 255, 0});
    EXPECT_EQ(Decode(file), schedule);
}

TEST(DecodeSchedule, EveryTruncationFailsAndLeavesTheModelUnchanged) {
    const Schedule before = MakeSchedule({File("KEEP", "MP3", 4, 4)}, {});
    for (const Schedule& written : {Mixed(), MakeSchedule({}, {})}) {
        const Bytes file = Encode(written, 5);
        for (std::size_t length = 0; length < file.size(); ++length) {
            Schedule model = before;
            const Result r = DecodeSchedule(file.data(), length, model);
            ASSERT_FALSE(r) << "length " << length;
            EXPECT_NE(r.reason.find("byte " + std::to_string(length + 1)), std::string::npos) << r.reason;
            ExpectIdentical(model, before);
        }
    }
}

TEST(DecodeSchedule, AStoredByteBelowItsKeyByteFailsAndLeavesTheModelUnchanged) {
    const Schedule before = MakeSchedule({File("KEEP", "MP3", 4, 4)}, {});
    const Bytes file = Encode(Mixed(), 9);
    const std::size_t R = file[30], O = file[32], L = file[34];
    int checked = 0;
    for (std::size_t p = 50 + R; p < file.size(); ++p) {
        const std::uint8_t key = file[50 + O + (p - 50 - R) % L];
        if (key == 0)
            continue;
        Bytes damaged = file;
        damaged[p] = static_cast<std::uint8_t>(key - 1);
        Schedule model = before;
        const Result r = DecodeSchedule(damaged.data(), damaged.size(), model);
        ASSERT_FALSE(r) << "position " << p + 1;
        EXPECT_NE(r.reason.find("byte " + std::to_string(p + 1) + " "), std::string::npos) << r.reason;
        ExpectIdentical(model, before);
        ++checked;
    }
    EXPECT_GE(checked, 150); // of the 186 scrambled bytes, those whose key byte is not 0
}

TEST(DecodeSchedule, CountByteOf255IsReadAsIsThenFailsAtTheEnd) {
    Bytes file = Encode(MakeSchedule({File("ONE", "MP3", 1, 1)}, {}));
    file[40] = 255;
    Schedule model = MakeSchedule({File("KEEP", "MP3", 4, 4)}, {});
    const Schedule before = model;
    const Result r = DecodeSchedule(file.data(), file.size(), model);
    ASSERT_FALSE(r);
    // The first entry is complete, so the reader was looking for the second of 255.
    EXPECT_NE(r.reason.find("basic entry 2"), std::string::npos) << r.reason;
    EXPECT_NE(r.reason.find("byte " + std::to_string(file.size() + 1)), std::string::npos) << r.reason;
    ExpectIdentical(model, before);
}

TEST(DecodeSchedule, RefusesAKeyOutsideItsRegionWhenThereIsSomethingToDescramble) {
    Bytes file = Encode(MakeSchedule({File("ONE", "MP3", 1, 1)}, {}));
    Bytes badOffset = file;
    badOffset[32] = static_cast<std::uint8_t>(file[30] - file[34] + 1);
    Bytes noKey = file;
    noKey[34] = 0;
    const std::pair<const Bytes*, const char*> cases[] = {{&badOffset, "byte 33"}, {&noKey, "byte 35"}};
    for (const auto& [damaged, position] : cases) {
        Schedule model;
        const Result r = DecodeSchedule(damaged->data(), damaged->size(), model);
        EXPECT_FALSE(r);
        EXPECT_NE(r.reason.find(position), std::string::npos) << r.reason;
    }
    // With nothing to descramble the key is never used.
    Bytes empty = Encode(MakeSchedule({}, {}));
    empty[34] = 0;
    EXPECT_EQ(Decode(empty), MakeSchedule({}, {}));
}

TEST(EncodeSchedule, RefusesCountsItCannotStore) {
    Schedule tooMany = MakeSchedule({}, {});
    tooMany.basicEntries.assign(257, File("A", "MP3", 1, 1));
    tooMany.basicCount = 256;
    Schedule negative = MakeSchedule({File("A", "MP3", 1, 1)}, {});
    negative.basicCount = -1;
    Schedule beyondStorage = MakeSchedule({File("A", "MP3", 1, 1)}, {});
    beyondStorage.basicCount = 3;
    Schedule badDetails =
        MakeSchedule({}, {Advance({7, 1, 1, 0, 0, 0, 7, 1, 1, 0, 0, 0, 7}, {File("A", "MP3", 1, 1)})});
    badDetails.advanceEntries[0].fileCount = 5;
    Schedule tooManyAdvance = MakeSchedule({}, {});
    tooManyAdvance.advanceEntries.resize(300);
    tooManyAdvance.advanceCount = 256;

    for (const Schedule* s : {&tooMany, &negative, &beyondStorage, &badDetails, &tooManyAdvance}) {
        SeededRandomSource random(1);
        Bytes bytes{42};
        const Result r = EncodeSchedule(*s, random, bytes);
        EXPECT_FALSE(r);
        EXPECT_FALSE(r.reason.empty());
        EXPECT_EQ(bytes, Bytes{42});
    }
}

TEST(EncodeSchedule, RefusesANameByteThatOverflowsOnceScrambled) {
    // Every draw 0.5 makes every key byte round(63.5) = 64, so 191 is the largest byte that fits.
    auto encodeWithName = [](std::uint8_t nameByte, Bytes& out) {
        Schedule s = MakeSchedule({File("A", "MP3", 1, 1)}, {});
        s.basicEntries[0].fileName[1] = nameByte;
        ScriptedRandom random;
        random.add(0.5, 400);
        return EncodeSchedule(s, random, out);
    };
    Bytes fits;
    ASSERT_TRUE(encodeWithName(191, fits));
    EXPECT_EQ(fits.back() + 0, 64 + 64); // the second filler byte, scrambled
    EXPECT_EQ(Decode(fits).basicEntries[0].fileName[1], 191);

    Bytes refused;
    const Result r = encodeWithName(192, refused);
    EXPECT_FALSE(r);
    EXPECT_TRUE(refused.empty());
    // 50 header + 178 region + 2 marker + 1 name byte: the overflowing byte is at 232.
    EXPECT_NE(r.reason.find("byte 232"), std::string::npos) << r.reason;
    EXPECT_NE(r.reason.find("basic entry 1 fileName"), std::string::npos) << r.reason;
}

namespace {

Schedule FromJson(const nlohmann::json& j) {
    auto file = [](const nlohmann::json& f) {
        return File(f.at("fileName").get<std::string>(), f.at("fileExt").get<std::string>(),
                    f.at("playTimes").get<int>(), f.at("volume").get<int>(),
                    f.at("reserved").get<std::array<std::uint8_t, kReservedWidth>>());
    };
    std::vector<FileEntry> basic;
    for (const auto& f : j.at("basic"))
        basic.push_back(file(f));
    std::vector<AdvanceEntry> advance;
    for (const auto& a : j.at("advance")) {
        std::array<std::uint8_t, 13> values{};
        const char* names[] = {"startYear",   "startMonth", "startDay",  "startHour", "startMinute",
                               "startSecond", "stopYear",   "stopMonth", "stopDay",   "stopHour",
                               "stopMinute",  "stopSecond", "weekDay"};
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = a.at(names[i]).get<std::uint8_t>();
        std::vector<FileEntry> files;
        for (const auto& f : a.at("files"))
            files.push_back(file(f));
        advance.push_back(Advance(values, files));
    }
    return MakeSchedule(basic, advance);
}

const char* const kVectors[] = {"one-basic-r100", "advance-only-l30", "mixed-reserved", "empty"};

std::string VectorPath(const std::string& name, const char* ext) {
    return std::string(VELMO_TEST_DATA_DIR) + "/" + name + ext;
}

} // namespace

TEST(ReadScheduleFile, IndependentVectorsDecodeToTheirJson) {
    for (const std::string name : kVectors) {
        std::ifstream in(VectorPath(name, ".json"));
        ASSERT_TRUE(in) << name;
        const Schedule expected = FromJson(nlohmann::json::parse(in));
        Schedule model = MakeSchedule({File("STALE", "MP3", 1, 1)}, {});
        const Result r = ReadScheduleFile(std::string(VELMO_TEST_DATA_DIR) + "/", name + ".vlm", model);
        ASSERT_TRUE(r) << name << ": " << r.reason;
        EXPECT_EQ(model, expected) << name;
        const Bytes file = ReadBytes(VectorPath(name, ".vlm"));
        EXPECT_EQ(file.size(), ExpectedLength(file, expected)) << name;
    }
}

TEST(ReadScheduleFile, VectorsSurviveARewrite) {
    for (const std::string name : kVectors) {
        Schedule first;
        ASSERT_TRUE(ReadScheduleFile(std::string(VELMO_TEST_DATA_DIR) + "/", name + ".vlm", first)) << name;
        TempDir dir;
        SeededRandomSource random(2024);
        ASSERT_TRUE(WriteScheduleFile(dir.dir(), name + ".vlm", first, random)) << name;
        EXPECT_NE(ReadBytes(dir.file(name + ".vlm")), ReadBytes(VectorPath(name, ".vlm"))) << name;
        Schedule second;
        ASSERT_TRUE(ReadScheduleFile(dir.dir(), name + ".vlm", second)) << name;
        EXPECT_EQ(second, first) << name;
    }
}

TEST(ReadScheduleFile, MissingFileOrDirectoryFailsAndLeavesTheModelUnchanged) {
    TempDir dir;
    Schedule model = Mixed();
    const Schedule before = model;
    EXPECT_FALSE(ReadScheduleFile(dir.dir(), "none.vlm", model));
    std::filesystem::create_directory(dir.path / "sub.vlm");
    EXPECT_FALSE(ReadScheduleFile(dir.dir(), "sub.vlm", model));
    ExpectIdentical(model, before);
}

namespace {

// Fails one chosen kind of call, the n-th time it is made; writes go one byte at a time.
class FailingIo final : public FileIo {
public:
    enum Step { Open, Write, Fsync, Rename } step;
    int failOn;
    int calls = 0;
    FailingIo(Step s, int n) : step(s), failOn(n) {}
    bool fail(Step s, int error = EIO) {
        if (s != step || ++calls != failOn)
            return false;
        errno = error;
        return true;
    }
    int open(const std::string& p, int f, mode_t m) override {
        return fail(Open, EACCES) ? -1 : FileIo::open(p, f, m);
    }
    ssize_t write(int fd, const void* b, std::size_t n) override {
        return fail(Write, ENOSPC) ? -1 : FileIo::write(fd, b, n > 0 ? 1 : 0);
    }
    int fsync(int fd) override { return fail(Fsync) ? -1 : FileIo::fsync(fd); }
    int rename(const std::string& a, const std::string& b) override {
        return fail(Rename, EBUSY) ? -1 : FileIo::rename(a, b);
    }
};

} // namespace

TEST(WriteScheduleFile, ReplacesTheOldFileWhole) {
    TempDir dir;
    WriteBytes(dir.file("a.vlm"), Bytes(5000, 7)); // longer than the new content
    SeededRandomSource random(3);
    ASSERT_TRUE(WriteScheduleFile(dir.dir(), "a.vlm", Mixed(), random));
    const Bytes file = ReadBytes(dir.file("a.vlm"));
    EXPECT_EQ(file.size(), ExpectedLength(file, Mixed()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.vlm"});
    Schedule back;
    ASSERT_TRUE(ReadScheduleFile(dir.dir(), "a.vlm", back));
    EXPECT_EQ(back, Mixed());
}

TEST(WriteScheduleFile, EveryFailureKeepsTheOldFileAndLeavesNoTemporary) {
    const Bytes old = Encode(MakeSchedule({File("OLD", "MP3", 1, 1)}, {}));
    const std::size_t newLength = Encode(Mixed()).size();
    struct Case {
        FailingIo::Step step;
        int call;
    };
    std::vector<Case> cases = {{FailingIo::Open, 1}, {FailingIo::Fsync, 1}, {FailingIo::Rename, 1}};
    for (int n = 1; n <= static_cast<int>(newLength); n += 37)
        cases.push_back({FailingIo::Write, n});
    cases.push_back({FailingIo::Write, static_cast<int>(newLength)});
    for (const Case& c : cases) {
        TempDir dir;
        WriteBytes(dir.file("a.vlm"), old);
        FailingIo io(c.step, c.call);
        SeededRandomSource random(1);
        const Result r = WriteScheduleFile(dir.dir(), "a.vlm", Mixed(), random, io);
        EXPECT_FALSE(r) << "step " << c.step << " call " << c.call;
        EXPECT_EQ(ReadBytes(dir.file("a.vlm")), old) << "step " << c.step << " call " << c.call;
        EXPECT_EQ(dir.names(), std::vector<std::string>{"a.vlm"}) << "step " << c.step << " call " << c.call;
    }
}

TEST(WriteScheduleFile, RefusedModelWritesNothing) {
    TempDir dir;
    const Bytes old = Encode(MakeSchedule({File("OLD", "MP3", 1, 1)}, {}));
    WriteBytes(dir.file("a.vlm"), old);
    Schedule bad = Mixed();
    bad.basicCount = 300;
    SeededRandomSource random(1);
    EXPECT_FALSE(WriteScheduleFile(dir.dir(), "a.vlm", bad, random));
    EXPECT_FALSE(WriteScheduleFile(dir.dir(), "b.vlm", bad, random));
    EXPECT_EQ(ReadBytes(dir.file("a.vlm")), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.vlm"});
}

TEST(WriteScheduleFile, ReadOnlyTargetIsKeptEvenForRoot) {
    TempDir dir;
    const Bytes old = Encode(MakeSchedule({File("OLD", "MP3", 1, 1)}, {}));
    WriteBytes(dir.file("a.vlm"), old);
    ::chmod(dir.file("a.vlm").c_str(), 0444);
    SeededRandomSource random(1);
    EXPECT_FALSE(WriteScheduleFile(dir.dir(), "a.vlm", Mixed(), random));
    EXPECT_EQ(ReadBytes(dir.file("a.vlm")), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.vlm"});
}

TEST(WriteScheduleFile, FileSizeLimitHitMidFileKeepsTheOldFile) {
    TempDir dir;
    const Bytes old = Encode(MakeSchedule({File("OLD", "MP3", 1, 1)}, {}));
    WriteBytes(dir.file("a.vlm"), old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Past the header and key region, inside the records.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{300, 300};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        SeededRandomSource random(1);
        const Result r = WriteScheduleFile(dir.dir(), "a.vlm", Mixed(), random);
        ::_exit(r ? 0 : (r.reason.find(std::strerror(EFBIG)) != std::string::npos ? 3 : 1));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "expected a failure caused by the size limit";
    EXPECT_GT(Encode(Mixed()).size(), 300u);
    EXPECT_EQ(ReadBytes(dir.file("a.vlm")), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.vlm"});
}

TEST(MakeFileEntry, CutsNameAndExtensionToTheirFieldsAndPadsWithZeros) {
    const FileEntry entry = MakeFileEntry("ABCDEFGHIJKLMNOPQRST", "MPEG2", 7, 13);
    EXPECT_EQ(entry.fileName, Text<16>("ABCDEFGHIJKLMNOP"));
    EXPECT_EQ(entry.fileExt, Text<4>("MPEG"));
    EXPECT_EQ(MakeFileEntry("A", "", 0, 0).fileName, Text<16>("A"));
    EXPECT_EQ(entry.playTimes, 7);
    EXPECT_EQ(entry.volume, 13);
}
