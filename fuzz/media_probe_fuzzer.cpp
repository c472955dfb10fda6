// What the program parses of a media file in process: FFmpeg's demuxers as the probe drives them
// (on bytes in memory, the extension chosen by the first byte), and libjpeg-turbo's header reader.
#include "media/jpeg_header.h"
#include "media/media_probe.h"
#include "rules/player_formats.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kNames[] = {"f.jpg", "f.mpg", "f.avi", "f.mp3", "f.vob", "f.dat", "f.png", "f"};
    const std::string name = kNames[size == 0 ? 0 : data[0] % 8];
    const velmo::MediaFacts facts = velmo::ProbeMediaBytes(data, size, name);
    velmo::JudgeMedia(name, facts);
    velmo::JpegFacts jpeg;
    std::string reason;
    velmo::ReadJpegHeader(data, size, jpeg, reason);
    return 0;
}
