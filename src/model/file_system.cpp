#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmo {

namespace {

char foldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// '*' matches any run of characters, '?' any one; letters match either case.
bool matches(const char* name, const char* pattern) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || (*pattern && foldCase(*pattern) == foldCase(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

class DirectoryListing {
public:
    explicit DirectoryListing(const std::string& path) : dir_(::opendir(path.c_str())) {}
    ~DirectoryListing() {
        if (dir_)
            ::closedir(dir_);
    }
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

} // namespace

bool FileExistsInDir(const std::string& directory, const std::string& pattern) {
    if (directory.empty() || pattern.empty() || pattern.find(kDirSeparator) != std::string::npos)
        return false;
    std::string path = directory;
    if (path.size() > 1 && path.back() == kDirSeparator)
        path.pop_back();
    DirectoryListing listing(path);
    if (!listing.get())
        return false;
    const int dirFd = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        // Dot-files are this platform's hidden files.
        if (entry->d_name[0] == '.' || !matches(entry->d_name, pattern.c_str()))
            continue;
        // Follows links, so a link to a regular file counts as that file.
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            return true;
    }
    return false;
}

std::string PathDirectory(const std::string& path) {
    const auto separator = path.find_last_of(kDirSeparator);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string PathFileName(const std::string& path) {
    const auto separator = path.find_last_of(kDirSeparator);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool DeleteFileInDir(const std::string& directory, const std::string& name) {
    // An empty directory would otherwise turn the name into a path at the file-system root.
    if (directory.empty() || name.empty())
        return false;
    std::string path = directory;
    if (path.back() != kDirSeparator)
        path += kDirSeparator;
    path += name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    // Root may delete anything, so the read-only rule is checked here rather than left to the system.
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0)
        return false;
    return ::unlink(path.c_str()) == 0;
}

} // namespace velmo
