#pragma once

#include "file_io.h"
#include "result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// Replaces a file so that it holds either its old bytes or the complete new bytes, never anything
// in between: the bytes go to a temporary file in the directory of the file (a symbolic link is
// followed to the file it names, which is replaced, and the link kept), created with the mode the
// file already has, which is flushed to disk and
// renamed over the target, then the directory is flushed. Until commit() the target is untouched;
// a writer destroyed without a successful commit() removes its temporary file, and open() removes
// the ones killed writers left for the same target.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string targetPath, FileIo& io = FileIo::system());
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Fails without creating anything when the target exists but lacks the owner's write permission
    // (read-only), whoever runs the process, or when the directory cannot take a new file.
    Result open();
    Result write(const void* data, std::size_t size);
    // Flushes the temporary file to the medium; it stays open for reading back through fd().
    Result flush();
    // flush() if not done yet, then rename over the target and flush the directory. Fails with the
    // target untouched, except when only the flush after the rename fails: the target then holds the
    // complete new bytes, and the reason says so.
    Result commit();
    // Removes the temporary file; the target keeps its old content.
    void abort();
    // commit() then only renames: a caller replacing many files in one directory flushes it once
    // after the last (FlushDirectory), before anything that must come after them. Until then a power
    // loss may bring back an old file, complete.
    void leaveDirectoryFlush() { flushDirectory_ = false; }
    // open() refuses a link under the target's name as "not a regular file" instead of following it,
    // for directories of a medium, where a link may lead anywhere.
    void refuseLinks() { followLinks_ = false; }

    int fd() const { return fd_; }
    const std::string& tempPath() const { return tempPath_; }
    // The file replaced: after open(), the end of the path's chain of links.
    const std::string& targetPath() const { return targetPath_; }

private:
    std::string requestedPath_;
    std::string targetPath_;
    FileIo& io_;
    std::string tempPath_;
    int fd_ = -1;
    bool flushed_ = false;
    bool committed_ = false;
    bool flushDirectory_ = true;
    bool followLinks_ = true;
};

enum class LinkPolicy { Follow, Refuse };

Result WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                           FileIo& io = FileIo::system(), LinkPolicy links = LinkPolicy::Follow);

// The file a write to path replaces: path itself unless it is a symbolic link, else the end of its
// chain of links, which need not exist yet (a dangling link is written through). Fails when the
// chain loops or ends in a directory that does not exist.
Result ResolveWriteTarget(const std::string& path, std::string& resolved);

// Removes the temporary files that killed writers of this program left in the directory. Only files
// no live writer holds are removed; nothing here fails.
void RemoveStaleTemporaryFiles(const std::string& directory, FileIo& io = FileIo::system());
// The room those files take, which RemoveStaleTemporaryFiles would give back; nothing is removed.
std::uint64_t StaleTemporaryBytes(const std::string& directory);

// True when path names an existing file without the owner's write permission.
bool IsReadOnlyFile(const std::string& path);

// Flushes a directory so a rename inside it survives a power loss.
Result FlushDirectory(const std::string& directory, FileIo& io = FileIo::system());

} // namespace velmo
