#include "media_folder.h"

#include "file_system.h"

#include <algorithm>
#include <sys/stat.h>

namespace velmo {

MediaFolder::MediaFolder(const std::string& directory) {
    add(directory);
}

MediaFolder::MediaFolder(const std::vector<std::string>& directories) {
    for (const std::string& directory : directories)
        add(directory);
}

void MediaFolder::add(const std::string& directory) {
    Listing& folder = folders_.emplace_back();
    if (directory.empty()) {
        folder.error = "no folder given";
        return;
    }
    folder.dir = WithTrailingSeparator(directory);
    const std::optional<std::vector<std::string>> names = VisibleNames(folder.dir, folder.error);
    if (!names)
        return;
    folder.readable = true;
    for (const std::string& name : *names) {
        // Follows links, so a link to a regular file counts as that file.
        struct stat info {};
        if (::stat((folder.dir + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const std::string upper = UpperCase(name);
        auto [it, inserted] = folder.byUpperName.emplace(upper, name);
        if (!inserted && name == upper)
            it->second = name;
    }
}

std::optional<std::string> MediaFolder::Listing::find(const std::string& name) const {
    const auto it = byUpperName.find(UpperCase(name));
    if (it == byUpperName.end())
        return std::nullopt;
    return it->second;
}

bool MediaFolder::contains(const std::string& name) const {
    return std::any_of(folders_.begin(), folders_.end(),
                       [&name](const Listing& folder) { return folder.find(name).has_value(); });
}

} // namespace velmo
