#pragma once

#include "model/schedule.h"
#include "rules/civil_date.h"
#include "rules/finding.h"

#include <string>
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

// Everything in the schedule the editor could not have stored or would refuse to save, in list order:
// per entry the first fault the editor's rules find, then the limits and the save checks.
std::vector<Finding> CheckScheduleContent(const Schedule& schedule);

} // namespace velmo
