#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// Single-byte Windows-1252 text, the code page of stored names, to UTF-8 and back, character by
// character exactly as the main window shows stored names, so every byte survives the round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// Nothing when the text is not valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

} // namespace velmo
