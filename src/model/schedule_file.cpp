#include "schedule_file.h"

#include "safe_file.h"
#include "whole_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmo {

namespace {

constexpr int kMaxCount = 255;

// What a byte belongs to, spelled out only when a message needs it: building the words for every
// entry of every file read or written would cost more than the bytes themselves.
struct Where {
    const char* kind;
    int entry = -1;  // 0-based; -1 when the kind names no entry
    int detail = -1; // 0-based detail entry within an advance entry; -1 for none

    std::string describe(const char* field = nullptr) const {
        std::string what = kind;
        if (entry >= 0)
            what.append(" ").append(std::to_string(entry + 1));
        if (detail >= 0)
            what.append(", detail entry ").append(std::to_string(detail + 1));
        if (field)
            what.append(" ").append(field);
        return what;
    }
};

// The field of each byte of a file record, for messages.
constexpr const char* kFileRecordFields[kFileRecordLength] = {
    "fileName", "fileName", "fileName", "fileName", "fileName",  "fileName", "fileName", "fileName",
    "fileName", "fileName", "fileName", "fileName", "fileName",  "fileName", "fileName", "fileName",
    "fileExt",  "fileExt",  "fileExt",  "fileExt",  "playTimes", "reserved", "reserved", "reserved",
    "reserved", "reserved", "reserved", "volume",   "filler",    "filler"};

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

// The key repeated over `length` bytes: byte n of the scrambled part goes with stream[n], which is
// what running keyIndex through the key and back to 0 gives, without a branch for every byte.
std::vector<std::uint8_t> keyStream(const std::uint8_t* key, int keyLength, std::size_t length) {
    std::vector<std::uint8_t> stream(length);
    std::size_t filled = std::min(static_cast<std::size_t>(keyLength), length);
    if (filled > 0)
        std::memcpy(stream.data(), key, filled);
    // Doubling a whole number of keys keeps the period.
    while (filled < length) {
        const std::size_t n = std::min(filled, length - filled);
        std::memcpy(stream.data() + filled, stream.data(), n);
        filled += n;
    }
    return stream;
}

// Writes the scrambled part into a buffer already sized for it: each byte plus its key byte, the
// step of ScrambleByte.
class Encoder {
public:
    Encoder(Draws& draws, std::uint8_t* out, std::size_t start, const std::uint8_t* keyStream)
        : draws_(draws), out_(out), pos_(start), start_(start), keys_(keyStream) {}

    // Scrambles and stores one byte; false (with reason set) when the sum would not fit in a byte.
    bool put(std::uint8_t plain, const Where& where, const char* field = nullptr) {
        const std::uint8_t key = keys_[pos_ - start_];
        if (plain + key > 255)
            return overflow(plain, where, field);
        out_[pos_++] = static_cast<std::uint8_t>(plain + key);
        return true;
    }

    bool putMarker(const char* marker, const Where& where) {
        return put(static_cast<std::uint8_t>(marker[0]), where, "marker") &&
               put(static_cast<std::uint8_t>(marker[1]), where, "marker");
    }

    bool putFileRecord(const FileEntry& entry, const Where& where) {
        constexpr int kBeforeFiller = 28;
        std::uint8_t plain[kBeforeFiller];
        std::memcpy(plain, entry.fileName.data(), kFileNameWidth);
        std::memcpy(plain + 16, entry.fileExt.data(), kFileExtWidth);
        plain[20] = entry.playTimes;
        std::memcpy(plain + 21, entry.reserved.data(), kReservedWidth);
        plain[27] = entry.volume;
        // Whole-record loops without an early exit, so the compiler can do many bytes at once.
        const std::uint8_t* keys = keys_ + (pos_ - start_);
        std::uint8_t overflows = 0;
        for (int i = 0; i < kBeforeFiller; ++i)
            overflows |= static_cast<std::uint8_t>(plain[i] > static_cast<std::uint8_t>(255 - keys[i]));
        if (overflows != 0) {
            for (int i = 0; i < kBeforeFiller; ++i)
                if (!put(plain[i], where, kFileRecordFields[i]))
                    return false;
        }
        std::uint8_t* out = out_ + pos_;
        for (int i = 0; i < kBeforeFiller; ++i)
            out[i] = static_cast<std::uint8_t>(plain[i] + keys[i]);
        pos_ += kBeforeFiller;
        // The filler is drawn only once everything before it fitted.
        return put(draws_.fillerByte(), where, "filler") && put(draws_.fillerByte(), where, "filler");
    }

    bool putAdvanceRecord(const AdvanceEntry& e, const Where& where) {
        const std::uint8_t values[] = {e.startYear,   e.startMonth, e.startDay,  e.startHour, e.startMinute,
                                       e.startSecond, e.stopYear,   e.stopMonth, e.stopDay,   e.stopHour,
                                       e.stopMinute,  e.stopSecond, e.weekDay};
        for (std::uint8_t b : values)
            if (!put(b, where))
                return false;
        return put(draws_.fillerByte(), where, "filler") &&
               put(static_cast<std::uint8_t>(e.fileCount & 0xFF), where, "fileCount");
    }

    const std::string& reason() const { return reason_; }

private:
    bool overflow(std::uint8_t plain, const Where& where, const char* field) {
        reason_ = "cannot encode byte " + std::to_string(pos_ + 1) + " (" + where.describe(field) +
                  "): value " + std::to_string(plain) + " plus key byte " +
                  std::to_string(keys_[pos_ - start_]) + " exceeds 255";
        return false;
    }

    Draws& draws_;
    std::uint8_t* out_;
    std::size_t pos_;
    std::size_t start_; // where the scrambled part and the key stream start
    const std::uint8_t* keys_;
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
            return Result::failure(Where{"advance entry", i}.describe() + ": " + r.reason);
    }
    return Result::success();
}

// The length of the file that holds the schedule with a key region of regionLength bytes.
std::size_t encodedLength(const Schedule& s, int regionLength) {
    std::size_t length = static_cast<std::size_t>(kScheduleHeaderLength + regionLength);
    if (s.basicCount > 0)
        length += 2 + static_cast<std::size_t>(kFileRecordLength) * static_cast<std::size_t>(s.basicCount);
    for (int i = 0; i < s.advanceCount; ++i)
        length += 2 + kAdvanceRecordLength +
                  static_cast<std::size_t>(kFileRecordLength) *
                      static_cast<std::size_t>(s.advanceEntries[static_cast<std::size_t>(i)].fileCount);
    return length;
}

// Reads a file's bytes in order and reports where it fails.
class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool plain(std::uint8_t& out, const char* what) {
        if (pos_ >= size_)
            return endOfFile(Where{what});
        out = data_[pos_++];
        return true;
    }

    bool skip(std::size_t count, const char* what) {
        if (size_ - pos_ < count) {
            pos_ = size_;
            return endOfFile(Where{what});
        }
        pos_ += count;
        return true;
    }

    // The key stream for the bytes from the current position on.
    void setKeys(const std::uint8_t* keyStream) {
        keys_ = keyStream;
        keysStart_ = pos_;
    }

    // Each byte less its key byte, the step of DescrambleByte.
    bool scrambled(std::uint8_t& out, const Where& where, const char* field = nullptr) {
        if (pos_ >= size_)
            return endOfFile(where, field);
        const std::uint8_t key = keys_[pos_ - keysStart_];
        if (data_[pos_] < key)
            return belowKey(where, field);
        out = static_cast<std::uint8_t>(data_[pos_] - key);
        ++pos_;
        return true;
    }

    bool fileRecord(FileEntry& entry, const Where& where);

    bool marker(const Where& where) {
        std::uint8_t ignored = 0;
        return scrambled(ignored, where, "marker") && scrambled(ignored, where, "marker");
    }

    std::size_t position() const { return pos_; }
    const std::string& reason() const { return reason_; }
    bool fail(std::string why) {
        reason_ = std::move(why);
        return false;
    }

private:
    bool endOfFile(const Where& where, const char* field = nullptr) {
        return fail("the file ends after " + std::to_string(size_) + " bytes; byte " +
                    std::to_string(pos_ + 1) + " (" + where.describe(field) + ") is missing");
    }

    bool belowKey(const Where& where, const char* field) {
        return fail("byte " + std::to_string(pos_ + 1) + " (" + where.describe(field) + ") holds " +
                    std::to_string(data_[pos_]) + ", less than its key byte " +
                    std::to_string(keys_[pos_ - keysStart_]));
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    const std::uint8_t* keys_ = nullptr;
    std::size_t keysStart_ = 0; // the file position of the key stream's first byte
    std::string reason_;
};

bool Decoder::fileRecord(FileEntry& entry, const Where& where) {
    std::uint8_t plain[kFileRecordLength];
    const std::uint8_t* stored = data_ + pos_;
    const std::uint8_t* keys = keys_ + (pos_ - keysStart_);
    // Whole-record loops without an early exit, so the compiler can do many bytes at once; the
    // byte by byte reading, which names the failing byte, runs only for a record that fails.
    bool readable = size_ - pos_ >= kFileRecordLength;
    if (readable) {
        std::uint8_t below = 0;
        for (int i = 0; i < kFileRecordLength; ++i)
            below |= static_cast<std::uint8_t>(stored[i] < keys[i]);
        readable = below == 0;
    }
    if (!readable) {
        for (int i = 0; i < kFileRecordLength; ++i)
            if (!scrambled(plain[i], where, kFileRecordFields[i]))
                return false;
    } else {
        for (int i = 0; i < kFileRecordLength; ++i)
            plain[i] = static_cast<std::uint8_t>(stored[i] - keys[i]);
        pos_ += kFileRecordLength;
    }
    std::memcpy(entry.fileName.data(), plain, kFileNameWidth);
    std::memcpy(entry.fileExt.data(), plain + 16, kFileExtWidth);
    entry.playTimes = plain[20];
    std::memcpy(entry.reserved.data(), plain + 21, kReservedWidth);
    entry.volume = plain[27];
    return true;
}

// The plain header fields and where the scrambled part starts.
struct Header {
    std::uint8_t regionLength = 0, keyOffset = 0, keyLength = 0, basicCount = 0, advanceCount = 0;
    std::size_t regionStart = 0;
};

bool readHeader(Decoder& in, Header& h) {
    // Magic, version and random bytes are taken as they are: only their positions matter.
    if (!in.skip(kPosKeyRegionLength - 1, "header") || !in.plain(h.regionLength, "key region length") ||
        !in.skip(1, "header") || !in.plain(h.keyOffset, "key offset") || !in.skip(1, "header") ||
        !in.plain(h.keyLength, "key length") || !in.skip(kPosBasicCount - kPosKeyLength - 1, "header") ||
        !in.plain(h.basicCount, "basicCount") || !in.plain(h.advanceCount, "advanceCount") ||
        !in.skip(kScheduleHeaderLength - kPosAdvanceCount, "header"))
        return false;
    h.regionStart = in.position();
    if (!in.skip(h.regionLength, "key region"))
        return false;
    // The key only matters once there is something to descramble.
    if (h.basicCount > 0 || h.advanceCount > 0) {
        if (h.keyLength == 0)
            return in.fail("byte " + std::to_string(kPosKeyLength) + ": the key length is 0");
        if (h.keyOffset + h.keyLength > h.regionLength)
            return in.fail("byte " + std::to_string(kPosKeyOffset) + ": a key of " +
                           std::to_string(h.keyLength) + " bytes at offset " + std::to_string(h.keyOffset) +
                           " does not fit in a key region of " + std::to_string(h.regionLength) + " bytes");
    }
    return true;
}

// Reads the records after the key region. Run twice: first with Store false, which only checks that
// every byte is there and fits its key, then, once the whole file is known to decode, with Store
// true straight into the model, so a failure never needs a copy of the model to fall back on.
template <bool Store> bool readRecords(Decoder& in, const Header& h, Schedule& s) {
    FileEntry scratchFile;
    AdvanceEntry scratchAdvance;
    if (h.basicCount > 0) {
        if (!in.marker(Where{"basic section"}))
            return false;
        for (int i = 0; i < h.basicCount; ++i) {
            FileEntry& entry = Store ? s.basicEntries[static_cast<std::size_t>(i)] : scratchFile;
            if (!in.fileRecord(entry, Where{"basic entry", i}))
                return false;
        }
    }
    for (int i = 0; i < h.advanceCount; ++i) {
        AdvanceEntry& e = Store ? s.advanceEntries[static_cast<std::size_t>(i)] : scratchAdvance;
        const Where where{"advance entry", i};
        std::uint8_t filler = 0, fileCount = 0;
        if (!in.marker(where) || !in.scrambled(e.startYear, where) || !in.scrambled(e.startMonth, where) ||
            !in.scrambled(e.startDay, where) || !in.scrambled(e.startHour, where) ||
            !in.scrambled(e.startMinute, where) || !in.scrambled(e.startSecond, where) ||
            !in.scrambled(e.stopYear, where) || !in.scrambled(e.stopMonth, where) ||
            !in.scrambled(e.stopDay, where) || !in.scrambled(e.stopHour, where) ||
            !in.scrambled(e.stopMinute, where) || !in.scrambled(e.stopSecond, where) ||
            !in.scrambled(e.weekDay, where, "weekDay") || !in.scrambled(filler, where, "filler") ||
            !in.scrambled(fileCount, where, "fileCount"))
            return false;
        if constexpr (Store) {
            e.fileCount = fileCount;
            e.files.resize(static_cast<std::size_t>(fileCount) + 1);
        }
        for (int j = 0; j < fileCount; ++j) {
            FileEntry& entry = Store ? e.files[static_cast<std::size_t>(j)] : scratchFile;
            if (!in.fileRecord(entry, Where{"advance entry", i, j}))
                return false;
        }
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

    Draws draws(random);
    std::uint8_t header[kScheduleHeaderLength];
    std::memcpy(header, kScheduleMagic, 5);
    std::memcpy(header + 5, kScheduleKernelVersion, 20);
    for (int i = 25; i < 30; ++i)
        header[i] = draws.headerByte();
    const std::uint8_t regionLength = draws.next(255.0 - kMinKeyRegionLength, kMinKeyRegionLength);
    const std::uint8_t keyOffset = draws.next(static_cast<double>(regionLength) - kKeySlack);
    const std::uint8_t keyLength = draws.next(kMaxKeyLength - kMinKeyLength, kMinKeyLength);
    header[30] = regionLength;
    header[31] = draws.headerByte();
    header[32] = keyOffset;
    header[33] = draws.headerByte();
    header[34] = keyLength;
    header[35] = draws.headerByte();
    for (int i = 36; i < 40; ++i)
        header[i] = draws.headerByte();
    header[40] = static_cast<std::uint8_t>(schedule.basicCount);
    header[41] = static_cast<std::uint8_t>(schedule.advanceCount);
    for (int i = 42; i < kScheduleHeaderLength; ++i)
        header[i] = draws.headerByte();

    std::vector<std::uint8_t> out(encodedLength(schedule, regionLength));
    std::memcpy(out.data(), header, kScheduleHeaderLength);
    std::uint8_t* region = out.data() + kScheduleHeaderLength;
    for (int m = 0; m < regionLength; ++m)
        region[m] = draws.fillerByte();

    // The key is the part of the region at keyOffset; the region is written as drawn.
    const std::size_t recordsStart = kScheduleHeaderLength + static_cast<std::size_t>(regionLength);
    const std::vector<std::uint8_t> keys =
        keyStream(region + keyOffset, keyLength, out.size() - recordsStart);
    Encoder encoder(draws, out.data(), recordsStart, keys.data());
    bool ok = true;
    if (schedule.basicCount > 0) {
        ok = encoder.putMarker("#1", Where{"basic section"});
        for (int i = 0; ok && i < schedule.basicCount; ++i)
            ok = encoder.putFileRecord(schedule.basicEntries[static_cast<std::size_t>(i)],
                                       Where{"basic entry", i});
    }
    for (int i = 0; ok && i < schedule.advanceCount; ++i) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        ok = encoder.putMarker("#2", Where{"advance entry", i}) &&
             encoder.putAdvanceRecord(e, Where{"advance entry", i});
        for (int j = 0; ok && j < e.fileCount; ++j)
            ok = encoder.putFileRecord(e.files[static_cast<std::size_t>(j)], Where{"advance entry", i, j});
    }
    if (!ok)
        return Result::failure(encoder.reason());
    bytes = std::move(out);
    return Result::success();
}

Result DecodeSchedule(const std::uint8_t* data, std::size_t size, Schedule& schedule) {
    Decoder check(data, size);
    Header header;
    if (!readHeader(check, header))
        return Result::failure(check.reason());
    const std::size_t recordsStart = check.position();
    // readHeader has made sure the key lies in the file whenever there is something to descramble.
    const bool hasRecords = header.basicCount > 0 || header.advanceCount > 0;
    const std::vector<std::uint8_t> keys =
        hasRecords
            ? keyStream(data + header.regionStart + header.keyOffset, header.keyLength, size - recordsStart)
            : std::vector<std::uint8_t>();
    check.setKeys(keys.data());
    if (!readRecords<false>(check, header, schedule))
        return Result::failure(check.reason());

    // Everything decodes: now into the model. Entries beyond the new counts are kept, as a resize
    // keeps them.
    schedule.basicCount = header.basicCount;
    schedule.basicEntries.resize(static_cast<std::size_t>(header.basicCount) + 1);
    schedule.advanceCount = header.advanceCount;
    schedule.advanceEntries.resize(static_cast<std::size_t>(header.advanceCount) + 1);
    Decoder in(data, size);
    in.skip(recordsStart, "header");
    in.setKeys(keys.data());
    readRecords<true>(in, header, schedule);
    return Result::success();
}

Result WriteScheduleFile(const std::string& directory, const std::string& name, const Schedule& schedule,
                         RandomSource& random, FileIo& io) {
    std::vector<std::uint8_t> bytes;
    if (Result r = EncodeSchedule(schedule, random, bytes); !r)
        return r;
    return WriteFileAtomically(directory + name, bytes, io);
}

Result ReadScheduleFile(const std::string& directory, const std::string& name, Schedule& schedule,
                        FileIo& io) {
    const std::string path = directory + name;
    // Bytes past the longest possible schedule file would be ignored anyway.
    WholeFile file;
    if (Result r = ReadWholeFile(path, kMaxScheduleFileLength, file, io); !r)
        return Result::failure("cannot read " + path + ": " + r.reason);
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.bytes.data());
    if (Result r = DecodeSchedule(data, file.bytes.size(), schedule); !r)
        return Result::failure(path + ": " + r.reason);
    return Result::success();
}

} // namespace velmo
