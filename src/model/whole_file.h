#pragma once

#include "file_io.h"
#include "result.h"

#include <cstddef>
#include <string>

namespace velmo {

struct WholeFile {
    std::string bytes;
    bool longer = false; // the file holds more than the limit; `bytes` is its start
};

// Reads a regular file, at most `limit` bytes of it. Opens without blocking and refuses anything
// else (a named pipe would hang the reader, a device never ends, a directory has no bytes). The
// reason of a failure is the system's own words, without the path.
Result ReadWholeFile(const std::string& path, std::size_t limit, WholeFile& file,
                     FileIo& io = FileIo::system());

} // namespace velmo
