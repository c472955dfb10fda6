#pragma once

#include <QString>

class QAbstractButton;
class QAbstractItemView;
class QCalendarWidget;
class QWidget;

namespace velmo {

// Lets screen readers on Linux announce a drop-down list by the accessible name the window gives
// it ("Play Times"), as on other platforms; Qt would otherwise announce only the chosen value.
// Call once, after the QApplication exists.
void InstallAccessibilitySupport();

// Captions a button or tick box, and names it for screen readers by the same words.
void SetCaption(QAbstractButton& button, const QString& caption);

// A button that only captions a column of the list below it: screen readers hear a column header.
void MarkColumnHeader(QAbstractButton& button);
// A picture with nothing to tell: left out of what screen readers see of its window.
void HideFromScreenReaders(QWidget& widget);
// Marks an empty list that has the focus: with no row there is no current row to frame, and a
// frame in the palette's highlight alone is hard to tell from none under some palettes.
void ShowFocusWhenEmpty(QAbstractItemView& view);
// Names the calendar's month buttons, reads each day with its full date (days formatted struck
// out, as marked, with `markedDay`, "%1, left out"), and leaves out the week numbers.
void MakeCalendarReadable(QCalendarWidget& calendar, const QString& previousMonth, const QString& nextMonth,
                          const QString& markedDay = {});

} // namespace velmo
