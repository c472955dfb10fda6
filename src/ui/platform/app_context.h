#pragma once

#include <functional>

class QString;
class QWidget;

namespace velmo {

struct AppState;
class ScreenTexts;
class Prompts;
class Clock;
class RandomSource;
class VolumeList;
class LinkOpener;

// Everything a window needs from the program: the one model and state, the screen texts and the
// seams to the desktop. main() builds it; a test builds its own with scripted doubles.
struct AppContext {
    AppState& state;
    ScreenTexts& texts;
    Prompts& prompts;
    Clock& clock;
    RandomSource& random;
    VolumeList& volumes;
    LinkOpener& links;
    // Opens the modal copy dialog for the media file name typed in the entry editor ("Copy to...");
    // tests may replace it.
    std::function<void(QWidget* parent, const QString& fileName)> showCopyForm;
};

} // namespace velmo
