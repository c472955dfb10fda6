#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

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

std::string foldedName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), foldCase);
    return name;
}

bool hasWildcard(const std::string& pattern) {
    return pattern.find_first_of("*?") != std::string::npos;
}

// A trailing separator is dropped before listing, except the root's own.
std::string listingPath(const std::string& directory) {
    std::string path = directory;
    if (path.size() > 1 && path.back() == kDirSeparator)
        path.pop_back();
    return path;
}

// Follows links, so a link to a regular file counts as that file.
bool isRegularEntry(int dirFd, const dirent* entry) {
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info {};
    return ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
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

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = foldCase(c);
    return result;
}

bool FileExistsInDir(const std::string& directory, const std::string& pattern) {
    if (directory.empty() || pattern.empty() || pattern.find(kDirSeparator) != std::string::npos)
        return false;
    DirectoryListing listing(listingPath(directory));
    if (!listing.get())
        return false;
    const int dirFd = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        // Dot-files are this platform's hidden files.
        if (entry->d_name[0] == '.' || !matches(entry->d_name, pattern.c_str()))
            continue;
        if (isRegularEntry(dirFd, entry))
            return true;
    }
    return false;
}

std::optional<std::string> ExistingFileName(const std::string& directory, const std::string& name) {
    if (directory.empty() || name.empty() || name.find(kDirSeparator) != std::string::npos)
        return std::nullopt;
    struct stat info {};
    if (::stat((WithTrailingSeparator(directory) + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return name;
    DirectoryListing listing(listingPath(directory));
    if (!listing.get())
        return std::nullopt;
    const int dirFd = ::dirfd(listing.get());
    const std::string wanted = foldedName(name);
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string candidate = entry->d_name;
        if (foldedName(candidate) == wanted && (!found || candidate < *found) && isRegularEntry(dirFd, entry))
            found = candidate;
    }
    return found;
}

DirectorySnapshot::DirectorySnapshot(const std::string& directory) {
    if (directory.empty())
        return;
    DirectoryListing listing(listingPath(directory));
    if (!listing.get())
        return;
    const int dirFd = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        if (entry->d_name[0] == '.' || !isRegularEntry(dirFd, entry))
            continue;
        names_.emplace_back(entry->d_name);
        foldedNames_.insert(foldedName(entry->d_name));
    }
}

bool DirectorySnapshot::contains(const std::string& pattern) const {
    if (pattern.empty() || pattern.find(kDirSeparator) != std::string::npos)
        return false;
    if (!hasWildcard(pattern))
        return foldedNames_.count(foldedName(pattern)) > 0;
    return std::any_of(names_.begin(), names_.end(), [&pattern](const std::string& name) {
        return matches(name.c_str(), pattern.c_str());
    });
}

bool IsAbsolutePath(std::string_view path) {
#ifdef _WIN32
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && IsPathSeparator(path[2]);
    return drive || (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]));
#else
    return !path.empty() && IsPathSeparator(path[0]);
#endif
}

std::string WithTrailingSeparator(std::string directory) {
    if (directory.empty() || !IsPathSeparator(directory.back()))
        directory += kDirSeparator;
    return directory;
}

std::string PathDirectory(const std::string& path) {
    const auto separator = path.find_last_of(kPathSeparators);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string PathFileName(const std::string& path) {
    const auto separator = path.find_last_of(kPathSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::optional<std::vector<std::string>> VisibleNames(const std::string& directory, std::string& error) {
    const DirectoryListing listing(directory);
    if (!listing.get()) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing.get()))
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    std::sort(names.begin(), names.end());
    return names;
}

bool DeleteFileInDir(const std::string& directory, const std::string& name) {
    // An empty directory would otherwise turn the name into a path at the file-system root.
    if (directory.empty() || name.empty()) {
        errno = EINVAL;
        return false;
    }
    // The file the existence test found, whatever letter case it is stored in.
    const std::string path =
        WithTrailingSeparator(directory) + ExistingFileName(directory, name).value_or(name);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // Root may delete anything, so the read-only rule is checked here rather than left to the system.
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

} // namespace velmo
