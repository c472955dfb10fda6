#include "ui/platform/single_instance.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
