#include "publish_settings.h"

#include "file_system.h"
#include "safe_file.h"
#include "whole_file.h"

#include <algorithm>
#include <optional>

namespace velmo {

namespace {

// A small regular file whole; nothing when it is missing, larger than limit or cannot be read.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    WholeFile file;
    if (!ReadWholeFile(path, limit, file) || file.longer)
        return std::nullopt;
    return std::move(file.bytes);
}

constexpr char kPublishSettingsHeader[] = "velmo publish 1";
constexpr char kDestinationKey[] = "to=";
constexpr char kMediaKey[] = "media=";
constexpr char kCopiesKey[] = "copies=";
constexpr std::size_t kMaxPublishSettingsLength = 64 << 10;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A remembered directory is an absolute path on one line, nothing else.
bool plausibleDirectory(const std::string& text) {
    return IsAbsolutePath(text) &&
           std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

} // namespace

PublishSettings ReadPublishSettings(const std::string& appPath) {
    const std::string path = WithTrailingSeparator(appPath) + kPublishSettingsFileName;
    const std::optional<std::string> read = readSmallFile(path, kMaxPublishSettingsLength);
    if (!read)
        return {};
    const std::string& text = *read;

    PublishSettings settings;
    std::size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return {}; // cut short
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (header) {
            if (line != kPublishSettingsHeader)
                return {};
            header = false;
        } else if (startsWith(line, kDestinationKey) && settings.destination.empty() &&
                   plausibleDirectory(line.substr(sizeof kDestinationKey - 1))) {
            settings.destination = line.substr(sizeof kDestinationKey - 1);
        } else if (startsWith(line, kMediaKey) && plausibleDirectory(line.substr(sizeof kMediaKey - 1))) {
            settings.mediaDirs.push_back(line.substr(sizeof kMediaKey - 1));
        } else if (startsWith(line, kCopiesKey) && settings.playerCopiesDir.empty() &&
                   plausibleDirectory(line.substr(sizeof kCopiesKey - 1))) {
            settings.playerCopiesDir = line.substr(sizeof kCopiesKey - 1);
        } else {
            return {};
        }
    }
    return header ? PublishSettings{} : settings;
}

Result WritePublishSettings(const std::string& appPath, const PublishSettings& settings, FileIo& io) {
    std::string text = std::string(kPublishSettingsHeader) + "\n";
    if (plausibleDirectory(settings.destination))
        text += kDestinationKey + settings.destination + "\n";
    for (const std::string& dir : settings.mediaDirs)
        if (plausibleDirectory(dir))
            text += kMediaKey + dir + "\n";
    if (plausibleDirectory(settings.playerCopiesDir))
        text += kCopiesKey + settings.playerCopiesDir + "\n";
    return WriteFileAtomically(WithTrailingSeparator(appPath) + kPublishSettingsFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
}

void PublishSettingsStore::read(const std::string& appPath) {
    appPath_ = appPath;
    settings_ = ReadPublishSettings(appPath);
}

Result PublishSettingsStore::remember(const PublishSettings& settings, FileIo& io) {
    // A file nothing changed is left as it is (its time, a folder that is read-only).
    if (settings == settings_)
        return Result::success();
    settings_ = settings;
    // Never read: there is no program folder to write into, and the current directory is no place.
    if (appPath_.empty())
        return Result::failure("no settings folder");
    return WritePublishSettings(appPath_, settings_, io);
}

} // namespace velmo
