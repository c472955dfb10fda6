#pragma once

#include <QFont>

namespace velmo {

// A font whose every character has the same width, so the lists' columns line up: the desktop's
// fixed font when it really is one, else the first installed font of a few known fixed-pitch
// families. Some desktops name a proportional font as their monospace one.
QFont FixedPitchFont();
// The same, starting from `preferred` instead of the desktop's fixed font; its size is kept.
QFont FixedPitchFont(const QFont& preferred);

} // namespace velmo
