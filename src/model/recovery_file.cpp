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

constexpr char kRecoveryMagic[] = "VELMO-RECOVERY 1\n";
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

Result WriteRecoveryFile(const std::string& path, const RecoveredSchedule& kept, RandomSource& random) {
    std::vector<std::uint8_t> encoded;
    if (Result r = EncodeSchedule(kept.schedule, random, encoded); !r)
        return r;
    std::vector<std::uint8_t> bytes(kRecoveryMagic, kRecoveryMagic + sizeof kRecoveryMagic - 1);
    appendText(bytes, kept.directory);
    appendText(bytes, kept.fileName);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
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
        return RecoveryRead::Damaged;
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

} // namespace velmo
