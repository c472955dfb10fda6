#pragma once

#include "model/schedule_file.h"
#include "model/settings.h"
#include "model/temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velmo::test {

using Bytes = std::vector<std::uint8_t>;

inline FileEntry Entry(const std::string& name, const std::string& ext, int playTimes, int volume) {
    FileEntry e;
    std::copy_n(name.begin(), std::min(name.size(), e.fileName.size()), e.fileName.begin());
    std::copy_n(ext.begin(), std::min(ext.size(), e.fileExt.size()), e.fileExt.begin());
    e.playTimes = static_cast<std::uint8_t>(playTimes);
    e.volume = static_cast<std::uint8_t>(volume);
    return e;
}

// 250 basic entries and ten advance entries of 74 files: just below the size the editor lets through,
// so a save is as long as it gets (about 30000 bytes).
inline Schedule LargestSchedule(int variant = 0) {
    Schedule s;
    s.basicCount = 250;
    s.basicEntries.resize(251);
    for (int i = 0; i < 250; ++i)
        s.basicEntries[static_cast<std::size_t>(i)] =
            Entry("CLIP_" + std::to_string(i), i % 2 ? "MPG" : "JPG", (i + variant) % 101, i % 14);
    s.advanceCount = 10;
    s.advanceEntries.resize(11);
    for (int a = 0; a < 10; ++a) {
        AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(a)];
        e.startYear = static_cast<std::uint8_t>(7 + a);
        e.startMonth = e.startDay = 1;
        e.stopYear = static_cast<std::uint8_t>(8 + a);
        e.stopMonth = 12;
        e.stopDay = 31;
        e.stopHour = 23;
        e.weekDay = static_cast<std::uint8_t>(a % 8);
        e.fileCount = 74;
        e.files.resize(75);
        for (int f = 0; f < 74; ++f)
            e.files[static_cast<std::size_t>(f)] =
                Entry("DETAIL-" + std::to_string(a * 100 + f), "MP3", f, 13);
    }
    return s;
}

inline Schedule SmallSchedule() {
    Schedule s;
    s.basicCount = 1;
    s.basicEntries = {Entry("OLD", "MP3", 1, 1), FileEntry{}};
    return s;
}

// Saves version `version` of one kind of file into `dir` (ending in '/'); versions differ in content.
struct Saver {
    using Save = std::function<Result(const std::string& dir, int version, FileIo& io)>;
    Saver(std::string kind, std::string name, Save save)
        : kind(std::move(kind)), name(std::move(name)), save(std::move(save)) {}

    std::string kind;
    std::string name;
    Save save;

    // The bytes version `version` has, as a clean save writes them elsewhere.
    Bytes bytesOf(int version) const {
        auto found = cache_.find(version);
        if (found != cache_.end())
            return found->second;
        TempDir scratch;
        const Result r = save(scratch.dir(), version, FileIo::system());
        Bytes bytes = r ? ReadBytes(scratch.file(name)) : Bytes{};
        cache_.emplace(version, bytes);
        return bytes;
    }

private:
    mutable std::map<int, Bytes> cache_;
};

inline Saver ScheduleSaver() {
    return Saver("schedule file", "show.vlm", [](const std::string& dir, int version, FileIo& io) {
        // Each version its own key, key position and filler, and one field changed.
        SeededRandomSource random(static_cast<std::uint64_t>(version) + 1);
        return WriteScheduleFile(dir, "show.vlm", LargestSchedule(version), random, io);
    });
}

inline AppState SettingsVersion(const std::string& appPath, int version) {
    // Long paths make the file long enough for many kill points inside the data.
    const std::string deep = "/srv/media/players/shop-window-" + std::string(220, 'x') + "/";
    AppState state;
    state.appPath = appPath;
    state.openDir = deep + "open/";
    state.saveDir = deep + "save/";
    state.scheduleDir = deep + "schedules/";
    state.scheduleFileName = "show-" + std::to_string(version) + ".vlm";
    state.mediaDir = deep + "media/";
    state.copyDrive = "/media/player";
    state.copyDir = deep + "copy-" + std::to_string(version);
    return state;
}

inline Saver SettingsSaver() {
    return Saver("settings file", kSettingsFileName, [](const std::string& dir, int version, FileIo& io) {
        return WriteSettings(SettingsVersion(dir, version), io);
    });
}

// Names of the temporary files a writer leaves in dir (dot-files).
inline std::vector<std::string> Temporaries(const TempDir& dir) {
    std::vector<std::string> names = dir.names();
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n[0] != '.'; }),
                names.end());
    return names;
}

// What became of a child that RunToStepOrEnd ran.
struct StepRun {
    bool started = false; // it was forked and waited for
    bool stopped = false; // it stopped itself at its step, and was killed there
    bool killed = false;  // it died of that kill
    int exitStatus = -1;  // its exit status when it ended by itself, else -1
};

// Runs body in a child that may stop itself (SIGSTOP, as StoppingAtStepIo does) at one of its
// steps; a stopped child is killed there, as a crash or a pulled plug would end it. The child
// exits with what body returns.
inline StepRun RunToStepOrEnd(const std::function<int()>& body) {
    StepRun run;
    const pid_t child = ::fork();
    if (child < 0)
        return run;
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(child, &status, WUNTRACED) != child)
        return run;
    run.started = true;
    if (WIFSTOPPED(status)) {
        run.stopped = true;
        ::kill(child, SIGKILL);
        run.killed =
            ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    } else if (WIFEXITED(status)) {
        run.exitStatus = WEXITSTATUS(status);
    }
    return run;
}

// Runs body in a child process and returns what it returned; a child that dies or exits by itself
// is described instead. Gtest assertions do not reach the parent from a child, so bodies report
// in text: empty means fine.
inline std::string RunInChild(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return std::string("pipe: ") + std::strerror(errno);
    const pid_t child = ::fork();
    if (child < 0)
        return std::string("fork: ") + std::strerror(errno);
    if (child == 0) {
        ::close(channel[0]);
        const std::string report = body();
        std::size_t done = 0;
        while (done < report.size()) {
            const ssize_t n = ::write(channel[1], report.data() + done, report.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "\nchild ended abnormally (status " + std::to_string(status) + ")";
    return report;
}

// A report that begins with this says why the scenario could not run here.
constexpr char kSkip[] = "SKIP: ";

// Mounts a small tmpfs over dir in a mount namespace of this (child) process only.
inline std::string MountTmpfs(const TempDir& dir, const std::string& options) {
    if (::unshare(CLONE_NEWNS) != 0)
        return kSkip + std::string("no private mount namespace: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return kSkip + std::string("cannot make mounts private: ") + std::strerror(errno);
    if (::mount("velmo-test", dir.path.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return kSkip + std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    return {};
}

inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 31 + seed) >> 3);
    return bytes;
}

// Runs a scenario on two fresh directories (media and card) in a child: limits and mounts stay there.
inline std::string CopyInChild(std::string (*scenario)(const TempDir&, const TempDir&)) {
    TempDir media, card;
    return RunInChild([&] { return scenario(media, card); });
}

inline void ExpectHeldUp(const std::string& report) {
    if (report.rfind(kSkip, 0) == 0)
        GTEST_SKIP() << report.substr(sizeof kSkip - 1);
    EXPECT_EQ(report, "");
}

// Stops the process for the parent to kill at the stopAt-th of its file-system steps.
class StoppingAtStepIo final : public FileIo {
public:
    explicit StoppingAtStepIo(long stopAt) : stopAt_(stopAt) {}
    int open(const std::string& p, int f, mode_t m) override { return point(), FileIo::open(p, f, m); }
    ssize_t write(int fd, const void* b, std::size_t n) override { return point(), FileIo::write(fd, b, n); }
    int fsync(int fd) override { return point(), FileIo::fsync(fd); }
    int rename(const std::string& a, const std::string& b) override { return point(), FileIo::rename(a, b); }
    int unlink(const std::string& p) override { return point(), FileIo::unlink(p); }

private:
    void point() {
        if (points_++ == stopAt_)
            ::raise(SIGSTOP);
    }
    long stopAt_;
    long points_ = 0;
};

} // namespace velmo::test
