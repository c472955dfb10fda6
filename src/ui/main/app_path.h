#pragma once

#include <string>

namespace velmo {

// Where the editor keeps SystemInfo.txt and its default schedule: the program's own directory,
// or, for an installed program or one in a directory it cannot write, the per-user application
// data directory (created when first needed). Ends in the separator.
std::string ApplicationDirectory();

// The user's Documents folder on Windows, ending in "\"; empty elsewhere, where the dialogs start in
// the program's directory as they always have.
std::string DocumentsDirectory();

} // namespace velmo
