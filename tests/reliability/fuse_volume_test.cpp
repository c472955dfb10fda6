// A FAT volume mounted through FUSE that reports no free blocks: the copy must still know the FAT
// file-size limit and must not refuse for lack of space it cannot know about.

#include "reliability_support.h"

#include "model/media_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fuse.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

using namespace velmo;
using namespace velmo::test;

namespace {

template <typename Payload> void Reply(int device, std::uint64_t unique, const Payload& payload) {
    struct {
        fuse_out_header header;
        Payload payload;
    } reply{{sizeof reply, 0, unique}, payload};
    ::write(device, &reply, sizeof reply);
}

void ReplyError(int device, std::uint64_t unique, int error) {
    const fuse_out_header header{sizeof header, -error, unique};
    ::write(device, &header, sizeof header);
}

// The smallest FUSE file system: an empty root directory whose volume has blocks but none free.
void Serve(int device) {
    std::vector<char> buffer(FUSE_MIN_READ_BUFFER + 65536);
    for (;;) {
        const ssize_t n = ::read(device, buffer.data(), buffer.size());
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
            Reply(device, in.unique, out);
        } else if (in.opcode == FUSE_GETATTR) {
            fuse_attr_out out{};
            out.attr.ino = FUSE_ROOT_ID;
            out.attr.mode = S_IFDIR | 0755;
            out.attr.nlink = 2;
            Reply(device, in.unique, out);
        } else if (in.opcode == FUSE_STATFS) {
            fuse_statfs_out out{};
            out.st.blocks = 1 << 20;
            out.st.bsize = out.st.frsize = 4096;
            out.st.namelen = 255;
            Reply(device, in.unique, out);
        } else if (in.opcode != FUSE_FORGET && in.opcode != FUSE_BATCH_FORGET) {
            ReplyError(device, in.unique, ENOSYS);
        }
    }
}

std::string QueryFuseFat(const TempDir& dir) {
    // A server that stops answering would hang the child; this ends it instead.
    ::alarm(20);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "SKIP: no private mount namespace";
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0)
        return "SKIP: no /dev/fuse";
    const std::string options = "fd=" + std::to_string(device) + ",rootmode=40000,user_id=0,group_id=0";
    if (::mount("velmo-test", dir.path.c_str(), "fuse.fat", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        return std::string("SKIP: cannot mount FUSE: ") + std::strerror(errno);
    std::thread(Serve, device).detach();

    const std::optional<VolumeSpace> space = QueryVolumeSpace(dir.dir());
    if (!space)
        return "the volume could not be asked";
    std::string problems;
    if (!space->fat)
        problems += "FAT through FUSE not recognised\n";
    if (space->availableKnown)
        problems += "0 free blocks from FUSE taken as a full volume\n";
    if (!CheckCopyFits(std::uint64_t{1} << 20, *space))
        problems += "a small copy was refused for lack of space\n";
    if (CheckCopyFits(kFatMaxFileSize + 1, *space))
        problems += "a file of 4 GiB was let onto FAT\n";
    return problems;
}

} // namespace

TEST(FuseVolume, FatThroughFuseWithNoFreeBlocksKeepsTheFatLimitAndTriesTheCopy) {
    TempDir dir;
    const std::string report = RunInChild([&] { return QueryFuseFat(dir); });
    if (report.rfind("SKIP: ", 0) == 0)
        GTEST_SKIP() << report.substr(6);
    EXPECT_EQ(report, "");
}
