#pragma once

#include "texts/screen_texts.h"

#include <QString>
#include <string>

namespace velmo {

inline QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string fromQt(const QString& text) {
    return text.toStdString();
}
inline QString screenText(const ScreenTexts& texts, TextId id) {
    return toQt(texts.text(id));
}

} // namespace velmo
