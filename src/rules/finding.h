#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// Which part of a schedule a finding is about; entries are numbered from 1 as the editor numbers them.
struct EntryId {
    enum class Kind { Schedule, Basic, Advance, Detail };
    Kind kind = Kind::Schedule;
    int index = 0;  // from 0: the basic or advance entry
    int detail = 0; // from 0: the detail entry of that advance entry

    static EntryId basic(int index) { return {Kind::Basic, index, 0}; }
    static EntryId advance(int index) { return {Kind::Advance, index, 0}; }
    static EntryId detailOf(int advance, int detail) { return {Kind::Detail, advance, detail}; }

    // "basic entry 3", "advance entry 2", "advance entry 2, detail entry 4"; empty for the whole schedule.
    std::string text() const;
    // Basic entries first, then each advance entry followed by its detail entries, then the whole schedule.
    std::array<int, 3> order() const;
};

struct Finding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string where; // a position ("byte 31", "line 4, column 7") or an entry, or empty
    std::string what;
    std::array<int, 3> order{};

    static Finding error(std::string where, std::string what) {
        return {Severity::Error, std::move(where), std::move(what), {}};
    }
    static Finding about(const EntryId& ref, std::string what, Severity severity = Severity::Error) {
        return {severity, ref.text(), std::move(what), ref.order()};
    }
};

// One line naming the file: "clip.json: basic entry 3: File Name Error! (extension longer than 4)".
std::string FormatFinding(std::string_view file, const Finding& finding);

// Sorts findings about entries into list order, keeping the order of equal ones.
void SortByEntry(std::vector<Finding>& findings);

} // namespace velmo
