#include "ui/platform/single_instance.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace velmo {
namespace {

TEST(SingleInstanceLock, secondLockFailsWhileTheFirstIsHeldAndSucceedsAfter) {
    QTemporaryDir dir;
    auto first = std::make_unique<SingleInstanceLock>(dir.path());
    ASSERT_TRUE(first->tryLock());
    EXPECT_TRUE(QFileInfo::exists(first->path()));
    EXPECT_TRUE(first->tryLock()); // asking again keeps it

    SingleInstanceLock second(dir.path());
    EXPECT_FALSE(second.tryLock());

    first.reset();
    EXPECT_FALSE(QFileInfo::exists(second.path()));
    EXPECT_TRUE(second.tryLock());
}

TEST(SingleInstanceLock, aLockThatCannotBeCreatedDoesNotRefuse) {
    QTemporaryDir dir;
    SingleInstanceLock lock(dir.filePath(QStringLiteral("missing/deeper")));
    EXPECT_TRUE(lock.tryLock());
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST(SingleInstanceLock, anEmptyForeignOrDeadLockIsTakenOverWhole) {
    QTemporaryDir dir;
    const QByteArray mine = QByteArray::number(::getpid()) + "\n";
    // Empty (a run killed while it wrote it), naming a process long gone, and not this user's.
    for (const QByteArray& left : {QByteArray(), QByteArray("999999999\n"), QByteArray("1\n")}) {
        const QString path = QDir(dir.path()).filePath(QStringLiteral("velmo-schedule-generator.lock"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(left);
        file.close();
        if (left == "1\n" && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
            continue; // only root can give a file away
        SingleInstanceLock lock(dir.path());
        EXPECT_TRUE(lock.tryLock()) << left.constData();
        EXPECT_EQ(contentOf(lock.path()), mine);
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, ::geteuid());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("velmo-schedule-generator.lock")});
    }
}

TEST(SingleInstanceLock, neverInASharedDirectory) {
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    QTemporaryDir shared;
    QTemporaryDir data;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    for (const QByteArray& runtime : {QByteArray(), shared.path().toLocal8Bit()}) {
        qputenv("XDG_RUNTIME_DIR", runtime);
        SingleInstanceLock lock;
        EXPECT_TRUE(lock.path().startsWith(data.path() + QStringLiteral("/"))) << lock.path().toStdString();
        ASSERT_TRUE(lock.tryLock());
        EXPECT_EQ(QFileInfo(QFileInfo(lock.path()).absolutePath()).permissions() &
                      (QFile::WriteGroup | QFile::WriteOther),
                  QFile::Permissions());
    }
    // A shared directory named outright is not used either: the editor starts unguarded.
    SingleInstanceLock unguarded(shared.path());
    EXPECT_TRUE(unguarded.tryLock());
    EXPECT_FALSE(QFileInfo::exists(unguarded.path()));
    for (const auto& [name, saved] :
         {std::pair{"XDG_RUNTIME_DIR", savedRuntime}, {"XDG_DATA_HOME", savedData}}) {
        if (saved.isNull())
            qunsetenv(name);
        else
            qputenv(name, saved);
    }
}

TEST(SingleInstanceLock, defaultDirectoryIsThePerUserRuntimeDirectory) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    SingleInstanceLock lock;
    EXPECT_EQ(QFileInfo(lock.path()).absolutePath(), runtime.path());
    if (saved.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
}

} // namespace
} // namespace velmo

namespace velmo {
namespace {

// The running editor's side listens; a second start's send() blocks, so it runs on a thread of its own.
TEST(InstanceHandOver, aFileOrARequestToComeForwardReachesTheRunningEditor_aStrangerIsDropped) {
    QTemporaryDir dir;
    InstanceHandOver running(dir.path());
    ASSERT_TRUE(running.listen());
    QSignalSpy opened(&running, &InstanceHandOver::openRequested);
    QSignalSpy raised(&running, &InstanceHandOver::raiseRequested);
    const auto sendFromAnotherStart = [&](const QString& file) {
        std::atomic<int> taken{-1};
        std::thread second([&] { taken = InstanceHandOver::send(dir.path(), file) ? 1 : 0; });
        while (taken < 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        second.join();
        QCoreApplication::processEvents();
        return taken == 1;
    };

    // A name may hold any character a file name can, a line end too.
    const QString odd = dir.filePath(QStringLiteral("Schaufenster\nmärz 100%.vlm"));
    EXPECT_TRUE(sendFromAnotherStart(odd));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.takeFirst().at(0).toString(), odd);
    EXPECT_TRUE(sendFromAnotherStart(QString()));
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(opened.count(), 0);
    raised.clear();

    // Another program on the socket gets no answer and asks for nothing.
    QLocalSocket stranger;
    stranger.connectToServer(InstanceHandOver::serverName(dir.path()));
    ASSERT_TRUE(stranger.waitForConnected(5000));
    stranger.write("GET / HTTP/1.0\r\n\r\n");
    stranger.waitForBytesWritten(5000);
    while (stranger.state() == QLocalSocket::ConnectedState)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(stranger.readAll().isEmpty());
    EXPECT_EQ(opened.count() + raised.count(), 0);

    // No editor running: nothing takes the file.
    QTemporaryDir empty;
    EXPECT_FALSE(InstanceHandOver::send(empty.path(), odd, 1000));
}

} // namespace
} // namespace velmo
