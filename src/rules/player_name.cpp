#include "player_name.h"

#include "entry_rules.h"
#include "model/file_system.h"
#include "model/schedule.h"

#include <array>

namespace velmo {

namespace {

// The schedule file's fields hold the name.
constexpr std::size_t kBaseLimit = kFileNameWidth;
constexpr std::size_t kExtensionLimit = kFileExtWidth;

// U+00C0 to U+017F as the capitals the player's names take; "" for the signs × and ÷.
constexpr std::array<const char*, 0x180 - 0xC0> kLatinLetters = {
    "A", "A", "A",  "A",  "A", "A", "AE", "C",  "E",  "E", "E", "E", "I",  "I",  "I", "I", "D", "N",
    "O", "O", "O",  "O",  "O", "",  "O",  "U",  "U",  "U", "U", "Y", "TH", "SS", "A", "A", "A", "A",
    "A", "A", "AE", "C",  "E", "E", "E",  "E",  "I",  "I", "I", "I", "D",  "N",  "O", "O", "O", "O",
    "O", "",  "O",  "U",  "U", "U", "U",  "Y",  "TH", "Y", "A", "A", "A",  "A",  "A", "A", "C", "C",
    "C", "C", "C",  "C",  "C", "C", "D",  "D",  "D",  "D", "E", "E", "E",  "E",  "E", "E", "E", "E",
    "E", "E", "G",  "G",  "G", "G", "G",  "G",  "G",  "G", "H", "H", "H",  "H",  "I", "I", "I", "I",
    "I", "I", "I",  "I",  "I", "I", "IJ", "IJ", "J",  "J", "K", "K", "K",  "L",  "L", "L", "L", "L",
    "L", "L", "L",  "L",  "L", "N", "N",  "N",  "N",  "N", "N", "N", "NG", "NG", "O", "O", "O", "O",
    "O", "O", "OE", "OE", "R", "R", "R",  "R",  "R",  "R", "S", "S", "S",  "S",  "S", "S", "S", "S",
    "T", "T", "T",  "T",  "T", "T", "U",  "U",  "U",  "U", "U", "U", "U",  "U",  "U", "U", "U", "U",
    "W", "W", "Y",  "Y",  "Y", "Z", "Z",  "Z",  "Z",  "Z", "Z", "S"};

// The next code point of UTF-8 text; a stray byte counts as one character of its own.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 1;
    if (length == 1 || at + length > text.size()) {
        ++at;
        return lead < 0x80 ? lead : 0xFFFD;
    }
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    at += length;
    return value;
}

// The text as the player's characters, runs of other marks as one '_'.
std::string playerCharacters(std::string_view text) {
    std::string out;
    const auto underscore = [&out] {
        if (!out.empty() && out.back() != '_')
            out += '_';
    };
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = nextCodePoint(text, at);
        if (c < 0x80 && FileNameCharCheck(std::string(1, static_cast<char>(c))) && c != '.')
            out += static_cast<char>(c);
        else if (c >= 0xC0 && c < 0x180)
            out += kLatinLetters[c - 0xC0];
        else if (c < 0x80)
            underscore();
        // Other scripts have no letters the player shows; they are left out.
    }
    return UpperCase(out);
}

std::string trimmedUnderscores(std::string text) {
    while (!text.empty() && text.back() == '_')
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && text[first] == '_')
        ++first;
    return text.substr(first);
}

} // namespace

std::optional<std::string> MakePlayerName(std::string_view fileName,
                                          std::optional<std::string_view> extension) {
    const std::string name = PathFileName(std::string(fileName));
    const FileNameParts parts = SplitFileName(name);
    std::string base = trimmedUnderscores(playerCharacters(parts.base));
    if (base.size() > kBaseLimit)
        base = trimmedUnderscores(base.substr(0, kBaseLimit));
    std::string ext = trimmedUnderscores(playerCharacters(extension ? *extension : parts.extension));
    if (ext.size() > kExtensionLimit)
        ext.resize(kExtensionLimit);
    if (base.empty() || ext.empty())
        return std::nullopt;
    return base + "." + ext;
}

std::string PlayerNameVariant(const std::string& playerName, int n) {
    const FileNameParts parts = SplitFileName(playerName);
    // Appended, not "-" + std::string: GCC 12 at -O3 reports a false -Wrestrict for that form.
    std::string suffix(1, '-');
    suffix += std::to_string(n);
    std::string base = parts.base;
    if (base.size() + suffix.size() > kBaseLimit)
        base.resize(kBaseLimit - suffix.size());
    return base + suffix + "." + parts.extension;
}

PlayerNameClaims::PlayerNameClaims(SameFile same) : same_(std::move(same)) {}

bool PlayerNameClaims::sameFile(const std::string& a, const std::string& b) const {
    return a == b || (same_ && same_(a, b));
}

void PlayerNameClaims::hold(const std::string& name, const std::string& file) {
    holders_.emplace(UpperCase(name), file);
}

std::optional<std::string> PlayerNameClaims::claim(const std::string& playerName, const std::string& file) {
    // As many variants as a conversion tries.
    constexpr int kMaxVariants = 99;
    for (int n = 1; n <= kMaxVariants; ++n) {
        const std::string tried = n == 1 ? playerName : PlayerNameVariant(playerName, n);
        const auto [held, fresh] = holders_.emplace(UpperCase(tried), file);
        if (fresh || sameFile(held->second, file))
            return tried;
    }
    return std::nullopt;
}

std::optional<std::string> PlayerNameClaims::holder(const std::string& name) const {
    const auto found = holders_.find(UpperCase(name));
    if (found == holders_.end())
        return std::nullopt;
    return found->second;
}

} // namespace velmo
