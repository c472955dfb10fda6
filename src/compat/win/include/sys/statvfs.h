#pragma once
// Free space from GetDiskFreeSpaceExW, in bytes (a fragment of one byte).
struct statvfs {
    unsigned long long f_bsize;
    unsigned long long f_frsize;
    unsigned long long f_blocks;
    unsigned long long f_bfree;
    unsigned long long f_bavail;
};
int statvfs(const char* path, struct statvfs* info);
