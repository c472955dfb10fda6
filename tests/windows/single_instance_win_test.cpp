#include "ui/platform/single_instance.h"
#include "ui/platform/volumes.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace velmo {
namespace {

TEST(SingleInstanceLockWindows, oneHolderPerUserDirectoryUntilItEnds) {
    QTemporaryDir dir;
    QTemporaryDir otherUser;
    auto first = std::make_unique<SingleInstanceLock>(dir.path());
    ASSERT_TRUE(first->tryLock());
    EXPECT_TRUE(first->tryLock()); // asking again keeps it
    EXPECT_TRUE(first->path().startsWith(QStringLiteral("Global\\VelmoScheduleGenerator-")));

    SingleInstanceLock second(dir.path());
    EXPECT_FALSE(second.tryLock());
    // The same folder however it is spelled is the same user.
    SingleInstanceLock spelledOtherwise(dir.path().toUpper().replace(QLatin1Char('/'), QLatin1Char('\\')));
    EXPECT_FALSE(spelledOtherwise.tryLock());
    SingleInstanceLock another(otherUser.path());
    EXPECT_TRUE(another.tryLock());

    first.reset();
    EXPECT_TRUE(second.tryLock());
}

TEST(SystemVolumeListWindows, drivesAreDriveLettersWithTheirBackslash) {
    SystemVolumeList list;
    const std::vector<Volume> volumes = list.volumes();
    const QRegularExpression driveRoot(QStringLiteral("^[A-Z]:\\\\$"));
    bool systemDrive = false;
    for (const Volume& volume : volumes) {
        EXPECT_TRUE(driveRoot.match(volume.mountPoint).hasMatch() ||
                    volume.mountPoint.startsWith(QStringLiteral("\\\\")))
            << volume.mountPoint.toStdString();
        systemDrive = systemDrive || volume.mountPoint == QStringLiteral("C:\\");
    }
    EXPECT_TRUE(systemDrive);
    EXPECT_TRUE(list.isReady(QStringLiteral("C:\\")));
}

} // namespace
} // namespace velmo
