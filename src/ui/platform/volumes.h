#pragma once

#include "off_thread.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;

namespace velmo {

class ScreenTexts;

// A mounted volume; the copy dialog calls it a drive and names it by its mount point.
struct Volume {
    QString mountPoint;
    QString fileSystemType;
    bool removable = false; // mounted where the desktop mounts removable media
};

// Both calls may block for as long as a volume takes to answer: call them off the window's thread
// (VolumeScanner does).
// Names the volumes that did not answer in `label`, or hides it when all did.
void ShowNotAnswering(QLabel* label, const ScreenTexts& texts, const QStringList& notAnswering);

class VolumeList {
public:
    virtual ~VolumeList() = default;
    // Mounted volumes, pseudo file systems left out, from the mount table alone (no volume is asked).
    virtual std::vector<Volume> volumes() = 0;
    // False when the drive cannot be listed now (medium removed, not mounted).
    virtual bool isReady(const QString& mountPoint) = 0;
};

class SystemVolumeList final : public VolumeList {
public:
    std::vector<Volume> volumes() override;
    bool isReady(const QString& mountPoint) override;
};

// A volume that has not answered by then is taken as not answering.
inline constexpr std::chrono::milliseconds kVolumeAnswerTime{2000};

struct VolumeScan {
    std::vector<Volume> listed; // every volume that answered, ready or not
    QStringList ready;          // mount points of the listed volumes that can be listed now
    QStringList notAnswering;   // mount points that did not answer in time, left out of `listed`
};

// The first ready removable medium, or nothing.
QString FirstRemovableMedium(const VolumeScan& scan);

// Lists the volumes and asks each whether it is ready, all off the window's thread, and emits
// `finished` once every volume has answered or its time is up.
class VolumeScanner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VolumeScanner)
public:
    // `list` must outlive every call made on it, which may be long after the scanner is gone.
    explicit VolumeScanner(VolumeList& list, QObject* parent = nullptr) : QObject(parent), list_(list) {}
    ~VolumeScanner() override;
    void start();
    // Asks one drive whether it is ready; `done` gets nothing when it does not answer in time.
    void askReady(const QString& mountPoint, std::function<void(std::optional<bool>)> done);
    const VolumeScan& result() const { return scan_; }

signals:
    void finished();

private:
    void answered(std::size_t index, std::optional<bool> ready);

    // Runs `call` on the list off the window's thread, counted until it returns.
    void ask(std::function<bool(VolumeList&)> call, std::function<void(std::optional<bool>)> done);

    VolumeList& list_;
    std::vector<Volume> asked_;
    std::vector<std::optional<bool>> answers_;
    int pending_ = 0;
    VolumeScan scan_;
    // One for each question still under way: the drives are asked all at once.
    std::vector<std::unique_ptr<BackgroundRequests>> asking_;
};

} // namespace velmo
