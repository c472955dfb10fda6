#pragma once

// What planning and carrying out a publish share; not for use outside the publish engine.

#include "model/schedule.h"
#include "texts/screen_texts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace velmo::publish_detail {

struct FileFacts {
    bool found = false;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// The regular file at path; nothing when it is missing or anything else.
std::optional<FileFacts> regularFile(const std::string& path);

// The same, looked at without following a link: the medium's files.
std::optional<FileFacts> mediumFile(const std::string& path);
// "a directory", "a symbolic link", ... for what lies at path.
const std::string& nonRegularKind(const std::string& path, const ScreenTexts& texts);

std::string errnoText();

// Upper bound of the schedule file's length: header, the largest key region, markers and records.
std::uint64_t scheduleFileBound(const Schedule& schedule);

} // namespace velmo::publish_detail
