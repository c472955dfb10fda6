#include "code_page.h"

#include <array>
#include <map>

namespace velmo {

namespace {

// Windows-1252 code points of the codes 0x80..0x9F; the rest of 0xA0..0xFF equals Latin-1.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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

std::string CodePageCharacter(std::uint8_t code) {
    std::string out;
    if (code < 0x80)
        out += static_cast<char>(code);
    else if (code < 0xA0)
        appendUtf8(out, kCp1252High[code - 0x80]);
    else
        appendUtf8(out, code);
    return out;
}

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
