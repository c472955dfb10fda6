#pragma once

#include "file_io.h"
#include "result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// The language the user chose, remembered beside the settings file in a file of its own, so the
// settings file keeps its six lines. Holds one line: "en" or "ja".
inline constexpr char kLanguageFileName[] = "Language.txt";

inline constexpr std::int16_t kEnglishSelector = 1;
inline constexpr std::int16_t kJapaneseSelector = 2;

// The selector chosen before; nothing when no choice was made yet or the file is unreadable or
// damaged (the desktop's language then decides).
std::optional<std::int16_t> ReadLanguageSetting(const std::string& appPath);
Result WriteLanguageSetting(const std::string& appPath, std::int16_t selector, FileIo& io = FileIo::system());

// The selector for a desktop locale name as the system spells it ("ja_JP.UTF-8", "ja-JP", "en_GB",
// "C"): Japanese for Japanese, English for every other language.
std::int16_t LanguageSelectorForLocale(const std::string& localeName);

} // namespace velmo
