#pragma once

// The smallest FUSE file systems, served from the test itself: an empty root directory on a volume
// with blocks but none free, or one that never answers when asked for its size or its listing (a
// stuck mount); or a root directory holding one file whose reading waits for the test.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/fuse.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <utility>
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

// What the server never answers.
enum class FuseStuck { Nothing, Statfs, Listing };

// Reads requests until the device is closed or the mount goes away; answers FUSE_INIT itself and
// hands every other request, with what follows its header, to `answer`.
template <typename Answer> void ServeFuseRequests(int device, Answer answer) {
    std::vector<char> buffer(FUSE_MIN_READ_BUFFER + 65536);
    for (;;) {
        const ssize_t n = ::read(device, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < static_cast<ssize_t>(sizeof(fuse_in_header)))
            return;
        fuse_in_header in;
        std::memcpy(&in, buffer.data(), sizeof in);
        const char* body = buffer.data() + sizeof in;
        if (in.opcode != FUSE_INIT) {
            answer(in, body);
            continue;
        }
        fuse_init_in init;
        std::memcpy(&init, body, sizeof init);
        fuse_init_out out{};
        out.major = FUSE_KERNEL_VERSION;
        out.minor = std::min<std::uint32_t>(init.minor, FUSE_KERNEL_MINOR_VERSION);
        out.max_write = 4096;
        FuseReply(device, in.unique, out);
    }
}

inline void ServeFuse(int device, FuseStuck stuck) {
    ServeFuseRequests(device, [device, stuck](const fuse_in_header& in, const char*) {
        if (in.opcode == FUSE_GETATTR) {
            fuse_attr_out out{};
            out.attr.ino = FUSE_ROOT_ID;
            out.attr.mode = S_IFDIR | 0755;
            out.attr.nlink = 2;
            FuseReply(device, in.unique, out);
        } else if (in.opcode == FUSE_STATFS) {
            if (stuck == FuseStuck::Statfs)
                return; // asked, and never answered
            fuse_statfs_out out{};
            out.st.blocks = 1 << 20;
            out.st.bsize = out.st.frsize = 4096;
            out.st.namelen = 255;
            FuseReply(device, in.unique, out);
        } else if (in.opcode == FUSE_OPENDIR && stuck == FuseStuck::Listing) {
            return;
        } else if (in.opcode != FUSE_FORGET && in.opcode != FUSE_BATCH_FORGET) {
            FuseReplyError(device, in.unique, ENOSYS);
        }
    });
}

// A root directory holding one read-only file; its first read is answered only once `onFirstRead`
// has returned, so the reader is held inside that read until the test has done what it wants.
struct FuseFile {
    std::string name;
    std::uint64_t size = 0; // every byte is 'v'
    std::function<void()> onFirstRead;
};

inline void ServeFuseFile(int device, const FuseFile& file) {
    constexpr std::uint64_t kFileId = FUSE_ROOT_ID + 1;
    const auto attributes = [&file](std::uint64_t node) {
        fuse_attr attr{};
        attr.ino = node;
        attr.mode = node == FUSE_ROOT_ID ? S_IFDIR | 0755 : S_IFREG | 0444;
        attr.nlink = node == FUSE_ROOT_ID ? 2 : 1;
        attr.size = node == FUSE_ROOT_ID ? 0 : file.size;
        attr.blocks = (attr.size + 511) / 512;
        attr.mtime = attr.ctime = attr.atime = 1167609600; // fixed, so the file never seems changed
        return attr;
    };
    const auto replyBytes = [device](std::uint64_t unique, const std::string& bytes) {
        std::string reply(sizeof(fuse_out_header), '\0');
        const fuse_out_header header{static_cast<std::uint32_t>(sizeof header + bytes.size()), 0, unique};
        std::memcpy(reply.data(), &header, sizeof header);
        reply += bytes;
        ::write(device, reply.data(), reply.size());
    };
    bool firstRead = true;
    ServeFuseRequests(device, [&](const fuse_in_header& in, const char* body) {
        switch (in.opcode) {
        case FUSE_LOOKUP: {
            if (in.nodeid != FUSE_ROOT_ID || file.name != body) {
                FuseReplyError(device, in.unique, ENOENT);
                break;
            }
            fuse_entry_out out{};
            out.nodeid = kFileId;
            out.attr = attributes(kFileId);
            FuseReply(device, in.unique, out);
            break;
        }
        case FUSE_GETATTR: {
            fuse_attr_out out{};
            out.attr = attributes(in.nodeid);
            FuseReply(device, in.unique, out);
            break;
        }
        case FUSE_OPEN:
        case FUSE_OPENDIR:
            FuseReply(device, in.unique, fuse_open_out{});
            break;
        case FUSE_READDIR: {
            fuse_read_in read;
            std::memcpy(&read, body, sizeof read);
            std::string entries;
            const std::pair<std::uint64_t, std::string> listed[] = {
                {FUSE_ROOT_ID, "."}, {FUSE_ROOT_ID, ".."}, {kFileId, file.name}};
            for (std::uint64_t i = read.offset; i < 3; ++i) {
                fuse_dirent dirent{};
                dirent.ino = listed[i].first;
                dirent.off = i + 1;
                dirent.namelen = static_cast<std::uint32_t>(listed[i].second.size());
                dirent.type = listed[i].first == FUSE_ROOT_ID ? DT_DIR : DT_REG;
                std::string entry(FUSE_DIRENT_SIZE(&dirent), '\0');
                std::memcpy(entry.data(), &dirent, FUSE_NAME_OFFSET);
                std::memcpy(entry.data() + FUSE_NAME_OFFSET, listed[i].second.data(), dirent.namelen);
                if (entries.size() + entry.size() > read.size)
                    break;
                entries += entry;
            }
            replyBytes(in.unique, entries);
            break;
        }
        case FUSE_READ: {
            fuse_read_in read;
            std::memcpy(&read, body, sizeof read);
            if (firstRead && file.onFirstRead)
                file.onFirstRead();
            firstRead = false;
            const std::uint64_t from = std::min<std::uint64_t>(read.offset, file.size);
            replyBytes(in.unique, std::string(std::min<std::uint64_t>(read.size, file.size - from), 'v'));
            break;
        }
        case FUSE_STATFS: {
            fuse_statfs_out out{};
            out.st.blocks = 1 << 20;
            out.st.bsize = out.st.frsize = 4096;
            out.st.namelen = 255;
            FuseReply(device, in.unique, out);
            break;
        }
        case FUSE_RELEASE:
        case FUSE_RELEASEDIR:
        case FUSE_FLUSH:
            replyBytes(in.unique, {});
            break;
        case FUSE_FORGET:
        case FUSE_BATCH_FORGET:
        case FUSE_INTERRUPT: // the request it names is answered all the same
            break;
        default:
            FuseReplyError(device, in.unique, ENOSYS);
        }
    });
}

// The file system mounted at a directory, in a mount namespace of the calling thread's own (and of
// the threads it starts). Unmounted with the object, after aborting the connection so that calls
// still waiting for an answer return.
class FuseMount {
public:
    FuseMount(const std::string& at, const char* type, FuseStuck stuck)
        : FuseMount(at, type, [stuck](int device) { ServeFuse(device, stuck); }) {}
    FuseMount(const std::string& at, const char* type, std::function<void(int)> serve) : at_(at) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            error_ = "no private mount namespace";
            return;
        }
        const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (device < 0) {
            error_ = "no /dev/fuse";
            return;
        }
        const std::string options = "fd=" + std::to_string(device) + ",rootmode=40000,user_id=0,group_id=0";
        if (::mount("velmo-test", at.c_str(), type, MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
            error_ = std::string("cannot mount FUSE: ") + std::strerror(errno);
            ::close(device);
            return;
        }
        std::thread(std::move(serve), device).detach();
        struct stat mounted {};
        if (::stat(at.c_str(), &mounted) != 0) {
            error_ = "the mount cannot be looked at";
            return;
        }
        device_ = mounted.st_dev;
        mounted_ = true;
    }
    ~FuseMount() {
        if (!mounted_)
            return;
        const std::string control = "/sys/fs/fuse/connections";
        ::mount("fusectl", control.c_str(), "fusectl", 0, nullptr);
        std::ofstream(control + "/" + std::to_string(minor(device_)) + "/abort") << "1";
        ::umount2(at_.c_str(), MNT_DETACH);
    }
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    // Why it is not mounted (a reason to skip the test); empty once mounted.
    const std::string& error() const { return error_; }

private:
    std::string at_;
    std::string error_;
    dev_t device_ = 0;
    bool mounted_ = false;
};

} // namespace velmo::test
