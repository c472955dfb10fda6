#pragma once

// The smallest FUSE file system, served from the test itself: an empty root directory on a volume
// with blocks but none free, or one that never answers when asked for its size (a stuck mount).

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <linux/fuse.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmo::test {

template <typename Payload> void FuseReply(int device, std::uint64_t unique, const Payload& payload) {
    struct {
        fuse_out_header header;
        Payload payload;
    } reply{{sizeof reply, 0, unique}, payload};
    ::write(device, &reply, sizeof reply);
}

inline void FuseReplyError(int device, std::uint64_t unique, int error) {
    const fuse_out_header header{sizeof header, -error, unique};
    ::write(device, &header, sizeof header);
}

// Serves requests until the device is closed or the mount goes away.
inline void ServeFuse(int device, bool answerStatfs) {
    std::vector<char> buffer(FUSE_MIN_READ_BUFFER + 65536);
    for (;;) {
        const ssize_t n = ::read(device, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < static_cast<ssize_t>(sizeof(fuse_in_header)))
            return;
        fuse_in_header in;
        std::memcpy(&in, buffer.data(), sizeof in);
        if (in.opcode == FUSE_INIT) {
            fuse_init_in init;
            std::memcpy(&init, buffer.data() + sizeof in, sizeof init);
            fuse_init_out out{};
            out.major = FUSE_KERNEL_VERSION;
            out.minor = std::min<std::uint32_t>(init.minor, FUSE_KERNEL_MINOR_VERSION);
            out.max_write = 4096;
            FuseReply(device, in.unique, out);
        } else if (in.opcode == FUSE_GETATTR) {
            fuse_attr_out out{};
            out.attr.ino = FUSE_ROOT_ID;
            out.attr.mode = S_IFDIR | 0755;
            out.attr.nlink = 2;
            FuseReply(device, in.unique, out);
        } else if (in.opcode == FUSE_STATFS) {
            if (!answerStatfs)
                continue; // asked, and never answered
            fuse_statfs_out out{};
            out.st.blocks = 1 << 20;
            out.st.bsize = out.st.frsize = 4096;
            out.st.namelen = 255;
            FuseReply(device, in.unique, out);
        } else if (in.opcode != FUSE_FORGET && in.opcode != FUSE_BATCH_FORGET) {
            FuseReplyError(device, in.unique, ENOSYS);
        }
    }
}

} // namespace velmo::test
