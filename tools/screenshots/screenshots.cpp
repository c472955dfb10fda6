// Renders the windows of the editor to PNG files for the README: the main window holding a shop's
// schedule, both entry editors, the copy dialog, the Write to Player Medium dialog, the schedule
// overview and the About dialogs, built and filled as a user would see them.
//
// Usage: velmo-screenshots OUTPUT_DIR [--dark] [--work DIR]
//   --dark      a dark palette, to check that everything stays readable
//   --work DIR  where the example schedule, media and player medium are laid out (emptied first);
//               its path shows in the pictures. Default: a fresh temporary directory.
// Run with QT_QPA_PLATFORM=offscreen; QT_SCALE_FACTOR=2 renders for a high-density screen.

#include "model/app_state.h"
#include "model/random_source.h"
#include "model/schedule.h"
#include "model/schedule_file.h"
#include "rules/entry_rules.h"
#include "texts/screen_texts.h"
#include "ui/about/about_company_form.h"
#include "ui/about/about_velmo_schedule_generator_form.h"
#include "ui/copy/copy_form.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_list_view.h"
#include "ui/document/schedule_media.h"
#include "ui/editors/advance_schedule_edit_form.h"
#include "ui/editors/media_add_question.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/main/main_form.h"
#include "ui/overview/schedule_overview_form.h"
#include "ui/platform/accessibility.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/link_opener.h"
#include "ui/platform/prompts.h"
#include "ui/platform/volumes.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QProcess>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

using namespace velmo;

// The day the pictures are taken on, so they do not change from one run to the next.
class TourClock final : public Clock {
public:
    QDate today() const override { return {2026, 11, 20}; }
};

// The system's root and the player's medium, whatever is mounted on this machine.
class TourVolumes final : public VolumeList {
public:
    explicit TourVolumes(QString medium) : medium_(std::move(medium)) {}
    std::vector<Volume> volumes() override {
        return {{QStringLiteral("/"), QStringLiteral("ext4")}, {medium_, QStringLiteral("vfat")}};
    }
    bool isReady(const QString&) override { return true; }

private:
    QString medium_;
};

// Refuses every question, so that nothing the tour does can wait for an answer.
class SilentPrompts final : public Prompts {
public:
    void message(QWidget*, const QString& text) override {
        std::fprintf(stderr, "velmo-screenshots: message: %s\n", qPrintable(text));
    }
    void messageUntitled(QWidget* parent, const QString& text) override { message(parent, text); }
    bool askYesNo(QWidget*, const QString&) override { return false; }
    bool askOkCancel(QWidget*, const QString&) override { return false; }
    std::optional<QString> openFile(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    int askThreeWay(QWidget*, const QString&, const ThreeAnswers<int>& answers) override {
        return answers.cancel.first;
    }
    QStringList openFiles(QWidget*, const QString&, const QString&) override { return {}; }
};

class NoLinks final : public LinkOpener {
public:
    bool open(const QUrl&) override { return false; }
};

FileEntry file(const std::string& name, const std::string& ext, int playTimes, int volume) {
    return MakeFileEntry(name, ext, playTimes, volume);
}

struct Period {
    int startYear, startMonth, startDay, startHour, startMinute;
    int stopYear, stopMonth, stopDay, stopHour, stopMinute;
    int weekDay;
};

AdvanceEntry advance(const Period& p, std::vector<FileEntry> files) {
    AdvanceEntry entry;
    entry.startYear = static_cast<std::uint8_t>(p.startYear - 2000);
    entry.startMonth = static_cast<std::uint8_t>(p.startMonth);
    entry.startDay = static_cast<std::uint8_t>(p.startDay);
    entry.startHour = static_cast<std::uint8_t>(p.startHour);
    entry.startMinute = static_cast<std::uint8_t>(p.startMinute);
    entry.stopYear = static_cast<std::uint8_t>(p.stopYear - 2000);
    entry.stopMonth = static_cast<std::uint8_t>(p.stopMonth);
    entry.stopDay = static_cast<std::uint8_t>(p.stopDay);
    entry.stopHour = static_cast<std::uint8_t>(p.stopHour);
    entry.stopMinute = static_cast<std::uint8_t>(p.stopMinute);
    entry.weekDay = static_cast<std::uint8_t>(p.weekDay);
    entry.fileCount = static_cast<std::int16_t>(files.size());
    entry.files = std::move(files);
    return entry;
}

// A shop window's schedule: a daily loop, with a morning slot on weekdays, a Saturday market and
// the December sale.
Schedule shopSchedule() {
    Schedule s;
    s.basicEntries = {file("WELCOME", "MPG", 1, 8),      file("SPRING_COLLECT", "AVI", 2, 8),
                      file("STORE_MAP", "JPG", 1, 13),   file("NEW_ARRIVALS", "MPG", 3, 10),
                      file("CAFE_MENU", "JPG", 1, 13),   file("BACKGROUND", "MP3", 5, 4),
                      file("LOYALTY_CARD", "AVI", 1, 8), file("OPENING_HOURS", "JPG", 1, 13)};
    s.basicCount = static_cast<std::int16_t>(s.basicEntries.size());
    s.advanceEntries = {
        advance({2026, 12, 1, 9, 0, 2026, 12, 24, 20, 0, 7},
                {file("XMAS_SALE", "MPG", 3, 10), file("GIFT_IDEAS", "AVI", 2, 10),
                 file("JINGLE", "MP3", 1, 6), file("WRAPPING_DESK", "JPG", 1, 13)}),
        advance({2026, 11, 2, 7, 30, 2027, 3, 31, 10, 0, 1},
                {file("BREAKFAST", "JPG", 2, 13), file("COFFEE_OFFER", "MPG", 1, 8)}),
        advance({2026, 11, 7, 8, 0, 2027, 6, 26, 14, 0, 6},
                {file("MARKET_DAY", "MPG", 2, 10), file("FRESH_BREAD", "JPG", 1, 13)}),
        advance({2027, 1, 2, 9, 0, 2027, 1, 31, 20, 0, 7}, {file("WINTER_SALE", "AVI", 4, 10)})};
    s.advanceCount = static_cast<std::int16_t>(s.advanceEntries.size());
    return s;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// The settings a user would have after working on the shop schedule for a while.
bool writeSettings(const QString& appDir, const QString& schedules, const QString& media,
                   const QString& drive, const QString& copyDir) {
    QByteArray text;
    for (const QString& value : {schedules, schedules, schedules, QStringLiteral("shop-window.vlm"), media})
        text += '"' + value.toUtf8() + "\"\r\n";
    text += '"' + drive.toUtf8() + "\",\"" + copyDir.toUtf8() + "\"\r\n";
    return writeFile(appDir + QStringLiteral("SystemInfo.txt"), text);
}

QPalette darkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(128, 128, 128);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(70, 70, 74));
    p.setColor(QPalette::Midlight, QColor(60, 60, 64));
    p.setColor(QPalette::Mid, QColor(40, 40, 42));
    p.setColor(QPalette::Dark, QColor(20, 20, 22));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

bool save(QWidget* window, const QString& path) {
    window->show();
    QApplication::processEvents();
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "velmo-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// ffmpeg -v error -y ARGUMENTS PATH; false when it is missing or fails.
bool makeMedia(const QString& path, const QStringList& arguments) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + arguments + QStringList{path});
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

// A list with its media marks and length, and the question when a phone video is added, on real
// media made with ffmpeg; left out where ffmpeg is not installed.
bool mediaPictures(MainForm& form, AppContext& context, const QString& work, const QString& output,
                   const QString& suffix) {
    const QString shop = work + QStringLiteral("/Media shop/");
    QDir().mkpath(shop);
    const QStringList picture{"-f", "lavfi", "-i", "testsrc=size=640x480", "-frames:v", "1"};
    const auto lasting = [](const char* seconds, const char* size) {
        return QStringList{
            "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=25").arg(QLatin1String(size)),
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
            "-t", seconds};
    };
    const bool made =
        makeMedia(shop + "CROISSANTS.MPG",
                  lasting("20", "352x288") + QStringList{"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "dvd"}) &&
        makeMedia(shop + "PASTRY_MENU.JPG", picture) && makeMedia(shop + "LOGO.PNG", picture) &&
        makeMedia(shop + "Croissant Special Offer.jpg", picture) &&
        makeMedia(shop + "JINGLE.MP3",
                  QStringList{"-f", "lavfi", "-i", "sine=frequency=660", "-t", "8", "-c:a", "libmp3lame"}) &&
        makeMedia(shop + "Instagram Reel.mp4",
                  lasting("3", "720x1280") +
                      QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"});
    if (!made) {
        std::fprintf(stderr, "velmo-screenshots: ffmpeg could not make media; no media pictures\n");
        return true;
    }
    Schedule schedule =
        MakeSchedule({MakeFileEntry("CROISSANTS", "MPG", 2, 13), MakeFileEntry("PASTRY_MENU", "JPG", 1, 13),
                      MakeFileEntry("SHOP_JINGLE", "MP3", 3, 13), MakeFileEntry("LOGO", "PNG", 1, 13),
                      MakeFileEntry("STREET_MAP", "JPG", 1, 13)},
                     {});
    form.document().replace(TextId::TextOpen, DocumentState{schedule, shop.toStdString(), "media-shop.vlm"},
                            Replacement::Opened);
    while (form.media().pending()) {
        QEventLoop wait;
        QObject::connect(&form.media(), &ScheduleMedia::updated, &wait, &QEventLoop::quit);
        wait.exec();
    }
    auto* list = form.findChild<ScheduleListView*>(QStringLiteral("NormalList"));
    list->setCurrentRow(3);
    bool ok = save(form.findChild<QWidget*>(QStringLiteral("NormalFrame")),
                   output + "media-marks" + suffix + ".png");

    // The real question, pictured as it opens and answered Cancel.
    QtPrompts prompts;
    AppContext asking{context.state,  context.texts,   prompts,       context.clock,
                      context.random, context.volumes, context.links, {}};
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || !box->isVisible())
            return;
        poll.stop();
        ok = save(box, output + "media-question" + suffix + ".png") && ok;
        if (auto* cancel = box->findChild<QPushButton*>(QStringLiteral("CancelChoice")))
            cancel->click();
    });
    poll.start(50);
    QEventLoop answered;
    AskAboutAddedMedia(&form, asking, form.media().probeCache(),
                       {shop + "Instagram Reel.mp4", shop + "LOGO.PNG", shop + "Croissant Special Offer.jpg"},
                       LeftOut::Told, [&answered](const AddedMedia&) { answered.quit(); });
    answered.exec();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmo-schedule-generator"));
    InstallAccessibilitySupport();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: velmo-screenshots OUTPUT_DIR [--dark] [--work DIR]\n");
        return 2;
    }
    const QString output = QDir(args[1]).absolutePath();
    const bool dark = args.contains(QStringLiteral("--dark"));
    QTemporaryDir temporary;
    QString work = temporary.path();
    if (const qsizetype at = args.indexOf(QStringLiteral("--work")); at > 0 && at + 1 < args.size()) {
        work = QDir(args[at + 1]).absolutePath();
        QDir(work).removeRecursively();
    }

    // The same style everywhere, so the pictures do not depend on the desktop they are made on.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (dark)
        QApplication::setPalette(darkPalette());

    const QString appDir = work + QStringLiteral("/velmo/");
    const QString schedules = work + QStringLiteral("/Schedules/");
    const QString media = work + QStringLiteral("/Media/");
    const QString medium = work + QStringLiteral("/PLAYER");
    const QString copyDir = medium + QStringLiteral("/VIDEO");
    for (const QString& dir : {output, appDir, schedules, media, copyDir, medium + QStringLiteral("/MUSIC"),
                               medium + QStringLiteral("/PICTURES")})
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "velmo-screenshots: cannot create %s\n", qPrintable(dir));
            return 1;
        }
    writeFile(media + QStringLiteral("Welcome.mpg"), QByteArray(4096, 'v'));
    // Most of the shop's media, some already on the medium from last time; the map is still missing.
    for (const char* name :
         {"SPRING_COLLECT.AVI", "NEW_ARRIVALS.MPG", "CAFE_MENU.JPG", "BACKGROUND.MP3", "LOYALTY_CARD.AVI",
          "OPENING_HOURS.JPG", "XMAS_SALE.MPG", "GIFT_IDEAS.AVI", "JINGLE.MP3", "WRAPPING_DESK.JPG",
          "BREAKFAST.JPG", "COFFEE_OFFER.MPG", "MARKET_DAY.MPG", "FRESH_BREAD.JPG", "WINTER_SALE.AVI"})
        writeFile(media + QString::fromLatin1(name), QByteArray(1 << 16, 'm'));
    writeFile(copyDir + QStringLiteral("/BACKGROUND.MP3"), QByteArray(1 << 16, 'm'));
    writeFile(copyDir + QStringLiteral("/JINGLE.MP3"), QByteArray(1 << 15, 'o'));

    SeededRandomSource random(20261120);
    const Result written =
        WriteScheduleFile(schedules.toStdString(), "shop-window.vlm", shopSchedule(), random);
    if (!written || !writeSettings(appDir, schedules, media, medium, copyDir)) {
        std::fprintf(stderr, "velmo-screenshots: cannot lay out the example in %s\n", qPrintable(work));
        return 1;
    }

    AppState state;
    ScreenTexts texts;
    SilentPrompts prompts;
    TourClock clock;
    TourVolumes volumes(medium);
    NoLinks links;
    AppContext context{state, texts, prompts, clock, random, volumes, links, {}};

    // Starts as the installed editor would, reading the settings and the schedule they name.
    MainForm form(context, appDir.toStdString());
    form.resize(form.minimumSizeHint().expandedTo(QSize(1040, 600)));
    form.findChild<ScheduleListView*>(QStringLiteral("AdvanceList"))->setCurrentRow(0);
    form.findChild<ScheduleListView*>(QStringLiteral("NormalList"))->setCurrentRow(0);
    const QString suffix = dark ? QStringLiteral("-dark") : QString();
    bool ok = save(&form, output + QStringLiteral("/main-window%1.png").arg(suffix));

    // The Edit menu open after a Remove, drawn where it pops up.
    form.findChild<QPushButton*>(QStringLiteral("NormalRemoveCmd"))->click();
    if (auto* edit = form.findChild<QMenu*>(QStringLiteral("subEdit"))) {
        const QRect item = form.menuBar()->actionGeometry(edit->menuAction());
        edit->popup(form.menuBar()->mapToGlobal(item.bottomLeft()));
        QApplication::processEvents();
        QPixmap shot = form.grab();
        QPainter painter(&shot);
        painter.drawPixmap(form.mapFromGlobal(edit->pos()), edit->grab());
        painter.end();
        const QString path = output + QStringLiteral("/edit-menu%1.png").arg(suffix);
        ok = shot.save(path) && ok;
        std::printf("%s\n", qPrintable(path));
        edit->close();
        form.findChild<QAction*>(QStringLiteral("subUndo"))->trigger();
    }

    // Modify the first basic entry.
    {
        ScheduleEditForm editor(context, state.schedule.basicEntries[0], 0, &form);
        ok = save(&editor, output + QStringLiteral("/schedule-file-editor%1.png").arg(suffix)) && ok;
    }
    // Modify the December sale.
    {
        AdvanceScheduleEditForm editor(context, state.schedule.advanceEntries[0], &form);
        ok = save(&editor, output + QStringLiteral("/advance-schedule-editor%1.png").arg(suffix)) && ok;
    }
    {
        CopyForm copy(context, QStringLiteral("Welcome.mpg"), &form);
        ok = save(&copy, output + QStringLiteral("/copy-dialog%1.png").arg(suffix)) && ok;
    }
    // The overview, from the View menu, on the first Monday of the December sale.
    form.findChild<QAction*>(QStringLiteral("subScheduleOverview"))->trigger();
    if (auto* overview = form.findChild<ScheduleOverviewForm*>(QStringLiteral("ScheduleOverviewForm"))) {
        // The missing files show once the media folders are listed.
        while (overview->mediaListing()->pending()) {
            QEventLoop wait;
            QObject::connect(overview->mediaListing(), &ScheduleMedia::updated, &wait, &QEventLoop::quit);
            wait.exec();
        }
        overview->showDay({2026, 12, 7});
        ok = save(overview, output + QStringLiteral("/schedule-overview%1.png").arg(suffix)) && ok;
        overview->close();
    } else {
        ok = false;
    }
    {
        PublishSettings settings;
        WriteToMediumForm publish(context, settings, form.document(), form.media(), &form);
        publish.resize(820, 640);
        ok = save(&publish, output + QStringLiteral("/write-to-medium%1.png").arg(suffix)) && ok;
    }
    {
        AboutVelmoScheduleGeneratorForm about(context, &form);
        ok = save(&about, output + QStringLiteral("/about%1.png").arg(suffix)) && ok;
    }
    {
        AboutCompanyForm company(context, &form);
        ok = save(&company, output + QStringLiteral("/about-company%1.png").arg(suffix)) && ok;
    }
    ok = mediaPictures(form, context, work, output + QStringLiteral("/"), suffix) && ok;
    // The settings stay in the work directory, never beside this program.
    form.close();
    return ok ? 0 : 1;
}
