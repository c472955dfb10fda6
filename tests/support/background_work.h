#pragma once

#include "ui/platform/off_thread.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>

namespace velmo::test {

// Lets the work off the window's thread answer, and the window go on with each answer, until no
// more is under way: a drop's examination, say, then the copies its question asked for.
inline void LetBackgroundWorkAnswer() {
    do {
        ASSERT_TRUE(WaitForDetachedWork(std::chrono::seconds(60)));
        // Each answer was posted before its worker ended.
        QCoreApplication::processEvents();
    } while (!WaitForDetachedWork(std::chrono::milliseconds(0)));
}

} // namespace velmo::test
