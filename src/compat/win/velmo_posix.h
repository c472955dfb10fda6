#pragma once
// Forced into every Qt-free translation unit of the Windows build: the POSIX calls the core makes,
// answered by the Windows API, with UTF-8 paths. The core keeps one code path for both systems.
#ifdef _WIN32

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// Whatever the C runtime opens is binary and not inherited by child processes.
#ifndef O_CLOEXEC
#define O_CLOEXEC (O_BINARY | O_NOINHERIT)
#endif
#define O_NOFOLLOW 0
#define O_NONBLOCK 0
#define O_NOCTTY 0
// Only velmo_open() knows this one: a directory opened for flushing.
#define O_DIRECTORY 0x1000000

#ifndef EWOULDBLOCK
#define EWOULDBLOCK EAGAIN
#endif

#define S_IFLNK 0xA000
#define S_IFSOCK 0xC000
#define S_ISLNK(m) (((m)&S_IFMT) == S_IFLNK)
#define S_ISSOCK(m) (((m)&S_IFMT) == S_IFSOCK)

using nlink_t = unsigned int;
using blkcnt_t = long long;

// The POSIX record, with the nanosecond times and the identity (volume serial, file index) the
// core compares.
struct velmo_stat {
    std::uint64_t st_dev;
    std::uint64_t st_ino;
    unsigned int st_mode;
    nlink_t st_nlink;
    long long st_size;
    blkcnt_t st_blocks;
    struct timespec st_atim;
    struct timespec st_mtim;
    struct timespec st_ctim;
};

int velmo_stat(const char* path, struct velmo_stat* info);
int velmo_fstat(int fd, struct velmo_stat* info);
#undef stat
#undef fstat
#undef lstat
#define stat velmo_stat
#define fstat velmo_fstat
// Links are followed: a link on Windows is replaced as the file it names would be.
#define lstat velmo_stat

// open() with UTF-8 paths, every share mode (a file of ours open for reading never stops a rename),
// binary, and O_DIRECTORY for a directory handle.
int velmo_open(const char* path, int flags, int mode);

int fsync(int fd);
int fchmod(int fd, unsigned int mode);
// The *at calls work through the path of the directory a descriptor holds (links are not followed
// on Windows anyway); a dirFd of -1, a listing's, has no path and fails with ENOSYS.
#define AT_FDCWD (-100)
#define AT_SYMLINK_NOFOLLOW 0x100
int fstatat(int dirFd, const char* name, struct velmo_stat* info, int flags);
int openat(int dirFd, const char* name, int flags, int mode);
int unlinkat(int dirFd, const char* name, int flags);
// The absolute form of an existing path (malloc'ed), or null with errno.
char* realpath(const char* path, char* resolved);
ssize_t readlink(const char* path, char* buffer, std::size_t size);
struct tm* localtime_r(const std::time_t* time, struct tm* result);

#define F_DUPFD_CLOEXEC 1030
int fcntl(int fd, int command, int argument);

#define UTIME_NOW ((1l << 30) - 1l)
#define UTIME_OMIT ((1l << 30) - 2l)
int futimens(int fd, const struct timespec times[2]);

#define SYNC_FILE_RANGE_WAIT_BEFORE 1
#define SYNC_FILE_RANGE_WRITE 2
#define SYNC_FILE_RANGE_WAIT_AFTER 4
int sync_file_range(int fd, off64_t offset, off64_t length, unsigned int flags);

// A new directory named by the template, its trailing XXXXXX replaced.
char* mkdtemp(char* pattern);

// True when the volume holding path has a FAT file system (FAT12, FAT16, FAT32).
bool velmo_volume_is_fat(const char* path);

// The file of that name in the running program's own folder.
std::string velmo_beside_program(const char* name);

// An errno in Windows' own words (FormatMessageW, the user's language): the Windows error that
// set it where a call here did, else the one it stands for.
#include <cstring>
extern "C" char* velmo_strerror(int error);
namespace std {
using ::velmo_strerror;
}
#undef strerror
#define strerror velmo_strerror

// Text to and from the wide strings of the Windows API.
std::wstring velmo_wide(const char* utf8);
std::string velmo_utf8(const wchar_t* wide);

#endif
