#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velmo {

// The native directory separator; every directory value ends in it.
#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
// Windows also takes "/", as typed on a command line.
inline constexpr char kPathSeparators[] = "\\/";
#else
inline constexpr char kDirSeparator = '/';
inline constexpr char kPathSeparators[] = "/";
#endif

inline bool IsPathSeparator(char c) {
    return std::string_view(kPathSeparators).find(c) != std::string_view::npos;
}

// Upper-cases a-z and keeps every other character: the letter case the medium and the existence
// test ignore, and the case names are stored in.
std::string UpperCase(std::string_view text);

// True when the directory holds a regular, non-hidden file matching the name or pattern
// ('*' and '?' wildcards, letter case ignored). Any error gives false.
bool FileExistsInDir(const std::string& directory, const std::string& pattern);

// The name under which directory holds the regular file (hidden ones included) that `name` names
// without regard to letter case: `name` itself when it exists as written, otherwise the first such
// name in byte order; nothing when there is none. Reads, replacements and deletions after an
// existence test go through this, so they reach the file the test found instead of a new one.
std::optional<std::string> ExistingFileName(const std::string& directory, const std::string& name);

// One listing of a directory's regular, non-hidden files, for many existence tests in a row (the
// free default-name search); contains() answers as FileExistsInDir would when it was taken.
class DirectorySnapshot {
public:
    explicit DirectorySnapshot(const std::string& directory);
    bool contains(const std::string& pattern) const;

private:
    std::vector<std::string> names_;
    std::unordered_set<std::string> foldedNames_;
};

// A directory with exactly one trailing separator added when it has none.
std::string WithTrailingSeparator(std::string directory);

// A path that names its place without a current directory: "/..." here, "C:\..." or a UNC
// "\\server\share\..." on Windows.
bool IsAbsolutePath(std::string_view path);

// The text up to and including the last separator; empty when there is none.
std::string PathDirectory(const std::string& path);
// The text after the last separator; the whole text when there is none.
std::string PathFileName(const std::string& path);

// The names in a directory that do not begin with a dot, in byte order; nothing when it cannot be
// listed, with the system's reason in `error`.
std::optional<std::vector<std::string>> VisibleNames(const std::string& directory, std::string& error);

// Deletes directory + name; false when it is missing, read-only (no owner write permission) or
// cannot be deleted, with errno saying which (EACCES for read-only).
bool DeleteFileInDir(const std::string& directory, const std::string& name);

} // namespace velmo
