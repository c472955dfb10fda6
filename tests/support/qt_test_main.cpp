#include "ui/platform/off_thread.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each test has per-user data of its own, so a recovery file one test leaves behind is never offered
// to the next. Windows keeps its known folders where they are whatever the environment says, so the
// organisation name, which the data path includes, tells the tests apart there.
class OwnUserData : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        QCoreApplication::setOrganizationName(
            QStringLiteral("velmo-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++count_));
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        QDir data(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        if (data.dirName() == QCoreApplication::applicationName() && data.cdUp() &&
            data.dirName() == QCoreApplication::organizationName())
            data.removeRecursively();
        QCoreApplication::setOrganizationName({});
    }
    int count_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The per-user data directory (recovery file, installed runs) is the test's own, never the user's.
    QTemporaryDir userData;
    qputenv("XDG_DATA_HOME", userData.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new OwnUserData);
    return velmo::EndAfterDetachedWork(RUN_ALL_TESTS());
}
