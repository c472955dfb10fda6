#pragma once
// Directory listings over FindFirstFileW, with UTF-8 names and the entry's type.
#include <cstddef>

#define DT_UNKNOWN 0
#define DT_DIR 4
#define DT_REG 8
#define DT_LNK 10

struct dirent {
    unsigned char d_type;
    char d_name[1040];
};

struct VelmoDirectory;
using DIR = VelmoDirectory;

DIR* opendir(const char* path);
dirent* readdir(DIR* dir);
int closedir(DIR* dir);
// No descriptor stands for a listing here; fstatat() then names the entry by its listing.
int dirfd(DIR* dir);
