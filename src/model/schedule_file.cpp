#include "schedule_file.h"

#include "safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

namespace {

constexpr int kMaxCount = 255;
// Header, the largest key region and every count at 255: no schedule file is longer.
constexpr std::size_t kMaxScheduleFileLength = kScheduleHeaderLength + 255 + 2 + 255 * kFileRecordLength +
                                               255 * (2 + kAdvanceRecordLength + 255 * kFileRecordLength);


std::string describe(const std::string& what, const char* field) {
    return field ? what + " " + field : what;
}

std::string entryName(const char* kind, int index) {
    return std::string(kind) + " " + std::to_string(index + 1);
}

// One draw turned into a byte: r * scale + base, halves rounded to the even neighbour.
class Draws {
public:
    explicit Draws(RandomSource& random) : random_(random) {}

    std::uint8_t next(double scale, double base = 0.0) {
        double r = random_.next();
        // A broken source must not push the byte out of range.
        if (!(r >= 0.0))
            r = 0.0;
        if (r >= 1.0)
            r = std::nextafter(1.0, 0.0);
        return static_cast<std::uint8_t>(std::nearbyint(r * scale + base));
    }
    std::uint8_t headerByte() { return next(255.0); }
    std::uint8_t fillerByte() { return next(kMaxRandomByte); }

private:
    RandomSource& random_;
};

class Encoder {
public:
    Encoder(Draws& draws, std::vector<std::uint8_t>& out) : draws_(draws), out_(out) {}

    void setKey(std::vector<std::uint8_t> key) { key_ = std::move(key); }

    // Scrambles and appends; false (with reason set) when the sum would not fit in a byte.
    bool put(std::uint8_t plain, const std::string& what, const char* field = nullptr) {
        if (plain + key_[static_cast<std::size_t>(keyIndex_)] > 255) {
            reason_ = "cannot encode byte " + std::to_string(out_.size() + 1) + " (" + describe(what, field) +
                      "): value " + std::to_string(plain) + " plus key byte " +
                      std::to_string(key_[keyIndex_]) + " exceeds 255";
            return false;
        }
        out_.push_back(ScrambleByte(plain, key_.data(), static_cast<int>(key_.size()), keyIndex_));
        return true;
    }

    bool putMarker(const char* marker, const std::string& what) {
        return put(static_cast<std::uint8_t>(marker[0]), what, "marker") &&
               put(static_cast<std::uint8_t>(marker[1]), what, "marker");
    }

    bool putFileRecord(const FileEntry& entry, const std::string& what) {
        for (std::uint8_t b : entry.fileName)
            if (!put(b, what, "fileName"))
                return false;
        for (std::uint8_t b : entry.fileExt)
            if (!put(b, what, "fileExt"))
                return false;
        if (!put(entry.playTimes, what, "playTimes"))
            return false;
        for (std::uint8_t b : entry.reserved)
            if (!put(b, what, "reserved"))
                return false;
        return put(entry.volume, what, "volume") && put(draws_.fillerByte(), what, "filler") &&
               put(draws_.fillerByte(), what, "filler");
    }

    bool putAdvanceRecord(const AdvanceEntry& e, const std::string& what) {
        const std::uint8_t values[] = {e.startYear,   e.startMonth, e.startDay,  e.startHour, e.startMinute,
                                       e.startSecond, e.stopYear,   e.stopMonth, e.stopDay,   e.stopHour,
                                       e.stopMinute,  e.stopSecond, e.weekDay};
        for (std::uint8_t b : values)
            if (!put(b, what))
                return false;
        return put(draws_.fillerByte(), what, "filler") &&
               put(static_cast<std::uint8_t>(e.fileCount & 0xFF), what, "fileCount");
    }

    const std::string& reason() const { return reason_; }

private:
    Draws& draws_;
    std::vector<std::uint8_t>& out_;
    std::vector<std::uint8_t> key_;
    int keyIndex_ = 0;
    std::string reason_;
};

Result checkCount(const char* what, long count, std::size_t available) {
    if (count < 0 || count > kMaxCount)
        return Result::failure(std::string(what) + " " + std::to_string(count) +
                               " cannot be stored (0 to 255)");
    if (static_cast<std::size_t>(count) > available)
        return Result::failure(std::string(what) + " " + std::to_string(count) + " exceeds the " +
                               std::to_string(available) + " entries held");
    return Result::success();
}

Result checkCounts(const Schedule& s) {
    if (Result r = checkCount("basicCount", s.basicCount, s.basicEntries.size()); !r)
        return r;
    if (Result r = checkCount("advanceCount", s.advanceCount, s.advanceEntries.size()); !r)
        return r;
    for (int i = 0; i < s.advanceCount; ++i) {
        const AdvanceEntry& entry = s.advanceEntries[static_cast<std::size_t>(i)];
        if (Result r = checkCount("fileCount", entry.fileCount, entry.files.size()); !r)
            return Result::failure(entryName("advance entry", i) + ": " + r.reason);
    }
    return Result::success();
}

// Reads a file's bytes in order and reports where it fails.
class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool plain(std::uint8_t& out, const std::string& what) {
        if (pos_ >= size_)
            return endOfFile(what);
        out = data_[pos_++];
        return true;
    }

    bool skip(std::size_t count, const std::string& what) {
        if (size_ - pos_ < count) {
            pos_ = size_;
            return endOfFile(what);
        }
        pos_ += count;
        return true;
    }

    void setKey(const std::uint8_t* key, int length) {
        key_ = key;
        keyLength_ = length;
        keyIndex_ = 0;
    }

    bool scrambled(std::uint8_t& out, const std::string& what, const char* field = nullptr) {
        if (pos_ >= size_)
            return endOfFile(describe(what, field));
        const std::uint8_t stored = data_[pos_];
        const std::uint8_t key = key_[keyIndex_];
        if (stored < key)
            return fail("byte " + std::to_string(pos_ + 1) + " (" + describe(what, field) + ") holds " +
                        std::to_string(stored) + ", less than its key byte " + std::to_string(key));
        out = DescrambleByte(stored, key_, keyLength_, keyIndex_);
        ++pos_;
        return true;
    }

    template <std::size_t N>
    bool scrambled(std::array<std::uint8_t, N>& out, const std::string& what, const char* field) {
        for (std::uint8_t& b : out)
            if (!scrambled(b, what, field))
                return false;
        return true;
    }

    bool fileRecord(FileEntry& entry, const std::string& what) {
        std::uint8_t filler = 0;
        return scrambled(entry.fileName, what, "fileName") && scrambled(entry.fileExt, what, "fileExt") &&
               scrambled(entry.playTimes, what, "playTimes") && scrambled(entry.reserved, what, "reserved") &&
               scrambled(entry.volume, what, "volume") && scrambled(filler, what, "filler") &&
               scrambled(filler, what, "filler");
    }

    bool marker(const std::string& what) {
        std::uint8_t ignored = 0;
        return scrambled(ignored, what, "marker") && scrambled(ignored, what, "marker");
    }

    std::size_t position() const { return pos_; }
    const std::string& reason() const { return reason_; }
    bool fail(std::string why) {
        reason_ = std::move(why);
        return false;
    }

private:
    bool endOfFile(const std::string& what) {
        return fail("the file ends after " + std::to_string(size_) + " bytes; byte " +
                    std::to_string(pos_ + 1) + " (" + what + ") is missing");
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    const std::uint8_t* key_ = nullptr;
    int keyLength_ = 0;
    int keyIndex_ = 0;
    std::string reason_;
};

bool decodeInto(const std::uint8_t* data, Decoder& in, Schedule& s) {
    std::uint8_t regionLength = 0, keyOffset = 0, keyLength = 0, basicCount = 0, advanceCount = 0;
    // Magic, version and random bytes are taken as they are: only their positions matter.
    if (!in.skip(kPosKeyRegionLength - 1, "header") || !in.plain(regionLength, "key region length") ||
        !in.skip(1, "header") || !in.plain(keyOffset, "key offset") || !in.skip(1, "header") ||
        !in.plain(keyLength, "key length") || !in.skip(kPosBasicCount - kPosKeyLength - 1, "header") ||
        !in.plain(basicCount, "basicCount") || !in.plain(advanceCount, "advanceCount") ||
        !in.skip(kScheduleHeaderLength - kPosAdvanceCount, "header"))
        return false;
    const std::size_t regionStart = in.position();
    if (!in.skip(regionLength, "key region"))
        return false;
    // The key only matters once there is something to descramble.
    if (basicCount > 0 || advanceCount > 0) {
        if (keyLength == 0)
            return in.fail("byte " + std::to_string(kPosKeyLength) + ": the key length is 0");
        if (keyOffset + keyLength > regionLength)
            return in.fail("byte " + std::to_string(kPosKeyOffset) + ": a key of " +
                           std::to_string(keyLength) + " bytes at offset " + std::to_string(keyOffset) +
                           " does not fit in a key region of " + std::to_string(regionLength) + " bytes");
        in.setKey(data + regionStart + keyOffset, keyLength);
    }

    s.basicCount = basicCount;
    s.basicEntries.resize(static_cast<std::size_t>(basicCount) + 1);
    s.advanceCount = advanceCount;
    s.advanceEntries.resize(static_cast<std::size_t>(advanceCount) + 1);

    if (basicCount > 0) {
        if (!in.marker("basic section"))
            return false;
        for (int i = 0; i < basicCount; ++i)
            if (!in.fileRecord(s.basicEntries[static_cast<std::size_t>(i)], entryName("basic entry", i)))
                return false;
    }
    for (int i = 0; i < advanceCount; ++i) {
        AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
        const std::string what = entryName("advance entry", i);
        std::uint8_t filler = 0, fileCount = 0;
        if (!in.marker(what) || !in.scrambled(e.startYear, what) || !in.scrambled(e.startMonth, what) ||
            !in.scrambled(e.startDay, what) || !in.scrambled(e.startHour, what) ||
            !in.scrambled(e.startMinute, what) || !in.scrambled(e.startSecond, what) ||
            !in.scrambled(e.stopYear, what) || !in.scrambled(e.stopMonth, what) ||
            !in.scrambled(e.stopDay, what) || !in.scrambled(e.stopHour, what) ||
            !in.scrambled(e.stopMinute, what) || !in.scrambled(e.stopSecond, what) ||
            !in.scrambled(e.weekDay, what, "weekDay") || !in.scrambled(filler, what, "filler") ||
            !in.scrambled(fileCount, what, "fileCount"))
            return false;
        e.fileCount = fileCount;
        e.files.resize(static_cast<std::size_t>(fileCount) + 1);
        for (int j = 0; j < fileCount; ++j)
            if (!in.fileRecord(e.files[static_cast<std::size_t>(j)],
                               what + ", " + entryName("detail entry", j)))
                return false;
    }
    // Whatever follows the last record is not part of the schedule.
    return true;
}

} // namespace

std::uint8_t ScrambleByte(std::uint8_t plain, const std::uint8_t* key, int keyLength, int& keyIndex) {
    // Callers make sure the sum fits; a valid file never needs more than 128 + 127.
    const auto stored = static_cast<std::uint8_t>(plain + key[keyIndex]);
    if (++keyIndex >= keyLength)
        keyIndex = 0;
    return stored;
}

std::uint8_t DescrambleByte(std::uint8_t stored, const std::uint8_t* key, int keyLength, int& keyIndex) {
    // Callers make sure the stored byte is not below its key byte.
    const auto plain = static_cast<std::uint8_t>(stored - key[keyIndex]);
    if (++keyIndex >= keyLength)
        keyIndex = 0;
    return plain;
}

Result EncodeSchedule(const Schedule& schedule, RandomSource& random, std::vector<std::uint8_t>& bytes) {
    if (Result r = checkCounts(schedule); !r)
        return r;

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(ScheduleSize(schedule)) + 2 * schedule.advanceCount + 257);
    Draws draws(random);
    out.insert(out.end(), kScheduleMagic, kScheduleMagic + 5);
    out.insert(out.end(), kScheduleKernelVersion, kScheduleKernelVersion + 20);
    for (int i = 0; i < 5; ++i)
        out.push_back(draws.headerByte());
    const std::uint8_t regionLength = draws.next(255.0 - kMinKeyRegionLength, kMinKeyRegionLength);
    const std::uint8_t keyOffset = draws.next(static_cast<double>(regionLength) - kKeySlack);
    const std::uint8_t keyLength = draws.next(kMaxKeyLength - kMinKeyLength, kMinKeyLength);
    out.push_back(regionLength);
    out.push_back(draws.headerByte());
    out.push_back(keyOffset);
    out.push_back(draws.headerByte());
    out.push_back(keyLength);
    out.push_back(draws.headerByte());
    for (int i = 0; i < 4; ++i)
        out.push_back(draws.headerByte());
    out.push_back(static_cast<std::uint8_t>(schedule.basicCount));
    out.push_back(static_cast<std::uint8_t>(schedule.advanceCount));
    for (int i = 0; i < 8; ++i)
        out.push_back(draws.headerByte());

    std::vector<std::uint8_t> key(keyLength);
    for (int m = 0; m < regionLength; ++m) {
        const std::uint8_t b = draws.fillerByte();
        if (m >= keyOffset && m < keyOffset + keyLength)
            key[static_cast<std::size_t>(m - keyOffset)] = b;
        out.push_back(b);
    }

    Encoder encoder(draws, out);
    encoder.setKey(std::move(key));
    bool ok = true;
    if (schedule.basicCount > 0) {
        ok = encoder.putMarker("#1", "basic section");
        for (int i = 0; ok && i < schedule.basicCount; ++i)
            ok = encoder.putFileRecord(schedule.basicEntries[static_cast<std::size_t>(i)],
                                       entryName("basic entry", i));
    }
    for (int i = 0; ok && i < schedule.advanceCount; ++i) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        const std::string what = entryName("advance entry", i);
        ok = encoder.putMarker("#2", what) && encoder.putAdvanceRecord(e, what);
        for (int j = 0; ok && j < e.fileCount; ++j)
            ok = encoder.putFileRecord(e.files[static_cast<std::size_t>(j)],
                                       what + ", " + entryName("detail entry", j));
    }
    if (!ok)
        return Result::failure(encoder.reason());
    bytes = std::move(out);
    return Result::success();
}

Result DecodeSchedule(const std::uint8_t* data, std::size_t size, Schedule& schedule) {
    // Entries beyond the new counts are kept, as a resize keeps them; the caller's model is only
    // replaced once everything decoded.
    Schedule decoded = schedule;
    Decoder in(data, size);
    if (!decodeInto(data, in, decoded))
        return Result::failure(in.reason());
    schedule = std::move(decoded);
    return Result::success();
}

Result WriteScheduleFile(const std::string& directory, const std::string& name, const Schedule& schedule,
                         RandomSource& random, FileIo& io) {
    std::vector<std::uint8_t> bytes;
    if (Result r = EncodeSchedule(schedule, random, bytes); !r)
        return r;
    return WriteFileAtomically(directory + name, bytes, io);
}

Result ReadScheduleFile(const std::string& directory, const std::string& name, Schedule& schedule) {
    const std::string path = directory + name;
    // Non-blocking, so a named pipe cannot hang the program before it is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Result::failure("cannot open " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Result::failure("not a regular file: " + path);
    }
    // Bytes past the longest possible schedule file would be ignored anyway.
    const std::size_t wanted = std::min(static_cast<std::size_t>(info.st_size), kMaxScheduleFileLength);
    std::vector<std::uint8_t> data(wanted);
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd, data.data() + got, wanted - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            return Result::failure("cannot read " + path + ": " + why);
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(got);
    if (Result r = DecodeSchedule(data.data(), data.size(), schedule); !r)
        return Result::failure(path + ": " + r.reason);
    return Result::success();
}

} // namespace velmo
