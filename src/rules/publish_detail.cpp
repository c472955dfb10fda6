#include "publish_detail.h"

#include "model/schedule_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace velmo::publish_detail {

namespace {

std::optional<FileFacts> factsOf(const struct stat& info) {
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    FileFacts facts;
    facts.found = true;
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.mtimeNs = std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
    facts.device = info.st_dev;
    facts.inode = info.st_ino;
    return facts;
}

} // namespace

std::optional<FileFacts> regularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? factsOf(info) : std::nullopt;
}

std::optional<FileFacts> mediumFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? factsOf(info) : std::nullopt;
}

const std::string& nonRegularKind(const std::string& path, const ScreenTexts& texts) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return texts.text(TextId::TextKindGone);
    if (S_ISDIR(info.st_mode))
        return texts.text(TextId::TextKindDirectory);
    if (S_ISLNK(info.st_mode))
        return texts.text(TextId::TextKindSymbolicLink);
    return texts.text(S_ISREG(info.st_mode) ? TextId::TextKindRegularFile : TextId::TextKindOther);
}

std::string errnoText() {
    return std::strerror(errno);
}

std::uint64_t scheduleFileBound(const Schedule& schedule) {
    std::uint64_t length = kScheduleHeaderLength + 255;
    if (schedule.basicCount > 0)
        length += kMarkerLength +
                  std::uint64_t{kFileRecordLength} * static_cast<std::uint64_t>(schedule.basicCount);
    for (int i = 0; i < schedule.advanceCount; ++i)
        length += kMarkerLength + kAdvanceRecordLength +
                  std::uint64_t{kFileRecordLength} *
                      static_cast<std::uint64_t>(std::max<int>(0, schedule.advanceEntries[i].fileCount));
    return length;
}

} // namespace velmo::publish_detail
