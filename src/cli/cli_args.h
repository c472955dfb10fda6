#pragma once

#include "rules/civil_date.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo {

enum class CliCommand { Help, Version, Dump, Build, Check, On, Publish, Media, Convert, Diff };

struct CliArgs {
    CliCommand command = CliCommand::Help;
    std::string input;  // dump, check, on: the schedule file; build: the JSON ("-" for standard input)
    std::string output; // build: the schedule file to write
    bool json = false;  // dump --json, media --json, diff --json
    std::optional<std::uint64_t> seed; // build --seed N
    bool strict = false;               // check and publish --strict
    std::optional<CivilDate> today;    // check --today YYYY-MM-DD
    std::optional<CivilDate> until;    // check --until YYYY-MM-DD
    std::string other;                 // diff: the new schedule file
    bool forceDestination = false;     // publish --force-destination
    CivilDate date;                    // on
    std::optional<ClockTime> time;     // on
    std::string to;                    // publish, convert --to DIR
    std::vector<std::string> media;    // publish, check --media DIR, in the order given
    bool dryRun = false;               // publish --dry-run
    bool checksum = false;             // publish --checksum
    bool removeUnlisted = false;       // publish --remove-unlisted
    bool allowRemoveFirst = false;     // publish --allow-remove-first
    std::vector<std::string> files;    // media, convert: the media files, as given
    bool ntsc = false;                 // convert --tv ntsc
};

struct ParsedCliArgs {
    std::optional<CliArgs> args;
    std::string error; // one line, when args is empty
};

// The words after the program name. Options may stand before or after the operands; "--" ends them.
ParsedCliArgs ParseCliArgs(const std::vector<std::string>& words);

// The usage text of --help.
std::string CliUsage();

} // namespace velmo
