#pragma once

#include <set>
#include <string>

namespace velmo {

// The names of the media files in one folder, listed once, so that hundreds of schedule entries
// can be looked up without listing the folder for each. Letter case is ignored, as the player's
// medium and FileExistsInDir ignore it; hidden files and anything but regular files are left out.
class MediaFolder {
public:
    explicit MediaFolder(const std::string& directory);
    bool contains(const std::string& name) const;

private:
    std::set<std::string> names_; // upper-cased
};

} // namespace velmo
