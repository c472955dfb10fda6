// Open and Save of the largest schedule through the main window, the way the commands run them (the
// file dialog answered by a script), against the bare cost of reading and writing the same bytes.
// Open is timed to the end of the command and to the end of the frame that shows the new lists.
//
//   file_commands_bench [rounds]

#include "bench_util.h"
#include "frame_probe.h"
#include "largest_schedule.h"

#include "model/app_state.h"
#include "model/random_source.h"
#include "model/schedule_file.h"
#include "texts/screen_texts.h"
#include "ui/main/main_form.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/prompts.h"
#include "ui/platform/volumes.h"

#include "ui/document/schedule_list_view.h"
#include <QTemporaryDir>

#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using velmo::bench::NowNs;

// Answers the file dialogs from a queue; any message box means the run went wrong.
class ScriptedFiles final : public velmo::Prompts {
public:
    std::deque<QString> files;
    QStringList messages;

    void message(QWidget*, const QString& text) override { messages << text; }
    void messageUntitled(QWidget*, const QString& text) override { messages << text; }
    bool askYesNo(QWidget*, const QString& text) override {
        messages << text;
        return false;
    }
    bool askOkCancel(QWidget*, const QString& text) override {
        messages << text;
        return false;
    }
    std::optional<QString> openFile(QWidget*, const QString&, const QString&, const QString&) override {
        return next();
    }
    std::optional<QString> saveFile(QWidget*, const QString&, const QString&, const QString&) override {
        return next();
    }
    int askThreeWay(QWidget*, const QString& text, const velmo::ThreeAnswers<int>& answers) override {
        messages << text;
        return answers.cancel.first;
    }
    QStringList openFiles(QWidget*, const QString&, const QString&) override {
        const std::optional<QString> file = next();
        return file ? QStringList{*file} : QStringList{};
    }

private:
    std::optional<QString> next() {
        if (files.empty())
            return std::nullopt;
        QString file = files.front();
        files.pop_front();
        return file;
    }
};

class NoLinks final : public velmo::LinkOpener {
public:
    bool open(const QUrl&) override { return false; }
};

bool readAll(const std::string& path, std::vector<std::uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    ::fstat(fd, &info);
    data.resize(static_cast<std::size_t>(info.st_size));
    const bool ok = ::read(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ::close(fd);
    return ok;
}

// A new file: rewriting one in place would make the file system flush it on close.
bool writeAll(const std::string& path, const std::vector<std::uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    return ::close(fd) == 0 && ok;
}

// The least a write must do to replace a file safely: a new file flushed to the medium, renamed
// over the old one, the directory flushed.
bool writeDurably(const std::string& directory, const std::string& path,
                  const std::vector<std::uint8_t>& data) {
    const std::string temp = path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = dirFd >= 0 && ::fsync(dirFd) == 0 && ok;
    if (dirFd >= 0)
        ::close(dirFd);
    return ok;
}

double msSince(std::int64_t startNs) {
    return static_cast<double>(NowNs() - startNs) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    velmo::bench::FrameProbeApplication app(argc, argv);
    const int rounds = velmo::bench::CountArgument(argc, argv, 1, 101);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const std::string appDir = dir.path().toStdString() + "/";
    velmo::SeededRandomSource random(2007);
    if (!velmo::WriteScheduleFile(appDir, "velmo.vlm", velmo::bench::LargestSchedule(), random)) {
        std::fprintf(stderr, "cannot write the largest schedule\n");
        return 1;
    }
    const std::string current = appDir + "velmo.vlm";
    std::vector<std::uint8_t> fileBytes;
    readAll(current, fileBytes);

    velmo::AppState state;
    velmo::ScreenTexts texts;
    ScriptedFiles prompts;
    velmo::SystemClock clock;
    velmo::SystemVolumeList volumes;
    NoLinks links;
    velmo::AppContext context{state, texts, prompts, clock, random, volumes, links, {}};
    velmo::MainForm form(context, appDir);
    form.show();
    if (!app.waitForFrameAfter(0)) {
        std::fprintf(stderr, "the main window was never painted\n");
        return 1;
    }

    std::vector<double> openCall, openPainted, save, bareRead, bareWrite, bareDurable;
    std::vector<std::uint8_t> readBack;
    const std::string scratch = appDir + "scratch.bin";
    const std::string plain = appDir + "plain.bin";
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < 4; ++k) {
            switch ((round + k) % 4) {
            case 0: {
                prompts.files.push_back(QString::fromStdString(current));
                const int frames = app.frames();
                const std::int64_t start = NowNs();
                form.OpenSchedule();
                openCall.push_back(msSince(start));
                if (!app.waitForFrameAfter(frames)) {
                    std::fprintf(stderr, "no frame after Open\n");
                    return 1;
                }
                openPainted.push_back(static_cast<double>(app.lastFrameEndNs() - start) / 1e6);
                break;
            }
            case 1: {
                const std::int64_t start = NowNs();
                form.SaveSchedule(false);
                save.push_back(msSince(start));
                break;
            }
            case 2: {
                const std::int64_t start = NowNs();
                readAll(current, readBack);
                bareRead.push_back(msSince(start));
                break;
            }
            default: {
                ::unlink(plain.c_str());
                const std::int64_t start = NowNs();
                if (!writeAll(plain, fileBytes))
                    return 1;
                bareWrite.push_back(msSince(start));
                const std::int64_t durableStart = NowNs();
                if (!writeDurably(appDir, scratch, fileBytes))
                    return 1;
                bareDurable.push_back(msSince(durableStart));
                break;
            }
            }
        }
    }
    const auto rows = [&form](const char* list) {
        return form.findChild<velmo::ScheduleListView*>(QString::fromLatin1(list))->count();
    };
    const bool shown = rows("NormalList") == 250 && rows("AdvanceList") == 250 && rows("DetailList") == 100;
    if (!prompts.messages.isEmpty() || !shown || !(state.schedule == velmo::bench::LargestSchedule())) {
        std::fprintf(stderr, "the commands did not run cleanly (%s)\n",
                     qPrintable(prompts.messages.join(QStringLiteral(" / "))));
        return 1;
    }

    using velmo::bench::Median;
    using velmo::bench::MedianRatio;
    using velmo::bench::Spread;
    std::printf("file commands on the largest schedule (%zu bytes, 250 + 250 + 100 rows), offscreen, %d "
                "interleaved rounds\n",
                fileBytes.size(), rounds);
    std::printf("  median (p10 .. p90) in ms; goal for Open and Save: under 16 ms\n");
    std::printf("  Open, the command                 %s\n", Spread(openCall).c_str());
    std::printf("  Open, to the painted lists        %s\n", Spread(openPainted).c_str());
    std::printf("  bare read of the file             %s\n", Spread(bareRead).c_str());
    std::printf("  Save, the command                 %s\n", Spread(save).c_str());
    std::printf("  bare write (no flush)             %s\n", Spread(bareWrite).c_str());
    std::printf("  bare safe replace (flush, rename) %s\n", Spread(bareDurable).c_str());
    std::printf("  Open painted / bare read %.0fx; Save / bare safe replace %.2fx; Save / bare write %.0fx "
                "(medians of per-round ratios)\n",
                MedianRatio(openPainted, bareRead), MedianRatio(save, bareDurable),
                MedianRatio(save, bareWrite));
    return 0;
}
