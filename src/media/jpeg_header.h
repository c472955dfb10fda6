#pragma once

#include "rules/media_facts.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// Reads a JPEG's header with libjpeg-turbo (nothing is decoded, so a header declaring 30000 x 30000
// costs nothing). False, with libjpeg's reason, when it is no JPEG or the header is damaged.
// `scanStart`, when given, gets the offset of the first picture data after the header.
bool ReadJpegHeader(const std::uint8_t* data, std::size_t size, JpegFacts& facts, std::string& reason,
                    std::size_t* scanStart = nullptr);

// The bytes of a file a JPEG header is looked for in: headers beyond this are taken as damaged.
inline constexpr std::size_t kJpegHeaderReadLimit = std::size_t{4} << 20;

} // namespace velmo
