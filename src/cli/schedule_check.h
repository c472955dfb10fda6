#pragma once

#include "rules/civil_date.h"
#include "rules/finding.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo {

// Walks the raw bytes of a schedule file the way the reader does and reports, by byte position, all that
// the writer never produces: a header with the wrong magic or kernel version, key parameters out of their
// ranges (R 100..255, O 0..R-50, L 30..50), key-region and filler bytes above 127, wrong section markers,
// stored bytes below their key byte, a file that ends before its counts say, bytes after the last record.
// Reading goes on past a damaged byte wherever the layout still tells where the next record lies.
std::vector<Finding> CheckScheduleStructure(const std::uint8_t* data, std::size_t size);

// The structure, then, when the file decodes, everything the editor could not have stored or would refuse
// to save, then the warnings about entries that cannot play as meant (relative to `today`).
std::vector<Finding> CheckScheduleFile(const std::uint8_t* data, std::size_t size, const CivilDate& today);

} // namespace velmo
