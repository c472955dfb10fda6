#include "media_probe.h"
#include "media_probe_backend.h"

#include <chrono>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/error.h>
}

namespace velmo {

namespace {

using Clock = std::chrono::steady_clock;

struct Deadline {
    Clock::time_point at;
    bool passed = false;
};

// Asked by FFmpeg between reads and decodes; a file that keeps it busy past the limit is given up.
int interruptWhenLate(void* opaque) {
    auto* deadline = static_cast<Deadline*>(opaque);
    if (Clock::now() > deadline->at)
        deadline->passed = true;
    return deadline->passed ? 1 : 0;
}

std::string errorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

bool isPictureFormat(const std::string& name) {
    return name == "image2" || (name.size() > 5 && name.compare(name.size() - 5, 5, "_pipe") == 0);
}

// Printable four-character codes only: "XVID"; nothing for a zero or binary tag.
std::string tagText(std::uint32_t tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E)
            return {};
        text += c;
    }
    return text;
}

void readFacts(AVFormatContext* context, MediaFacts& facts) {
    facts.container = context->iformat ? context->iformat->name : "";
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        const AVCodecParameters* codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !facts.video &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            facts.video = VideoFacts{avcodec_get_name(codec->codec_id), tagText(codec->codec_tag),
                                     codec->width, codec->height};
        else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && !facts.audio)
            facts.audio = AudioFacts{avcodec_get_name(codec->codec_id), codec->sample_rate};
    }
    if (facts.video)
        facts.kind = isPictureFormat(facts.container) ? MediaKind::Picture : MediaKind::Video;
    else if (facts.audio)
        facts.kind = MediaKind::Audio;
    if ((facts.kind == MediaKind::Video || facts.kind == MediaKind::Audio) &&
        context->duration != AV_NOPTS_VALUE && context->duration > 0)
        facts.duration = static_cast<double>(context->duration) / AV_TIME_BASE;
}

// Opens with the given context (custom input already set, or none), reads the facts, closes.
void probeContext(AVFormatContext* context, const std::string& url, double timeoutSeconds,
                  MediaFacts& facts) {
    Deadline deadline{Clock::now() +
                      std::chrono::milliseconds(static_cast<long long>(timeoutSeconds * 1000))};
    context->interrupt_callback = {interruptWhenLate, &deadline};
    AVDictionary* options = nullptr;
    // Local files only: a playlist inside a media file must not reach out to the network.
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int status = avformat_open_input(&context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (status >= 0)
        status = avformat_find_stream_info(context, nullptr);
    if (status >= 0)
        readFacts(context, facts);
    if (deadline.passed)
        facts.failure =
            MediaReason{TextId::MsgMediaProbeTimeout, {std::to_string(static_cast<int>(timeoutSeconds))}};
    else if (status < 0)
        facts.failure = MediaReason{TextId::MsgMediaDamaged, {errorText(status)}};
    avformat_close_input(&context);
}

struct MemoryInput {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

int readMemory(void* opaque, std::uint8_t* buffer, int wanted) {
    auto* input = static_cast<MemoryInput*>(opaque);
    const std::size_t left = input->size - input->at;
    if (left == 0)
        return AVERROR_EOF;
    const std::size_t taken = std::min(left, static_cast<std::size_t>(wanted));
    std::memcpy(buffer, input->data + input->at, taken);
    input->at += taken;
    return static_cast<int>(taken);
}

std::int64_t seekMemory(void* opaque, std::int64_t offset, int whence) {
    auto* input = static_cast<MemoryInput*>(opaque);
    if (whence == AVSEEK_SIZE)
        return static_cast<std::int64_t>(input->size);
    const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(input->at)
                              : whence == SEEK_END ? static_cast<std::int64_t>(input->size)
                                                   : 0;
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(input->size))
        return AVERROR(EINVAL);
    input->at = static_cast<std::size_t>(target);
    return target;
}

} // namespace

std::string BackendName() {
    return std::string("libavformat ") + AV_STRINGIFY(LIBAVFORMAT_VERSION);
}

void ProbeWithBackend(const std::string& path, double timeoutSeconds, MediaFacts& facts) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        facts.failure = MediaReason{TextId::MsgMediaUnreadable, {"out of memory"}};
        return;
    }
    // "file:" keeps a name such as "concat:a|b" or "http:..." a plain file name.
    probeContext(context, "file:" + path, timeoutSeconds, facts);
}

MediaFacts ProbeMediaBytes(const std::uint8_t* data, std::size_t size, const std::string& fileName) {
    av_log_set_level(AV_LOG_QUIET);
    MediaFacts facts;
    constexpr int kBufferSize = 4096;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    MemoryInput input{data, size};
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, &input, readMemory, nullptr, seekMemory);
    AVFormatContext* context = avformat_alloc_context();
    if (io && context) {
        context->pb = io;
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        probeContext(context, fileName, 10, facts);
    } else {
        avformat_free_context(context);
    }
    if (io)
        av_freep(&io->buffer);
    avio_context_free(&io);
    return facts;
}

} // namespace velmo
