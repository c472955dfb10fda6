#include "media_folder.h"

#include "file_system.h"

#include <filesystem>

namespace velmo {

MediaFolder::MediaFolder(const std::string& directory) {
    add(directory);
}

MediaFolder::MediaFolder(const std::vector<std::string>& directories) {
    for (const std::string& directory : directories)
        add(directory);
}

void MediaFolder::add(const std::string& directory) {
    if (directory.empty())
        return;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code statError;
        // Follows links, so a link to a regular file counts as that file.
        if (name.empty() || name[0] == '.' || !std::filesystem::is_regular_file(it->path(), statError))
            continue;
        names_.insert(UpperCase(name));
    }
}

bool MediaFolder::contains(const std::string& name) const {
    return names_.count(UpperCase(name)) > 0;
}

} // namespace velmo
