#pragma once

#include "file_io.h"
#include "result.h"

#include <string>
#include <vector>

namespace velmo {

// Where the editor last wrote to, remembered beside the settings file in a file of its own, so the
// settings file keeps the six lines everyone relies on.
inline constexpr char kPublishSettingsFileName[] = "PublishInfo.txt";

struct PublishSettings {
    std::string destination;            // empty: none remembered
    std::vector<std::string> mediaDirs; // empty: none remembered
    std::string playerCopiesDir;        // where the editor makes player copies; empty: not chosen yet
    bool operator==(const PublishSettings&) const = default;
};

// A missing, unreadable or damaged file gives empty settings.
PublishSettings ReadPublishSettings(const std::string& appPath);
Result WritePublishSettings(const std::string& appPath, const PublishSettings& settings,
                            FileIo& io = FileIo::system());

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
