#include "language_setting.h"

#include "file_system.h"
#include "safe_file.h"
#include "whole_file.h"

#include <cctype>

namespace velmo {

namespace {

constexpr char kEnglishCode[] = "en";
constexpr char kJapaneseCode[] = "ja";
constexpr std::size_t kMaxLanguageFileLength = 64;

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

std::optional<std::int16_t> ReadLanguageSetting(const std::string& appPath) {
    WholeFile file;
    if (!ReadWholeFile(WithTrailingSeparator(appPath) + kLanguageFileName, kMaxLanguageFileLength, file) ||
        file.longer)
        return std::nullopt;
    const std::string code = trimmed(file.bytes);
    if (code == kEnglishCode)
        return kEnglishSelector;
    if (code == kJapaneseCode)
        return kJapaneseSelector;
    return std::nullopt;
}

Result WriteLanguageSetting(const std::string& appPath, std::int16_t selector, FileIo& io) {
    if (selector != kEnglishSelector && selector != kJapaneseSelector)
        return Result::failure("no such language");
    const std::string text = std::string(selector == kJapaneseSelector ? kJapaneseCode : kEnglishCode) + "\n";
    return WriteFileAtomically(WithTrailingSeparator(appPath) + kLanguageFileName,
                               std::vector<std::uint8_t>(text.begin(), text.end()), io);
}

std::int16_t LanguageSelectorForLocale(const std::string& localeName) {
    // The language is the part before the territory, script or code set.
    std::string language;
    for (const char c : localeName) {
        if (c == '_' || c == '-' || c == '.' || c == '@')
            break;
        language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return language == kJapaneseCode ? kJapaneseSelector : kEnglishSelector;
}

} // namespace velmo
