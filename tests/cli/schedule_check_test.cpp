#include "cli/schedule_check.h"

#include "model/schedule_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <random>

namespace velmo {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> lines(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings)
        out.push_back(FormatFinding("f.vlm", f));
    return out;
}

std::vector<Finding> structure(const Bytes& bytes) {
    return CheckScheduleStructure(bytes.data(), bytes.size());
}

bool anyLine(const std::vector<Finding>& findings, const std::string& start) {
    for (const std::string& line : lines(findings))
        if (line.rfind(start, 0) == 0)
            return true;
    return false;
}

// The layout of a file as the header describes it, to place test damage independently of the walk.
struct Layout {
    explicit Layout(const Bytes& b) : bytes(b), R(b[30]), O(b[32]), L(b[34]) {}
    std::size_t scrambledStart() const { return 50 + R; }
    std::uint8_t keyFor(std::size_t index) const { return bytes[50 + O + (index - scrambledStart()) % L]; }
    // Stores `plain` at index as the writer would have.
    void put(Bytes& b, std::size_t index, int plain) const {
        b[index] = static_cast<std::uint8_t>(keyFor(index) + plain);
    }
    std::uint8_t plainAt(std::size_t index) const {
        return static_cast<std::uint8_t>(bytes[index] - keyFor(index));
    }
    const Bytes& bytes;
    std::size_t R, O, L;
};

Bytes reference(const std::string& name) {
    return test::readBytes(test::dataPath(name + ".vlm"));
}

TEST(CheckStructure, ReferenceFiles_areClean) {
    for (const std::string& name : test::referenceNames()) {
        const Bytes bytes = reference(name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(structure(bytes).empty()) << name << testing::PrintToString(lines(structure(bytes)));
    }
}

// Where the reader stands at each byte of a one-basic-entry file, told from the header alone.
std::string partAt(const Layout& layout, std::size_t index) {
    if (index < 50)
        return "the header";
    if (index < layout.scrambledStart())
        return "the key region";
    if (index < layout.scrambledStart() + 2)
        return "basic section marker";
    return "basic entry 1";
}

TEST(CheckStructure, EveryTruncationPoint_namesTheFirstMissingByte) {
    const Bytes full = reference("one-basic-r100");
    const Layout layout(full);
    ASSERT_EQ(full.size(), 50 + layout.R + 2 + 30);
    for (std::size_t k = 0; k < full.size(); ++k) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(k));
        const std::vector<std::string> got = lines(structure(cut));
        ASSERT_EQ(got.size(), 1u) << "cut at " << k << ": " << testing::PrintToString(got);
        const std::string expected = "f.vlm: byte " + std::to_string(k + 1) + ": the file ends after " +
                                     std::to_string(k) + " bytes, inside " + partAt(layout, k);
        EXPECT_EQ(got[0].rfind(expected, 0), 0u) << got[0];
        if (k >= 42) {
            EXPECT_NE(got[0].find("its counts announce " + std::to_string(full.size()) + " bytes"),
                      std::string::npos)
                << got[0];
        }
        Schedule s;
        EXPECT_FALSE(DecodeSchedule(cut.data(), cut.size(), s)) << k;
    }
}

TEST(CheckStructure, TruncatedAdvanceFile_namesTheEntryAndNeverCrashes) {
    for (const std::string& name : test::referenceNames()) {
        const Bytes full = reference(name);
        for (std::size_t k = 0; k < full.size(); ++k) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(k));
            const std::vector<Finding> found =
                CheckScheduleFile(cut.data(), cut.size(), CivilDate{2000, 1, 1});
            ASSERT_EQ(found.size(), 1u) << name << " cut at " << k << testing::PrintToString(lines(found));
            EXPECT_EQ(found[0].where, "byte " + std::to_string(k + 1)) << name << " " << k;
        }
    }
    // advance-only-l30: the second advance entry's second detail entry starts 30 bytes before the end.
    const Bytes full = reference("advance-only-l30");
    const Bytes cut(full.begin(), full.end() - 10);
    EXPECT_TRUE(
        anyLine(structure(cut), "f.vlm: byte " + std::to_string(full.size() - 9) + ": the file ends after " +
                                    std::to_string(full.size() - 10) +
                                    " bytes, inside advance entry 2, detail entry 2; its counts announce " +
                                    std::to_string(full.size()) + " bytes"))
        << testing::PrintToString(lines(structure(cut)));
}

TEST(CheckStructure, BytesBelowTheirKey_areEachReportedAndReadingGoesOn) {
    Bytes bytes = reference("one-basic-r100");
    const Layout layout(bytes);
    std::vector<std::size_t> damaged;
    for (std::size_t i = layout.scrambledStart() + 5; i < bytes.size() && damaged.size() < 2; i += 7)
        if (layout.keyFor(i) > 0) {
            damaged.push_back(i);
        }
    ASSERT_EQ(damaged.size(), 2u);
    for (std::size_t i : damaged)
        bytes[i] = static_cast<std::uint8_t>(layout.keyFor(i) - 1);
    const std::vector<std::string> got = lines(structure(bytes));
    ASSERT_EQ(got.size(), 2u) << testing::PrintToString(got);
    for (std::size_t n = 0; n < 2; ++n)
        EXPECT_EQ(got[n], "f.vlm: byte " + std::to_string(damaged[n] + 1) + ": basic entry 1: stored byte " +
                              std::to_string(layout.keyFor(damaged[n]) - 1) + " is below its key byte " +
                              std::to_string(layout.keyFor(damaged[n])));
    Schedule s;
    EXPECT_FALSE(DecodeSchedule(bytes.data(), bytes.size(), s));
    EXPECT_EQ(CheckScheduleFile(bytes.data(), bytes.size(), CivilDate{2000, 1, 1}).size(), 2u);
}

TEST(CheckStructure, DetailCountBelowItsKey_stopsTheWalkThere) {
    Bytes bytes = reference("advance-only-l30");
    const Layout layout(bytes);
    const std::size_t countAt = layout.scrambledStart() + 2 + 14; // first advance record's fileCount
    ASSERT_EQ(layout.plainAt(countAt), 1);
    ASSERT_GT(layout.keyFor(countAt), 0);
    bytes[countAt] = static_cast<std::uint8_t>(layout.keyFor(countAt) - 1);
    const std::vector<std::string> got = lines(structure(bytes));
    ASSERT_EQ(got.size(), 2u) << testing::PrintToString(got);
    EXPECT_EQ(got[0].rfind("f.vlm: byte " + std::to_string(countAt + 1) +
                               ": advance entry 1 fileCount: stored byte",
                           0),
              0u);
    EXPECT_EQ(got[1],
              "f.vlm: byte " + std::to_string(countAt + 1) +
                  ": without the detail entry count of advance entry 1 the rest of the file cannot be read");
}

TEST(CheckStructure, HeaderFaults_areNamedByPosition) {
    const Bytes good = reference("one-basic-r100");
    {
        Bytes b = good;
        b[4] = 'X';
        b[10] = 'k';
        const std::vector<std::string> got = lines(structure(b));
        ASSERT_EQ(got.size(), 2u) << testing::PrintToString(got);
        EXPECT_EQ(got[0], "f.vlm: bytes 1-5: magic is \"VELMX\", not \"VELMO\"");
        EXPECT_EQ(
            got[1],
            "f.vlm: bytes 6-25: kernel version is \"0100KkRNEL0000061018\", not \"0100KERNEL0000061018\"");
    }
    {
        Bytes b = good;
        b[0] = 0;
        EXPECT_EQ(lines(structure(b)),
                  std::vector<std::string>{"f.vlm: bytes 1-5: magic is \"\\x00ELMO\", not \"VELMO\""});
    }
    // Each key parameter at both sides of its range; the key stays inside the region so the rest reads.
    const std::size_t R = good[30];
    struct Case {
        std::size_t index;
        int value;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {32, static_cast<int>(R) - 49,
         "f.vlm: byte 33: key offset O = " + std::to_string(R - 49) +
             " is outside 0..R-50 (R = " + std::to_string(R) + ")"},
        {34, 29, "f.vlm: byte 35: key length L = 29 is outside 30..50"},
        {34, 51, "f.vlm: byte 35: key length L = 51 is outside 30..50"},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        b[c.index] = static_cast<std::uint8_t>(c.value);
        if (c.index == 32)
            b[34] = 30;
        EXPECT_TRUE(anyLine(structure(b), c.expected))
            << c.expected << testing::PrintToString(lines(structure(b)));
    }
    // R below 100: the region is shorter, so everything after it shifts.
    Bytes shortRegion = good;
    shortRegion[30] = 99;
    EXPECT_TRUE(
        anyLine(structure(shortRegion), "f.vlm: byte 31: key region length R = 99 is outside 100..255"));
    // O = R - 50 and L = 50 are still fine.
    Bytes edge = good;
    edge[32] = static_cast<std::uint8_t>(R - 50);
    edge[34] = 50;
    EXPECT_FALSE(anyLine(structure(edge), "f.vlm: byte 33"))
        << testing::PrintToString(lines(structure(edge)));
    EXPECT_FALSE(anyLine(structure(edge), "f.vlm: byte 35"));
    // A key that does not fit in the region ends the walk with the reason.
    Bytes outside = good;
    outside[32] = static_cast<std::uint8_t>(R - 20);
    EXPECT_TRUE(anyLine(structure(outside), "f.vlm: byte 33: the key ("))
        << testing::PrintToString(lines(structure(outside)));
}

TEST(CheckStructure, RandomBytesAbove127_markersAndTrailingBytes) {
    const Bytes good = reference("one-basic-r100");
    const Layout layout(good);
    const std::size_t first = layout.scrambledStart();
    Bytes b = good;
    // A key region byte outside the key.
    const std::size_t regionByte = layout.O > 0 ? 50 : 50 + layout.O + layout.L;
    b[regionByte] = 200;
    // The marker's second character and the record's first filler byte.
    layout.put(b, first + 1, 'X');
    layout.put(b, first + 2 + 28, 128);
    // Three bytes after the record.
    b.insert(b.end(), {1, 2, 3});
    const std::vector<std::string> got = lines(structure(b));
    const std::vector<std::string> expected = {
        "f.vlm: byte " + std::to_string(regionByte + 1) + ": key region byte 200 is above 127",
        "f.vlm: bytes " + std::to_string(first + 1) + "-" + std::to_string(first + 2) +
            ": basic section marker is \"#X\", not \"#1\"",
        "f.vlm: byte " + std::to_string(first + 31) + ": basic entry 1: filler byte 128 is above 127",
        "f.vlm: bytes 183-185: 3 bytes after the last record",
    };
    EXPECT_EQ(got, expected);
    // None of these stops the reader.
    Schedule s;
    EXPECT_TRUE(DecodeSchedule(b.data(), b.size(), s));
}

TEST(CheckStructure, RepeatedFaults_areCountedAfterTen) {
    const Bytes good = reference("one-basic-r100");
    const Layout layout(good);
    ASSERT_EQ(layout.R, 100u);
    // Move the key to the end of the region, then spoil the 40 bytes at its start.
    Bytes b = good;
    const Bytes key(good.begin() + 50 + static_cast<std::ptrdiff_t>(layout.O),
                    good.begin() + 50 + static_cast<std::ptrdiff_t>(layout.O + layout.L));
    std::copy(key.begin(), key.end(), b.begin() + 100);
    b[32] = 50;
    for (std::size_t i = 50; i < 50 + 40; ++i)
        b[i] = 255;
    const std::vector<std::string> got = lines(structure(b));
    ASSERT_EQ(got.size(), 11u) << testing::PrintToString(got);
    EXPECT_EQ(got.front(), "f.vlm: byte 51: key region byte 255 is above 127");
    EXPECT_EQ(got.back(), "f.vlm: 30 more key region bytes above 127");
}

TEST(CheckStructure, DamagedFiles_neverCrashAndAgreeWithTheReader) {
    std::mt19937 random(20070103);
    for (const std::string& name : test::referenceNames()) {
        const Bytes good = reference(name);
        for (int round = 0; round < 400; ++round) {
            Bytes b = good;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < changes; ++c)
                b[random() % b.size()] = static_cast<std::uint8_t>(random());
            if (round % 3 == 0)
                b.resize(random() % (b.size() + 1));
            Schedule s;
            const bool decodes = static_cast<bool>(DecodeSchedule(b.data(), b.size(), s));
            const std::vector<Finding> found = CheckScheduleFile(b.data(), b.size(), CivilDate{2000, 1, 1});
            if (!decodes) {
                EXPECT_FALSE(found.empty()) << name << " round " << round;
            }
            for (const Finding& f : found)
                EXPECT_FALSE(f.what.empty());
        }
    }
    // Plain noise of every length up to a few hundred bytes.
    for (std::size_t length = 0; length < 400; ++length) {
        Bytes noise(length);
        for (auto& byte : noise)
            byte = static_cast<std::uint8_t>(random());
        const std::vector<Finding> found =
            CheckScheduleFile(noise.data(), noise.size(), CivilDate{2000, 1, 1});
        EXPECT_FALSE(found.empty()) << length;
    }
}

TEST(CheckFile, ContentAndSense_followTheStructure) {
    const CivilDate early{2000, 1, 1};
    const Bytes oneBasic = reference("one-basic-r100");
    EXPECT_TRUE(CheckScheduleFile(oneBasic.data(), oneBasic.size(), early).empty());

    const Bytes empty = reference("empty");
    EXPECT_EQ(lines(CheckScheduleFile(empty.data(), empty.size(), early)),
              std::vector<std::string>{"f.vlm: No any schedule! Can't save!"});

    const Bytes mixed = reference("mixed-reserved");
    EXPECT_EQ(
        lines(CheckScheduleFile(mixed.data(), mixed.size(), early)),
        (std::vector<std::string>{
            "f.vlm: No any schedule file in advance schedule! Can't Save!2 ! Can't save!",
            "f.vlm: advance entry 1: warning: overlaps advance entry 2 on Sundays 00:00:00-23:59:59 from "
            "2007-01-07 to 2007-12-30"}));

    // 2006-12-28 was a Thursday, not the Wednesday the entry names; it ended before 2007-01-01.
    const Bytes advance = reference("advance-only-l30");
    EXPECT_EQ(lines(CheckScheduleFile(advance.data(), advance.size(), CivilDate{2007, 1, 1})),
              (std::vector<std::string>{
                  "f.vlm: advance entry 2: warning: its dates 2006-12-28 to 2006-12-28 hold no Wednesday",
                  "f.vlm: advance entry 2: warning: ended on 2006-12-28 (today is 2007-01-01)"}));
    EXPECT_EQ(CheckScheduleFile(advance.data(), advance.size(), CivilDate{2006, 12, 28}).size(), 1u);
}

} // namespace
} // namespace velmo
