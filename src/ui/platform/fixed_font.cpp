#include "fixed_font.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace velmo {

QFont FixedPitchFont() {
    return FixedPitchFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

QFont FixedPitchFont(const QFont& preferred) {
    if (QFontInfo(preferred).fixedPitch())
        return preferred;
    // DejaVu Sans Mono comes with the package's dependencies; the others are common elsewhere.
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Noto Mono",
                               "Ubuntu Mono", "Courier New", "Courier", "monospace"}) {
        QFont candidate(QString::fromLatin1(family));
        if (preferred.pointSizeF() > 0)
            candidate.setPointSizeF(preferred.pointSizeF());
        else
            candidate.setPixelSize(preferred.pixelSize());
        candidate.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
        candidate.setFixedPitch(true);
        if (QFontInfo(candidate).fixedPitch())
            return candidate;
    }
    return preferred;
}

} // namespace velmo
