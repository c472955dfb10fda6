#pragma once

namespace velmo {

// The software version the product shows (the About dialog, the command-line tool's --version).
// The schedule kernel version is kScheduleKernelVersion of schedule_file.h.
inline constexpr char kSoftwareVersion[] = "01000000000020070103";

} // namespace velmo
