#include "cp1252.h"

#include "ui/main/main_rules.h"

#include <map>

namespace velmo {

namespace {

// UTF-8 sequence of every byte, as the main window shows stored names, back to the byte.
const std::map<std::string, char, std::less<>>& bytesBySequence() {
    static const std::map<std::string, char, std::less<>> table = [] {
        std::map<std::string, char, std::less<>> t;
        for (int b = 0; b < 256; ++b)
            t.emplace(CodePageCharacter(static_cast<std::uint8_t>(b)), static_cast<char>(b));
        return t;
    }();
    return table;
}

std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    return 4; // anything longer or broken finds no byte below
}

} // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes)
        out += CodePageCharacter(static_cast<std::uint8_t>(b));
    return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
    const auto& table = bytesBySequence();
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(utf8[i]));
        // Only the exact shortest form of a character of the code page is found: broken, overlong or
        // foreign sequences are not.
        const auto found = table.find(utf8.substr(i, length));
        if (found == table.end())
            return std::nullopt;
        out += found->second;
        i += length;
    }
    return out;
}

} // namespace velmo
