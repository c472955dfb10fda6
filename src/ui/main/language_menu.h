#pragma once

#include <cstdint>
#include <string>

class QMenu;
class QWidget;

namespace velmo {

struct AppContext;

// The language the program starts in: the one chosen before, else the desktop's (QLocale's default,
// which follows LANG and LC_* on Linux and the user's language on Windows).
std::int16_t StartingLanguage(const std::string& appPath);

// View > Language: English and 日本語, the one in use ticked. A choice is remembered beside the
// settings file and takes effect at the next start, as the menu's caption says: every window then
// speaks it from its first text on.
void AddLanguageMenu(QMenu& view, AppContext& context, QWidget* window);

} // namespace velmo
