#include "cli_args.h"

#include <charconv>
#include <cstdint>

namespace velmo {

namespace {

struct CommandShape {
    const char* name;
    CliCommand command;
    std::size_t minOperands;
    std::size_t maxOperands;
};

constexpr CommandShape kCommands[] = {
    {"dump", CliCommand::Dump, 1, 1},
    {"build", CliCommand::Build, 2, 2},
    {"check", CliCommand::Check, 1, 1},
    {"on", CliCommand::On, 2, 3},
    {"publish", CliCommand::Publish, 1, 1},
    {"media", CliCommand::Media, 1, SIZE_MAX},
    {"convert", CliCommand::Convert, 1, SIZE_MAX},
    {"diff", CliCommand::Diff, 2, 2},
};

ParsedCliArgs fail(std::string why) {
    return {std::nullopt, std::move(why) + " (see velmo-schedule --help)"};
}

std::optional<std::uint64_t> parseSeed(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        return std::nullopt;
    return value;
}

} // namespace

std::string CliUsage() {
    return "Usage:\n"
           "  velmo-schedule dump [--json] FILE.vlm\n"
           "      the basic rows, then each advance row followed by its detail rows, as the editor shows "
           "them;\n"
           "      with --json the schedule as JSON\n"
           "  velmo-schedule build INPUT.json OUTPUT.vlm [--seed N]\n"
           "      writes a schedule file from JSON (INPUT - reads standard input); --seed makes the random\n"
           "      bytes reproducible\n"
           "  velmo-schedule check FILE.vlm [--strict] [--today YYYY-MM-DD] [--until YYYY-MM-DD]\n"
           "                 [--media DIR]...\n"
           "      lists what is wrong with the file by byte position or entry, and each media file it\n"
           "      names that is in none of the --media folders (default: the schedule file's folder) or\n"
           "      will not play; warnings count as faults only with --strict; says until when its\n"
           "      periods play, and --until warns about every period that ends before that date\n"
           "  velmo-schedule diff OLD.vlm NEW.vlm [--json]\n"
           "      what NEW changes against OLD, one line per change (0 equal, 1 different, 2 unreadable)\n"
           "  velmo-schedule on FILE.vlm YYYY-MM-DD [HH:MM[:SS]]\n"
           "      lists the advance entries in force on that day (and at that time), which of them\n"
           "      plays and when, and the basic schedule when it plays\n"
           "  velmo-schedule publish FILE.vlm --to DIR [--media DIR]... [--dry-run] [--checksum]\n"
           "                 [--remove-unlisted] [--allow-remove-first] [--strict]\n"
           "                 [--force-destination]\n"
           "      writes the schedule file and every media file it names into DIR, media first, schedule\n"
           "      last; media come from the --media folders (default: the schedule file's folder). A line\n"
           "      per media name says copy, replace, keep, missing or remove; --dry-run writes nothing;\n"
           "      --checksum compares content instead of size and time; --remove-unlisted removes media\n"
           "      files (.jpg .avi .mpg .dat .vob .mp3) in DIR that the schedule does not name, after the\n"
           "      schedule file is written; --allow-remove-first lets a file that fits only without its\n"
           "      old copy replace it, the medium's schedule first rewritten without that file; a warn\n"
           "      line names each file that will not play, and --strict then writes nothing (status 1);\n"
           "      an empty folder where a removable medium is mounted is refused unless\n"
           "      --force-destination\n"
           "  velmo-schedule media [--json] FILE...\n"
           "      says for each media file whether the player plays it, what it is, how long it runs and\n"
           "      its player name, and why it will not play; --json prints a JSON array\n"
           "  velmo-schedule convert FILE... --to DIR [--tv pal|ntsc]\n"
           "      makes in DIR a copy of each file that the player plays, under its player name: pictures\n"
           "      as baseline JPEG within 1920x1080, video as DVD MPEG-2 (.MPG, PAL by default), sound as\n"
           "      MP3; a file that plays already is copied. One line per file: converted, copied or failed\n"
           "  velmo-schedule --help | --version\n"
           "\n"
           "Exit status: 0 done (check: clean; media: every file plays); 1 the schedule or file is invalid "
           "or\n"
           "damaged (nothing is written; publish: media are missing, the rest was written; media: a file\n"
           "will not play); 2 a file cannot be read or written,\n"
           "or the command line is wrong (publish: also the destination is no directory or too full);\n"
           "130 publish was stopped by Ctrl+C: it stops between files or inside one, every file on the\n"
           "medium whole and its schedule file the old one (a second Ctrl+C ends it at once; what that\n"
           "leaves half-written is hidden and removed by the next publish).\n";
}

ParsedCliArgs ParseCliArgs(const std::vector<std::string>& words) {
    if (words.empty())
        return fail("no command given");
    for (const std::string& word : words) {
        if (word == "--")
            break;
        if (word == "--help" || word == "-h")
            return {CliArgs{}, {}};
    }
    if (words.size() == 1 && words[0] == "--version") {
        CliArgs args;
        args.command = CliCommand::Version;
        return {args, {}};
    }

    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands)
        if (words[0] == candidate.name)
            shape = &candidate;
    if (!shape)
        return fail("unknown command \"" + words[0] + "\"");

    CliArgs args;
    args.command = shape->command;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            operands.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        std::string name = word;
        std::optional<std::string> value;
        if (const auto equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        }
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (value)
                return value;
            if (i + 1 < words.size())
                return words[++i];
            return std::nullopt;
        };
        if ((shape->command == CliCommand::Dump || shape->command == CliCommand::Media ||
             shape->command == CliCommand::Diff) &&
            name == "--json" && !value) {
            args.json = true;
        } else if ((shape->command == CliCommand::Check || shape->command == CliCommand::Publish) &&
                   name == "--strict" && !value) {
            args.strict = true;
        } else if (shape->command == CliCommand::Build && name == "--seed") {
            const auto text = takeValue();
            const auto seed = text ? parseSeed(*text) : std::nullopt;
            if (!seed)
                return fail("--seed needs a whole number from 0 to 18446744073709551615");
            args.seed = seed;
        } else if (shape->command == CliCommand::Check && (name == "--today" || name == "--until")) {
            const auto text = takeValue();
            const auto date = text ? ParseIsoDate(*text) : std::nullopt;
            if (!date)
                return fail(name + " needs a date YYYY-MM-DD");
            (name == "--today" ? args.today : args.until) = date;
        } else if ((shape->command == CliCommand::Publish && (name == "--to" || name == "--media")) ||
                   (shape->command == CliCommand::Check && name == "--media") ||
                   (shape->command == CliCommand::Convert && name == "--to")) {
            const auto text = takeValue();
            if (!text || text->empty())
                return fail(name + " needs a directory");
            if (name == "--to" && !args.to.empty())
                return fail("--to given twice");
            if (name == "--to")
                args.to = *text;
            else
                args.media.push_back(*text);
        } else if (shape->command == CliCommand::Convert && name == "--tv") {
            const auto text = takeValue();
            if (!text || (*text != "pal" && *text != "ntsc"))
                return fail("--tv needs pal or ntsc");
            args.ntsc = *text == "ntsc";
        } else if (shape->command == CliCommand::Publish && name == "--dry-run" && !value) {
            args.dryRun = true;
        } else if (shape->command == CliCommand::Publish && name == "--checksum" && !value) {
            args.checksum = true;
        } else if (shape->command == CliCommand::Publish && name == "--remove-unlisted" && !value) {
            args.removeUnlisted = true;
        } else if (shape->command == CliCommand::Publish && name == "--allow-remove-first" && !value) {
            args.allowRemoveFirst = true;
        } else if (shape->command == CliCommand::Publish && name == "--force-destination" && !value) {
            args.forceDestination = true;
        } else {
            return fail("unknown option \"" + word + "\" for " + shape->name);
        }
    }
    if (operands.size() < shape->minOperands || operands.size() > shape->maxOperands)
        return fail(std::string(shape->name) + " takes " +
                    (shape->command == CliCommand::Build  ? "INPUT.json OUTPUT.vlm"
                     : shape->command == CliCommand::Diff ? "OLD.vlm NEW.vlm"
                     : shape->command == CliCommand::On   ? "FILE.vlm YYYY-MM-DD [HH:MM[:SS]]"
                     : shape->command == CliCommand::Media || shape->command == CliCommand::Convert
                         ? "one or more media files"
                         : "one FILE.vlm"));
    if ((shape->command == CliCommand::Publish || shape->command == CliCommand::Convert) && args.to.empty())
        return fail(std::string(shape->name) + " needs --to DIR");
    args.input = operands[0];
    if (shape->command == CliCommand::Media || shape->command == CliCommand::Convert)
        args.files = operands;
    if (shape->command == CliCommand::Build)
        args.output = operands[1];
    if (shape->command == CliCommand::Diff)
        args.other = operands[1];
    if (shape->command == CliCommand::On) {
        const auto date = ParseIsoDate(operands[1]);
        if (!date)
            return fail("\"" + operands[1] + "\" is not a date YYYY-MM-DD");
        args.date = *date;
        if (operands.size() == 3) {
            const auto time = ParseClockTime(operands[2]);
            if (!time)
                return fail("\"" + operands[2] + "\" is not a time HH:MM or HH:MM:SS");
            args.time = time;
        }
    }
    return {args, {}};
}

} // namespace velmo
