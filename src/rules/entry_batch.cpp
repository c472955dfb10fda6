#include "entry_batch.h"

#include "entry_rules.h"
#include "texts/screen_texts.h"

#include <utility>

namespace velmo {

namespace {

template <typename Entry>
bool appendEntry(std::vector<Entry>& entries, std::int16_t& count, int limit, Entry entry) {
    if (count < 0 || count >= limit)
        return false;
    entries.resize(static_cast<std::size_t>(count) + 1);
    entries[static_cast<std::size_t>(count)] = std::move(entry);
    ++count;
    return true;
}

} // namespace

BatchAddResult NewFileEntries(int room, const std::vector<FileCandidate>& candidates, int playTimes,
                              int volume) {
    BatchAddResult result;
    for (const FileCandidate& candidate : candidates) {
        FileEntry entry;
        if (!candidate.isFile || !StoreFileEntry(entry, candidate.name, playTimes, volume)) {
            result.refused.push_back(candidate.name);
            continue;
        }
        if (static_cast<int>(result.entries.size()) >= room) {
            result.full = true;
            break;
        }
        result.entries.push_back(entry);
        result.added.push_back(candidate.name);
    }
    return result;
}

std::string BatchAddMessage(const BatchAddResult& result, const ScreenTexts& texts) {
    std::string message;
    if (!result.refused.empty()) {
        message = texts.text(TextId::MsgFilesNotAdded);
        for (const std::string& name : result.refused)
            message += "\r\n" + name;
    }
    if (result.full) {
        if (!message.empty())
            message += "\r\n\r\n";
        message += texts.text(TextId::MsgTooManyBasic) + "\r\n" +
                   FillIn(texts.text(TextId::MsgFilesAdded), {std::to_string(result.added.size())});
    }
    return message;
}

bool AppendEntry(std::vector<FileEntry>& entries, std::int16_t& count, int limit, FileEntry entry) {
    return appendEntry(entries, count, limit, std::move(entry));
}

bool AppendEntry(std::vector<AdvanceEntry>& entries, std::int16_t& count, int limit, AdvanceEntry entry) {
    return appendEntry(entries, count, limit, std::move(entry));
}

} // namespace velmo
