// Writes the generated seed inputs of the fuzz targets: schedule files made by the program's own
// writer, the same schedules in the round-trip target's input layout, and settings files made by the
// settings writer. Deterministic, so rerunning it changes nothing.
//
//   make_corpus <corpus directory>    (normally fuzz/corpus)

#include "model/schedule_file.h"
#include "model/settings.h"
#include "schedule_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace velmo;
namespace fs = std::filesystem;

namespace {

FileEntry File(const std::string& name, const std::string& ext, int playTimes, int volume) {
    return MakeFileEntry(name, ext, playTimes, volume);
}

AdvanceEntry Advance(int startYear, int stopYear, int weekDay, std::vector<FileEntry> files) {
    AdvanceEntry a;
    a.startYear = static_cast<std::uint8_t>(startYear);
    a.startMonth = 1;
    a.startDay = 1;
    a.startHour = 8;
    a.stopYear = static_cast<std::uint8_t>(stopYear);
    a.stopMonth = 12;
    a.stopDay = 31;
    a.stopHour = 17;
    a.stopMinute = 30;
    a.stopSecond = 59;
    a.weekDay = static_cast<std::uint8_t>(weekDay);
    a.fileCount = static_cast<std::int16_t>(files.size());
    a.files = std::move(files);
    a.files.emplace_back();
    return a;
}

Schedule Make(std::vector<FileEntry> basic, std::vector<AdvanceEntry> advance) {
    Schedule s;
    s.basicCount = static_cast<std::int16_t>(basic.size());
    s.basicEntries = std::move(basic);
    s.basicEntries.emplace_back();
    s.advanceCount = static_cast<std::int16_t>(advance.size());
    s.advanceEntries = std::move(advance);
    s.advanceEntries.emplace_back();
    return s;
}

std::string Numbered(const char* stem, int n) {
    return stem + std::to_string(n);
}

// 250 basic entries and ten advance entries of 74 files: 29900 by the size estimate, just below the limit.
Schedule Largest() {
    std::vector<FileEntry> basic;
    for (int i = 0; i < 250; ++i)
        basic.push_back(File(Numbered("CLIP_", i), i % 2 ? "MPG" : "JPG", i % 101, i % 14));
    std::vector<AdvanceEntry> advance;
    for (int a = 0; a < 10; ++a) {
        std::vector<FileEntry> files;
        for (int f = 0; f < 74; ++f)
            files.push_back(File(Numbered("DETAIL-", a * 100 + f), "MP3", f, 13));
        advance.push_back(Advance(7 + a, 8 + a, a % 8, std::move(files)));
    }
    return Make(std::move(basic), std::move(advance));
}

struct Sample {
    const char* name;
    Schedule schedule;
};

std::vector<Sample> Samples() {
    Schedule reserved = Make({File("PIC", "JPG", 3, 7)}, {Advance(7, 7, 0, {})});
    reserved.basicEntries[0].reserved = {1, 2, 3, 4, 5, 6};
    return {
        {"one-basic", Make({File("INTRO", "MPG", 1, 13)}, {})},
        {"advance-only", Make({}, {Advance(7, 9, 7, {File("NIGHT", "VOB", 5, 3), File("A", "", 0, 0)}),
                                   Advance(6, 6, 3, {File("1234567890123456", "1234", 100, 12)})})},
        {"mixed", Make({File("PIC", "JPG", 3, 7), File("SONG_1", "MP3", 2, 13), File("X-Y.Z", "DAT", 9, 0)},
                       {Advance(8, 8, 1, {File("MORNING", "AVI", 1, 5)}), Advance(9, 10, 6, {})})},
        {"reserved-bytes", reserved},
        {"empty", Make({}, {})},
        {"largest", Largest()},
    };
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

AppState Settings(const std::string& appPath) {
    AppState state;
    state.appPath = appPath;
    state.openDir = state.saveDir = state.scheduleDir = state.mediaDir = "/home/user/Schedules/";
    state.scheduleFileName = "velmo.vlm";
    state.copyDrive = "/media/user/PLAYER";
    state.copyDir = "/media/user/PLAYER/show, spring";
    return state;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const std::string reader = (root / "schedule_reader").string() + "/";
    const fs::path roundtrip = root / "schedule_roundtrip";
    const fs::path settings = root / "settings_reader";
    for (const fs::path& dir : {fs::path(reader), roundtrip, settings})
        fs::create_directories(dir);

    std::uint64_t seed = 1;
    for (const Sample& sample : Samples()) {
        SeededRandomSource random(seed);
        const std::string name = std::string("generated-") + sample.name + ".vlm";
        if (Result r = WriteScheduleFile(reader, name, sample.schedule, random); !r) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), r.reason.c_str());
            return 1;
        }
        if (!WriteFile(roundtrip / (std::string("generated-") + sample.name),
                       fuzz::ScheduleToFuzzBytes(sample.schedule, seed)))
            return 1;
        ++seed;
    }

    // WriteSettings writes beside the program, so each file is made in place and renamed.
    const std::string dir = settings.string() + "/";
    for (const char* variant : {"paths", "empty-values"}) {
        AppState state = Settings(dir);
        if (std::string(variant) == "empty-values")
            state.openDir = state.saveDir = state.scheduleDir = state.mediaDir = state.copyDir = "";
        if (Result r = WriteSettings(state); !r) {
            std::fprintf(stderr, "settings: %s\n", r.reason.c_str());
            return 1;
        }
        fs::rename(dir + kSettingsFileName, dir + "generated-" + variant + ".txt");
    }
    return 0;
}
