#pragma once

#include "file_io.h"
#include "random_source.h"
#include "result.h"
#include "schedule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

inline constexpr char kScheduleMagic[] = "VELMO";
inline constexpr char kScheduleKernelVersion[] = "0100KERNEL0000061018";
constexpr int kScheduleHeaderLength = 50;
constexpr int kFileRecordLength = 30;
constexpr int kAdvanceRecordLength = 15;
constexpr int kMarkerLength = 2;
// Header, the largest key region and every count at 255: no schedule file is longer.
constexpr std::size_t kMaxScheduleFileLength = kScheduleHeaderLength + 255 + 2 + 255 * kFileRecordLength +
                                               255 * (2 + kAdvanceRecordLength + 255 * kFileRecordLength);

// Header positions, counted from 1.
constexpr int kPosKeyRegionLength = 31;
constexpr int kPosKeyOffset = 33;
constexpr int kPosKeyLength = 35;
constexpr int kPosBasicCount = 41;
constexpr int kPosAdvanceCount = 42;

// Ranges the writer draws the key parameters from: R in 100..255, O in 0..R-50, L in 30..50.
constexpr int kMinKeyRegionLength = 100;
constexpr int kKeySlack = 50;
constexpr int kMinKeyLength = 30;
constexpr int kMaxKeyLength = 50;
// Key region and filler bytes are drawn from 0..127.
constexpr int kMaxRandomByte = 127;

std::uint8_t ScrambleByte(std::uint8_t plain, const std::uint8_t* key, int keyLength, int& keyIndex);
std::uint8_t DescrambleByte(std::uint8_t stored, const std::uint8_t* key, int keyLength, int& keyIndex);

// Encodes the schedule as the bytes of a schedule file. Fails, producing nothing, for a schedule it
// cannot encode exactly (a count above 255, a byte that would not fit once scrambled).
Result EncodeSchedule(const Schedule& schedule, RandomSource& random, std::vector<std::uint8_t>& bytes);

// Decodes a schedule file into `schedule`, which is replaced only when the whole file decoded.
// A failure names what was wrong and at which byte position (counted from 1).
Result DecodeSchedule(const std::uint8_t* data, std::size_t size, Schedule& schedule);

// Writes directory + name so that it holds either its old content or the whole new schedule.
Result WriteScheduleFile(const std::string& directory, const std::string& name, const Schedule& schedule,
                         RandomSource& random, FileIo& io = FileIo::system());

// Reads directory + name; `schedule` is left exactly as it was unless the whole file decoded.
Result ReadScheduleFile(const std::string& directory, const std::string& name, Schedule& schedule,
                        FileIo& io = FileIo::system());

} // namespace velmo
