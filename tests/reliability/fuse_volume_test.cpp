// A FAT volume mounted through FUSE that reports no free blocks: the copy must still know the FAT
// file-size limit and must not refuse for lack of space it cannot know about.

#include "reliability_support.h"
#include "support/fuse_server.h"

#include "model/media_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

using namespace velmo;
using namespace velmo::test;

namespace {

std::string QueryFuseFat(const TempDir& dir) {
    // A server that stops answering would hang the child; this ends it instead.
    ::alarm(20);
    const FuseMount mount(dir.path, "fuse.fat", FuseStuck::Nothing);
    if (!mount.error().empty())
        return "SKIP: " + mount.error();

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
