#pragma once

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

} // namespace velmo::test
