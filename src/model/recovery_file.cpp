#include "recovery_file.h"

#include "safe_file.h"
#include "schedule_file.h"
#include "whole_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace velmo {

namespace {

constexpr char kRecoveryMagicName[] = "VELMO-RECOVERY ";
constexpr char kRecoveryMagic[] = "VELMO-RECOVERY 1\n";
constexpr char kFailureSuffix[] = ".not-kept";
constexpr int kMaxRecoveryFiles = 100;

// "VELMO-RECOVERY N\n" with N above this version's.
bool newerFormat(const std::vector<std::uint8_t>& bytes) {
    const std::string name = kRecoveryMagicName;
    if (bytes.size() <= name.size() || !std::equal(name.begin(), name.end(), bytes.begin()))
        return false;
    std::size_t pos = name.size();
    long version = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9' && version < 1000000)
        version = version * 10 + (bytes[pos++] - '0');
    return pos < bytes.size() && bytes[pos] == '\n' && version > 1;
}

std::string numbered(const std::string& path, int n) {
    return n == 1 ? path : path + "." + std::to_string(n);
}

// Where a failure is noted when the recovery file's own directory takes nothing.
std::string fallbackNotePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error)
        return {};
    return (temp / ("velmo-" + std::to_string(std::hash<std::string>{}(path)) + kFailureSuffix)).string();
}
// Longer texts cannot be a directory or a file name.
constexpr std::size_t kMaxTextLength = 4096;

void appendText(std::vector<std::uint8_t>& bytes, const std::string& text) {
    const std::string length = std::to_string(text.size()) + "\n";
    bytes.insert(bytes.end(), length.begin(), length.end());
    bytes.insert(bytes.end(), text.begin(), text.end());
}

bool readText(const std::vector<std::uint8_t>& bytes, std::size_t& pos, std::string& text) {
    std::size_t length = 0;
    std::size_t digits = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9' && digits < 5) {
        length = length * 10 + (bytes[pos] - '0');
        ++pos;
        ++digits;
    }
    if (digits == 0 || pos >= bytes.size() || bytes[pos] != '\n' || length > kMaxTextLength)
        return false;
    ++pos;
    if (bytes.size() - pos < length)
        return false;
    text.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                bytes.begin() + static_cast<std::ptrdiff_t>(pos + length));
    pos += length;
    return true;
}

} // namespace

Result EncodeRecoveryFile(const RecoveredSchedule& kept, RandomSource& random,
                          std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> encoded;
    if (Result r = EncodeSchedule(kept.schedule, random, encoded); !r)
        return r;
    bytes.assign(kRecoveryMagic, kRecoveryMagic + sizeof kRecoveryMagic - 1);
    appendText(bytes, kept.directory);
    appendText(bytes, kept.fileName);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    return Result::success();
}

Result WriteRecoveryFile(const std::string& path, const RecoveredSchedule& kept, RandomSource& random) {
    std::vector<std::uint8_t> bytes;
    if (Result r = EncodeRecoveryFile(kept, random, bytes); !r)
        return r;
    return WriteFileAtomically(path, bytes);
}

RecoveryRead ReadRecoveryFile(const std::string& path, RecoveredSchedule& kept) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return RecoveryRead::Absent;
    // Two texts and a schedule file at most; a pipe or device left under the name never blocks a start.
    constexpr std::size_t limit = sizeof kRecoveryMagic + 2 * (6 + kMaxTextLength) + kMaxScheduleFileLength;
    WholeFile file;
    if (!ReadWholeFile(path, limit, file) || file.longer)
        return RecoveryRead::Damaged;
    const std::vector<std::uint8_t> bytes(file.bytes.begin(), file.bytes.end());
    const std::string magic = kRecoveryMagic;
    if (bytes.size() < magic.size() || !std::equal(magic.begin(), magic.end(), bytes.begin()))
        return newerFormat(bytes) ? RecoveryRead::Newer : RecoveryRead::Damaged;
    std::size_t pos = magic.size();
    RecoveredSchedule read;
    if (!readText(bytes, pos, read.directory) || !readText(bytes, pos, read.fileName))
        return RecoveryRead::Damaged;
    if (!DecodeSchedule(bytes.data() + pos, bytes.size() - pos, read.schedule))
        return RecoveryRead::Damaged;
    kept = std::move(read);
    return RecoveryRead::Read;
}

std::string SetRecoveryFileAside(const std::string& path) {
    std::error_code error;
    for (int n = 0; n < 1000; ++n) {
        const std::string aside = path + ".damaged" + (n == 0 ? std::string() : std::to_string(n));
        if (std::filesystem::exists(aside, error))
            continue;
        std::filesystem::rename(path, aside, error);
        return error ? std::string() : aside;
    }
    return {};
}

std::string FreeRecoveryPath(const std::string& path) {
    std::error_code error;
    for (int n = 1; n < kMaxRecoveryFiles; ++n)
        if (!std::filesystem::exists(numbered(path, n), error) && !error)
            return numbered(path, n);
    return numbered(path, kMaxRecoveryFiles);
}

std::vector<std::string> RecoveryFilesNewestFirst(const std::string& path) {
    std::vector<std::pair<std::filesystem::file_time_type, std::string>> found;
    for (int n = 1; n <= kMaxRecoveryFiles; ++n) {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(numbered(path, n), error);
        if (!error)
            found.emplace_back(time, numbered(path, n));
    }
    // Equal times (a coarse clock): the higher number was written later.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

void NoteRecoveryFailure(const std::string& path, const std::string& reason) {
    const std::vector<std::uint8_t> bytes(reason.begin(), reason.end());
    if (!WriteFileAtomically(path + kFailureSuffix, bytes)) {
        const std::string fallback = fallbackNotePath(path);
        if (!fallback.empty())
            (void)WriteFileAtomically(fallback, bytes);
    }
}

std::optional<std::string> TakeRecoveryFailure(const std::string& path) {
    std::optional<std::string> reason;
    for (const std::string& note : {path + kFailureSuffix, fallbackNotePath(path)}) {
        if (note.empty())
            continue;
        WholeFile file;
        if (ReadWholeFile(note, kMaxTextLength, file) && !reason)
            reason = std::string(file.bytes.begin(), file.bytes.end());
        std::error_code error;
        std::filesystem::remove(note, error);
    }
    return reason;
}

} // namespace velmo
