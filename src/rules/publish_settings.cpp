#include "publish.h"

#include "model/file_system.h"

#include <algorithm>

namespace velmo {

std::vector<std::string> MediaFoldersOf(const PublishSettings& settings, const std::string& mediaDir) {
    std::vector<std::string> folders =
        settings.mediaDirs.empty() ? std::vector<std::string>{mediaDir} : settings.mediaDirs;
    if (!settings.playerCopiesDir.empty() &&
        std::find(folders.begin(), folders.end(), settings.playerCopiesDir) == folders.end())
        folders.push_back(settings.playerCopiesDir);
    return folders;
}

std::vector<std::string> ScheduleMediaFolders(const PublishSettings& settings, const std::string& mediaDir,
                                              const std::string& scheduleDir) {
    std::vector<std::string> folders = MediaFoldersOf(settings, mediaDir);
    if (!scheduleDir.empty() &&
        std::none_of(folders.begin(), folders.end(), [&scheduleDir](const std::string& folder) {
            return WithTrailingSeparator(folder) == WithTrailingSeparator(scheduleDir);
        }))
        folders.push_back(scheduleDir);
    return folders;
}

} // namespace velmo
