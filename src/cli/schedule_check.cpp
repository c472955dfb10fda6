#include "schedule_check.h"

#include "model/schedule_file.h"
#include "rules/schedule_content.h"
#include "rules/schedule_sense.h"

#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace velmo {

namespace {

// A damaged file can repeat one fault hundreds of times; after this many the rest are counted.
constexpr int kMaxFindingsOfAKind = 10;

std::string bytePosition(std::size_t index) {
    return "byte " + std::to_string(index + 1);
}

std::string byteRange(std::size_t first, std::size_t last) {
    return first == last ? bytePosition(first)
                         : "bytes " + std::to_string(first + 1) + "-" + std::to_string(last + 1);
}

// Text as it stands in the file, bytes outside printable ASCII as \xHH.
std::string shown(const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 0xF];
        }
    }
    return out + "\"";
}

class StructureWalk {
public:
    StructureWalk(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::vector<Finding> run() {
        walk();
        for (const auto& [kind, extra] : overflow_)
            findings_.push_back(Finding::error("", std::to_string(extra) + " more " + kind));
        return std::move(findings_);
    }

private:
    // Thrown where the file ends before the layout does; the walk stops there.
    struct EndOfFile {};

    void report(std::string where, std::string what, const char* kind = nullptr) {
        if (kind && ++kindCount_[kind] > kMaxFindingsOfAKind) {
            ++overflow_[kind];
            return;
        }
        findings_.push_back(Finding::error(std::move(where), std::move(what)));
    }

    void endsInside(const std::string& what) {
        std::string message = "the file ends after " + std::to_string(size_) + " bytes, inside " + what;
        if (announced_ > 0)
            message += "; its counts announce " + std::string(announcedExact_ ? "" : "at least ") +
                       std::to_string(announced_) + " bytes";
        report(bytePosition(size_), message);
        throw EndOfFile{};
    }

    std::uint8_t plainAt(int position, const char* what) {
        if (static_cast<std::size_t>(position) > size_)
            endsInside(std::string("the header (") + what + ")");
        return data_[position - 1];
    }

    // The next scrambled byte, descrambled; nothing when it is below its key byte.
    std::optional<std::uint8_t> next(const std::string& what) {
        if (pos_ >= size_)
            endsInside(what);
        const std::uint8_t stored = data_[pos_];
        const std::uint8_t key = key_[static_cast<std::size_t>(keyIndex_)];
        const std::size_t at = pos_++;
        if (stored < key) {
            if (++keyIndex_ >= keyLength_)
                keyIndex_ = 0;
            report(bytePosition(at),
                   what + ": stored byte " + std::to_string(stored) + " is below its key byte " +
                       std::to_string(key),
                   "stored bytes below their key byte");
            return std::nullopt;
        }
        return DescrambleByte(stored, key_, keyLength_, keyIndex_);
    }

    void marker(const char* expected, const std::string& what) {
        const std::size_t at = pos_;
        const auto first = next(what + " marker");
        const auto second = next(what + " marker");
        if (!first || !second)
            return;
        const std::uint8_t got[] = {*first, *second};
        if (got[0] != static_cast<std::uint8_t>(expected[0]) ||
            got[1] != static_cast<std::uint8_t>(expected[1]))
            report(byteRange(at, at + 1),
                   what + " marker is " + shown(got, 2) + ", not " +
                       shown(reinterpret_cast<const std::uint8_t*>(expected), 2),
                   "wrong markers");
    }

    void filler(const std::string& what) {
        const std::size_t at = pos_;
        const auto value = next(what + " filler");
        if (value && *value > kMaxRandomByte)
            report(bytePosition(at), what + ": filler byte " + std::to_string(*value) + " is above 127",
                   "filler bytes above 127");
    }

    void fileRecord(const std::string& what) {
        for (int i = 0; i < kFileRecordLength - 2; ++i)
            next(what);
        filler(what);
        filler(what);
    }

    void walk() {
        try {
            header();
            if (!keyUsable_ || !scrambledPart())
                return;
        } catch (const EndOfFile&) {
            return;
        }
        if (pos_ < size_)
            report(byteRange(pos_, size_ - 1), std::to_string(size_ - pos_) +
                                                   (size_ - pos_ == 1 ? " byte" : " bytes") +
                                                   " after the last record");
    }

    void header() {
        const std::size_t magicLength = std::strlen(kScheduleMagic);
        const std::size_t versionLength = std::strlen(kScheduleKernelVersion);
        const std::size_t magicHere = std::min(size_, magicLength);
        if (magicHere > 0 && std::memcmp(data_, kScheduleMagic, magicHere) != 0)
            report(byteRange(0, magicLength - 1),
                   "magic is " + shown(data_, magicHere) + ", not \"" + kScheduleMagic + "\"");
        if (size_ > magicLength) {
            const std::size_t versionHere = std::min(size_ - magicLength, versionLength);
            if (std::memcmp(data_ + magicLength, kScheduleKernelVersion, versionHere) != 0)
                report(byteRange(magicLength, magicLength + versionLength - 1),
                       "kernel version is " + shown(data_ + magicLength, versionHere) + ", not \"" +
                           kScheduleKernelVersion + "\"");
        }

        regionLength_ = plainAt(kPosKeyRegionLength, "key region length");
        if (regionLength_ < kMinKeyRegionLength)
            report(bytePosition(kPosKeyRegionLength - 1),
                   "key region length R = " + std::to_string(regionLength_) + " is outside 100..255");
        keyOffset_ = plainAt(kPosKeyOffset, "key offset");
        if (keyOffset_ > regionLength_ - kKeySlack)
            report(bytePosition(kPosKeyOffset - 1),
                   "key offset O = " + std::to_string(keyOffset_) +
                       " is outside 0..R-50 (R = " + std::to_string(regionLength_) + ")");
        keyLength_ = plainAt(kPosKeyLength, "key length");
        if (keyLength_ < kMinKeyLength || keyLength_ > kMaxKeyLength)
            report(bytePosition(kPosKeyLength - 1),
                   "key length L = " + std::to_string(keyLength_) + " is outside 30..50");
        basicCount_ = plainAt(kPosBasicCount, "basicCount");
        advanceCount_ = plainAt(kPosAdvanceCount, "advanceCount");
        announced_ =
            static_cast<std::size_t>(kScheduleHeaderLength) + regionLength_ +
            (basicCount_ > 0 ? kMarkerLength + static_cast<std::size_t>(basicCount_) * kFileRecordLength
                             : 0) +
            static_cast<std::size_t>(advanceCount_) * (kMarkerLength + kAdvanceRecordLength);
        announcedExact_ = advanceCount_ == 0;
        if (size_ < static_cast<std::size_t>(kScheduleHeaderLength))
            endsInside("the header");

        const std::size_t regionStart = kScheduleHeaderLength;
        if (size_ < regionStart + regionLength_)
            endsInside("the key region (" + byteRange(regionStart, regionStart + regionLength_ - 1) + ")");
        for (std::size_t i = regionStart; i < regionStart + regionLength_; ++i)
            if (data_[i] > kMaxRandomByte)
                report(bytePosition(i), "key region byte " + std::to_string(data_[i]) + " is above 127",
                       "key region bytes above 127");
        pos_ = regionStart + regionLength_;

        if (basicCount_ == 0 && advanceCount_ == 0)
            return; // nothing is scrambled, so no key is needed
        if (keyLength_ == 0) {
            report(bytePosition(kPosKeyLength - 1),
                   "with a key length of 0 nothing after the key region can be read");
            return;
        }
        if (keyOffset_ + keyLength_ > regionLength_) {
            report(bytePosition(kPosKeyOffset - 1),
                   "the key (" + std::to_string(keyLength_) + " bytes at offset " +
                       std::to_string(keyOffset_) + ") does not lie inside the key region of " +
                       std::to_string(regionLength_) + " bytes, so nothing after it can be read");
            return;
        }
        key_ = data_ + regionStart + keyOffset_;
        keyUsable_ = true;
    }

    // False when it had to stop before the end of the records.
    bool scrambledPart() {
        keyIndex_ = 0;
        if (basicCount_ > 0) {
            marker("#1", "basic section");
            for (int i = 0; i < basicCount_; ++i)
                fileRecord(EntryId::basic(i).text());
        }
        for (int i = 0; i < advanceCount_; ++i) {
            const std::string what = EntryId::advance(i).text();
            marker("#2", what);
            for (int k = 0; k < kAdvanceRecordLength - 2; ++k)
                next(what);
            filler(what);
            const std::size_t countAt = pos_;
            const auto fileCount = next(what + " fileCount");
            if (!fileCount) {
                report(bytePosition(countAt),
                       "without the detail entry count of " + what + " the rest of the file cannot be read");
                return false;
            }
            announced_ += static_cast<std::size_t>(*fileCount) * kFileRecordLength;
            announcedExact_ = i == advanceCount_ - 1;
            for (int k = 0; k < *fileCount; ++k)
                fileRecord(EntryId::detailOf(i, k).text());
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    int regionLength_ = 0;
    int keyOffset_ = 0;
    int keyLength_ = 0;
    int basicCount_ = 0;
    int advanceCount_ = 0;
    bool keyUsable_ = false;
    const std::uint8_t* key_ = nullptr;
    int keyIndex_ = 0;
    std::size_t announced_ = 0;
    bool announcedExact_ = false;
    std::vector<Finding> findings_;
    std::map<std::string, int> kindCount_;
    std::map<std::string, int> overflow_;
};

} // namespace

std::vector<Finding> CheckScheduleStructure(const std::uint8_t* data, std::size_t size) {
    return StructureWalk(data, size).run();
}

std::vector<Finding> CheckScheduleFile(const std::uint8_t* data, std::size_t size, const CivilDate& today) {
    std::vector<Finding> findings = CheckScheduleStructure(data, size);
    Schedule schedule;
    const Result decoded = DecodeSchedule(data, size, schedule);
    if (!decoded) {
        // The walk reads as the reader does, so it has said why already; should they ever disagree, the
        // reader's own reason still shows.
        if (findings.empty())
            findings.push_back(Finding::error("", decoded.reason));
        return findings;
    }
    std::vector<Finding> content = CheckScheduleContent(schedule);
    std::vector<Finding> sense = CheckScheduleSense(schedule, today);
    findings.insert(findings.end(), content.begin(), content.end());
    findings.insert(findings.end(), sense.begin(), sense.end());
    return findings;
}

} // namespace velmo
