#include "cli.h"

#include "rules/period_groups.h"

#include "cli_args.h"
#include "media/media_probe.h"
#include "media/publish_summary.h"
#include "media_commands.h"
#include "model/file_system.h"
#include "model/product_version.h"
#include "model/publish_settings.h"
#include "model/random_source.h"
#include "model/safe_file.h"
#include "model/schedule_file.h"
#include "model/whole_file.h"
#include "rules/medium_identity.h"
#include "rules/publish.h"
#include "rules/schedule_content.h"
#include "rules/schedule_difference.h"
#include "rules/schedule_horizon.h"
#include "rules/schedule_match.h"
#include "rules/schedule_rules.h"
#include "schedule_check.h"
#include "schedule_json.h"
#include "texts/screen_texts.h"

#include <cstdlib>
#include <ctime>
#include <functional>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sys/stat.h>

namespace velmo {

namespace {

// Far above the longest schedule file (about 2 MB with every count at 255); what lies beyond is
// trailing bytes anyway, and a mistaken huge file must not be read whole.
constexpr std::size_t kMaxInputLength = 16u << 20;

const char kStandardInput[] = "(standard input)";

std::string tooLarge() {
    return "too large: longer than " + std::to_string(kMaxInputLength) + " bytes";
}

// Reads at most kMaxInputLength + 1 bytes, as a file is read, so a flood on a pipe cannot take
// all memory before it is refused.
bool readStream(std::istream& in, WholeFile& input) {
    input = {};
    std::string& bytes = input.bytes;
    char buffer[65536];
    while (bytes.size() <= kMaxInputLength && in.read(buffer, sizeof buffer).gcount() > 0)
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return false;
    input.longer = bytes.size() > kMaxInputLength;
    if (input.longer)
        bytes.resize(kMaxInputLength);
    return true;
}

// The same file by device and inode, however it is named.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

class Command {
public:
    Command(const CliArgs& args, CliEnvironment& env) : args_(args), env_(env) {}

    int run() {
        switch (args_.command) {
        case CliCommand::Help:
            env_.out << CliUsage();
            return kStatusOk;
        case CliCommand::Version:
            env_.out << "velmo-schedule (" << EnglishText(TextId::TextProductName) << ")\n"
                     << EnglishText(TextId::TextSoftwareVersion) << ' ' << kSoftwareVersion << '\n'
                     << EnglishText(TextId::TextScheduleKernelVersion) << ' ' << kScheduleKernelVersion
                     << '\n';
            return kStatusOk;
        case CliCommand::Dump:
            return dump();
        case CliCommand::Build:
            return build();
        case CliCommand::Check:
            return check();
        case CliCommand::On:
            return on();
        case CliCommand::Publish:
            return publish();
        case CliCommand::Media:
            return RunMediaCommand(args_, env_);
        case CliCommand::Convert:
            return RunConvertCommand(args_, env_);
        case CliCommand::Diff:
            return diff();
        }
        return kStatusCannotRead;
    }

private:
    void say(const std::string& file, const std::string& what) { env_.err << file << ": " << what << '\n'; }

    // Reads a file named on the command line; false (with the message shown) when it cannot.
    bool readInput(const std::string& path, WholeFile& input) {
        const Result read = ReadWholeFile(path, kMaxInputLength, input);
        if (!read)
            say(path, "cannot read: " + read.reason);
        return bool(read);
    }

    // Reads and decodes a schedule file; the status to end with when it fails.
    std::optional<int> load(Schedule& schedule) {
        WholeFile input;
        if (!readInput(args_.input, input))
            return kStatusCannotRead;
        const auto* data = reinterpret_cast<const std::uint8_t*>(input.bytes.data());
        if (const Result decoded = DecodeSchedule(data, input.bytes.size(), schedule); !decoded) {
            say(args_.input, decoded.reason);
            return kStatusInvalid;
        }
        return std::nullopt;
    }

    // The --media folders; the schedule file's own folder when none is given.
    std::vector<std::string> mediaFolders() const {
        if (!args_.media.empty())
            return args_.media;
        return {PathDirectory(args_.input).empty() ? std::string("./") : PathDirectory(args_.input)};
    }

    int dump() {
        Schedule s;
        if (const auto failed = load(s))
            return *failed;
        if (args_.json) {
            env_.out << ScheduleToJson(s);
            return kStatusOk;
        }
        for (int i = 0; i < s.basicCount; ++i)
            env_.out << FormatFileRow(s.basicEntries[i]) << '\n';
        for (int i = 0; i < s.advanceCount; ++i) {
            const AdvanceEntry& e = s.advanceEntries[i];
            env_.out << FormatAdvanceRow(e) << "   "
                     << HoursText(e, EnglishTexts().text(TextId::TextHoursAllDay)) << '\n';
            for (int k = 0; k < e.fileCount; ++k)
                env_.out << "  " << FormatFileRow(e.files[k]) << '\n';
        }
        return kStatusOk;
    }

    int build() {
        const bool fromStandardInput = args_.input == "-";
        const std::string inputName = fromStandardInput ? kStandardInput : args_.input;
        // Replacing the JSON with the schedule built from it would lose the JSON.
        if (!fromStandardInput && sameFile(args_.input, args_.output)) {
            say(args_.output, "cannot write: it is the input file");
            return kStatusCannotRead;
        }
        WholeFile input;
        if (fromStandardInput) {
            if (!readStream(env_.in, input)) {
                say(inputName, "cannot read");
                return kStatusCannotRead;
            }
        } else if (!readInput(args_.input, input)) {
            return kStatusCannotRead;
        }
        if (input.longer) {
            say(inputName, tooLarge());
            return kStatusInvalid;
        }

        JsonSchedule parsed = ParseScheduleJson(input.bytes);
        if (!parsed.syntax.empty()) {
            for (const Finding& f : parsed.syntax)
                env_.err << FormatFinding(inputName, f) << '\n';
            return kStatusInvalid;
        }
        std::vector<Finding> refusals = std::move(parsed.names);
        const std::vector<Finding> content = CheckScheduleContent(parsed.schedule);
        refusals.insert(refusals.end(), content.begin(), content.end());
        if (!refusals.empty()) {
            SortByEntry(refusals);
            for (const Finding& f : refusals)
                env_.err << FormatFinding(inputName, f) << '\n';
            return kStatusInvalid;
        }

        SeededRandomSource random(args_.seed ? *args_.seed : env_.freshSeed());
        std::vector<std::uint8_t> bytes;
        if (const Result encoded = EncodeSchedule(parsed.schedule, random, bytes); !encoded) {
            say(inputName, encoded.reason);
            return kStatusInvalid;
        }
        if (const Result written = WriteFileAtomically(args_.output, bytes); !written) {
            say(args_.output, "cannot write: " + written.reason);
            return kStatusCannotRead;
        }
        return kStatusOk;
    }

    int check() {
        WholeFile input;
        if (!readInput(args_.input, input))
            return kStatusCannotRead;
        const CivilDate today = args_.today ? *args_.today : env_.today();
        const auto* data = reinterpret_cast<const std::uint8_t*>(input.bytes.data());
        std::vector<Finding> findings = CheckScheduleFile(data, input.bytes.size(), today);
        std::vector<std::string> horizon;
        if (Schedule s; DecodeSchedule(data, input.bytes.size(), s)) {
            const std::vector<Finding> media = CheckScheduleMedia(s, mediaFolders());
            findings.insert(findings.end(), media.begin(), media.end());
            if (args_.until)
                for (const int i : PeriodsEndingBefore(s, today, *args_.until))
                    findings.push_back(Finding::about(
                        EntryId::advance(i),
                        "ends on " +
                            FormatIsoDate(StopDateOf(s.advanceEntries[static_cast<std::size_t>(i)])) +
                            ", before " + FormatIsoDate(*args_.until),
                        Finding::Severity::Warning));
            SortByEntry(findings);
            horizon = ScheduleHorizonLines(s, today, EnglishTexts());
        }
        int errors = 0;
        int warnings = 0;
        for (const Finding& f : findings) {
            env_.err << FormatFinding(args_.input, f) << '\n';
            (f.severity == Finding::Severity::Error ? errors : warnings)++;
        }
        if (input.longer) {
            say(args_.input, "only the first " + std::to_string(kMaxInputLength) + " bytes were examined");
            ++errors;
        }
        for (const std::string& line : horizon)
            env_.out << line << '\n';
        if (errors == 0 && warnings == 0) {
            env_.out << args_.input << ": clean\n";
            return kStatusOk;
        }
        env_.out << args_.input << ": " << errors << (errors == 1 ? " error, " : " errors, ") << warnings
                 << (warnings == 1 ? " warning\n" : " warnings\n");
        return errors > 0 || (args_.strict && warnings > 0) ? kStatusInvalid : kStatusOk;
    }

    // What the second schedule changes against the first, in the editor's words; the exit status
    // as diff gives it.
    int diff() {
        Schedule before, after;
        for (const auto& [path, schedule] :
             {std::pair{&args_.input, &before}, std::pair{&args_.other, &after}}) {
            WholeFile input;
            if (!readInput(*path, input))
                return kStatusCannotRead;
            const auto* data = reinterpret_cast<const std::uint8_t*>(input.bytes.data());
            if (const Result decoded = DecodeSchedule(data, input.bytes.size(), *schedule); !decoded) {
                say(*path, decoded.reason);
                return kStatusCannotRead;
            }
        }
        const std::vector<std::string> lines = ScheduleDifferenceLines(before, after, EnglishTexts());
        const bool equal = lines.size() == 1 && lines[0] == EnglishText(TextId::MsgDiffNone);
        if (args_.json) {
            nlohmann::json changes = nlohmann::json::array();
            for (std::size_t i = 0; i < lines.size() && !equal; ++i)
                changes.push_back(lines[i]);
            env_.out << nlohmann::json{{"equal", equal}, {"changes", changes}}.dump(2) << '\n';
        } else {
            for (const std::string& line : lines)
                env_.out << line << '\n';
        }
        env_.out.flush();
        if (!env_.out) {
            env_.err << "velmo-schedule: cannot write the output\n";
            return kStatusCannotRead;
        }
        return equal ? kStatusOk : kStatusInvalid;
    }

    // The entries in force, each marked with when it plays (the first in list order plays, the
    // others are silent then), and the basic schedule when it plays.
    int on() {
        Schedule s;
        if (const auto failed = load(s))
            return *failed;
        // At a moment: "plays" or nothing. On a whole day: the stretches of it, or nothing.
        std::function<std::string(int)> plays;
        if (args_.time) {
            const InForce now = WhatIsInForce(s, args_.date, *args_.time);
            plays = [now](int advance) { return advance == now.playing() ? "plays" : ""; };
        } else {
            plays = [day = DayPlan(s, args_.date)](int advance) {
                std::string stretches;
                for (const PlaySpan& span : day)
                    if (span.advance == advance)
                        stretches += (stretches.empty() ? " " : ", ") +
                                     FormatClockTime(TimeOfSecond(span.first)) + "-" +
                                     FormatClockTime(TimeOfSecond(span.last));
                return stretches.empty() ? stretches : "plays" + stretches;
            };
        }
        const auto files = [this](const std::vector<FileEntry>& list, int count) {
            for (int k = 0; k < count; ++k)
                env_.out << "  " << FormatFileRow(list[static_cast<std::size_t>(k)]) << '\n';
        };
        for (const int i : AdvanceEntriesInForce(s, args_.date, args_.time)) {
            const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
            const std::string when = plays(i);
            env_.out << "advance entry " << i + 1 << ": " << FormatAdvanceRow(e) << "   "
                     << FormatClockTime(StartTimeOf(e)) << "-" << FormatClockTime(StopTimeOf(e)) << "   "
                     << (when.empty() ? "silent" : when) << '\n';
            files(e.files, e.fileCount);
        }
        if (const std::string when = plays(-1); !when.empty()) {
            env_.out << "basic schedule   " << when << '\n';
            files(s.basicEntries, s.basicCount);
        }
        return kStatusOk;
    }

    // The files the write would put on the medium, examined as the editor's Write examines them.
    static MediaWarnings publishWarnings(const PublishPlan& plan, MediaProbeCache& cache) {
        std::vector<std::string> names;
        std::vector<std::string> paths;
        for (const PublishItem& item : plan.items)
            if (item.goesOnMedium()) {
                names.push_back(item.name);
                paths.push_back(item.sourcePath());
            }
        return PublishMediaWarnings(names, paths, &cache);
    }

    // Before anything is written, as Write to Player Medium says it: which medium this is and which
    // schedule it last got, what changes on it, until when it plays.
    void tellMedium(const PublishPlan& plan, const Schedule& s, const MediumIdentity& medium) {
        const std::string dataDir = env_.editorDataDir ? env_.editorDataDir() : std::string();
        const PublishSettings history = dataDir.empty() ? PublishSettings{} : ReadPublishSettings(dataDir);
        for (const std::string& line : MediumLines(history, medium, args_.to, plan.scheduleName, s,
                                                   args_.today ? *args_.today : env_.today(), EnglishTexts()))
            env_.err << line << '\n';
    }

    static std::string refusalText(const PublishPlan& plan) {
        if (plan.refusedOnlyForRemoveFirst())
            return *plan.refusal + " (--allow-remove-first allows it)";
        return *plan.refusal;
    }

    int publish() {
        Schedule s;
        if (const auto failed = load(s))
            return *failed;
        ScreenTexts texts;
        texts.LoadEnglishTexts();
        if (const auto refusal = ScheduleSaveRefusal(s, texts)) {
            say(args_.input, *refusal);
            return kStatusInvalid;
        }
        std::vector<std::string> media = args_.media;
        if (media.empty())
            media.push_back(PathDirectory(args_.input).empty() ? std::string("./")
                                                               : PathDirectory(args_.input));
        // The stick's empty mount point lies on the computer's own disk: never the place to write.
        if (!args_.forceDestination && IsBareMediumMountPoint(args_.to, MountPoints())) {
            say(args_.to, FillIn(EnglishText(TextId::MsgMediumNotThere), {MediumName({}, args_.to)}) +
                              " (--force-destination writes there all the same)");
            return kStatusCannotRead;
        }
        PublishOptions options;
        options.checksum = args_.checksum;
        options.removeUnlisted = args_.removeUnlisted;
        options.allowRemoveFirst = args_.allowRemoveFirst;
        const PublishPlan plan = PlanPublish(s, media, args_.to, PathFileName(args_.input), options);
        for (const std::string& note : plan.notes)
            env_.err << "velmo-schedule: " << note << '\n';
        // A refused plan is shown all the same on a dry run, so the user sees what stands in the way.
        if (plan.refusal && !args_.dryRun) {
            say(args_.to, refusalText(plan));
            return kStatusCannotRead;
        }
        const MediumIdentity medium = IdentifyMedium(args_.to);
        tellMedium(plan, s, medium);
        for (const PublishItem& item : plan.items) {
            env_.out << PublishActionWord(item.action) << "  " << item.name;
            if (item.action == PublishAction::Copy || item.action == PublishAction::Replace)
                env_.out << "  " << item.sourcePath();
            if (item.removeFirst)
                env_.out << "  (old copy removed first)";
            env_.out << '\n';
        }
        for (const PublishItem& item : plan.items)
            if (!item.note.empty())
                say(item.name, item.note);
        // Examined before a write only when the answer decides whether to write; otherwise after it,
        // so that a Ctrl+C finds the write, not the examining, and is not kept waiting for it.
        // The summary's lengths need the files examined too.
        MediaWarnings wontPlay;
        MediaProbeCache cache;
        const auto warn = [&] {
            wontPlay = publishWarnings(plan, cache);
            for (const std::string& line :
                 PublishSummaryLines(plan, s, medium, PublishedMedia(plan, cache), EnglishTexts()))
                env_.err << line << '\n';
            for (const std::string& line : wontPlay.lines)
                env_.out << line << '\n';
        };
        const auto wontPlayCount = [&wontPlay] {
            return wontPlay.count == 0
                       ? std::string()
                       : "; " + std::to_string(wontPlay.count) +
                             (wontPlay.count == 1 ? " file will not play" : " files will not play");
        };
        if (args_.dryRun || args_.strict)
            warn();
        const int missing = plan.count(PublishAction::Missing);
        if (args_.dryRun && plan.refusal) {
            env_.out << "dry run: the write would be refused: " << refusalText(plan) << "; nothing written\n";
            return kStatusCannotRead;
        }
        if (args_.dryRun) {
            env_.out << "dry run: " << plan.count(PublishAction::Copy) << " to copy, "
                     << plan.count(PublishAction::Replace) << " to replace, "
                     << plan.count(PublishAction::Keep) << " to keep, " << plan.count(PublishAction::Remove)
                     << " to remove, " << missing << " missing; schedule file "
                     << (plan.scheduleUnchanged ? "unchanged" : "to write") << wontPlayCount()
                     << "; nothing written\n";
            return missing > 0 || (args_.strict && wontPlay.count > 0) ? kStatusInvalid : kStatusOk;
        }
        if (args_.strict && wontPlay.count > 0) {
            env_.out << "not written: " << wontPlay.count
                     << (wontPlay.count == 1 ? " file will not play" : " files will not play")
                     << " (--strict)\n";
            return kStatusInvalid;
        }
        SeededRandomSource random(env_.freshSeed());
        const bool showProgress = env_.errIsTerminal && env_.errIsTerminal();
        const auto interrupted = [this] { return env_.interrupted && env_.interrupted(); };
        if (env_.catchInterrupts)
            env_.catchInterrupts(true);
        // An interrupt stops the write where the publish can stop: between files, or inside one with
        // its temporary copy removed, the medium's schedule file the old one.
        const PublishReport report = CarryOutPublish(plan, s, random, [&](const PublishProgress& p) {
            if (interrupted())
                return false;
            if (showProgress)
                env_.err << "\r" << (p.total == 0 ? 100 : p.done * 100 / p.total) << "% " << p.name
                         << "\x1b[K" << std::flush;
            return true;
        });
        if (env_.catchInterrupts)
            env_.catchInterrupts(false);
        if (showProgress)
            env_.err << "\r\x1b[K" << std::flush;
        const std::vector<std::string> lines = PublishReportLines(report);
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            env_.err << lines[i] << '\n';
        if (!args_.strict && !report.cancelled)
            warn();
        env_.out << lines.back() << wontPlayCount() << '\n';
        if (report.cancelled && interrupted()) {
            env_.err << "velmo-schedule: interrupted; no file on the medium is left half-written\n";
            return kStatusInterrupted;
        }
        if (!report.complete())
            return kStatusCannotRead;
        return report.missing.empty() ? kStatusOk : kStatusInvalid;
    }

    const CliArgs& args_;
    CliEnvironment& env_;
};

} // namespace

CivilDate LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string EditorDataDirectory(const std::string& toolDir) {
    if (!toolDir.empty() && FileExistsInDir(WithTrailingSeparator(toolDir), kPublishSettingsFileName))
        return WithTrailingSeparator(toolDir);
    // Qt's application data folder for the editor's name.
    const char* const editor = "velmo-schedule-generator";
#ifdef _WIN32
    if (const char* roaming = std::getenv("APPDATA"); roaming != nullptr && *roaming != '\0')
        return WithTrailingSeparator(WithTrailingSeparator(roaming) + editor);
#else
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
        return WithTrailingSeparator(WithTrailingSeparator(data) + editor);
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return WithTrailingSeparator(WithTrailingSeparator(home) + ".local/share/" + editor);
#endif
    return {};
}

int RunCli(const std::vector<std::string>& words, CliEnvironment& env) {
    const ParsedCliArgs parsed = ParseCliArgs(words);
    if (!parsed.args) {
        env.err << "velmo-schedule: " << parsed.error << '\n';
        return kStatusCannotRead;
    }
    return Command(*parsed.args, env).run();
}

} // namespace velmo
