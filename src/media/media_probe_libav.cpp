#include "media/jpeg_header.h"
#include "media_probe.h"
#include "media_probe_backend.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

// "136 420": sizes in the reasons, grouped as people read them.
std::string grouped(std::int64_t n) {
    const std::string digits = std::to_string(n);
    const std::size_t sign = n < 0 ? 1 : 0;
    std::string out = digits.substr(0, sign);
    for (std::size_t i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return out;
}

MediaReason cutShortBySize(const char* what, std::int64_t declared, std::int64_t size) {
    return {TextId::MsgMediaCutShortSize, {what, grouped(declared), grouped(size)}};
}

// Where a container's index (every frame of an AVI or MP4) says its data ends.
std::int64_t indexEnd(const AVFormatContext* context) {
    std::int64_t end = 0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream* stream = context->streams[i];
        const int count = avformat_index_get_entries_count(stream);
        for (int k = 0; k < count; ++k)
            if (const AVIndexEntry* entry = avformat_index_get_entry(stream, k))
                end = std::max(end, entry->pos + entry->size);
    }
    return end;
}

// Reads packets from where the demuxer stands to the end: how many of `stream`, and whether one was
// cut off by the end of the data.
struct PacketCount {
    std::int64_t packets = 0;
    bool truncated = false;
};
PacketCount readToEnd(AVFormatContext* context, int stream) {
    PacketCount count;
    AVPacket* packet = av_packet_alloc();
    while (packet && av_read_frame(context, packet) >= 0) {
        if (packet->stream_index == stream || stream < 0)
            ++count.packets;
        if (packet->flags & AV_PKT_FLAG_CORRUPT)
            count.truncated = true;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return count;
}

// How many of the first video frames fail to decode: damage written into a file whose sizes all hold.
struct DecodeCount {
    int tried = 0;
    int failed = 0;
};
DecodeCount decodeFirstFrames(AVFormatContext* context, int frames) {
    DecodeCount count;
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return count;
    const AVCodec* codec = avcodec_find_decoder(context->streams[video]->codecpar->codec_id);
    AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (decoder && packet && frame &&
        avcodec_parameters_to_context(decoder, context->streams[video]->codecpar) >= 0) {
        decoder->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM;
        decoder->thread_count = 1;
        if (avcodec_open2(decoder, codec, nullptr) >= 0) {
            while (count.tried < frames && av_read_frame(context, packet) >= 0) {
                if (packet->stream_index == video) {
                    ++count.tried;
                    bool failed = avcodec_send_packet(decoder, packet) < 0;
                    while (avcodec_receive_frame(decoder, frame) >= 0)
                        failed = failed || frame->decode_error_flags != 0;
                    if (failed)
                        ++count.failed;
                }
                av_packet_unref(packet);
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    return count;
}

// What the demuxer can tell of a file cut short or written over, once it has read the headers: the
// index against the file's size, the last packets, an MP3's declared frames, the first frames.
std::optional<MediaReason> checkWhole(AVFormatContext* context, const MediaFacts& facts) {
    const std::int64_t size = avio_size(context->pb);
    if (size <= 0)
        return std::nullopt;
    const bool avi = facts.container == "avi";
    if (avi || facts.container.rfind("mov,", 0) == 0)
        if (const std::int64_t end = indexEnd(context); end > size)
            return MediaReason{TextId::MsgMediaCutShortAt,
                               {avi ? "AVI index" : "MP4 sample table", grouped(end), grouped(size)}};
    if (avi) {
        const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (video >= 0) {
            AVStream* stream = context->streams[video];
            const int listed = avformat_index_get_entries_count(stream);
            // Writers count a frame more or less in the header; an index lacking half is damage.
            if (stream->nb_frames > 1 && listed * std::int64_t{2} < stream->nb_frames)
                return MediaReason{TextId::MsgMediaDamaged,
                                   {"the AVI index lists " + std::to_string(listed) + " of its " +
                                    std::to_string(stream->nb_frames) + " video frames"}};
        }
        constexpr int kFramesDecoded = 12;
        if (const DecodeCount decoded = decodeFirstFrames(context, kFramesDecoded); decoded.failed > 0)
            return MediaReason{TextId::MsgMediaDecodeErrors,
                               {std::to_string(decoded.failed), std::to_string(decoded.tried), "video"}};
    }
    // An MPEG stream says no length; its last packet shows where it was cut.
    if (facts.container == "mpeg") {
        constexpr std::int64_t kTail = 256 * 1024;
        if (av_seek_frame(context, -1, std::max<std::int64_t>(0, size - kTail), AVSEEK_FLAG_BYTE) >= 0 &&
            readToEnd(context, -1).truncated)
            return MediaReason{TextId::MsgMediaCutShortPack, {grouped(size), "MPEG"}};
    }
    // An MP3 whose Xing or VBRI header counts its frames: count them. Only where reading them all is
    // cheap; the frames of a long recording are taken on trust.
    constexpr std::int64_t kMp3CountLimit = std::int64_t{64} << 20;
    if (facts.container == "mp3" && context->duration_estimation_method == AVFMT_DURATION_FROM_STREAM &&
        size <= kMp3CountLimit && context->nb_streams > 0) {
        const AVStream* stream = context->streams[0];
        const AVCodecParameters* codec = stream->codecpar;
        if (stream->duration > 0 && codec->frame_size > 0 && codec->sample_rate > 0) {
            const std::int64_t declared = av_rescale_q(stream->duration, stream->time_base,
                                                       AVRational{codec->frame_size, codec->sample_rate});
            const PacketCount found = readToEnd(context, 0);
            // A frame or two either way is the encoder's padding, not a cut.
            if (found.packets + 2 < declared)
                return MediaReason{TextId::MsgMediaCutShortFrames,
                                   {"MP3", grouped(declared), grouped(found.packets)}};
        }
    }
    return std::nullopt;
}

// The small checks of declared sizes that need no demuxer, so they also name a file FFmpeg gave up
// on: a RIFF AVI's size, an MP4's top-level boxes, the end marker of a JPEG.
std::optional<MediaReason> checkDeclaredSizes(const std::string& path, const MediaFacts& facts) {
    std::error_code error;
    const auto fileSize = std::filesystem::file_size(std::filesystem::u8path(path), error);
    if (error)
        return std::nullopt;
    const auto size = static_cast<std::int64_t>(fileSize);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    const auto readAt = [&](std::int64_t offset, std::uint8_t* into, std::size_t count) {
        return std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) == 0 &&
               std::fread(into, 1, count, file.get()) == count;
    };
    const auto le32 = [](const std::uint8_t* b) {
        return static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) | static_cast<std::uint32_t>(b[3])
                                                                               << 24;
    };
    const auto be32 = [](const std::uint8_t* b) {
        return static_cast<std::uint32_t>(b[3] | b[2] << 8 | b[1] << 16) | static_cast<std::uint32_t>(b[0])
                                                                               << 24;
    };
    std::uint8_t head[16] = {};
    if (!readAt(0, head, 12))
        return std::nullopt;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "AVI ", 4) == 0) {
        const std::int64_t declared = std::int64_t{le32(head + 4)} + 8;
        if (declared > size)
            return cutShortBySize("AVI", declared, size);
        return std::nullopt;
    }
    if (std::memcmp(head + 4, "ftyp", 4) == 0) {
        std::int64_t at = 0;
        for (int boxes = 0; at + 8 <= size && boxes < 4096; ++boxes) {
            std::uint8_t box[16];
            if (!readAt(at, box, 8))
                return std::nullopt;
            std::int64_t length = be32(box);
            if (length == 1) {
                if (!readAt(at + 8, box + 8, 8))
                    return std::nullopt;
                length = static_cast<std::int64_t>(std::uint64_t{be32(box + 8)} << 32 | be32(box + 12));
            } else if (length == 0) {
                break; // runs to the end of the file
            }
            if (length < 8)
                return std::nullopt; // damaged, and FFmpeg says so
            if (at + length > size) {
                const std::string type(reinterpret_cast<const char*>(box + 4), 4);
                return MediaReason{TextId::MsgMediaCutShortAt,
                                   {"MP4's " + type + " box", grouped(at + length), grouped(size)}};
            }
            at += length;
        }
        return std::nullopt;
    }
    // A JPEG's data ends with its end marker; in the entropy-coded data an FF byte is never
    // followed by D9, so a marker after the header is the end of the picture.
    constexpr std::int64_t kJpegCheckLimit = std::int64_t{64} << 20;
    if (facts.kind == MediaKind::Picture && facts.video && facts.video->codec == "mjpeg" &&
        size <= kJpegCheckLimit) {
        std::string bytes(static_cast<std::size_t>(size), '\0');
        if (!readAt(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()))
            return std::nullopt;
        JpegFacts jpeg;
        std::string reason;
        std::size_t scanStart = 0;
        if (!ReadJpegHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), jpeg, reason,
                            &scanStart))
            return std::nullopt; // said by the header's own reading
        if (bytes.find("\xFF\xD9", scanStart) == std::string::npos)
            return MediaReason{TextId::MsgMediaCutShortEnd, {grouped(size), "JPEG"}};
    }
    return std::nullopt;
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
    if (status >= 0) {
        readFacts(context, facts);
        if (auto damage = checkWhole(context, facts))
            facts.failure = std::move(damage);
    }
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
    // FFmpeg leaves the size of a picture it will not decode unset; a PNG's header says it.
    if (!facts.failure && facts.video && facts.video->codec == "png" && facts.video->width <= 0)
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            std::uint8_t header[24];
            if (std::fread(header, 1, sizeof header, file) == sizeof header &&
                std::memcmp(header + 12, "IHDR", 4) == 0) {
                const auto be31 = [](const std::uint8_t* b) {
                    return static_cast<int>((b[0] & 0x7F) << 24 | b[1] << 16 | b[2] << 8 | b[3]);
                };
                facts.video->width = be31(header + 16);
                facts.video->height = be31(header + 20);
            }
            std::fclose(file);
        }
    // A declared size the file falls short of says more than the demuxer's complaint about it.
    const bool judged = !facts.failure || facts.failure->text == TextId::MsgMediaDamaged;
    if (judged)
        if (auto cut = checkDeclaredSizes(path, facts)) {
            facts = MediaFacts{};
            facts.failure = std::move(cut);
        }
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
