#pragma once

// Adding many entries at once (several files picked or dropped, a pasted entry), with the limits and
// name rules of the single Add. Free of Qt, so the editor, the drop and the tests share it.

#include "model/schedule.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// A picked or dropped file: its name (without directory) and whether it is a file that exists.
struct FileCandidate {
    std::string name;
    bool isFile = true;
};

struct BatchAddResult {
    std::vector<FileEntry> entries;   // the entries to append, in order
    std::vector<std::string> added;   // their names as picked
    std::vector<std::string> refused; // folders, vanished files, names the player cannot take
    bool full = false;                // the list reached its limit before every file was added
};

// One entry per usable candidate, in order, as the editor's Add stores it, until `room` entries are
// made. Refused candidates are skipped whole; nothing is half-added.
BatchAddResult NewFileEntries(int room, const std::vector<FileCandidate>& candidates, int playTimes,
                              int volume);

// What to tell the user after a batch, in the active screen texts; empty when all went in.
std::string BatchAddMessage(const BatchAddResult& result, const ScreenTexts& texts);

// Appends a copy as Add does (the copy of an advance entry brings its detail entries); taken by
// value, so an entry of the same list can be appended. False, with nothing changed, at the limit.
bool AppendEntry(std::vector<FileEntry>& entries, std::int16_t& count, int limit, FileEntry entry);
bool AppendEntry(std::vector<AdvanceEntry>& entries, std::int16_t& count, int limit, AdvanceEntry entry);

} // namespace velmo
