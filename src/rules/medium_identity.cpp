#include "medium_identity.h"

#include "model/file_system.h"
#include "model/schedule_file.h"
#include "rules/schedule_difference.h"
#include "rules/schedule_horizon.h"
#include "rules/schedule_rules.h"
#include "texts/screen_texts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace velmo {

namespace {

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    return path;
}

#ifndef _WIN32
// The mount table writes a space as \040 and so on.
std::string unescapeOctal(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// udev names a label's space as \x20.
std::string unescapeHex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 2, 2);
            if (digits.size() == 2 &&
                digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                out += static_cast<char>(std::strtol(digits.c_str(), nullptr, 16));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string realPath(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

struct MountLine {
    std::string mountPoint;
    std::string source;
};

std::vector<MountLine> readMountTable() {
    std::vector<MountLine> mounts;
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, word;
        fields >> id >> parent >> numbers >> root >> mountPoint;
        while (fields >> word && word != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        if (!mountPoint.empty())
            mounts.push_back({unescapeOctal(mountPoint), unescapeOctal(source)});
    }
    return mounts;
}

// The name under /dev/disk/<folder> that leads to the device, if any.
std::string diskName(const char* folder, const std::string& device) {
    if (device.rfind("/dev/", 0) != 0)
        return {};
    const std::string target = realPath(device);
    const std::string base = std::string("/dev/disk/") + folder + "/";
    std::string found;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && realPath(base + name) == target) {
                found = unescapeHex(name);
                break;
            }
        }
        ::closedir(dir);
    }
    return found;
}
#endif

// The directory with links resolved where they can be.
std::string resolved(const std::string& directory) {
#ifdef _WIN32
    return directory;
#else
    return realPath(directory);
#endif
}

#ifdef _WIN32
std::wstring wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), length);
    out.resize(std::wcslen(out.c_str()));
    return out;
}

std::string narrow(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}
#endif

} // namespace

std::vector<std::string> MountPoints() {
    std::vector<std::string> points;
#ifndef _WIN32
    for (const MountLine& mount : readMountTable())
        points.push_back(mount.mountPoint);
#endif
    return points;
}

MediumIdentity IdentifyMedium(const std::string& directory) {
    MediumIdentity identity;
#ifdef _WIN32
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(wide(directory).c_str(), root, MAX_PATH))
        return identity;
    wchar_t name[MAX_PATH + 1] = {};
    DWORD serial = 0;
    identity.mountPoint = narrow(root);
    if (GetVolumeInformationW(root, name, MAX_PATH, &serial, nullptr, nullptr, nullptr, 0)) {
        char text[16];
        std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                      static_cast<unsigned>(serial & 0xffff));
        identity.uuid = text;
        identity.label = narrow(name);
    }
    identity.device = identity.mountPoint;
#else
    const std::string path = withoutTrailingSeparator(realPath(directory));
    const std::vector<MountLine> mounts = readMountTable();
    std::vector<std::string> points;
    for (const MountLine& mount : mounts)
        points.push_back(mount.mountPoint);
    const std::string at = MountPointOf(path, points);
    // The one on top: the mount table lists a mount point mounted over again later.
    for (const MountLine& mount : mounts)
        if (mount.mountPoint == at) {
            identity.mountPoint = at;
            identity.device = mount.source;
        }
    identity.uuid = diskName("by-uuid", identity.device);
    identity.label = diskName("by-label", identity.device);
#endif
    return identity;
}

bool InRemovablePlace(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    return path.rfind("/media/", 0) == 0 || path.rfind("/run/media/", 0) == 0;
#endif
}

bool IsBareMediumMountPoint(const std::string& directory, const std::vector<std::string>& mountPoints) {
    const std::string path = withoutTrailingSeparator(directory);
    if (!InRemovablePlace(path + "/"))
        return false;
    const std::string at = MountPointOf(path, mountPoints);
    return !InRemovablePlace(withoutTrailingSeparator(at) + "/") ||
           withoutTrailingSeparator(at) == "/media" || withoutTrailingSeparator(at) == "/run/media";
}

bool SameMedium(const MediumIdentity& remembered, const MediumIdentity& now) {
    if (!remembered.known())
        return true;
    if (!remembered.uuid.empty())
        return remembered.uuid == now.uuid;
    if (!remembered.label.empty())
        return remembered.label == now.label && remembered.mountPoint == now.mountPoint;
    return remembered.mountPoint == now.mountPoint && remembered.device == now.device;
}

std::string MediumName(const MediumIdentity& identity, const std::string& directory) {
    if (!identity.label.empty())
        return identity.label;
    return withoutTrailingSeparator(directory);
}

std::optional<std::string> MediumAbsence(const std::string& directory, const MediumIdentity& remembered,
                                         const ScreenTexts& texts) {
    const auto absent = [&] {
        return FillIn(texts.text(TextId::MsgMediumNotThere), {MediumName(remembered, directory)});
    };
    if (IsBareMediumMountPoint(resolved(directory), MountPoints()))
        return absent();
    if (remembered.known() && !SameMedium(remembered, IdentifyMedium(directory)))
        return absent();
    return std::nullopt;
}

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The schedule files in the directory, as named there.
std::vector<std::string> scheduleFilesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && upper(name.substr(name.size() - 4)) == ".VLM" && name[0] != '.')
                names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::vector<std::string> MediumLines(const PublishSettings& history, const MediumIdentity& medium,
                                     const std::string& destination, const std::string& scheduleName,
                                     const Schedule& schedule, const CivilDate& today,
                                     const ScreenTexts& texts) {
    std::vector<std::string> lines;
    const std::string dir = WithTrailingSeparator(destination);
    const std::vector<std::string> onMedium = scheduleFilesIn(dir);
    std::string same;
    std::vector<std::string> others;
    for (const std::string& name : onMedium)
        (upper(name) == upper(scheduleName) ? same : others.emplace_back()) = name;
    const MediumWrite* last = medium.known() ? LastWriteTo(history, MediumKey(medium)) : nullptr;
    if (last && upper(last->scheduleName) != upper(scheduleName))
        lines.push_back(FillIn(texts.text(TextId::MsgMediumLastSchedule),
                               {last->scheduleName, last->date, scheduleName}));
    else if (!last && !others.empty()) {
        std::string names;
        for (const std::string& name : others)
            names += (names.empty() ? "" : ", ") + name;
        lines.push_back(FillIn(texts.text(TextId::MsgMediumForeignSchedule), {names}));
    }
    Schedule old;
    if (!same.empty() && ReadScheduleFile(dir, same, old)) {
        lines.push_back(texts.text(TextId::TextChangesOnMedium));
        for (const std::string& line : ScheduleDifferenceLines(old, schedule, texts))
            lines.push_back("  " + line);
    } else {
        lines.push_back(FillIn(texts.text(TextId::TextMediumNewSchedule), {scheduleName}));
    }
    const std::vector<std::string> horizon = ScheduleHorizonLines(schedule, today, texts);
    lines.insert(lines.end(), horizon.begin(), horizon.end());
    return lines;
}

std::string MediumKey(const MediumIdentity& identity) {
    if (!identity.uuid.empty())
        return "uuid:" + identity.uuid;
    if (!identity.label.empty())
        return "label:" + identity.label;
    return "at:" + identity.mountPoint;
}

} // namespace velmo
