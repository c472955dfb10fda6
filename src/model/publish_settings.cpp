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
constexpr char kMediumKeys[4][16] = {"medium-uuid=", "medium-label=", "medium-at=", "medium-device="};
constexpr char kWrittenKey[] = "written=";
constexpr std::size_t kMaxWrites = 100;

// One line of text: no control characters, so it cannot break the file's lines.
bool plainText(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

// "key<TAB>NAME.VLM<TAB>YYYY-MM-DD".
std::optional<MediumWrite> parseWrite(const std::string& text) {
    const std::size_t first = text.find('\t');
    const std::size_t second = first == std::string::npos ? first : text.find('\t', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    MediumWrite write{text.substr(0, first), text.substr(first + 1, second - first - 1),
                      text.substr(second + 1)};
    if (write.medium.empty() || write.scheduleName.empty() || !plainText(write.medium) ||
        !plainText(write.scheduleName) || !plainText(write.date))
        return std::nullopt;
    return write;
}
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
        } else if (startsWith(line, kWrittenKey)) {
            if (const auto write = parseWrite(line.substr(sizeof kWrittenKey - 1)))
                settings.written.push_back(*write);
            else
                return {};
        } else if (std::any_of(std::begin(kMediumKeys), std::end(kMediumKeys),
                               [&line](const char* key) { return startsWith(line, key); })) {
            std::string* fields[] = {&settings.destinationMedium.uuid, &settings.destinationMedium.label,
                                     &settings.destinationMedium.mountPoint,
                                     &settings.destinationMedium.device};
            for (std::size_t k = 0; k < 4; ++k)
                if (startsWith(line, kMediumKeys[k]))
                    *fields[k] = line.substr(std::string(kMediumKeys[k]).size());
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
    const MediumIdentity& medium = settings.destinationMedium;
    const std::string* fields[] = {&medium.uuid, &medium.label, &medium.mountPoint, &medium.device};
    if (medium.known())
        for (std::size_t k = 0; k < 4; ++k)
            if (!fields[k]->empty() && plainText(*fields[k]))
                text += kMediumKeys[k] + *fields[k] + "\n";
    for (const MediumWrite& write : settings.written)
        if (plainText(write.medium) && plainText(write.scheduleName) && plainText(write.date) &&
            !write.medium.empty() && !write.scheduleName.empty())
            text += kWrittenKey + write.medium + "\t" + write.scheduleName + "\t" + write.date + "\n";
    return WriteFileAtomically(WithTrailingSeparator(appPath) + kPublishSettingsFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
}

const MediumWrite* LastWriteTo(const PublishSettings& settings, const std::string& mediumKey) {
    for (const MediumWrite& write : settings.written)
        if (write.medium == mediumKey)
            return &write;
    return nullptr;
}

void RememberWrite(PublishSettings& settings, MediumWrite write) {
    auto& all = settings.written;
    all.erase(std::remove_if(all.begin(), all.end(),
                             [&write](const MediumWrite& old) { return old.medium == write.medium; }),
              all.end());
    all.insert(all.begin(), std::move(write));
    if (all.size() > kMaxWrites)
        all.resize(kMaxWrites);
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
