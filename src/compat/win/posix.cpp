#include "velmo_posix.h"

#include <dirent.h>
#include <sys/file.h>
#include <sys/statvfs.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_READY:
        return EAGAIN;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        return EIO;
    }
}

// The Windows error behind the last errno set here, so that its own words can be shown.
thread_local DWORD lastWindowsError = 0;
thread_local int lastErrno = 0;

int failWith(DWORD error) {
    errno = errnoOf(error);
    lastWindowsError = error;
    lastErrno = errno;
    return -1;
}

// The Windows error an errno stands for where no call here set it (a C runtime's, or one made up).
DWORD windowsErrorOf(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EAGAIN:
        return ERROR_NOT_READY;
    case ENOTDIR:
        return ERROR_DIRECTORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EMFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EIO:
        return ERROR_GEN_FAILURE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return 0;
    }
}

constexpr long long kUnixEpochIn100ns = 116444736000000000LL;

timespec timeOf(const FILETIME& time) {
    const long long ticks =
        ((static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) - kUnixEpochIn100ns;
    timespec result{};
    result.tv_sec = static_cast<time_t>(ticks / 10000000);
    result.tv_nsec = static_cast<long>(ticks % 10000000) * 100;
    return result;
}

FILETIME fileTimeOf(const timespec& time) {
    const long long ticks =
        static_cast<long long>(time.tv_sec) * 10000000 + time.tv_nsec / 100 + kUnixEpochIn100ns;
    FILETIME result{};
    result.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffff);
    result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return result;
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

int statHandle(HANDLE handle, struct velmo_stat* info) {
    *info = {};
    switch (GetFileType(handle)) {
    case FILE_TYPE_CHAR:
        info->st_mode = S_IFCHR | 0666;
        return 0;
    case FILE_TYPE_PIPE:
        info->st_mode = S_IFIFO | 0666;
        return 0;
    case FILE_TYPE_DISK:
        break;
    default:
        return failWith(GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION file{};
    if (!GetFileInformationByHandle(handle, &file))
        return failWith(GetLastError());
    const bool directory = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool readOnly = !directory && (file.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info->st_mode = (directory ? S_IFDIR | 0111 : S_IFREG) | 0444 | (readOnly ? 0 : 0222);
    info->st_dev = file.dwVolumeSerialNumber;
    info->st_ino = (static_cast<std::uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow;
    info->st_nlink = file.nNumberOfLinks;
    info->st_size = (static_cast<long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    info->st_blocks = (info->st_size + 511) / 512;
    info->st_atim = timeOf(file.ftLastAccessTime);
    info->st_mtim = timeOf(file.ftLastWriteTime);
    info->st_ctim = info->st_mtim;
    return 0;
}

} // namespace

std::wstring velmo_wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    // Bytes that are no UTF-8 are taken as the ANSI code page's, as the narrow API would.
    const UINT page = length > 0 ? CP_UTF8 : CP_ACP;
    const DWORD flags = length > 0 ? MB_ERR_INVALID_CHARS : 0;
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(page, flags, utf8, -1, nullptr, 0)),
                      L'\0');
    if (!wide.empty())
        MultiByteToWideChar(page, flags, utf8, -1, wide.data(), static_cast<int>(wide.size()));
    if (!wide.empty())
        wide.pop_back();
    return wide;
}

std::string velmo_utf8(const wchar_t* wide) {
    std::string utf8(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr)),
        '\0');
    if (!utf8.empty())
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                            nullptr);
    if (!utf8.empty())
        utf8.pop_back();
    return utf8;
}

int velmo_open(const char* path, int flags, int mode) {
    const std::wstring name = velmo_wide(path);
    DWORD access = 0;
    switch (flags & (O_RDONLY | O_WRONLY | O_RDWR)) {
    case O_WRONLY:
        access = GENERIC_WRITE;
        break;
    case O_RDWR:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        access = GENERIC_READ;
    }
    DWORD disposition = OPEN_EXISTING;
    if ((flags & O_CREAT) && (flags & O_EXCL))
        disposition = CREATE_NEW;
    else if ((flags & O_CREAT) && (flags & O_TRUNC))
        disposition = CREATE_ALWAYS;
    else if (flags & O_CREAT)
        disposition = OPEN_ALWAYS;
    else if (flags & O_TRUNC)
        disposition = TRUNCATE_EXISTING;
    DWORD attributes =
        (flags & O_CREAT) && (mode & S_IWUSR) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (flags & O_DIRECTORY) {
        access = GENERIC_READ;
        attributes = FILE_FLAG_BACKUP_SEMANTICS;
    }
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    const HANDLE handle =
        CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                    disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    if (!(flags & O_DIRECTORY)) {
        // A directory named as a file: POSIX opens it for reading and fails the read, Windows gives a
        // handle that reads nothing; the callers check the type through fstat either way.
    }
    const int fd =
        _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                        (flags & (O_RDONLY | O_WRONLY | O_RDWR | O_APPEND)) | O_BINARY | O_NOINHERIT);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

int velmo_stat(const char* path, struct velmo_stat* info) {
    const HANDLE handle = CreateFileW(velmo_wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    const int result = statHandle(handle, info);
    const int error = errno;
    CloseHandle(handle);
    errno = error;
    return result;
}

int velmo_fstat(int fd, struct velmo_stat* info) {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    return statHandle(handle, info);
}

int fsync(int fd) {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    if (FlushFileBuffers(handle))
        return 0;
    // A directory cannot be flushed here; MOVEFILE_WRITE_THROUGH has already made its renames durable.
    BY_HANDLE_FILE_INFORMATION file{};
    if (GetFileInformationByHandle(handle, &file) && (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EINVAL;
        return -1;
    }
    return failWith(GetLastError());
}

int fchmod(int fd, unsigned int mode) {
    FILE_BASIC_INFO basic{};
    const HANDLE handle = handleOf(fd);
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return failWith(GetLastError());
    const DWORD before = basic.FileAttributes;
    if (mode & S_IWUSR)
        basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    else
        basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (basic.FileAttributes == before)
        return 0;
    if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic))
        return failWith(GetLastError());
    return 0;
}

struct VelmoDirectory {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool first = true;
    dirent entry{};
    std::string path;
};

DIR* opendir(const char* path) {
    std::wstring pattern = velmo_wide(path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    auto* dir = new VelmoDirectory;
    dir->find =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &dir->data, FindExSearchNameMatch, nullptr, 0);
    if (dir->find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(velmo_wide(path).c_str());
        // A drive's root holds no "." or "..": "no file" there (and in any directory) is an empty
        // listing, which is what every new stick is.
        if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) &&
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            dir->path = path;
            return dir;
        }
        delete dir;
        failWith(error);
        // A file named as a directory: say so, as POSIX does.
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            errno = ENOTDIR;
        return nullptr;
    }
    dir->path = path;
    return dir;
}

dirent* readdir(DIR* dir) {
    if (dir->find == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!dir->first && !FindNextFileW(dir->find, &dir->data))
        return nullptr;
    dir->first = false;
    const std::string name = velmo_utf8(dir->data.cFileName);
    const std::size_t length = std::min(name.size(), sizeof dir->entry.d_name - 1);
    name.copy(dir->entry.d_name, length);
    dir->entry.d_name[length] = '\0';
    const DWORD attributes = dir->data.dwFileAttributes;
    dir->entry.d_type = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? DT_DIR : DT_REG;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        dir->entry.d_type = DT_LNK;
    return &dir->entry;
}

int closedir(DIR* dir) {
    if (dir->find != INVALID_HANDLE_VALUE)
        FindClose(dir->find);
    delete dir;
    return 0;
}

int dirfd(DIR*) {
    return -1;
}

namespace {

// The path of an entry of the directory dirFd holds, or false with errno.
bool pathAt(int dirFd, const char* name, std::string& path) {
    if (dirFd == AT_FDCWD) {
        path = name;
        return true;
    }
    if (dirFd < 0) {
        errno = ENOSYS;
        return false;
    }
    const HANDLE handle = handleOf(dirFd);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    std::wstring dir(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, dir.data(), static_cast<DWORD>(dir.size()), 0);
    if (length >= dir.size()) {
        dir.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, dir.data(), static_cast<DWORD>(dir.size()), 0);
    }
    if (length == 0 || length >= dir.size()) {
        failWith(GetLastError());
        return false;
    }
    dir.resize(length);
    if (dir.back() != L'\\')
        dir += L'\\';
    path = velmo_utf8(dir.c_str()) + name;
    return true;
}

} // namespace

int fstatat(int dirFd, const char* name, struct velmo_stat* info, int) {
    std::string path;
    return pathAt(dirFd, name, path) ? velmo_stat(path.c_str(), info) : -1;
}

int openat(int dirFd, const char* name, int flags, int mode) {
    std::string path;
    return pathAt(dirFd, name, path) ? velmo_open(path.c_str(), flags, mode) : -1;
}

int unlinkat(int dirFd, const char* name, int) {
    std::string path;
    if (!pathAt(dirFd, name, path))
        return -1;
    return DeleteFileW(velmo_wide(path.c_str()).c_str()) ? 0 : failWith(GetLastError());
}

char* realpath(const char* path, char* resolved) {
    const std::wstring wide = velmo_wide(path);
    wchar_t* full = _wfullpath(nullptr, wide.c_str(), 0);
    if (full == nullptr) {
        errno = ENOENT;
        return nullptr;
    }
    const DWORD attributes = GetFileAttributesW(full);
    const std::string utf8 = velmo_utf8(full);
    std::free(full);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        failWith(GetLastError());
        return nullptr;
    }
    if (resolved == nullptr)
        return _strdup(utf8.c_str());
    if (utf8.size() >= MAX_PATH) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(resolved, utf8.c_str(), utf8.size() + 1);
    return resolved;
}

ssize_t readlink(const char*, char*, std::size_t) {
    errno = EINVAL;
    return -1;
}

struct tm* localtime_r(const std::time_t* time, struct tm* result) {
    return localtime_s(result, time) == 0 ? result : nullptr;
}

int fcntl(int fd, int command, int) {
    if (command != F_DUPFD_CLOEXEC) {
        errno = EINVAL;
        return -1;
    }
    return _dup(fd);
}

int flock(int fd, int operation) {
    const HANDLE handle = handleOf(fd);
    OVERLAPPED farByte{};
    farByte.OffsetHigh = 0x7fffffff;
    if (operation & LOCK_UN)
        return UnlockFileEx(handle, 0, 1, 0, &farByte) ? 0 : failWith(GetLastError());
    DWORD flags = (operation & LOCK_EX) ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (operation & LOCK_NB)
        flags |= LOCKFILE_FAIL_IMMEDIATELY;
    if (LockFileEx(handle, flags, 0, 1, 0, &farByte))
        return 0;
    const DWORD error = GetLastError();
    errno = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : errnoOf(error);
    return -1;
}

int futimens(int fd, const struct timespec times[2]) {
    FILETIME access{}, write{};
    const bool setAccess = times[0].tv_nsec != UTIME_OMIT;
    const bool setWrite = times[1].tv_nsec != UTIME_OMIT;
    if (setAccess)
        access = fileTimeOf(times[0]);
    if (setWrite)
        write = fileTimeOf(times[1]);
    return SetFileTime(handleOf(fd), nullptr, setAccess ? &access : nullptr, setWrite ? &write : nullptr)
               ? 0
               : failWith(GetLastError());
}

int sync_file_range(int, off64_t, off64_t, unsigned int) {
    // Windows starts no write-back on request; the final FlushFileBuffers writes everything out.
    return 0;
}

int statvfs(const char* path, struct statvfs* info) {
    ULARGE_INTEGER available{}, total{}, free{};
    const std::wstring wide = velmo_wide(path);
    if (!GetDiskFreeSpaceExW(wide.c_str(), &available, &total, &free))
        return failWith(GetLastError());
    // Files are given whole clusters; the figures are counted in them, as statvfs counts fragments.
    unsigned long cluster = 1;
    wchar_t volume[MAX_PATH + 1] = {};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetVolumePathNameW(wide.c_str(), volume, MAX_PATH) &&
        GetDiskFreeSpaceW(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
        sectorsPerCluster * bytesPerSector > 0)
        cluster = sectorsPerCluster * bytesPerSector;
    *info = {};
    info->f_bsize = info->f_frsize = cluster;
    info->f_blocks = total.QuadPart / cluster;
    info->f_bfree = free.QuadPart / cluster;
    info->f_bavail = available.QuadPart / cluster;
    return 0;
}

bool velmo_volume_is_fat(const char* path) {
    wchar_t volume[MAX_PATH + 1] = {};
    wchar_t system[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(velmo_wide(path).c_str(), volume, MAX_PATH) ||
        !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH))
        return false;
    return std::wcscmp(system, L"FAT") == 0 || std::wcscmp(system, L"FAT32") == 0;
}

char* mkdtemp(char* pattern) {
    const std::size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long bits = GetTickCount64() ^
                                  (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                  (static_cast<unsigned long long>(attempt) * 0x9e3779b97f4a7c15ULL);
        for (std::size_t i = length - 6; i < length; ++i, bits /= 36)
            pattern[i] = kLetters[bits % 36];
        if (CreateDirectoryW(velmo_wide(pattern).c_str(), nullptr))
            return pattern;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            failWith(GetLastError());
            return nullptr;
        }
    }
    errno = EEXIST;
    return nullptr;
}

std::string velmo_beside_program(const char* name) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return name;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.erase(path.find_last_of(L"\\/") + 1);
    return velmo_utf8(path.c_str()) + name;
}

// The C runtime's own below, where Windows has no words.
#undef strerror

char* velmo_strerror(int error) {
    const DWORD code = error == lastErrno && lastWindowsError != 0 ? lastWindowsError : windowsErrorOf(error);
    thread_local std::string text;
    text.clear();
    if (code != 0) {
        wchar_t* message = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
        if (length != 0 && message) {
            text = velmo_utf8(message);
            LocalFree(message);
        }
    }
    if (text.empty()) {
        // Nothing Windows would say: the C runtime's words.
        text = std::strerror(error);
    }
    // One sentence inside the program's own: no line end, no closing full stop.
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.data();
}
