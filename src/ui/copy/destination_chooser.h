#pragma once

#include "ui/platform/volumes.h"

#include <QObject>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace velmo {

struct AppContext;
class DirectoryList;

// The drive and directory a file goes to, as Copy to... and Write to Player Medium choose it: the
// drives asked off the window's thread, the directory list, and the destination they show. A drive
// picked is opened at its top directory once it answers, or named in a "Device[...] Error!". The
// window lays the controls out and says what a choice means.
class DestinationChooser final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DestinationChooser)
public:
    // The controls are made in `window`, named prefix + "Drive", "Dir" and "Text".
    DestinationChooser(AppContext& context, const QString& prefix, QWidget* window);

    QComboBox* drive() const { return drive_; }
    DirectoryList* directory() const { return directory_; }
    QLineEdit* text() const { return text_; }
    QLabel* notAnswering() const { return notAnswering_; }
    const VolumeScan& scan() const { return scanner_->result(); }

    // Asks the drives; volumesListed follows once each has answered or its time is up.
    void start();
    // Picking a drive and opening a directory count as the user's choice only while taking.
    bool taking() const { return taking_; }
    void setTaking(bool taking) { taking_ = taking; }
    // Opens `directory` below `drive`, a listed drive that is ready, and shows it; `then` hears
    // whether it could.
    void show(const QString& drive, const QString& directory, std::function<void(bool shown)> then);
    // Opens `directory` below the file-system root with no drive picked.
    void showBelowRoot(const QString& directory, std::function<void()> then);
    void showNone();

signals:
    void volumesListed();
    // A drive was picked and is asked; nothing can be chosen meanwhile.
    void driveAsked();
    void driveAnswered();
    void driveOpened(const QString& drive);
    // The drive picked did not answer, is not ready or cannot be listed; the user has been told.
    void driveFailed(const QString& drive);
    // The user opened a directory (a drive's top one included); the destination shows it.
    void directoryChosen(const QString& path);

private:
    void ShowVolumes();
    void Drive_Change();
    void Dir_Change();

    AppContext& context_;
    QWidget* window_;
    VolumeScanner* scanner_;
    bool taking_ = false;
    QComboBox* drive_;
    DirectoryList* directory_;
    QLineEdit* text_;
    QLabel* notAnswering_;
};

} // namespace velmo
