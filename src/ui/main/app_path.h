#pragma once

#include <string>

namespace velmo {

// Where the editor keeps SystemInfo.txt and its default schedule: the program's own directory,
// or, for an installed program or one in a directory it cannot write, the per-user application
// data directory (created when first needed). Ends in the separator.
std::string ApplicationDirectory();

// The user's Documents folder, ending in the separator, on Windows and for an installed program;
// empty for one run from a writable folder of its own, whose dialogs start there as they always have.
std::string DocumentsDirectory();

} // namespace velmo
