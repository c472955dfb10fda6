#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

// The names of the media files in the media folders, listed once, so that hundreds of schedule
// entries can be looked up without listing a folder for each: the one index the overview, the
// problems list and Write to Player Medium all look media up in. Letter case is ignored, as the
// player's medium and FileExistsInDir ignore it; hidden files and anything but regular files (a link
// counts as the file it leads to) are left out.
class MediaFolder {
public:
    struct Listing {
        std::string dir; // ending in the separator
        bool readable = false;
        std::string error; // why it cannot be read
        // By upper-cased name. Where a case-sensitive folder holds several spellings of one name, the
        // exact upper-case one wins, else the first in byte order.
        std::map<std::string, std::string> byUpperName;

        // The folder's own spelling of the name, in any letter case.
        std::optional<std::string> find(const std::string& name) const;
    };

    explicit MediaFolder(const std::string& directory);
    // The files of several folders as one; a name is taken from the first folder holding it.
    explicit MediaFolder(const std::vector<std::string>& directories);
    bool contains(const std::string& name) const;
    // Each folder in the order given, readable or not.
    const std::vector<Listing>& folders() const { return folders_; }

private:
    void add(const std::string& directory);

    std::vector<Listing> folders_;
};

} // namespace velmo
