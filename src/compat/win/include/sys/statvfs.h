#pragma once
// Free space from GetDiskFreeSpaceExW, counted in the volume's clusters.
struct statvfs {
    unsigned long long f_bsize;
    unsigned long long f_frsize;
    unsigned long long f_blocks;
    unsigned long long f_bfree;
    unsigned long long f_bavail;
};
int statvfs(const char* path, struct statvfs* info);
