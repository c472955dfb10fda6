#include "media_probe_helper.h"

#include "media/process.h"

#include <chrono>
#include <cstdlib>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace velmo {

namespace {

using nlohmann::json;

// Said first by a helper; one of another build (other screen texts) is not used.
std::string helloLine() {
    return std::string("velmo-media-probe-helper 1 ") + std::to_string(kTextCount) + " " +
           MediaProbeBackend();
}

// Starting a helper costs loading FFmpeg's libraries: generous, since a loaded machine is slow at it.
constexpr auto kHelperStartLimit = std::chrono::seconds(30);
// Beyond the probe's own limit, for the answer to come back from a helper that is merely slow.
constexpr auto kAnswerSlack = std::chrono::seconds(2);

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The directory of the running program, with its separator; empty when unknown.
std::string programDirectory() {
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 32768);
    if (length == 0 || length >= 32768)
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), path.data(), size, nullptr, nullptr);
    const std::size_t cut = path.find_last_of("\\/");
#else
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return {};
    const std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t cut = path.rfind('/');
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

json factsJson(const MediaFacts& f) {
    json j;
    j["kind"] = static_cast<int>(f.kind);
    j["container"] = f.container;
    if (f.video)
        j["video"] = {f.video->codec, f.video->tag, f.video->width, f.video->height};
    if (f.audio)
        j["audio"] = {f.audio->codec, f.audio->sampleRate};
    if (f.duration)
        j["duration"] = *f.duration;
    if (f.jpeg)
        j["jpeg"] = {f.jpeg->progressive, f.jpeg->cmyk, f.jpeg->precision, f.jpeg->width, f.jpeg->height};
    j["orientation"] = f.orientation;
    if (f.failure)
        j["failure"] = {static_cast<int>(f.failure->text), f.failure->values};
    return j;
}

MediaFacts factsOf(const json& j) {
    MediaFacts f;
    const int kind = j.at("kind").get<int>();
    if (kind < 0 || kind > static_cast<int>(MediaKind::Unknown))
        throw std::out_of_range("kind");
    f.kind = static_cast<MediaKind>(kind);
    f.container = j.at("container").get<std::string>();
    if (j.contains("video")) {
        const json& v = j["video"];
        f.video = VideoFacts{v.at(0).get<std::string>(), v.at(1).get<std::string>(), v.at(2).get<int>(),
                             v.at(3).get<int>()};
    }
    if (j.contains("audio"))
        f.audio = AudioFacts{j["audio"].at(0).get<std::string>(), j["audio"].at(1).get<int>()};
    if (j.contains("duration"))
        f.duration = j["duration"].get<double>();
    if (j.contains("jpeg")) {
        const json& g = j["jpeg"];
        f.jpeg = JpegFacts{g.at(0).get<bool>(), g.at(1).get<bool>(), g.at(2).get<int>(), g.at(3).get<int>(),
                           g.at(4).get<int>()};
    }
    f.orientation = j.at("orientation").get<int>();
    if (j.contains("failure")) {
        const int text = j["failure"].at(0).get<int>();
        if (text < 0 || text >= static_cast<int>(kTextCount))
            throw std::out_of_range("text");
        f.failure =
            MediaReason{static_cast<TextId>(text), j["failure"].at(1).get<std::vector<std::string>>()};
    }
    return f;
}

std::string seconds(double limit) {
    return std::to_string(static_cast<int>(limit));
}

} // namespace

std::string MediaFactsLine(const MediaFacts& facts) {
    return factsJson(facts).dump();
}

bool ReadMediaFactsLine(const std::string& line, MediaFacts& facts) {
    try {
        facts = factsOf(json::parse(line));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int RunMediaProbeHelper(std::istream& in, std::ostream& out) {
    out << helloLine() << std::endl;
    for (std::string line; std::getline(in, line);) {
        MediaFacts facts;
        try {
            const json request = json::parse(line);
            facts = ProbeMediaFileHere(request.at("path").get<std::string>(),
                                       MediaProbeOptions{request.at("timeout").get<double>()});
        } catch (const std::exception& error) {
            facts.failure = MediaReason{TextId::MsgMediaUnreadable, {error.what()}};
        }
        out << MediaFactsLine(facts) << std::endl;
        if (!out)
            return 1;
    }
    return 0;
}

std::string MediaProbeHelperProgram() {
    if (const char* chosen = std::getenv("VELMO_MEDIA_HELPER"))
        return chosen;
#ifdef _WIN32
    const std::string beside = programDirectory() + "velmo-schedule.exe";
#else
    const std::string beside = programDirectory() + "velmo-schedule";
#endif
    if (isRegularFile(beside))
        return beside;
#ifdef VELMO_MEDIA_HELPER_BUILT
    if (isRegularFile(VELMO_MEDIA_HELPER_BUILT))
        return VELMO_MEDIA_HELPER_BUILT;
#endif
    return {};
}

MediaProbeSession::MediaProbeSession(MediaProbeOptions options)
    : options_(options), program_(MediaProbeHelperProgram()), inProcess_(program_.empty()) {}

MediaProbeSession::~MediaProbeSession() = default;

bool MediaProbeSession::ensureHelper() {
    if (helper_)
        return true;
    std::string error;
    helper_ = HelperProcess::Start({program_, kMediaProbeHelperArgument}, error);
    std::string hello;
    if (helper_ && helper_->receive(hello, kHelperStartLimit) == HelperProcess::Reply::Line &&
        hello == helloLine())
        return true;
    // No helper that answers as this build's would: probing goes on in this process, as before.
    helper_.reset();
    inProcess_ = true;
    return false;
}

MediaFacts MediaProbeSession::probe(const std::string& path) {
    if (inProcess_ || !ensureHelper())
        return ProbeMediaFileHere(path, options_);
    const json request = {{"path", path}, {"timeout", options_.timeoutSeconds}};
    MediaFacts facts;
    std::string answer;
    const auto limit =
        std::chrono::milliseconds(static_cast<long long>(options_.timeoutSeconds * 1000)) + kAnswerSlack;
    const HelperProcess::Reply reply =
        helper_->send(request.dump()) ? helper_->receive(answer, limit) : HelperProcess::Reply::Ended;
    if (reply == HelperProcess::Reply::Line && ReadMediaFactsLine(answer, facts))
        return facts;
    // Given up on: the next file gets a new helper.
    helper_.reset();
    if (reply == HelperProcess::Reply::TimedOut)
        facts.failure = MediaReason{TextId::MsgMediaNotAnswering, {seconds(options_.timeoutSeconds)}};
    else
        facts.failure = MediaReason{TextId::MsgMediaProbeCrashed, {"velmo-schedule", "ended"}};
    return facts;
}

} // namespace velmo
