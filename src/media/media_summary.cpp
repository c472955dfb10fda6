#include "media_summary.h"

#include "rules/schedule_sense.h"

#include <cmath>

namespace velmo {

namespace {

std::string fill(const ScreenTexts& texts, TextId id, const std::vector<std::string>& values) {
    return FillIn(texts.text(id), values);
}

TextId kindText(MediaKind kind) {
    switch (kind) {
    case MediaKind::Picture:
        return TextId::TextMediaKindPicture;
    case MediaKind::Video:
        return TextId::TextMediaKindVideo;
    case MediaKind::Audio:
        return TextId::TextMediaKindAudio;
    case MediaKind::Unknown:
        break;
    }
    return TextId::TextMediaKindUnknown;
}

} // namespace

std::string DurationText(double seconds, const ScreenTexts& texts) {
    const long long total = seconds > 0 ? std::llround(seconds) : 0;
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    std::vector<std::string> parts;
    if (hours > 0)
        parts.push_back(fill(texts, TextId::TextDurationHours, {std::to_string(hours)}));
    if (minutes > 0)
        parts.push_back(fill(texts, TextId::TextDurationMinutes, {std::to_string(minutes)}));
    if (rest > 0 || parts.empty())
        parts.push_back(fill(texts, TextId::TextDurationSeconds, {std::to_string(rest)}));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : " ") + part;
    return text;
}

std::string MediaFactsText(const MediaFileInfo& info, const ScreenTexts& texts) {
    if (!info.found)
        return texts.text(TextId::TextMediaNotFound);
    const MediaFacts& facts = info.media.facts;
    std::vector<std::string> lines;
    // A file on a volume that stopped answering is said so first: it is not known to be bad.
    if (facts.failure && facts.failure->text == TextId::MsgMediaNotAnswering)
        lines.push_back(texts.text(TextId::TextMediaNotAnswering));
    // A file that could not be looked into is of no known kind, not of none.
    if (!facts.failure)
        lines.push_back(texts.text(kindText(facts.kind)));
    lines.push_back(fill(texts, TextId::TextMediaFactSize, {std::to_string((info.size + 1023) / 1024)}));
    if (facts.duration)
        lines.push_back(fill(texts, TextId::TextMediaFactLength, {DurationText(*facts.duration, texts)}));
    if (facts.video) {
        if (facts.video->width > 0)
            lines.push_back(fill(texts, TextId::TextMediaFactResolution,
                                 {std::to_string(facts.video->width), std::to_string(facts.video->height)}));
        lines.push_back(fill(texts, TextId::TextMediaFactVideoCodec, {facts.video->codec}));
    }
    if (facts.audio)
        lines.push_back(fill(texts, TextId::TextMediaFactAudioCodec,
                             {facts.audio->codec, std::to_string(facts.audio->sampleRate)}));
    const MediaVerdict& verdict = info.media.verdict;
    if (verdict.plays)
        lines.push_back(texts.text(TextId::TextMediaPlays));
    for (const MediaReason& reason : verdict.reasons)
        lines.push_back(fill(texts,
                             verdict.examined ? TextId::TextMediaWillNotPlay : TextId::TextMediaNotExamined,
                             {MediaReasonText(reason, texts)}));
    // Judged by its name alone: say what kept the rest unknown.
    if (verdict.examined && facts.failure && IsProbeFailureNotTheFiles(*facts.failure))
        lines.push_back(fill(texts, TextId::TextMediaNotExamined, {MediaReasonText(*facts.failure, texts)}));
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::string ListLengthText(const std::vector<ListedMedia>& list, const ScreenTexts& texts) {
    int timed = 0;
    int pictures = 0;
    int silent = 0; // missing, or will not play
    double seconds = 0;
    for (const ListedMedia& item : list) {
        if (item.info == nullptr)
            return {};
        if (!item.info->found || !item.info->media.verdict.plays) {
            ++silent;
            continue;
        }
        const MediaFacts& facts = item.info->media.facts;
        if (facts.kind == MediaKind::Picture) {
            ++pictures;
        } else {
            ++timed;
            seconds += facts.duration.value_or(0) * item.playTimes;
        }
    }
    const auto count = [&texts](int n, TextId one, TextId many) {
        return n == 1 ? texts.text(one) : fill(texts, many, {std::to_string(n)});
    };
    if (timed + pictures == 0)
        return {};
    // One kind in every row: the count is the rows' and the kind's at once.
    if (pictures == 0 && silent == 0)
        return count(timed, TextId::TextListOneFile, TextId::TextListFiles) + " · " +
               DurationText(seconds, texts);
    if (timed == 0 && silent == 0)
        return count(pictures, TextId::TextListOnePicture, TextId::TextListPictures);
    // Else every row is counted, then what they are, so that the parts add up to the list.
    std::vector<std::string> parts;
    if (timed > 0)
        parts.push_back(
            fill(texts, TextId::TextListTimed, {std::to_string(timed), DurationText(seconds, texts)}));
    if (pictures > 0)
        parts.push_back(count(pictures, TextId::TextListOnePicture, TextId::TextListPictures));
    if (silent > 0)
        parts.push_back(fill(texts, TextId::TextListWillNotPlay, {std::to_string(silent)}));
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : texts.text(TextId::TextListPartSeparator)) + part;
    return fill(texts, TextId::TextListRowsOf, {std::to_string(list.size()), joined});
}

} // namespace velmo
