#include "player_name_claims.h"

#include "model/file_system.h"
#include "model/media_copy.h"
#include "rules/entry_rules.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace velmo {

namespace {

// Every name the schedule's lists hold, once, in the order they first appear.
std::vector<std::string> scheduleNames(const Schedule& schedule) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    const auto note = [&](const FileEntry& entry) {
        const std::string name = UpperCase(StoredNameText(entry));
        if (seen.insert(name).second)
            names.push_back(name);
    };
    for (int i = 0; i < schedule.basicCount && i < static_cast<int>(schedule.basicEntries.size()); ++i)
        note(schedule.basicEntries[static_cast<std::size_t>(i)]);
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        for (int k = 0; k < e.fileCount && k < static_cast<int>(e.files.size()); ++k)
            note(e.files[static_cast<std::size_t>(k)]);
    }
    return names;
}

bool sameBytes(const std::string& a, const std::string& b) {
    return SameFileContent(a, b);
}

} // namespace

PlayerNameClaims ContentNameClaims() {
    return PlayerNameClaims(sameBytes);
}

void HoldScheduleNames(PlayerNameClaims& claims, const Schedule& schedule,
                       const std::vector<std::string>& folders) {
    for (const std::string& name : scheduleNames(schedule)) {
        std::string file;
        for (const std::string& folder : folders)
            if (const auto existing = ExistingFileName(WithTrailingSeparator(folder), name)) {
                file = WithTrailingSeparator(folder) + *existing;
                break;
            }
        // Held by no file when none is there yet: the name stays for the file still to come.
        claims.hold(name, file);
    }
}

void ClaimPlayerNames(std::vector<ExaminedMedia>& examined, PlayerNameClaims& claims) {
    for (ExaminedMedia& media : examined)
        if (media.playerName)
            media.playerName = claims.claim(*media.playerName, media.path);
}

std::vector<SharedPlayerName> SharedPlayerNames(const Schedule& schedule,
                                                const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    std::map<std::string, std::vector<std::string>> filling; // the schedule's names, upper-cased
    for (const std::string& name : scheduleNames(schedule))
        filling[name];
    std::set<std::string> listed;
    for (const std::string& folder : folders) {
        const std::string base = WithTrailingSeparator(folder);
        if (!listed.insert(base).second)
            continue;
        std::error_code error;
        std::vector<std::string> fileNames;
        for (fs::directory_iterator it(fs::u8path(folder), error), end; !error && it != end;
             it.increment(error)) {
            std::error_code ignored;
            if (!it->is_regular_file(ignored))
                continue;
            const std::u8string spelled = it->path().filename().u8string();
            fileNames.emplace_back(spelled.begin(), spelled.end());
        }
        std::sort(fileNames.begin(), fileNames.end());
        for (const std::string& fileName : fileNames) {
            const std::optional<std::string> playerName = MakePlayerName(fileName);
            if (!playerName)
                continue;
            const auto found = filling.find(UpperCase(*playerName));
            if (found != filling.end())
                found->second.push_back(base + fileName);
        }
    }
    std::vector<SharedPlayerName> shared;
    for (const std::string& name : scheduleNames(schedule)) {
        // Files of the same bytes fill the name alike: one of each counts.
        std::vector<std::string> different;
        for (const std::string& file : filling[name]) {
            bool known = false;
            for (const std::string& kept : different)
                known = known || SameFileContent(kept, file);
            if (!known)
                different.push_back(file);
        }
        if (different.size() > 1)
            shared.push_back({name, different});
    }
    return shared;
}

} // namespace velmo
