#pragma once

class QAbstractButton;
class QString;

namespace velmo {

// Lets screen readers on Linux announce a drop-down list by the accessible name the window gives
// it ("Play Times"), as on other platforms; Qt would otherwise announce only the chosen value.
// Call once, after the QApplication exists.
void InstallAccessibilitySupport();

// Captions a button or tick box, and names it for screen readers by the same words.
void SetCaption(QAbstractButton& button, const QString& caption);

} // namespace velmo
