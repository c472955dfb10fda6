#pragma once

#include "civil_date.h"
#include "finding.h"
#include "model/schedule.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// The stored bytes of a name field up to its last non-zero byte (a zero inside the name stays).
template <std::size_t N> std::string NameFieldText(const std::array<std::uint8_t, N>& field) {
    std::size_t length = N;
    while (length > 0 && field[length - 1] == 0)
        --length;
    return std::string(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(length));
}

// "File Name Error! (reason)", the entry editor's message with the reason it refused the name.
std::string FileNameErrorMessage(const std::string& reason);

// Why the entry editor could not have stored these name and extension bytes (Windows-1252), in its own
// message ("File Name Error! (...)"), or nothing when it stores exactly them for some typed name.
std::optional<std::string> NameFieldsProblem(std::string_view fileName, std::string_view fileExt);

// Everything in the schedule the editor could not have stored or would refuse to save, in list order.
std::vector<Finding> CheckScheduleContent(const Schedule& schedule);

// The entry's dates, times and week day are values the advance editor can store.
bool AdvanceFieldsValid(const AdvanceEntry& entry);

// Warnings about entries that cannot play as meant: a date range without its week day, an entry that
// ended before `today`, entries whose dates, week days and times overlap. Entries whose fields the editor
// could not store are left to CheckScheduleContent.
std::vector<Finding> CheckScheduleSense(const Schedule& schedule, const CivilDate& today);

} // namespace velmo
