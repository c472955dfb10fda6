#include "media_commands.h"

#include "media/media_convert.h"
#include "media/media_probe.h"
#include "media/player_name_claims.h"
#include "model/file_system.h"
#include "rules/entry_rules.h"
#include "rules/schedule_sense.h"
#include "texts/screen_texts.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

namespace velmo {

namespace {

std::vector<std::string> reasonTexts(const MediaVerdict& verdict) {
    std::vector<std::string> out;
    for (const MediaReason& reason : verdict.reasons)
        out.push_back(MediaReasonText(reason, EnglishTexts()));
    return out;
}

// "1 min 5.2 s", "12.0 s".
std::string durationText(double seconds) {
    char buffer[64];
    const int minutes = static_cast<int>(seconds / 60);
    if (minutes > 0)
        std::snprintf(buffer, sizeof buffer, "%d min %.1f s", minutes, seconds - minutes * 60.0);
    else
        std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
    return buffer;
}

nlohmann::ordered_json jsonOf(const ExaminedMedia& media) {
    using nlohmann::ordered_json;
    const MediaFacts& f = media.facts;
    ordered_json item;
    item["file"] = media.path;
    item["name"] = media.playerName ? ordered_json(*media.playerName) : ordered_json(nullptr);
    item["kind"] = MediaKindName(f.kind);
    item["container"] = f.container.empty() ? ordered_json(nullptr) : ordered_json(f.container);
    item["video"] =
        f.video
            ? ordered_json{{"codec", f.video->codec}, {"width", f.video->width}, {"height", f.video->height}}
            : ordered_json(nullptr);
    item["audio"] = f.audio ? ordered_json{{"codec", f.audio->codec}, {"sample_rate", f.audio->sampleRate}}
                            : ordered_json(nullptr);
    item["duration"] = f.duration ? ordered_json(*f.duration) : ordered_json(nullptr);
    item["plays"] = media.verdict.examined ? ordered_json(media.verdict.plays) : ordered_json(nullptr);
    item["examined"] = media.verdict.examined;
    item["reasons"] = reasonTexts(media.verdict);
    return item;
}

// "picture, JPEG 1920x1080", "video, mpeg2video 720x576, mp2 48000 Hz, 1 min 0.0 s".
std::string factsText(const MediaFacts& f) {
    std::string text = MediaKindName(f.kind);
    if (f.video)
        text += ", " + f.video->codec + " " + std::to_string(f.video->width) + "x" +
                std::to_string(f.video->height);
    if (f.audio)
        text += ", " + f.audio->codec + " " + std::to_string(f.audio->sampleRate) + " Hz";
    if (f.duration)
        text += ", " + durationText(*f.duration);
    return text;
}

} // namespace

std::string OneLineText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else
            out += c;
    }
    return out;
}

MediaWarnings PublishMediaWarnings(const std::vector<std::string>& names,
                                   const std::vector<std::string>& paths, MediaProbeCache* cache) {
    MediaWarnings warnings;
    MediaProbeCache own;
    const std::vector<ExaminedMedia> results = (cache != nullptr ? *cache : own).examineAll(paths);
    for (std::size_t i = 0; i < results.size() && i < names.size(); ++i) {
        if (!results[i].verdict.willNotPlay())
            continue;
        ++warnings.count;
        warnings.lines.push_back("warn  " + names[i] + ": " +
                                 OneLineText(MediaReasonsText(results[i].verdict, EnglishTexts())));
    }
    return warnings;
}

int RunMediaCommand(const CliArgs& args, CliEnvironment& env) {
    MediaProbeCache cache;
    std::vector<ExaminedMedia> results = cache.examineAll(args.files);
    // Two different files never get one player name: the later gets the next free one.
    std::vector<std::optional<std::string>> ownNames;
    for (const ExaminedMedia& media : results)
        ownNames.push_back(media.playerName);
    PlayerNameClaims claims = ContentNameClaims();
    ClaimPlayerNames(results, claims);
    bool allPlay = true;
    bool notExamined = false;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const ExaminedMedia& media = results[i];
        allPlay = allPlay && media.verdict.plays;
        notExamined = notExamined || !media.verdict.examined;
        if (args.json) {
            list.push_back(jsonOf(media));
            continue;
        }
        env.out << OneLineText(media.path) << ": ";
        if (!media.verdict.examined)
            env.out << "not examined";
        else
            env.out << (media.verdict.plays ? "plays" : "will not play") << " (" << factsText(media.facts)
                    << ")";
        if (media.playerName)
            env.out << ", player name " << *media.playerName;
        if (media.playerName && ownNames[i] && *ownNames[i] != *media.playerName)
            env.out << " (" << *ownNames[i] << " is another file's)";
        env.out << '\n';
        for (const std::string& reason : reasonTexts(media.verdict))
            env.out << "  " << OneLineText(reason) << '\n';
        // Judged by its name alone: say what kept the rest unknown.
        if (media.verdict.examined && media.facts.failure && IsProbeFailureNotTheFiles(*media.facts.failure))
            env.out << "  not examined: "
                    << OneLineText(MediaReasonText(*media.facts.failure, EnglishTexts())) << '\n';
    }
    if (args.json)
        env.out << list.dump(2) << '\n';
    env.out.flush();
    if (!env.out)
        return kStatusCannotRead;
    // A file that could not be examined is no verdict against it, but no answer either.
    return allPlay ? kStatusOk : notExamined ? kStatusCannotRead : kStatusInvalid;
}

int RunConvertCommand(const CliArgs& args, CliEnvironment& env) {
    std::error_code error;
    const auto target = std::filesystem::status(std::filesystem::u8path(args.to), error);
    if (!std::filesystem::is_directory(target)) {
        env.err << "velmo-schedule: " << OneLineText(args.to) << ": "
                << (std::filesystem::exists(target) ? "not a directory" : "no such directory") << '\n';
        return kStatusCannotRead;
    }
    ConvertOptions options;
    options.tv = args.ntsc ? TvStandard::Ntsc : TvStandard::Pal;
    const bool showProgress = env.errIsTerminal && env.errIsTerminal();
    bool allMade = true;
    for (const std::string& file : args.files) {
        const ConvertOutcome made = MakePlayerCopy(file, args.to, options, [&](const ConvertProgress& p) {
            if (showProgress)
                env.err << "\r" << static_cast<int>(p.fraction * 100) << "% " << OneLineText(p.source)
                        << "\x1b[K" << std::flush;
            return true;
        });
        if (showProgress)
            env.err << "\r\x1b[K" << std::flush;
        switch (made.action) {
        case ConvertOutcome::Action::Converted:
            env.out << "converted  " << OneLineText(file) << " -> " << made.name << '\n';
            break;
        case ConvertOutcome::Action::Copied:
            env.out << "copied  " << OneLineText(file) << " -> " << made.name << '\n';
            break;
        case ConvertOutcome::Action::Failed:
            allMade = false;
            env.out << "failed  " << OneLineText(file) << ": "
                    << OneLineText(MediaReasonText(*made.reason, EnglishTexts())) << '\n';
            break;
        }
    }
    env.out.flush();
    if (!env.out)
        return kStatusCannotRead;
    return allMade ? kStatusOk : kStatusInvalid;
}

std::vector<Finding> CheckScheduleMedia(const Schedule& schedule, const std::vector<std::string>& folders) {
    // Each name once, about the first entry naming it.
    std::map<std::string, EntryId> firstUse;
    std::vector<std::string> order;
    const auto note = [&](const FileEntry& entry, const EntryId& id) {
        const std::string name = UpperCase(StoredNameText(entry));
        if (firstUse.emplace(name, id).second)
            order.push_back(name);
    };
    for (int i = 0; i < schedule.basicCount && i < static_cast<int>(schedule.basicEntries.size()); ++i)
        note(schedule.basicEntries[static_cast<std::size_t>(i)], EntryId::basic(i));
    for (int i = 0; i < schedule.advanceCount && i < static_cast<int>(schedule.advanceEntries.size()); ++i) {
        const AdvanceEntry& e = schedule.advanceEntries[static_cast<std::size_t>(i)];
        for (int k = 0; k < e.fileCount && k < static_cast<int>(e.files.size()); ++k)
            note(e.files[static_cast<std::size_t>(k)], EntryId::detailOf(i, k));
    }
    std::vector<std::string> paths;
    std::vector<std::string> pathNames;
    std::vector<Finding> findings;
    const ScreenTexts& texts = EnglishTexts();
    for (const std::string& name : order) {
        std::optional<std::string> found;
        for (const std::string& folder : folders)
            if (const auto existing = ExistingFileName(WithTrailingSeparator(folder), name)) {
                found = WithTrailingSeparator(folder) + *existing;
                break;
            }
        if (found) {
            paths.push_back(*found);
            pathNames.push_back(name);
            continue;
        }
        ScheduleProblem missing;
        missing.kind = ProblemKind::MediaMissing;
        missing.entry = firstUse[name];
        missing.name = name;
        // The overview's text, without the entry it names first: the finding says where.
        const std::string text = ProblemText(missing, texts);
        findings.push_back(Finding::about(missing.entry,
                                          text.substr(EntryLabel(missing.entry, texts).size() + 2),
                                          Finding::Severity::Warning));
    }
    MediaProbeCache cache;
    const std::vector<ExaminedMedia> results = cache.examineAll(paths);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].verdict.plays)
            continue;
        std::string reasons;
        for (const std::string& reason : reasonTexts(results[i].verdict))
            reasons += (reasons.empty() ? "" : "; ") + reason;
        const EntryId& id = firstUse[pathNames[i]];
        findings.push_back(
            Finding::about(id, FillIn(texts.text(TextId::MsgMediaWillNotPlay), {pathNames[i], reasons}),
                           Finding::Severity::Warning));
    }
    // One name that two different files of the folders would fill: which one lands on the medium is
    // chance.
    for (const SharedPlayerName& shared : SharedPlayerNames(schedule, folders)) {
        std::string files;
        for (const std::string& file : shared.files)
            files += (files.empty() ? "" : ", ") + OneLineText(file);
        findings.push_back(Finding::about(firstUse[shared.name],
                                          shared.name + " would be filled by " +
                                              std::to_string(shared.files.size()) +
                                              " different files: " + files,
                                          Finding::Severity::Warning));
    }
    SortByEntry(findings);
    return findings;
}

} // namespace velmo
