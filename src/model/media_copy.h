#pragma once

#include "file_io.h"
#include "result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velmo {

// How far a media copy has come. Writing and checking weigh the same in fraction(), so the
// fraction only ever grows.
struct CopyProgress {
    std::uint64_t total = 0;    // size of the file
    std::uint64_t copied = 0;   // bytes written to the temporary file
    std::uint64_t verified = 0; // bytes read back from the medium and checked
    bool checking = false;      // the data is on the medium and is being read back

    double fraction() const {
        return total == 0 ? 1.0 : static_cast<double>(copied + verified) / (2.0 * static_cast<double>(total));
    }
};

// Called after every chunk, and once when reading back begins; returning false cancels the copy.
using CopyProgressCallback = std::function<bool(const CopyProgress&)>;

struct CopyResult : Result {
    bool cancelled = false;
};

// Bytes read and written per call.
inline constexpr std::size_t kMediaCopyChunkSize = std::size_t{1} << 20;
// A file on a FAT file system cannot reach 4 GiB.
inline constexpr std::uint64_t kFatMaxFileSize = 0xFFFFFFFFull;

struct VolumeSpace {
    std::uint64_t available = 0; // bytes an ordinary user may still write
    bool fat = false;            // vfat/msdos: files stop at kFatMaxFileSize
};

// The volume holding the directory; nothing when it cannot be asked.
std::optional<VolumeSpace> QueryVolumeSpace(const std::string& directory);

// Whether a file of this size can land on the volume at all.
Result CheckCopyFits(std::uint64_t size, const VolumeSpace& space);

// Copies sourceDir + name into destDir under the same name, replacing a file of that name (or of
// that name in other letter case, as a case-insensitive medium would). The bytes go to a temporary
// file beside the destination, which is flushed to the medium, read back from the medium and
// compared before it is renamed over the destination. On any failure or cancel the temporary file is
// removed and an existing destination file keeps its bytes. Nothing is written when the file cannot
// fit or the destination is read-only.
CopyResult CopyMediaFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                         const CopyProgressCallback& progress = {}, FileIo& io = FileIo::system());

} // namespace velmo
