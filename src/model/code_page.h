#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// Stored names are single bytes of Windows-1252; the program's texts are UTF-8. A byte of 1..127 is
// that ASCII character; a byte of 128..255 is the Windows-1252 character of that code (the five codes
// Windows-1252 leaves undefined stand for the control characters U+0081, U+008D, U+008F, U+0090,
// U+009D), written as its UTF-8 sequence. Field widths therefore count characters, not bytes.
std::string CodePageCharacter(std::uint8_t code);

// Single-byte Windows-1252 text, the code page of stored names, to UTF-8 and back, character by
// character exactly as the main window shows stored names, so every byte survives the round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// Nothing when the text is not valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

} // namespace velmo
