#pragma once

#include "file_io.h"
#include "result.h"

#include <string>
#include <vector>

namespace velmo {

// Where the editor last wrote to, remembered beside the settings file in a file of its own, so the
// settings file keeps the six lines everyone relies on.
inline constexpr char kPublishSettingsFileName[] = "PublishInfo.txt";

// The volume a destination was remembered on (see rules/medium_identity.h).
struct MediumIdentity {
    std::string uuid;       // file-system UUID; on Windows the volume serial; empty when none
    std::string label;      // the volume's name; empty when none
    std::string mountPoint; // empty: nothing known
    std::string device;     // what is mounted there (/dev/sdb1, a tmpfs's name)
    bool known() const { return !mountPoint.empty(); }
    bool operator==(const MediumIdentity&) const = default;
};

// Which schedule file the editor last wrote onto a medium, and when.
struct MediumWrite {
    std::string medium;       // MediumKey of the medium
    std::string scheduleName; // as written there ("CAFE.VLM")
    std::string date;         // YYYY-MM-DD
    bool operator==(const MediumWrite&) const = default;
};

struct PublishSettings {
    std::string destination;            // empty: none remembered
    MediumIdentity destinationMedium;   // the volume the destination lay on when remembered
    std::vector<std::string> mediaDirs; // empty: none remembered
    std::string playerCopiesDir;        // where the editor makes player copies; empty: not chosen yet
    std::vector<MediumWrite> written;   // one per medium, the latest write to it
    bool operator==(const PublishSettings&) const = default;
};

// A missing, unreadable or damaged file gives empty settings.
PublishSettings ReadPublishSettings(const std::string& appPath);
Result WritePublishSettings(const std::string& appPath, const PublishSettings& settings,
                            FileIo& io = FileIo::system());

// The latest write to the medium with this key, if the editor remembers one.
const MediumWrite* LastWriteTo(const PublishSettings& settings, const std::string& mediumKey);
// Remembers a write, replacing the medium's earlier one; the oldest are forgotten beyond a hundred.
void RememberWrite(PublishSettings& settings, MediumWrite write);

// The program's publish settings: read once at start-up, written only when they change. Workers get
// copies, so nothing reads the file behind the program's back.
class PublishSettingsStore {
public:
    void read(const std::string& appPath);
    const PublishSettings& settings() const { return settings_; }
    // Takes `settings` as the program's own and writes them when they differ from the ones it held.
    // A failed write keeps them for this run; it costs the next run its starting place only.
    Result remember(const PublishSettings& settings, FileIo& io = FileIo::system());

private:
    std::string appPath_;
    PublishSettings settings_;
};

} // namespace velmo
