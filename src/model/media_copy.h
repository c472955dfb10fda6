#pragma once

#include "file_io.h"
#include "result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
    bool fat = false;            // vfat/msdos, also through FUSE: files stop at kFatMaxFileSize
    bool availableKnown = true;  // false when the volume gives no usable figure: the copy is tried
    // Every file takes whole units of this many bytes (FAT's cluster, a block elsewhere).
    std::uint64_t allocationUnit = 4096;
};

// The room a file of this size takes on the volume: whole allocation units.
std::uint64_t AllocatedSize(std::uint64_t size, const VolumeSpace& space);

// Whether a mount table type ("vfat", "fuse.fat", "fuseblk.vfat", ...) is FAT, whose files stop at
// kFatMaxFileSize.
bool IsFatMountType(const std::string& type);

// The volume holding the directory; nothing when it cannot be asked.
std::optional<VolumeSpace> QueryVolumeSpace(const std::string& directory);

// Whether a file of this size can land on the volume at all.
Result CheckCopyFits(std::uint64_t size, const VolumeSpace& space);

// Whether a copy of destName into destDir replaces an existing file, hidden ones included.
bool CopyWouldReplace(const std::string& destDir, const std::string& destName);

// How a copy treats the destination beyond replacing it.
struct CopyOptions {
    // Gives the copy the source's modification time, so a later run can tell an unchanged copy by
    // size and time.
    bool keepModificationTime = false;
    // The user agreed to lose the old destination file: when the copy fits only without it, the old
    // file is removed before copying. A copy that then fails leaves no file under the destination name.
    // Without this, or when the copy would not fit even then, the old file is never touched.
    bool mayRemoveOldFirst = false;
    // The caller flushes destDir itself once after a batch of copies (FlushDirectory), before anything
    // that must follow them, so each copy costs one flush, of its data, as cp and sync do.
    bool leaveDirectoryFlush = false;
    // The destination is a medium the program owns: a link under the destination name is refused
    // as "not a regular file" instead of followed, so nothing is written outside the medium.
    bool refuseLinks = false;
};

// Read buffers for comparing files, kept across many comparisons rather than made per file.
struct ContentCompareBuffers {
    std::vector<char> a = std::vector<char>(kMediaCopyChunkSize);
    std::vector<char> b = std::vector<char>(kMediaCopyChunkSize);
};

// Reads both files whole and compares; false also when either cannot be read.
bool SameFileContent(const std::string& a, const std::string& b, ContentCompareBuffers& buffers);
bool SameFileContent(const std::string& a, const std::string& b);

// Copies the regular file sourcePath into destDir under destName, replacing a file of that name (or
// of that name in other letter case, as a case-insensitive medium would; a link is followed to the
// file it names). Stale temporary files of killed copies in destDir are removed first, then the
// space is checked. The bytes go to a temporary file beside the destination, which is flushed to
// the medium, read back from the medium and compared, and the source is checked to be unchanged,
// before it is renamed over the destination. On any failure or cancel the temporary file is removed
// and an existing destination file keeps its bytes (unless options.mayRemoveOldFirst took it).
// Nothing is written when the file cannot fit or the destination is read-only.
CopyResult CopyMediaFileTo(const std::string& sourcePath, const std::string& destDir,
                           const std::string& destName, const CopyOptions& options = {},
                           const CopyProgressCallback& progress = {}, FileIo& io = FileIo::system());

// CopyMediaFileTo(sourceDir + name, destDir, name) with default options.
CopyResult CopyMediaFile(const std::string& sourceDir, const std::string& name, const std::string& destDir,
                         const CopyProgressCallback& progress = {}, FileIo& io = FileIo::system());

} // namespace velmo
