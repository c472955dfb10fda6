#pragma once

#include <set>
#include <string>
#include <vector>

namespace velmo {

// The names of the media files in one folder, listed once, so that hundreds of schedule entries
// can be looked up without listing the folder for each. Letter case is ignored, as the player's
// medium and FileExistsInDir ignore it; hidden files and anything but regular files are left out.
class MediaFolder {
public:
    explicit MediaFolder(const std::string& directory);
    // The files of several folders as one, as the publish lookup sees them.
    explicit MediaFolder(const std::vector<std::string>& directories);
    bool contains(const std::string& name) const;

private:
    void add(const std::string& directory);

    std::set<std::string> names_; // upper-cased
};

} // namespace velmo
