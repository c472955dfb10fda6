#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// Single-byte Windows-1252 text, the code page of stored names, to UTF-8 and back. The five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same
// number, as Windows itself maps them, so every byte sequence survives the round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// Nothing when the text is not valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

} // namespace velmo
