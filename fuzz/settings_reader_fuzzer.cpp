// Writes the fuzz bytes as the settings file of a scratch application directory and reads it. Checks
// the reader's promises: a file it takes is left in place, a file it refuses is reported once and
// deleted; and values it took that the file can hold come back unchanged through a write and a read.

#include "fuzz_check.h"
#include "model/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace velmo;

namespace {

// The writer's flushes cost milliseconds and prove nothing here.
class NoFlushIo final : public FileIo {
public:
    int fsync(int) override { return 0; }
};

std::string scratch;

void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

AppState Defaults() {
    AppState state;
    state.appPath = scratch;
    state.openDir = "open/";
    state.saveDir = "save/";
    state.scheduleDir = "schedules/";
    state.scheduleFileName = "velmo.vlm";
    state.mediaDir = "media/";
    state.copyDrive = "/";
    state.copyDir = "copy";
    return state;
}

// Reads as start-up does: the remembered schedule comes back beside the state, and is kept in it here
// so that a write puts it back.
void Read(AppState& state, int& errors) {
    RememberedSchedule schedule{state.scheduleDir, state.scheduleFileName};
    ReadSettings(state, schedule, [&errors] { ++errors; });
    state.scheduleDir = schedule.directory;
    state.scheduleFileName = schedule.fileName;
}

std::vector<std::string> Values(const AppState& s) {
    return {s.openDir, s.saveDir, s.scheduleDir, s.scheduleFileName, s.mediaDir, s.copyDrive, s.copyDir};
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when the machine has it: every input is a file write and a directory listing.
    char pattern[] = "/dev/shm/velmo-fuzz-settings-XXXXXX";
    char fallback[] = "/tmp/velmo-fuzz-settings-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir)
        dir = ::mkdtemp(fallback);
    if (!dir) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    scratch = std::string(dir) + "/";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratch + kSettingsFileName;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        VELMO_FUZZ_CHECK(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0,
                         "cannot write %s", path.c_str());
    } else {
        VELMO_FUZZ_CHECK(false, "cannot create %s", path.c_str());
    }

    AppState state = Defaults();
    int errors = 0;
    Read(state, errors);
    VELMO_FUZZ_CHECK(errors <= 1, "reported %d times", errors);
    if (errors == 1) {
        VELMO_FUZZ_CHECK(!Exists(path), "a refused settings file was kept");
        return 0;
    }
    VELMO_FUZZ_CHECK(Exists(path), "an accepted settings file was deleted");

    const std::vector<std::string> values = Values(state);
    NoFlushIo io;
    const Result written = WriteSettings(state, io);
    VELMO_FUZZ_CHECK(written, "cannot write the settings back: %s", written.reason.c_str());
    AppState again = Defaults();
    Read(again, errors);
    VELMO_FUZZ_CHECK(errors == 0, "cannot read back the settings it wrote");
    VELMO_FUZZ_CHECK(Values(again) == values, "a write and a read changed the settings");
    return 0;
}
