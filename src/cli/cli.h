#pragma once

#include "rules/civil_date.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace velmo {

// What the tool takes from the world, so tests can run it whole.
struct CliEnvironment {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    std::function<CivilDate()> today;
    // Seeds the random bytes of a written file when --seed is not given.
    std::function<std::uint64_t()> freshSeed;
    // Whether progress may be drawn on `err`; unset means it may not.
    std::function<bool()> errIsTerminal = {};
    // Ctrl+C while a publish writes: `catchInterrupts(true)` before the write turns an interrupt into
    // a request to stop at the next safe point, which `interrupted` then reports; `(false)` after it.
    // Unset: an interrupt ends the tool as usual, and nothing stops the write.
    std::function<void(bool)> catchInterrupts = {};
    std::function<bool()> interrupted = {};
    // Where the editor keeps what it remembers (its publish settings, with the last schedule written
    // onto each medium); unset or empty: nothing remembered.
    std::function<std::string()> editorDataDir = {};
};

// Exit status of the tool.
enum CliStatus : int {
    kStatusOk = 0,
    kStatusInvalid = 1,       // the schedule or the file is invalid or damaged
    kStatusCannotRead = 2,    // a file cannot be read or written, or the command line is wrong
    kStatusInterrupted = 130, // Ctrl+C stopped a publish before it was complete, as shells count it
};

// Runs one command; `words` are the arguments after the program name.
int RunCli(const std::vector<std::string>& words, CliEnvironment& env);

// Today's date by the local clock.
CivilDate LocalToday();

// Where the editor installed on this computer keeps what it remembers: beside the tool when the
// editor runs from there and has remembered something, else the user's data folder for it.
std::string EditorDataDirectory(const std::string& toolDir);

} // namespace velmo
