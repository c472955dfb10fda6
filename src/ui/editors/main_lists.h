#pragma once

#include <functional>

class QListWidget;

namespace velmo {

// The main window's three lists, its ButtonStatusSetup and its way of selecting an advance row, as
// the entry editors see them: the editors take the entry to edit from the selected rows and write
// the rows they add or change.
struct MainLists {
    QListWidget* NormalList = nullptr;
    QListWidget* AdvanceList = nullptr;
    QListWidget* DetailList = nullptr;
    std::function<void()> ButtonStatusSetup;
    // Selects a row of AdvanceList and refills DetailList for it, even when the row stays the same.
    std::function<void(int row)> SelectAdvanceRow;
};

} // namespace velmo
