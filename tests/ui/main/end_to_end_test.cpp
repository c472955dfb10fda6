// Starts the built editor itself, copied into a fresh directory, with the offscreen platform and a
// private runtime directory for its single-instance lock.

#include "model/random_source.h"
#include "model/recovery_file.h"
#include "model/schedule_file.h"
#include "rules/schedule_rules.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

constexpr int kPatienceMs = 60000;

class EndToEndTest : public ::testing::Test {
protected:
    QTemporaryDir appDir;
    QTemporaryDir runtimeDir;
    QTemporaryDir dataDir; // the per-user data directory
    QString exe;

    void SetUp() override {
        ASSERT_TRUE(appDir.isValid() && runtimeDir.isValid());
        exe = appDir.filePath(QStringLiteral("velmo-schedule-generator"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_EDITOR_EXE), exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
    }

    // The application directory as the program derives it.
    std::string appPath() const { return QFileInfo(appDir.path()).canonicalFilePath().toStdString() + "/"; }
    QString settingsPath() const { return appDir.filePath(QStringLiteral("SystemInfo.txt")); }
    QString recoveryPath() const {
        return dataDir.filePath(QStringLiteral("velmo-schedule-generator/unsaved-schedule.recovery"));
    }
    QString lockPath() const {
        return QDir(runtimeDir.path()).filePath(QStringLiteral("velmo-schedule-generator.lock"));
    }

    void start(QProcess& process, int quitAfterMs = -1, rlim_t fileSizeLimit = RLIM_INFINITY,
               const QStringList& arguments = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataDir.path());
        env.remove(QStringLiteral("VELMO_QUIT_AFTER_START_MS"));
        if (quitAfterMs >= 0)
            env.insert(QStringLiteral("VELMO_QUIT_AFTER_START_MS"), QString::number(quitAfterMs));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QDir::tempPath());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_DFL); // as a shell leaves it, whatever this test process does
        });
        process.start(exe, arguments);
        ASSERT_TRUE(process.waitForStarted(kPatienceMs));
    }

    // The lock is taken after the termination handler is in place, so from then on SIGTERM closes
    // the window instead of killing the program.
    bool waitForLock(const QProcess& process) const {
        QDeadlineTimer deadline(kPatienceMs);
        while (!deadline.hasExpired()) {
            // The lock appears whole, naming its holder.
            if (QFileInfo(lockPath()).size() > 0)
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(10);
        }
        return false;
    }

    static void expectCleanEnd(QProcess& process) {
        ASSERT_TRUE(process.waitForFinished(kPatienceMs));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeRecovery(const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(recoveryPath()).absolutePath());
        QFile file(recoveryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    std::string settings() const {
        QFile file(settingsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll().toStdString();
    }

    std::string defaultSettingsPrefix() const {
        const std::string app = appPath();
        return "\"" + app + "\"\r\n\"" + app + "\"\r\n\"" + app + "\"\r\n\"velmo.vlm\"\r\n\"" + app +
               "\"\r\n\"";
    }
};

TEST_F(EndToEndTest, FirstRun_closedBySigterm_writesTheSixSettingsLines) {
    QProcess editor;
    start(editor);
    ASSERT_TRUE(waitForLock(editor));
    editor.terminate(); // SIGTERM
    expectCleanEnd(editor);

    const std::string text = settings();
    ASSERT_EQ(text.rfind(defaultSettingsPrefix(), 0), 0u) << text;
    // Line 6: the mount point holding the directory, then the directory itself.
    const std::string line6 = text.substr(defaultSettingsPrefix().size() - 1);
    const std::size_t comma = line6.find("\",\"");
    ASSERT_NE(comma, std::string::npos) << line6;
    const std::string drive = line6.substr(1, comma - 1);
    EXPECT_EQ(appPath().rfind(drive, 0), 0u) << drive;
    EXPECT_EQ(line6.substr(comma + 2), "\"" + appPath() + "\"\r\n");
    EXPECT_FALSE(QFileInfo::exists(appDir.filePath(QStringLiteral("velmo.vlm"))));
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
}

TEST_F(EndToEndTest, DamagedScheduleAtStart_closedDuringItsMessage_settingsNameTheNextFreeFile) {
    const QByteArray damaged = "VELMO0100KERNEL0000061018 not a schedule";
    {
        QFile file(appDir.filePath(QStringLiteral("velmo.vlm")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    QProcess editor;
    start(editor, 0); // closes the "File Read Error!" box, and then the window before it is shown
    expectCleanEnd(editor);

    const std::string app = appPath();
    EXPECT_EQ(
        settings().rfind("\"" + app + "\"\r\n\"" + app + "\"\r\n\"" + app + "\"\r\n\"velmo1.vlm\"\r\n", 0),
        0u)
        << settings();
    QFile file(appDir.filePath(QStringLiteral("velmo.vlm")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged);
}

TEST_F(EndToEndTest, SecondInstance_refusedWhileTheFirstRuns_nothingWritten) {
    // Seven values on one line: read without complaint, but any run that ends rewrites them as six lines.
    const std::string remembered = "\"/a/\",\"/b/\",\"" + appPath() + "\",\"velmo.vlm\",\"/m/\",\"/\",\"/c\"";
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(remembered.c_str());
    }
    QProcess first;
    start(first);
    ASSERT_TRUE(waitForLock(first));

    QProcess second;
    start(second, 0); // closes its refusal box at once
    expectCleanEnd(second);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(settings(), remembered);

    first.terminate();
    expectCleanEnd(first);
    EXPECT_EQ(settings(),
              "\"/a/\"\r\n\"/b/\"\r\n\"" + appPath() + "\"\r\n\"velmo.vlm\"\r\n\"/m/\"\r\n\"/\",\"/c\"\r\n");
}

TEST_F(EndToEndTest, CrashedRun_itsLockIsTakenOver) {
    QProcess crashed;
    start(crashed);
    ASSERT_TRUE(waitForLock(crashed));
    crashed.kill(); // SIGKILL: the lock file stays behind
    ASSERT_TRUE(crashed.waitForFinished(kPatienceMs));
    ASSERT_TRUE(QFileInfo::exists(lockPath()));
    ASSERT_FALSE(QFileInfo::exists(settingsPath()));

    QProcess next;
    start(next, 0);
    expectCleanEnd(next);
    EXPECT_EQ(settings().rfind(defaultSettingsPrefix(), 0), 0u) << settings();
}

TEST_F(EndToEndTest, RecoveryFile_secondInstanceNeverTouchesIt_sessionEndDuringTheOfferKeepsIt) {
    velmo::Schedule kept;
    kept.basicEntries[0].fileName[0] = 'K';
    kept.basicEntries[0].playTimes = 1;
    kept.basicCount = 1;
    velmo::SeededRandomSource random(3);
    QDir().mkpath(QFileInfo(recoveryPath()).absolutePath());
    ASSERT_TRUE(
        velmo::WriteRecoveryFile(recoveryPath().toStdString(), {appPath(), "velmo.vlm", kept}, random).ok);
    const QByteArray bytes = contentOf(recoveryPath());

    QProcess first; // waits in the restore question
    start(first);
    ASSERT_TRUE(waitForLock(first));
    // The lock keeps a second editor from ever reading, setting aside or writing the recovery file.
    QProcess second;
    start(second, 0);
    expectCleanEnd(second);
    EXPECT_EQ(contentOf(recoveryPath()), bytes);

    first.terminate(); // the question is left unanswered: the file stays for the next start
    expectCleanEnd(first);
    EXPECT_EQ(contentOf(recoveryPath()), bytes);
    EXPECT_FALSE(QFileInfo::exists(appDir.filePath(QStringLiteral("velmo.vlm"))));
}

TEST_F(EndToEndTest, EditThenSigkill_theRecoveryFileHoldsTheEdit) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_TEST_DATA_DIR "/mixed-reserved.vlm"),
                            appDir.filePath(QStringLiteral("velmo.vlm"))));
    velmo::Schedule edited;
    ASSERT_TRUE(velmo::ReadScheduleFile(appPath(), "velmo.vlm", edited).ok);
    ASSERT_GT(edited.basicCount, 1);
    ASSERT_TRUE(velmo::RemoveEntry(edited.basicEntries, edited.basicCount, 0));
    // The editor that removes the first basic entry as soon as its window shows.
    ASSERT_TRUE(QFile::remove(exe));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_EDITED_EDITOR_EXE), exe));
    QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);

    QProcess editor;
    start(editor);
    velmo::RecoveredSchedule kept;
    QDeadlineTimer deadline(kPatienceMs);
    while (velmo::ReadRecoveryFile(recoveryPath().toStdString(), kept) != velmo::RecoveryRead::Read &&
           editor.state() == QProcess::Running && !deadline.hasExpired())
        QThread::msleep(10);
    editor.kill(); // as a crash or a power cut: nothing more is written
    ASSERT_TRUE(editor.waitForFinished(kPatienceMs));

    ASSERT_EQ(velmo::ReadRecoveryFile(recoveryPath().toStdString(), kept), velmo::RecoveryRead::Read);
    EXPECT_EQ(kept.schedule, edited);
    EXPECT_EQ(kept.directory + kept.fileName, appPath() + "velmo.vlm");
    velmo::Schedule onDisk;
    ASSERT_TRUE(velmo::ReadScheduleFile(appPath(), "velmo.vlm", onDisk).ok);
    EXPECT_NE(onDisk, edited);
}

TEST_F(EndToEndTest, DamagedRecoveryFile_saidOnceAtStartAndSetAside) {
    writeRecovery("VELMO-RECOVERY 1\nnot a schedule");
    for (int run = 0; run < 2; ++run) {
        QProcess editor;
        start(editor, 0); // closes the message, then the window
        expectCleanEnd(editor);
        EXPECT_FALSE(QFileInfo::exists(recoveryPath()));
        EXPECT_EQ(contentOf(recoveryPath() + QStringLiteral(".damaged")), "VELMO-RECOVERY 1\nnot a schedule");
        // Set aside once: the second start finds nothing to say.
        EXPECT_FALSE(QFileInfo::exists(recoveryPath() + QStringLiteral(".damaged1")));
    }
}

TEST_F(EndToEndTest, AnEmptyLockLeftBehind_doesNotBlockTheStart) {
    {
        QFile file(lockPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QProcess next;
    start(next, 0);
    expectCleanEnd(next);
    // A refused start writes no settings.
    EXPECT_EQ(settings().rfind(defaultSettingsPrefix(), 0), 0u) << settings();
}

TEST_F(EndToEndTest, AFileSizeLimit_failsTheSettingsWriteAndTheEditorStillEndsNormally) {
    // Room for the lock, none for the settings file.
    QProcess editor;
    start(editor, 0, 64);
    expectCleanEnd(editor);
    EXPECT_FALSE(QFileInfo::exists(settingsPath()));
    EXPECT_EQ(QDir(appDir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("velmo-schedule-generator")});
}

TEST_F(EndToEndTest, SecondStartWithAFile_handsItToTheRunningEditor_whichOpensIt) {
    QTemporaryDir schedules;
    const QString shop = schedules.filePath(QStringLiteral("shop.vlm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_TEST_DATA_DIR "/mixed-reserved.vlm"), shop));
    QProcess first;
    start(first);
    ASSERT_TRUE(waitForLock(first));
    const QString socket =
        QDir(runtimeDir.path()).filePath(QStringLiteral("velmo-schedule-generator.socket"));
    QDeadlineTimer deadline(kPatienceMs);
    while (!QFileInfo::exists(socket) && !deadline.hasExpired())
        QThread::msleep(10);
    ASSERT_TRUE(QFileInfo::exists(socket));

    // Named relative to where the second start runs, as a file manager or shell may name it. It
    // shows nothing: a refusal box would keep it running until the test gives up.
    QProcess second;
    start(second, -1, RLIM_INFINITY, {QDir(QDir::tempPath()).relativeFilePath(shop)});
    expectCleanEnd(second);
    // Without a file, a start is still refused; the running editor takes its requests in order,
    // so by now it has opened the handed file.
    QProcess third;
    start(third, 0);
    expectCleanEnd(third);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    expectCleanEnd(first);
    const QString dir = QFileInfo(schedules.path()).absoluteFilePath() + QStringLiteral("/");
    EXPECT_EQ(settings().rfind("\"" + dir.toStdString() + "\"\r\n\"" + appPath() + "\"\r\n\"" +
                                   dir.toStdString() + "\"\r\n\"shop.vlm\"\r\n",
                               0),
              0u)
        << settings();
}

TEST_F(EndToEndTest, StartedWithAFile_opensItInsteadOfTheRememberedOne) {
    QTemporaryDir schedules;
    const QString shop = schedules.filePath(QStringLiteral("shop.vlm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMO_TEST_DATA_DIR "/mixed-reserved.vlm"), shop));
    QProcess editor;
    start(editor, 0, RLIM_INFINITY, {QStringLiteral("file://") + shop});
    expectCleanEnd(editor);
    const std::string dir = QFileInfo(schedules.path()).absoluteFilePath().toStdString() + "/";
    EXPECT_EQ(settings().rfind(
                  "\"" + dir + "\"\r\n\"" + appPath() + "\"\r\n\"" + dir + "\"\r\n\"shop.vlm\"\r\n", 0),
              0u)
        << settings();
}

} // namespace
