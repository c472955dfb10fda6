#include "media_convert.h"

#include "media/ffprobe_output.h"
#include "media/media_probe.h"
#include "media/process.h"
#include "model/file_system.h"
#include "model/media_copy.h"
#include "model/safe_file.h"
#include "rules/entry_rules.h"
#include "rules/player_formats.h"
#include "rules/player_name.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace velmo {

namespace {

constexpr int kPictureWidth = 1920;
constexpr int kPictureHeight = 1080;
constexpr int kMaxNameVariants = 99;

// open() and unlink() of UTF-8 paths: on Windows the C runtime's would read them in the ANSI code page.
int openPath(const char* path, int flags, int mode) {
#ifdef _WIN32
    return ::velmo_open(path, flags, mode);
#else
    return ::open(path, flags, mode);
#endif
}

int removePath(const char* path) {
#ifdef _WIN32
    return ::DeleteFileW(velmo_wide(path).c_str()) ? 0 : -1;
#else
    return ::unlink(path);
#endif
}

constexpr char kWorkPrefix[] = ".velmo-convert-";
constexpr char kLockSuffix[] = ".lock";

// Takes the lock of a work folder (".velmo-convert-N.lock", beside it) when nobody holds it and it is
// still the file under that name; its descriptor, else -1.
int takeIdleLock(const std::string& lockPath) {
    const int fd = openPath(lockPath.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
        ::stat(lockPath.c_str(), &named) != 0 || held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes what conversions that were killed left in `dir`: a work folder whose lock nobody holds
// (or that has no lock), and a lock without its folder. A folder in use keeps its lock held.
void removeLeftWorkFolders(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<std::string> names;
    for (fs::directory_iterator it(fs::u8path(dir), error), end; !error && it != end; it.increment(error)) {
        const std::u8string spelled = it->path().filename().u8string();
        const std::string name(spelled.begin(), spelled.end());
        if (name.rfind(kWorkPrefix, 0) == 0)
            names.push_back(name);
    }
    const std::string base = WithTrailingSeparator(dir);
    for (const std::string& name : names) {
        const bool isLock =
            name.size() > sizeof kLockSuffix &&
            name.compare(name.size() - (sizeof kLockSuffix - 1), std::string::npos, kLockSuffix) == 0;
        const std::string folder =
            base + (isLock ? name.substr(0, name.size() - (sizeof kLockSuffix - 1)) : name);
        const std::string lock = folder + kLockSuffix;
        if (isLock && fs::exists(fs::u8path(folder), error))
            continue; // dealt with by its folder
        const int fd = takeIdleLock(lock);
        if (fd < 0 && fs::exists(fs::u8path(lock), error))
            continue; // held: a conversion under way
        fs::remove_all(fs::u8path(folder), error);
#ifdef _WIN32
        if (fd >= 0)
            ::close(fd); // Windows removes no file that is open
        removePath(lock.c_str());
#else
        removePath(lock.c_str());
        if (fd >= 0)
            ::close(fd);
#endif
    }
}

// A hidden directory beside the target for ffmpeg's output, removed with everything in it. Its lock,
// held while it lives, tells the next conversion into the same folder that it is in use; one left by
// a killed conversion is removed by the next.
class WorkDirectory {
public:
    explicit WorkDirectory(const std::string& targetDir) {
        removeLeftWorkFolders(targetDir);
        std::random_device random;
        for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
            const std::string candidate =
                WithTrailingSeparator(targetDir) + kWorkPrefix + std::to_string(random());
            // The lock first, then the folder: a folder of a conversion under way always has its lock.
            const std::string lock = candidate + kLockSuffix;
            const int fd = openPath(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0)
                continue;
            std::error_code error;
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !std::filesystem::create_directory(candidate, error)) {
                removePath(lock.c_str());
                ::close(fd);
                continue;
            }
            path_ = candidate;
            lockFd_ = fd;
        }
    }
    ~WorkDirectory() {
        if (path_.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        const std::string lock = path_ + kLockSuffix;
#ifdef _WIN32
        ::close(lockFd_); // Windows removes no file that is open
        removePath(lock.c_str());
#else
        removePath(lock.c_str());
        ::close(lockFd_);
#endif
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    const std::string& path() const {
        return path_;
    }

private:
    std::string path_;
    int lockFd_ = -1;
};

// Renames `from` to `to` only when no file has that name: 0, or the errno (EEXIST when taken).
int renameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (::MoveFileExW(velmo_wide(from.c_str()).c_str(), velmo_wide(to.c_str()).c_str(),
                      MOVEFILE_WRITE_THROUGH))
        return 0;
    const DWORD code = ::GetLastError();
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? EEXIST : EIO;
#else
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a hard link, which never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        removePath(from.c_str());
        return 0;
    }
    return errno;
#endif
}

// The filters that turn a picture upright as its EXIF orientation says.
std::string uprightFilter(int orientation) {
    switch (orientation) {
    case 2:
        return "hflip,";
    case 3:
        return "hflip,vflip,";
    case 4:
        return "vflip,";
    case 5:
        return "transpose=cclock_flip,";
    case 6:
        return "transpose=clock,";
    case 7:
        return "transpose=clock_flip,";
    case 8:
        return "transpose=cclock,";
    default:
        return "";
    }
}

int exifOrientation(const std::string& source, double timeout) {
    ProcessRequest request;
    request.argv = {FfprobeProgram(),
                    "-v",
                    "error",
                    "-protocol_whitelist",
                    "file",
                    "-of",
                    "json",
                    "-select_streams",
                    "v:0",
                    "-read_intervals",
                    "%+#1",
                    "-show_entries",
                    "frame_tags",
                    "-show_frames",
                    "file:" + source};
    request.timeoutSeconds = timeout;
    const ProcessOutcome outcome = RunProcess(request);
    return outcome.succeeded() ? ReadFfprobeOrientation(outcome.out) : 1;
}

std::vector<std::string> pictureArguments(int orientation) {
    const std::string fit = "scale=w='min(" + std::to_string(kPictureWidth) + ",iw)':h='min(" +
                            std::to_string(kPictureHeight) + ",ih)':force_original_aspect_ratio=decrease";
    // Transparent parts become white: the picture is laid over a white copy of itself.
    const std::string graph = "[0:v]" + uprightFilter(orientation) + fit +
                              ",format=rgba,split[picture][back];[back]drawbox=color=white:t=fill[white];"
                              "[white][picture]overlay=format=auto,format=yuvj420p";
    return {"-filter_complex", graph,     "-frames:v", "1", "-c:v", "mjpeg", "-q:v", "2", "-f",
            "image2",          "-update", "1"};
}

std::vector<std::string> audioArguments() {
    return {"-map", "0:a:0", "-vn", "-c:a", "libmp3lame", "-q:a", "2", "-f", "mp3"};
}

struct Conversion {
    std::vector<std::string> arguments;
    std::string extension;
    // Pictures are turned upright here, the same with every ffmpeg, not by its own autorotation.
    bool noAutorotate = false;
};

} // namespace

namespace {

// The ffmpeg arguments between the input and the output of a video copy.
std::vector<std::string> VideoCopyArguments(TvStandard tv) {
    const bool pal = tv == TvStandard::Pal;
    const std::string width = "720";
    const std::string height = pal ? "576" : "480";
    // The picture as it is seen (its pixels' own aspect included) fitted into the 4:3 frame of 768 or
    // 640 square pixels, squeezed to 720 wide and padded: letterboxed, never stretched. One scale,
    // straight from the source to the frame: a 4K source is read through once, at no more cost than
    // ffmpeg's own -target scaling, and every later filter works on the small frame.
    const std::string squareWidth = pal ? "768" : "640";
    const std::string aspect = "(iw*sar/ih)";
    const std::string fit = "scale=w='trunc(min(" + squareWidth + "," + height + "*" + aspect + ")*" + width +
                            "/" + squareWidth + "/2)*2':h='trunc(min(" + height + "," + squareWidth + "/" +
                            aspect + ")/2)*2',pad=" + width + ":" + height +
                            ":(ow-iw)/2:(oh-ih)/2:black,setdar=4/3";
    return {"-map", "0:v:0", "-map", "0:a:0?", "-vf", fit,     "-target", pal ? "pal-dvd" : "ntsc-dvd",
            "-c:a", "mp2",   "-b:a", "224k",   "-ar", "48000", "-ac",     "2"};
}

} // namespace

ConvertOutcome MakePlayerCopy(const std::string& source, const std::string& targetDir,
                              const ConvertOptions& options, const ConvertProgressCallback& progress) {
    ConvertOutcome outcome;
    outcome.source = source;
    const auto fail = [&outcome](MediaReason reason) {
        outcome.action = ConvertOutcome::Action::Failed;
        outcome.cancelled = reason.text == TextId::MsgMediaConvertCancelled;
        outcome.reason = std::move(reason);
        return outcome;
    };
    const auto report = [&](double fraction) { return !progress || progress({source, fraction}); };

    const ExaminedMedia media = ExamineMedia(source, {options.probeTimeoutSeconds});
    if (media.facts.failure)
        return fail(*media.facts.failure);
    if (media.facts.kind == MediaKind::Unknown)
        return fail({TextId::MsgMediaCannotConvert, {"holds no picture, video or sound"}});
    if (!media.playerName)
        return fail({TextId::MsgMediaNoPlayerName, {}});

    WorkDirectory work(targetDir);
    if (work.path().empty())
        return fail({TextId::MsgMediaConvertFailed, {"cannot create a working folder in " + targetDir}});
    std::string candidate;
    if (!media.verdict.plays) {
        Conversion conversion;
        switch (media.facts.kind) {
        case MediaKind::Picture: {
            const long long width = media.facts.jpeg ? media.facts.jpeg->width : media.facts.video->width;
            const long long height = media.facts.jpeg ? media.facts.jpeg->height : media.facts.video->height;
            if (width * height > kMaxConvertPixels)
                return fail(
                    {TextId::MsgMediaTooLargeToConvert, {std::to_string(width), std::to_string(height)}});
            const int orientation = media.facts.video->codec == "mjpeg"
                                        ? exifOrientation(source, options.probeTimeoutSeconds)
                                        : 1;
            conversion = {pictureArguments(orientation), "JPG", true};
            break;
        }
        case MediaKind::Video:
            conversion = {VideoCopyArguments(options.tv), "MPG"};
            break;
        case MediaKind::Audio:
            conversion = {audioArguments(), "MP3"};
            break;
        case MediaKind::Unknown:
            break;
        }
        candidate = work.path() + "/OUT." + conversion.extension;
        ProcessRequest request;
        request.argv = {FfmpegProgram(), "-v", "error", "-nostdin", "-y", "-protocol_whitelist", "file"};
        if (conversion.noAutorotate)
            request.argv.push_back("-noautorotate");
        request.argv.insert(request.argv.end(), {"-i", "file:" + source});
        request.argv.insert(request.argv.end(), conversion.arguments.begin(), conversion.arguments.end());
        request.argv.insert(request.argv.end(), {"-progress", "pipe:1", "-nostats", "file:" + candidate});
        request.timeoutSeconds = options.convertTimeoutSeconds;
        request.maxOutput = 0;
        const double length = media.facts.duration.value_or(0);
        std::string pending;
        request.onOutput = [&](std::string_view piece) {
            pending.append(piece);
            bool go = true;
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;
                 pending.erase(0, end + 1)) {
                const std::string line = pending.substr(0, end);
                if (line.rfind("out_time_us=", 0) == 0 && length > 0)
                    go = report(std::min(1.0, std::atof(line.c_str() + 12) / 1e6 / length) * 0.95) && go;
            }
            return go;
        };
        const ProcessOutcome run = RunProcess(request);
        if (!run.succeeded()) {
            MediaReason why = ProcessFailureReason(request.argv[0], run, options.convertTimeoutSeconds);
            if (why.text == TextId::MsgMediaDamaged)
                why.text = TextId::MsgMediaConvertFailed;
            return fail(why);
        }
        // The copy is judged like any file; one the player would still refuse is not handed out.
        const ExaminedMedia made = ExamineMedia(candidate, {options.probeTimeoutSeconds});
        if (!made.verdict.plays)
            return fail(made.verdict.reasons.empty()
                            ? MediaReason{TextId::MsgMediaConvertFailed, {"no output"}}
                            : made.verdict.reasons.front());
        outcome.action = ConvertOutcome::Action::Converted;
    } else {
        // A verified copy in the work folder, which then takes its name as a converted one does.
        const std::string extension = SplitFileName(*media.playerName).extension;
        const CopyResult copied =
            CopyMediaFileTo(source, work.path(), "OUT." + extension, {},
                            [&](const CopyProgress& p) { return report(0.95 * p.fraction()); });
        if (copied.cancelled)
            return fail({TextId::MsgMediaConvertCancelled, {}});
        if (!copied)
            return fail({TextId::MsgMediaConvertFailed, {copied.reason}});
        candidate = work.path() + "/OUT." + extension;
        outcome.action = ConvertOutcome::Action::Copied;
    }

    // The player name, or the first variant that is free or already holds these bytes. The name is
    // taken only while it is free: a name another conversion takes meanwhile sends this one on to the
    // next.
    const std::string& name = *media.playerName;
    const std::string target = WithTrailingSeparator(targetDir);
    // On the medium before it has a name: a power cut never leaves half a file under a player name.
    if (const int fd = openPath(candidate.c_str(), O_RDONLY | O_CLOEXEC, 0); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    for (int n = 1, tries = 0; n <= kMaxNameVariants && tries < 4 * kMaxNameVariants; ++tries) {
        const std::string tried = n == 1 ? name : PlayerNameVariant(name, n);
        if (options.heldElsewhere && options.heldElsewhere(tried)) {
            ++n;
            continue;
        }
        if (const auto existing = ExistingFileName(target, tried)) {
            if (SameFileContent(candidate, target + *existing)) {
                outcome.name = *existing;
                report(1.0);
                return outcome;
            }
            ++n;
            continue;
        }
        if (options.beforeNameTaken)
            options.beforeNameTaken(tried);
        const int failed = renameWithoutReplacing(candidate, target + tried);
        if (failed == EEXIST)
            continue; // taken just now: looked at again
        if (failed != 0)
            return fail({TextId::MsgMediaConvertFailed,
                         {std::string(std::strerror(failed)) + ": " + target + tried}});
        (void)FlushDirectory(targetDir); // the copy is whole under its name either way
        outcome.name = tried;
        report(1.0);
        return outcome;
    }
    return fail({TextId::MsgMediaConvertFailed, {"every variant of " + name + " is taken"}});
}

std::string VideoFrameJpeg(const std::string& path, int width, int height, double timeoutSeconds) {
    ProcessRequest request;
    request.argv = {FfmpegProgram(), "-v", "error", "-nostdin", "-protocol_whitelist", "file", "-i",
                    "file:" + path, "-map", "0:v:0", "-frames:v", "1", "-vf",
                    "scale=w=" + std::to_string(width > 0 ? width : 1) + ":h=" +
                        std::to_string(height > 0 ? height : 1) + ":force_original_aspect_ratio=decrease",
                    "-pix_fmt", "yuvj444p", "-q:v", "2",
                    // One frame of raw MJPEG is one JPEG file; every ffmpeg build has this muxer.
                    "-f", "mjpeg", "-c:v", "mjpeg", "pipe:1"};
    request.timeoutSeconds = timeoutSeconds;
    const ProcessOutcome outcome = RunProcess(request);
    return outcome.succeeded() ? outcome.out : std::string();
}

} // namespace velmo
