#pragma once

#include <QLabel>
#include <QLatin1String>
#include <QWidget>
#include <gtest/gtest.h>

namespace velmo::test {

// The child control of that object name and type; a test failure when there is none.
template <typename T> T* FindControl(const QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (found == nullptr)
        ADD_FAILURE() << "no control " << name;
    return found;
}

// The Write to Player Medium window has asked the drives and shows the plan for its destination (all
// off the window's thread): its summary no longer says it is looking, in the window's words `looking`.
inline bool WritePlanShown(const QWidget* form, const QString& looking) {
    const auto* summary = form->findChild<QLabel*>(QStringLiteral("PlanSummary"));
    return summary != nullptr && summary->text() != looking;
}

} // namespace velmo::test
