#include "app_path.h"

#include "rules/schedule_rules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#ifdef _WIN32
#include <QSettings>
#include <QTemporaryFile>
#else
#include <unistd.h>
#endif

namespace velmo {

namespace {

bool sameDirectory(const QString& a, const QString& b) {
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// QFileInfo::isWritable() would ask about the directory entry only; a new file needs write and search.
bool canCreateFilesIn(const QString& directory) {
#ifdef _WIN32
    // Access rights on Windows are the folder's ACL (Program Files is no read-only folder): try it.
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral("velmo-write-test-XXXXXX")));
    return probe.open();
#else
    return ::access(QFile::encodeName(directory).constData(), W_OK | X_OK) == 0;
#endif
}

// Where the program was installed: the folder the installer recorded for Apps & features on Windows
// (wherever the user chose to put it), the package's bin directory elsewhere.
QString installDirectory() {
#ifdef _WIN32
    const QSettings uninstall(
        QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                       "VelmoScheduleGenerator"),
        QSettings::NativeFormat);
    return uninstall.value(QStringLiteral("InstallLocation")).toString();
#else
    return QStringLiteral(VELMO_INSTALL_BINDIR);
#endif
}

std::string userDataDirectory() {
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (directory.isEmpty() || !QDir().mkpath(directory))
        return {};
    return QDir::toNativeSeparators(directory).toStdString();
}

} // namespace

std::string DocumentsDirectory() {
#ifndef _WIN32
    // A program run from a folder of its own keeps its dialogs there, as it always has; an installed
    // one keeps its files in a hidden data folder, where nobody looks for schedules or media.
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!sameDirectory(programDir, installDirectory()) && canCreateFilesIn(programDir))
        return {};
#endif
    // A desktop without a Documents folder (a bare Linux account) has its home.
    for (const auto location : {QStandardPaths::DocumentsLocation, QStandardPaths::HomeLocation}) {
        const QString directory = QStandardPaths::writableLocation(location);
        if (!directory.isEmpty() && QFileInfo(directory).isDir())
            return QDir::toNativeSeparators(QDir(directory).absolutePath() + QLatin1Char('/')).toStdString();
    }
    return {};
}

std::string ApplicationDirectory() {
    const QString programDir = QCoreApplication::applicationDirPath();
    return ChooseAppPath(QDir::toNativeSeparators(programDir).toStdString(),
                         sameDirectory(programDir, installDirectory()), canCreateFilesIn(programDir),
                         userDataDirectory);
}

} // namespace velmo
