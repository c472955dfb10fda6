#pragma once

#include <QString>
#include <vector>

namespace velmo {

// A mounted volume; the copy dialog calls it a drive and names it by its mount point.
struct Volume {
    QString mountPoint;
    QString fileSystemType;
};

class VolumeList {
public:
    virtual ~VolumeList() = default;
    // Mounted, valid and ready volumes, pseudo file systems left out.
    virtual std::vector<Volume> volumes() = 0;
    // False when the drive cannot be listed now (medium removed, not mounted).
    virtual bool isReady(const QString& mountPoint) = 0;
};

class SystemVolumeList final : public VolumeList {
public:
    std::vector<Volume> volumes() override;
    bool isReady(const QString& mountPoint) override;
};

} // namespace velmo
