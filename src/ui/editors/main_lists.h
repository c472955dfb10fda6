#pragma once

#include <functional>

class QListWidget;

namespace velmo {

// The main window's three lists and its ButtonStatusSetup, as the entry editors see them: the
// editors take the entry to edit from the selected rows and write the rows they add or change.
struct MainLists {
    QListWidget* NormalList = nullptr;
    QListWidget* AdvanceList = nullptr;
    QListWidget* DetailList = nullptr;
    std::function<void()> ButtonStatusSetup;
};

} // namespace velmo
