// Feeds arbitrary text to the command-line tool's JSON reader. Besides crashes it checks that a
// schedule the reader takes comes back the same through the tool's JSON writer and reader, and that
// one the schedule file can hold survives a write and a read of the file as well.

#include "cli/schedule_json.h"
#include "fuzz_check.h"
#include "model/schedule_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace velmo;

namespace {

std::string FirstFinding(const JsonSchedule& parsed) {
    const std::vector<Finding>& findings = parsed.syntax.empty() ? parsed.names : parsed.syntax;
    return findings.empty() ? std::string() : findings.front().where + ": " + findings.front().what;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const JsonSchedule parsed = ParseScheduleJson(text);
    if (!parsed.syntax.empty() || !parsed.names.empty())
        return 0;

    const std::string json = ScheduleToJson(parsed.schedule);
    const JsonSchedule again = ParseScheduleJson(json);
    VELMO_FUZZ_CHECK(again.syntax.empty() && again.names.empty(), "its own JSON is refused: %s\n%s",
                     FirstFinding(again).c_str(), json.c_str());
    VELMO_FUZZ_CHECK(again.schedule == parsed.schedule, "its own JSON reads back differently:\n%s",
                     json.c_str());
    VELMO_FUZZ_CHECK(ScheduleToJson(again.schedule) == json, "writing the JSON twice gives different text");

    if (fuzz::Encodable(parsed.schedule)) {
        SeededRandomSource random(size);
        std::vector<std::uint8_t> bytes;
        const Result written = EncodeSchedule(parsed.schedule, random, bytes);
        VELMO_FUZZ_CHECK(written, "cannot write the schedule file: %s", written.reason.c_str());
        Schedule back;
        const Result read = DecodeSchedule(bytes.data(), bytes.size(), back);
        VELMO_FUZZ_CHECK(read && back == parsed.schedule, "the schedule file reads back differently: %s",
                         read.reason.c_str());
    }
    return 0;
}
