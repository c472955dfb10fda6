#pragma once

#include <string>

namespace velmo {

// The native directory separator; every directory value ends in it.
inline constexpr char kDirSeparator = '/';

// True when the directory holds a regular, non-hidden file matching the name or pattern
// ('*' and '?' wildcards, letter case ignored). Any error gives false.
bool FileExistsInDir(const std::string& directory, const std::string& pattern);

// The text up to and including the last separator; empty when there is none.
std::string PathDirectory(const std::string& path);
// The text after the last separator; the whole text when there is none.
std::string PathFileName(const std::string& path);

// Deletes directory + name; false when it is missing, read-only (no owner write permission) or
// cannot be deleted.
bool DeleteFileInDir(const std::string& directory, const std::string& name);

} // namespace velmo
